#!/usr/bin/env python3
"""Checks `tuttiro-cli info --events` against an independent reading of the
same Standard MIDI Files: a plain parser with an exact tempo map. Every channel
event must appear in the same track, with the same status and data, at its exact time rounded to the
millisecond (allowing the half microsecond a delta that the loader rounds). Program changes are compared by position only (the
program reads as a combination index in Tuttiro's model).

usage: smf_crosscheck.py TUTTIRO_CLI FILE...
Exit status 0 when every file agrees, 1 otherwise."""
import struct
import subprocess
import sys


def read_vlq(data, pos):
    value = 0
    while True:
        b = data[pos]
        pos += 1
        value = (value << 7) | (b & 0x7F)
        if b < 0x80:
            return value, pos


def write_vlq(value):
    """The variable-length quantity of a delta time, as a Standard MIDI File stores it."""
    out = [value & 0x7F]
    value >>= 7
    while value:
        out.append(0x80 | (value & 0x7F))
        value >>= 7
    return bytes(reversed(out))


def parse_chunks(data):
    fmt, ntrks, division = struct.unpack(">HHh", data[8:14])
    pos = 8 + struct.unpack(">I", data[4:8])[0]
    chunks = []
    while pos + 8 <= len(data) and len(chunks) < ntrks:
        length = struct.unpack(">I", data[pos + 4 : pos + 8])[0]
        chunks.append(data[pos + 8 : pos + 8 + length])
        pos += 8 + length
    return fmt, division, chunks


def parse_track(chunk):
    """Yields (tick, kind, value): kind 'tempo', or ('ch', status, d1, d2)."""
    pos, tick, running = 0, 0, None
    events = []
    while pos < len(chunk):
        delta, pos = read_vlq(chunk, pos)
        tick += delta
        status = chunk[pos]
        if status < 0x80:
            status = running
        else:
            pos += 1
        if status == 0xFF:
            kind = chunk[pos]
            length, pos = read_vlq(chunk, pos + 1)
            body = chunk[pos : pos + length]
            pos += length
            if kind == 0x51:
                events.append((tick, "tempo", int.from_bytes(body[:3], "big")))
            if kind == 0x2F:
                break
        elif status in (0xF0, 0xF7):
            length, pos = read_vlq(chunk, pos)
            pos += length
        elif 0x80 <= status <= 0xEF:
            running = status
            n = 1 if status & 0xF0 in (0xC0, 0xD0) else 2
            d = chunk[pos : pos + n]
            pos += n
            events.append((tick, "ch", (status, d[0], d[1] if n == 2 else 0)))
    return events


def ms_converter(division, tempo_events):
    changes = sorted(tempo_events)
    def to_ms(tick):
        us, last_tick, tempo = 0.0, 0, None
        for t, value in changes:
            if t > tick:
                break
            us += (t - last_tick) * (tempo if tempo is not None else division * 1042) / division
            last_tick, tempo = t, value
        us += (tick - last_tick) * (tempo if tempo is not None else division * 1042) / division
        return us / 1000.0
    return to_ms


def expected_events(path):
    with open(path, "rb") as f:
        fmt, division, chunks = parse_chunks(f.read())
    parsed = [parse_track(c) for c in chunks]
    tempos = [(t, v) for t, k, v in parsed[0] if k == "tempo"]
    to_ms = ms_converter(division, tempos)
    if fmt == 1:
        # The first track's own notes come last, after the other tracks.
        tracks = [[(t, v) for t, k, v in p if k == "ch"] for p in parsed[1:] + parsed[:1]]
    else:
        source = parsed[0] if fmt == 0 else (parsed[1] if len(parsed) > 1 else [])
        tracks = [[] for _ in range(16)]
        for t, k, v in source:
            if k == "ch":
                tracks[v[0] & 0x0F].append((t, v))
    tracks = [t for t in tracks if t]
    return [[(to_ms(t), s & 0xF0, d1, d2) for t, (s, d1, d2) in tr] for tr in tracks]


def tuttiro_events(cli, path):
    out = subprocess.run([cli, "info", path, "--events"], capture_output=True, text=True, check=True)
    tracks = {}
    for line in out.stdout.splitlines()[1:]:
        t, time, status, d1, d2 = (int(x) for x in line.split(","))
        tracks.setdefault(t, []).append((time, status, d1, d2))
    return [tracks[k] for k in sorted(tracks)]


def compare(cli, path):
    want, got = expected_events(path), tuttiro_events(cli, path)
    if len(want) != len(got):
        return f"{len(got)} tracks, expected {len(want)}"
    worst = 0.0
    for t, (w, g) in enumerate(zip(want, got)):
        if len(w) != len(g):
            return f"track {t}: {len(g)} events, expected {len(w)}"
        for i, ((wt, ws, w1, w2), (gt, gs, g1, g2)) in enumerate(zip(w, g)):
            if ws != gs or (ws != 0xC0 and (w1, w2) != (g1, g2)):
                return f"track {t} event {i}: {(gs, g1, g2)} expected {(ws, w1, w2)}"
            worst = max(worst, abs(gt - wt))
            # Rounding to the millisecond, plus at most half a microsecond a
            # delta from the per-delta rounding of the loader's tempo walk.
            if abs(gt - wt) > 0.501 + 0.0005 * (i + 1):
                return f"track {t} event {i}: {gt} ms, exactly {wt:.3f} ms"
    return f"ok ({sum(len(x) for x in got)} events, {len(got)} tracks, largest time difference {worst:.3f} ms)"


def main():
    cli, files = sys.argv[1], sys.argv[2:]
    failed = False
    for path in files:
        result = compare(cli, path)
        print(f"{path}: {result}")
        failed = failed or not result.startswith("ok")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
