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
# Each piece then gets its settings, written by `tuttiro-cli settings
# --write-defaults` into slot 0: named after the piece, following the solo
# track, a rehearsal point at the start of each section, the loop round one
# section, and Wait for Soloist and Restore Tempo markers where the music
# pauses and where it comes back in tempo after holding back.
# Nothing here depends on time or randomness: every run writes the same bytes.
#
# Usage: scripts/gen_pieces.sh [TUTTIRO_CLI]
#   TUTTIRO_CLI defaults to build/tools/cli/tuttiro-cli (build it first).
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
dir=$root/resources/pieces
pieces="ecossaise eine_kleine_nachtmusik folk_dance longing raggedy_rag"
cli=${1:-$root/build/tools/cli/tuttiro-cli}

# Slot-0 settings of each piece (positions are measure:beat), into `args`.
settings_of() {
  case $1 in
    ecossaise)
      args=(--name Ecossaise --follow 0 --rehearsal 1:1,3:1,11:1,19:1,27:1,35:1
            --loop 19:1-27:1) ;;
    eine_kleine_nachtmusik)
      args=(--name "Eine Kleine Nachtmusik" --follow 0 --rehearsal 1:1,5:1,11:1,18:1
            --loop 5:1-11:1 --wait-for-soloist 15:1 --restore-tempo 18:1) ;;
    folk_dance)
      args=(--name "Folk Dance" --follow 0 --rehearsal 1:1,2:1,10:1,18:1,26:1 --loop 18:1-26:1) ;;
    longing)
      args=(--name Longing --follow 0 --rehearsal 1:1,3:1,11:1,19:1,23:1,27:1 --loop 3:1-11:1
            --wait-for-soloist 11:1,27:1 --restore-tempo 19:1) ;;
    raggedy_rag)
      args=(--name "Raggedy Rag" --follow 0 --rehearsal 1:1,5:1,21:1,37:1,53:1
            --loop 21:1-37:1) ;;
  esac
}

if [ ! -x "$cli" ]; then
  echo "gen_pieces: $cli is missing (build the tuttiro-cli target first)" >&2
  exit 1
fi

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
  python3 "$dir/tidy_smf.py" tidy "$dir/$name.abc" "$tmp/$name.mid" "$tmp/$name.tidy.mid"
  settings_of "$name"
  "$cli" settings "$tmp/$name.tidy.mid" --write-defaults "$dir/$name.mid" "${args[@]}"
  outputs+=("$dir/$name.mid")
done

python3 "$dir/tidy_smf.py" check "${outputs[@]}"
