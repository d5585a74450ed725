#!/usr/bin/env python3
"""Writes the onsets of a ground_truth.csv as a soloist's MIDI performance.

Each row becomes a note at its perf_ms (one tick is one millisecond), held until
shortly before the next onset: a perfect note detector with no delay, so that
following can be measured apart from the detector.

usage: truth_to_midi.py GROUND_TRUTH.csv OUT.mid
"""
import csv
import os
import struct
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from smf_crosscheck import write_vlq as vlq  # noqa: E402

GAP_MS = 10


def notes_from_truth(path):
    with open(path, newline="") as f:
        rows = [(int(round(float(r["perf_ms"]))), int(r["pitch"]), int(r["velocity"] or 80))
                for r in csv.DictReader(f) if r["perf_ms"]]
    rows.sort()
    notes = []
    for i, (start, pitch, velocity) in enumerate(rows):
        nxt = rows[i + 1][0] if i + 1 < len(rows) else start + 500
        notes.append((start, max(start + 1, nxt - GAP_MS), pitch, max(1, min(velocity, 127))))
    return notes


def smf_bytes(notes):
    events = []
    for start, end, pitch, velocity in notes:
        events.append((start, 1, bytes([0x90, pitch, velocity])))
        events.append((end, 0, bytes([0x80, pitch, 0])))
    events.sort(key=lambda e: (e[0], e[1]))
    track, now = bytearray(vlq(0) + b"\xff\x51\x03" + (500000).to_bytes(3, "big")), 0
    for time, _, data in events:
        track += vlq(time - now) + data
        now = time
    track += vlq(0) + b"\xff\x2f\x00"
    header = b"MThd" + struct.pack(">IHHH", 6, 0, 1, 500)
    return header + b"MTrk" + struct.pack(">I", len(track)) + bytes(track)


def main():
    if len(sys.argv) != 3:
        print(__doc__.strip().splitlines()[-1], file=sys.stderr)
        return 2
    with open(sys.argv[2], "wb") as f:
        f.write(smf_bytes(notes_from_truth(sys.argv[1])))
    return 0


if __name__ == "__main__":
    sys.exit(main())
