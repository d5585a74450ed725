#!/usr/bin/env python3
"""Writes the reader's test corpus: valid files in valid/, damaged ones in
invalid/<defect>/, where the folder names the load result they must give.
Run it from anywhere; it rewrites the files next to itself."""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))


def vlq(n):
    out = [n & 0x7F]
    n >>= 7
    while n:
        out.append(0x80 | (n & 0x7F))
        n >>= 7
    return bytes(reversed(out))


def track(body, end=True):
    data = bytes(body) + (b"\x00\xff\x2f\x00" if end else b"")
    return b"MTrk" + struct.pack(">I", len(data)) + data


def header(fmt, ntrks, division, length=6):
    return b"MThd" + struct.pack(">IHHh", length, fmt, ntrks, division) + bytes(max(0, length - 6))


def notes(channel, pitches, step=240):
    body = b""
    for p in pitches:
        body += b"\x00" + bytes([0x90 | channel, p, 90]) + vlq(step) + bytes([0x80 | channel, p, 0])
    return body


CONDUCTOR = track(b"\x00\xff\x51\x03\x07\xa1\x20\x00\xff\x58\x04\x04\x02\x18\x08\x00\xff\x59\x02\x00\x00")
MELODY = track(b"\x00\xff\x03\x06Melody\x00\xc0\x49" + notes(0, [60, 62, 64, 65, 67]))

FILES = {
    "valid/format1_basic.mid": header(1, 2, 480) + CONDUCTOR + MELODY,
    "valid/format0_three_channels.mid": header(0, 1, 96)
    + track(b"\x00\xff\x51\x03\x07\xa1\x20" + notes(0, [60, 62]) + notes(2, [64]) + notes(9, [36, 38])),
    "valid/running_status.mid": header(1, 2, 480)
    + CONDUCTOR
    + track(b"\x00\x91\x3c\x50\x81\x70\x3c\x00\x00\x3e\x50\x81\x70\x3e\x00"),
    "valid/format1_notes_in_first_track.mid": header(1, 1, 480) + track(notes(0, [60])),
    "valid/long_header.mid": header(1, 2, 480, length=10) + CONDUCTOR + MELODY,
    "valid/sysex_and_text.mid": header(1, 2, 480)
    + track(b"\x00\xf0\x05\x7e\x7f\x09\x01\xf7\x00\xff\x01\x04abcd")
    + track(b"\x00\xf0\x03\x41\x10\xf7" + notes(3, [48, 55])),
    "valid/no_tempo.mid": header(1, 2, 120) + track(b"") + track(notes(1, [70, 72], step=120)),
    "valid/format2.mid": header(2, 2, 480) + CONDUCTOR + track(notes(4, [60, 64, 67])),
    "invalid/wrong-format/not_midi.mid": b"RIFF" + bytes(30),
    "invalid/wrong-format/missing_mtrk.mid": header(1, 2, 480) + b"MTrX" + CONDUCTOR[4:] + MELODY,
    "invalid/wrong-format/smpte_division.mid": header(1, 2, -(25 << 8) + 40) + CONDUCTOR + MELODY,
    "invalid/wrong-format/zero_division.mid": header(1, 2, 0) + CONDUCTOR + MELODY,
    "invalid/wrong-format/running_status_first.mid": header(1, 2, 480) + CONDUCTOR + track(b"\x00\x3c\x50"),
    "invalid/wrong-format/continuation_first.mid": header(1, 2, 480) + CONDUCTOR + track(b"\x00\xf7\x01\x00"),
    "invalid/data-ended/empty.mid": b"",
    "invalid/data-ended/truncated_header.mid": header(1, 2, 480)[:9],
    "invalid/data-ended/truncated_track.mid": (header(1, 2, 480) + CONDUCTOR + MELODY)[:-6],
    "invalid/data-ended/missing_chunk.mid": header(1, 3, 480) + CONDUCTOR + MELODY,
    "invalid/data-ended/huge_meta_length.mid": header(1, 2, 480) + track(b"\x00\xff\x01\x8f\xff\xff\xff\x7fabc", end=False),
    "invalid/data-ended/huge_sysex_length.mid": header(1, 2, 480) + CONDUCTOR + track(b"\x00\xf0\x8f\xff\xff\xff\x7f\x01", end=False),
    "invalid/no-channel-messages/meta_only.mid": header(1, 2, 480) + CONDUCTOR + track(b"\x00\xff\x03\x04Solo"),
    "invalid/no-channel-messages/sysex_only.mid": header(0, 1, 480) + track(b"\x00\xf0\x02\x01\xf7"),
}

for name, data in FILES.items():
    path = os.path.join(HERE, name)
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)
