#!/usr/bin/env bash
# Regenerates the five built-in pieces, resources/pieces/<name>.mid, from their
# ABC sources resources/pieces/<name>.abc, then checks the results.
#
# For each piece abc2midi (Debian package abcmidi) writes a raw MIDI file into
# a temporary folder; resources/pieces/tidy_smf.py rebuilds it into the layout
# the player expects (conductor track first, one named track per voice, one
# channel per track, program change at tick 0, end-of-track at the end of the
# last bar). Finally tidy_smf.py checks all five files and prints what each
# track holds; the script fails if abc2midi reports an error or a warning
# (a bar of the wrong length, for one) or if a check fails.
# Nothing here depends on time or randomness: every run writes the same bytes.
#
# Usage: scripts/gen_pieces.sh
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
dir=$root/resources/pieces
pieces="ecossaise eine_kleine_nachtmusik folk_dance longing raggedy_rag"

if ! command -v abc2midi >/dev/null 2>&1; then
  echo "gen_pieces: abc2midi is missing (apt-get install abcmidi)" >&2
  exit 1
fi

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

outputs=()
for name in $pieces; do
  abc2midi "$dir/$name.abc" -o "$tmp/$name.mid" >"$tmp/$name.log" 2>&1 || true
  if grep -q "^Error" "$tmp/$name.log" || [ ! -s "$tmp/$name.mid" ]; then
    echo "gen_pieces: abc2midi failed on $name.abc:" >&2
    cat "$tmp/$name.log" >&2
    exit 1
  fi
  if grep -q "^Warning" "$tmp/$name.log"; then
    echo "gen_pieces: abc2midi warnings for $name.abc:" >&2
    grep "^Warning" "$tmp/$name.log" >&2
    exit 1
  fi
  python3 "$dir/tidy_smf.py" tidy "$dir/$name.abc" "$tmp/$name.mid" "$dir/$name.mid"
  outputs+=("$dir/$name.mid")
done

python3 "$dir/tidy_smf.py" check "${outputs[@]}"
