#!/usr/bin/env python3
"""Measures how well the score follower tracks recorded human performances.

For each case folder (score.mid, performance_solo.mid, ground_truth.csv) it runs
`tuttiro-cli trace-follow` on track 0 of score.mid with performance_solo.mid and,
for every aligned note, compares the follower position right after the note with
the note's true score position. Prints the share of notes within 50, 100 and
300 ms and the median absolute error. The data stay outside the repository.
"""
import argparse
import csv
import io
import os
import statistics
import subprocess
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


def tempo_list(cli, score):
    """(tick, time_us, us_per_quarter) entries and the division, from `info`."""
    out = subprocess.run([cli, "info", score], check=True, capture_output=True, text=True).stdout
    division, entries, in_tempo = 480, [], False
    for line in out.splitlines():
        if line.startswith("division:"):
            division = int(line.split()[1])
        elif line.startswith("tempo list"):
            in_tempo = True
        elif in_tempo and line.startswith("  "):
            tick, time_us, tempo = line.split()[:3]
            entries.append((int(tick), int(time_us), int(tempo)))
        else:
            in_tempo = False
    return entries or [(0, 0, 500000)], division


def tick_to_ms(tick, tempos, division):
    entry = tempos[0]
    for e in tempos:
        if e[0] <= tick:
            entry = e
    return (entry[1] + (tick - entry[0]) * entry[2] / division) / 1000.0


def trace(cli, case, extra):
    cmd = [cli, "trace-follow", os.path.join(case, "score.mid"), "--performance",
           os.path.join(case, "performance_solo.mid"), "--track", "0"] + extra
    out = subprocess.run(cmd, check=True, capture_output=True, text=True).stdout
    return [row for row in csv.DictReader(io.StringIO(out)) if row["note"] == "note"]


def score_case(cli, case, extra):
    tempos, division = tempo_list(cli, os.path.join(case, "score.mid"))
    rows = trace(cli, case, extra)
    by_pitch = {}
    for i, row in enumerate(rows):
        by_pitch.setdefault(int(row["pitch"]), []).append(i)
    used, errors = set(), []
    with open(os.path.join(case, "ground_truth.csv"), newline="") as f:
        for truth in csv.DictReader(f):
            if truth["kind"] != "match" or not truth["score_tick"]:
                continue
            t, pitch = float(truth["perf_ms"]), int(truth["pitch"])
            near = [i for i in by_pitch.get(pitch, [])
                    if i not in used and abs(int(rows[i]["time_ms"]) - t) <= 2.0]
            if not near:
                continue  # a note of the other part, not in the soloist's performance
            i = min(near, key=lambda j: abs(int(rows[j]["time_ms"]) - t))
            used.add(i)
            true_ms = tick_to_ms(int(truth["score_tick"]), tempos, division)
            errors.append(abs(int(rows[i]["position"]) - true_ms))
    events = {}
    for row in rows:
        if row["event"]:
            events[row["event"]] = events.get(row["event"], 0) + 1
    return errors, events


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--cli", default=os.path.join(ROOT, "build", "tools", "cli", "tuttiro-cli"))
    parser.add_argument("--eval", default=os.path.join(ROOT, "..", "shared", "eval"))
    parser.add_argument("trace_args", nargs="*", help="more trace-follow options (after --)")
    args = parser.parse_args()
    if not os.path.isdir(args.eval):
        print(f"no evaluation data at {args.eval}: skipped")
        return 0
    print("case                          notes  <=50ms  <=100ms  <=300ms  median_ms  events")
    for name in sorted(os.listdir(args.eval)):
        case = os.path.join(args.eval, name)
        if not os.path.isfile(os.path.join(case, "ground_truth.csv")):
            continue
        errors, events = score_case(args.cli, case, args.trace_args)
        if not errors:
            print(f"{name:28s}  no aligned notes")
            continue
        share = [100.0 * sum(e <= limit for e in errors) / len(errors) for limit in (50, 100, 300)]
        ev = " ".join(f"{k}={v}" for k, v in sorted(events.items()))
        print(f"{name:28s} {len(errors):6d} {share[0]:6.1f}% {share[1]:7.1f}% {share[2]:7.1f}%"
              f" {statistics.median(errors):9.1f}  {ev}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
