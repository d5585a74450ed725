#!/usr/bin/env bash
# Runs every fuzz target of a fuzzing build for a bounded time, starting from
# the seed corpus (the test corpus of valid and damaged files).
# Usage: fuzz.sh BUILD_DIR SECONDS
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/$1
seconds=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
find "$root/tests/piece/corpus" -name '*.mid' -exec cp {} "$work/" \;
cp "$root"/resources/pieces/*.mid "$work/"
"$build/fuzz/fuzz_open_piece" -max_total_time="$seconds" -max_len=65536 -rss_limit_mb=2048 \
  -timeout=10 -print_final_stats=1 "$work" 2>&1 | tail -n 12
