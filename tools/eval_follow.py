#!/usr/bin/env python3
"""Measures how well the score follower tracks recorded human performances.

For each case folder (score.mid, performance_solo.mid, ground_truth.csv) it runs
`tuttiro-cli trace-follow` on track 0 of score.mid with performance_solo.mid and,
for every aligned note, compares the follower position right after the note with
the note's true score position. Prints, one row a case and a row of means, the
share of notes within 50, 100 and 300 ms, the median absolute error, the jump
requests and how many of them were false: made while the follower was within
300 ms of the soloist's true place. The data stay outside the repository.

usage: eval_follow.py [--cli CLI] [--eval DIR] [--jumps off|local|anywhere]
                      [--level 0-4] [--no-wait-for-start] [--case NAME ...]
"""
import argparse
import bisect
import csv
import io
import os
import statistics
import subprocess
import sys
from concurrent.futures import ThreadPoolExecutor

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
FALSE_JUMP_MS = 300


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


def truth_rows(case, tempos, division):
    """(perf_ms, pitch, true score ms) of every aligned note, in time order."""
    rows = []
    with open(os.path.join(case, "ground_truth.csv"), newline="") as f:
        for truth in csv.DictReader(f):
            if truth["kind"] == "match" and truth["score_tick"]:
                rows.append((float(truth["perf_ms"]), int(truth["pitch"]),
                             tick_to_ms(int(truth["score_tick"]), tempos, division)))
    return rows


def score_case(cli, case, extra):
    tempos, division = tempo_list(cli, os.path.join(case, "score.mid"))
    rows = trace(cli, case, extra)
    truths = truth_rows(case, tempos, division)
    by_pitch = {}
    for i, row in enumerate(rows):
        by_pitch.setdefault(int(row["pitch"]), []).append(i)
    used, errors = set(), []
    for t, pitch, true_ms in truths:
        near = [i for i in by_pitch.get(pitch, [])
                if i not in used and abs(int(rows[i]["time_ms"]) - t) <= 2.0]
        if not near:
            continue  # a note of the other part, not in the soloist's performance
        i = min(near, key=lambda j: abs(int(rows[j]["time_ms"]) - t))
        used.add(i)
        errors.append(abs(int(rows[i]["position"]) - true_ms))
    truth_times = [t for t, _, _ in truths]
    jumps = false_jumps = 0
    for i, row in enumerate(rows):
        if row["event"] != "jump-request" or i == 0:
            continue
        jumps += 1
        # Where the follower was when the note came: the clock of the row before.
        before = rows[i - 1]
        t = int(row["time_ms"])
        was = int(before["position"]) + float(before["rate"]) * (t - int(before["time_ms"]))
        k = min(bisect.bisect_left(truth_times, t), len(truths) - 1)
        if k > 0 and abs(truth_times[k - 1] - t) < abs(truth_times[k] - t):
            k -= 1
        if abs(was - truths[k][2]) <= FALSE_JUMP_MS:
            false_jumps += 1
    return errors, jumps, false_jumps


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--cli", default=os.path.join(ROOT, "build", "tools", "cli", "tuttiro-cli"))
    parser.add_argument("--eval", default=os.path.join(ROOT, "..", "shared", "eval"))
    parser.add_argument("--jumps", choices=["off", "local", "anywhere"], default="anywhere")
    parser.add_argument("--level", choices=["0", "1", "2", "3", "4"], default="4")
    parser.add_argument("--no-wait-for-start", action="store_true",
                        help="let the clock run before the soloist's first chord")
    parser.add_argument("--case", nargs="*", help="only these case folders")
    args = parser.parse_args()
    if not os.path.isdir(args.eval):
        print(f"no evaluation data at {args.eval}: skipped")
        return 0
    extra = ["--jumps", args.jumps, "--level", args.level]
    if not args.no_wait_for_start:
        extra.append("--wait-for-start")
    names = [n for n in sorted(os.listdir(args.eval))
             if os.path.isfile(os.path.join(args.eval, n, "ground_truth.csv"))
             and (not args.case or n in args.case)]
    with ThreadPoolExecutor(max_workers=2) as pool:
        results = list(pool.map(lambda n: score_case(args.cli, os.path.join(args.eval, n), extra),
                                names))
    print(f"{'case':50s} notes  <=50ms <=100ms <=300ms median_ms jumps false")
    shares, medians, total_jumps, total_false = [], [], 0, 0
    for name, (errors, jumps, false_jumps) in zip(names, results):
        if not errors:
            print(f"{name:50s} no aligned notes")
            continue
        share = [100.0 * sum(e <= limit for e in errors) / len(errors) for limit in (50, 100, 300)]
        median = statistics.median(errors)
        shares.append(share)
        medians.append(median)
        total_jumps += jumps
        total_false += false_jumps
        print(f"{name:50s} {len(errors):5d} {share[0]:6.1f}% {share[1]:6.1f}% {share[2]:6.1f}%"
              f" {median:9.1f} {jumps:5d} {false_jumps:5d}")
    if shares:
        mean = [statistics.mean(s[i] for s in shares) for i in range(3)]
        print(f"{'mean of ' + str(len(shares)) + ' cases':50s} {'':5s} {mean[0]:6.1f}% {mean[1]:6.1f}%"
              f" {mean[2]:6.1f}% {statistics.mean(medians):9.1f} {total_jumps:5d} {total_false:5d}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
