#!/usr/bin/env python3
"""Measures how fast the follower finds a soloist who skips or repeats a passage.

For each recorded performance of ../shared/eval (the duets and the short smoke
test left out), about eight seconds of the soloist's notes are left out, or
played twice, at 20, 40, 60 and 80 % of the piece, keeping the soloist's rhythm
across the seam. `tuttiro-cli trace-follow` follows the edited performance; a
seam is found again at the first note after it whose follower position lies
within 300 ms of the note's true place. Prints, one row a case, the notes and
seconds each seam took, then the median and the share found within 12 notes.
The data stay outside the repository.

usage: eval_seams.py [--cli CLI] [--eval DIR] [--strict-time] [--case NAME ...]
"""
import argparse
import csv
import io
import os
import statistics
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from eval_follow import ROOT, tempo_list, truth_rows  # noqa: E402
from truth_to_midi import smf_bytes  # noqa: E402

PASSAGE_MS = 8000
BACK_MS = 300


def trace_notes(cli, score, performance, extra):
    out = subprocess.run([cli, "trace-follow", score, "--performance", performance, "--track",
                          "0", "--wait-for-start"] + extra,
                         check=True, capture_output=True, text=True).stdout
    return [r for r in csv.DictReader(io.StringIO(out)) if r["note"] == "note"]


def solo_notes(cli, case):
    """(time, pitch, true place or None) of every note of the soloist's performance."""
    score = os.path.join(case, "score.mid")
    tempos, division = tempo_list(cli, score)
    rows = trace_notes(cli, score, os.path.join(case, "performance_solo.mid"), [])
    notes = [[int(r["time_ms"]), int(r["pitch"]), None] for r in rows]
    for t, pitch, true_ms in truth_rows(case, tempos, division):
        near = [n for n in notes if n[2] is None and n[1] == pitch and abs(n[0] - t) <= 2]
        if near:
            min(near, key=lambda n: abs(n[0] - t))[2] = true_ms
    return notes


def edit(notes, start, end, repeat):
    """The notes with [start, end) left out or played again, and the seam's index."""
    length = notes[end][0] - notes[start][0]
    if repeat:
        again = [[t + length, p, s] for t, p, s in notes[start:end]]
        rest = [[t + length, p, s] for t, p, s in notes[end:]]
        return notes[:end] + again + rest, end
    return notes[:start] + [[t - length, p, s] for t, p, s in notes[end:]], start


def seam_cost(cli, case, notes, percent, repeat, extra):
    start = len(notes) * percent // 100
    end = start
    while end < len(notes) and notes[end][0] < notes[start][0] + PASSAGE_MS:
        end += 1
    if end >= len(notes):
        return None
    edited, seam = edit(notes, start, end, repeat)
    with tempfile.TemporaryDirectory() as tmp:
        performance = os.path.join(tmp, "edited.mid")
        with open(performance, "wb") as f:
            f.write(smf_bytes([(t, t + 40, p, 64) for t, p, _ in edited]))
        rows = trace_notes(cli, os.path.join(case, "score.mid"), performance, extra)
    for i in range(seam, min(len(rows), len(edited))):
        true_ms = edited[i][2]
        if true_ms is not None and abs(int(rows[i]["position"]) - true_ms) <= BACK_MS:
            return i - seam, (edited[i][0] - edited[seam][0]) / 1000.0
    return len(edited) - seam, (edited[-1][0] - edited[seam][0]) / 1000.0


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--cli", default=os.path.join(ROOT, "build", "tools", "cli", "tuttiro-cli"))
    parser.add_argument("--eval", default=os.path.join(ROOT, "..", "shared", "eval"))
    parser.add_argument("--strict-time", action="store_true")
    parser.add_argument("--case", nargs="*")
    args = parser.parse_args()
    if not os.path.isdir(args.eval):
        print(f"no evaluation data at {args.eval}: skipped")
        return 0
    extra = ["--strict-time"] if args.strict_time else []
    names = [n for n in sorted(os.listdir(args.eval))
             if os.path.isfile(os.path.join(args.eval, n, "performance_solo.mid"))
             and not n.startswith(("brahms_duet", "k265"))
             and (not args.case or n in args.case)]
    costs = []
    print(f"{'case':40s} notes (seconds) to be back, cut and repeated at 20/40/60/80 %")
    for name in names:
        case = os.path.join(args.eval, name)
        notes = solo_notes(args.cli, case)
        row = []
        for percent in (20, 40, 60, 80):
            for repeat in (False, True):
                cost = seam_cost(args.cli, case, notes, percent, repeat, extra)
                if cost is not None:
                    costs.append(cost)
                    row.append(f"{cost[0]}({cost[1]:.1f})")
        print(f"{name[:40]:40s} " + " ".join(row))
    if costs:
        counts = [c for c, _ in costs]
        print(f"{len(costs)} seams: median {statistics.median(counts)} notes"
              f" ({statistics.median(s for _, s in costs):.1f} s),"
              f" {sum(c <= 12 for c in counts)} within 12 notes")
    return 0


if __name__ == "__main__":
    sys.exit(main())
