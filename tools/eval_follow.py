#!/usr/bin/env python3
"""Measures how well the score follower tracks recorded human performances.

For each case folder (score.mid, ground_truth.csv and performance_solo.mid; without
the performance, the ground truth's onsets are played as a perfect note detector
would) it runs `tuttiro-cli trace-follow --every 10` on track 0 of score.mid and
scores every aligned note three ways (ms at the piece's own tempo):
- after: the follower position right after the note against its true place;
- reach: the first time the follower clock reaches the note's place against when
  the soloist played it (what an accompaniment driven by the clock does there);
- sync: where the clock stands when the soloist plays the note.
Prints, one row a case and a row of means, the shares within 100 and 300 ms, the
medians, the jump requests and how many were false (made while the follower was
within 300 ms of the soloist's true place). The data stay outside the repository.

usage: eval_follow.py [--cli CLI] [--eval DIR] [--jumps off|local|anywhere]
                      [--level 0-4] [--no-wait-for-start] [--strict-time]
                      [--case NAME ...]
(--eval ../shared/eval-audio scores the audio chorales with perfect onsets)
"""
import argparse
import bisect
import csv
import io
import math
import os
import statistics
import subprocess
import sys
import tempfile
from concurrent.futures import ThreadPoolExecutor

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from truth_to_midi import notes_from_truth, smf_bytes  # noqa: E402

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
FALSE_JUMP_MS = 300
NEVER = float("inf")


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
    """Every row of the trace: the notes and the clock every 10 ms."""
    with tempfile.TemporaryDirectory() as tmp:
        performance = os.path.join(case, "performance_solo.mid")
        if not os.path.isfile(performance):
            performance = os.path.join(tmp, "onsets.mid")
            with open(performance, "wb") as f:
                f.write(smf_bytes(notes_from_truth(os.path.join(case, "ground_truth.csv"))))
        cmd = [cli, "trace-follow", os.path.join(case, "score.mid"), "--performance",
               performance, "--track", "0", "--every", "10"] + extra
        out = subprocess.run(cmd, check=True, capture_output=True, text=True).stdout
    return list(csv.DictReader(io.StringIO(out)))


class Clock:
    """The follower clock as the trace sampled it: after each note and every 10 ms."""

    def __init__(self, rows):
        self.times = [int(r["time_ms"]) for r in rows]
        self.positions = [int(r["position"]) for r in rows]
        self.rates = [float(r["rate"]) for r in rows]
        self.at_note = [r["note"] == "note" for r in rows]
        self.highest, best = [], -NEVER
        for p in self.positions:
            best = max(best, p)
            self.highest.append(best)

    def reach(self, s):
        """The first time the clock stood at s or beyond; NEVER when it did not."""
        i = bisect.bisect_left(self.highest, s)
        if i == len(self.highest):
            # The trace ends at the last note: a clock that stands on its written
            # place (whole milliseconds, rounded down) has reached it.
            return self.times[-1] if self.highest[-1] >= math.floor(s) else NEVER
        if i == 0 or self.at_note[i]:
            return self.times[i]  # a note moved the clock there at once
        t0, p0, t1, p1 = self.times[i - 1], self.positions[i - 1], self.times[i], self.positions[i]
        return t0 + (t1 - t0) * (s - p0) / (p1 - p0) if p1 > p0 else t1

    def position_before(self, t):
        """Where the clock stood at t, before a note played at t moved it."""
        i = bisect.bisect_left(self.times, t) - 1
        if i < 0:
            return self.positions[0]
        return self.positions[i] + self.rates[i] * min(t - self.times[i], 10)


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
    trace_rows = trace(cli, case, extra)
    clock = Clock(trace_rows)
    rows = [row for row in trace_rows if row["note"] == "note"]
    truths = truth_rows(case, tempos, division)
    by_pitch = {}
    for i, row in enumerate(rows):
        by_pitch.setdefault(int(row["pitch"]), []).append(i)
    used, errors, reach, sync = set(), [], [], []
    for t, pitch, true_ms in truths:
        near = [i for i in by_pitch.get(pitch, [])
                if i not in used and abs(int(rows[i]["time_ms"]) - t) <= 2.0]
        if not near:
            continue  # a note of the other part, not in the soloist's performance
        i = min(near, key=lambda j: abs(int(rows[j]["time_ms"]) - t))
        used.add(i)
        errors.append(abs(int(rows[i]["position"]) - true_ms))
        reach.append(abs(clock.reach(true_ms) - t))
        sync.append(abs(clock.position_before(t) - true_ms))
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
    return (errors, reach, sync), jumps, false_jumps


def summary(errors):
    """Shares within 100 and 300 ms and the median."""
    return [100.0 * sum(e <= limit for e in errors) / len(errors) for limit in (100, 300)] + [
        statistics.median(errors)]


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--cli", default=os.path.join(ROOT, "build", "tools", "cli", "tuttiro-cli"))
    parser.add_argument("--eval", default=os.path.join(ROOT, "..", "shared", "eval"))
    parser.add_argument("--jumps", choices=["off", "local", "anywhere"], default="anywhere")
    parser.add_argument("--level", choices=["0", "1", "2", "3", "4"], default="4")
    parser.add_argument("--strict-time", action="store_true",
                        help="the clock never holds at the soloist's next written note")
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
    if args.strict_time:
        extra.append("--strict-time")
    names = [n for n in sorted(os.listdir(args.eval))
             if os.path.isfile(os.path.join(args.eval, n, "ground_truth.csv"))
             and (not args.case or n in args.case)]
    with ThreadPoolExecutor(max_workers=2) as pool:
        results = list(pool.map(lambda n: score_case(args.cli, os.path.join(args.eval, n), extra),
                                names))
    print(f"{'':40s}       {'after':^21s} {'reach':^21s} {'sync':^21s}")
    print(f"{'case':40s} notes" + "  <=100  <=300 median" * 3 + " jumps false")
    table, total_jumps, total_false = [], 0, 0
    for name, (measures, jumps, false_jumps) in zip(names, results):
        if not measures[0]:
            print(f"{name:40s} no aligned notes")
            continue
        figures = [v for errors in measures for v in summary(errors)]
        table.append(figures)
        total_jumps += jumps
        total_false += false_jumps
        print(f"{name[:40]:40s} {len(measures[0]):5d}" + "".join(
            f" {v:6.1f}" for v in figures) + f" {jumps:5d} {false_jumps:5d}")
    if table:
        mean = [statistics.mean(row[i] for row in table) for i in range(len(table[0]))]
        print(f"{'mean of ' + str(len(table)) + ' cases':40s} {'':5s}" + "".join(
            f" {v:6.1f}" for v in mean) + f" {total_jumps:5d} {total_false:5d}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
