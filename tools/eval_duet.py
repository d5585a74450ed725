#!/usr/bin/env python3
"""Compares Tuttiro's accompaniment with a human accompanist's on a recorded
duet: `tuttiro-cli follow` plays the score's secondo while following the
recorded primo; each accompaniment note Tuttiro sent is set against the time
the human accompanist played the same score note. Beside it, the human pair's
own spread: the soloist's and the accompanist's times on shared score onsets.

usage: eval_duet.py [--cli CLI] [--case DIR ...] [--wait-for-solo]
(default: every ../shared/eval/brahms_duet_*, one row each; --wait-for-solo lets
the accompaniment wait for the soloist's first note, as the human partner did)
The evaluation data stays outside the repository."""
import argparse
import bisect
import csv
import glob
import os
import statistics
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from smf_crosscheck import parse_chunks, parse_track  # noqa: E402


def note_ons(events):
    return [(tick, v[1]) for tick, kind, v in events
            if kind == "ch" and v[0] & 0xF0 == 0x90 and v[2] > 0]


def percentile(values, share):
    values = sorted(values)
    return values[min(len(values) - 1, int(share * len(values)))]


def measure(cli, case, extra):
    """Tuttiro's and the human pair's distances from the human accompanist, in ms."""
    with tempfile.TemporaryDirectory() as tmp:
        render = os.path.join(tmp, "accompaniment.mid")
        report = os.path.join(tmp, "report.csv")
        subprocess.run([cli, "follow", os.path.join(case, "score.mid"), "--solo",
                        os.path.join(case, "performance_solo.mid"), "--track", "0"] + extra + [
                        "--render", render, "--report", report], check=True, capture_output=True)
        with open(render, "rb") as f:
            _, _, chunks = parse_chunks(f.read())
        rendered = parse_track(chunks[0])  # one tick is one millisecond
        with open(report) as f:
            clock = [(int(r["time_ms"]), int(r["position"])) for r in csv.DictReader(f) if not r["pitch"]]
    with open(os.path.join(case, "score.mid"), "rb") as f:
        _, division, score_chunks = parse_chunks(f.read())
    tempo = next(v for _, kind, v in parse_track(score_chunks[0]) if kind == "tempo")
    score_events = parse_track(score_chunks[2])
    channel = next(v[0] & 0x0F for _, kind, v in score_events if kind == "ch")
    written = {}
    for tick, pitch in note_ons(score_events):
        written.setdefault(pitch, []).append((tick * tempo / division / 1000.0, tick))
    # Each note Tuttiro sent is placed in the score by where the transport was when
    # it went out, and paired with the written note of its pitch nearest there.
    times = [t for t, _ in clock]
    sent_at = {}
    for ms, kind, v in rendered:
        if kind != "ch" or v[0] != (0x90 | channel) or v[2] == 0:
            continue
        i = min(bisect.bisect_left(times, ms), len(clock) - 1)
        position = clock[i][1]
        candidates = written.get(v[1], [])
        if not candidates:
            continue
        score_ms, tick = min(candidates, key=lambda c: abs(c[0] - position))
        if abs(score_ms - position) < 60:
            sent_at.setdefault((tick, v[1]), ms)
    human = {}
    with open(os.path.join(case, "acc_ground_truth.csv")) as f:
        for row in csv.DictReader(f):
            if row["kind"] == "match":
                human.setdefault((int(row["score_tick"]), int(row["pitch"])), float(row["perf_ms"]))
    diffs = [abs(sent_at[k] - human[k]) for k in human if k in sent_at]
    solo_onsets = {}
    with open(os.path.join(case, "ground_truth.csv")) as f:
        for row in csv.DictReader(f):
            if row["kind"] == "match":
                solo_onsets.setdefault(int(row["score_tick"]), float(row["perf_ms"]))
    acc_onsets = {}
    for (tick, _), ms in human.items():
        acc_onsets[tick] = min(ms, acc_onsets.get(tick, ms))
    spread = [abs(solo_onsets[t] - acc_onsets[t]) for t in acc_onsets if t in solo_onsets]
    return diffs, len(human), spread


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--cli", default=os.path.join(here, "..", "build", "tools", "cli", "tuttiro-cli"))
    parser.add_argument("--case", nargs="*")
    parser.add_argument("--wait-for-solo", action="store_true")
    args = parser.parse_args()
    cases = args.case or sorted(glob.glob(os.path.join(here, "..", "..", "shared", "eval", "brahms_duet_*")))
    cases = [c for c in cases if os.path.isdir(c)]
    if not cases:
        print("no duet in ../shared/eval: nothing to measure")
        return 0
    extra = ["--wait-for-solo"] if args.wait_for_solo else []
    print(f"{'case':28s} {'paired':>11s}  tuttiro median  p90    human median  p90")
    for case in cases:
        diffs, total, spread = measure(args.cli, case, extra)
        print(f"{os.path.basename(case):28s} {len(diffs):5d}/{total:<5d}"
              f" {statistics.median(diffs):10.1f} {percentile(diffs, 0.9):8.1f}"
              f" {statistics.median(spread):11.1f} {percentile(spread, 0.9):6.1f}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
