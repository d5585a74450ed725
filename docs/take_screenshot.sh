#!/usr/bin/env bash
# Takes docs/screenshot.png: the Tuttiro window playing the first built-in piece
# on a virtual X display, a few seconds into the music. Needs xvfb and
# imagemagick (scripts/packages.txt lists them) and a built program:
#   docs/take_screenshot.sh [PROGRAM]   (default: build/src/ui/tuttiro)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
program=${1:-$root/build/src/ui/tuttiro}
config=$(mktemp -d)
trap 'rm -rf "$config"' EXIT
xvfb-run -a -s "-screen 0 1280x800x24" bash -c '
  XDG_CONFIG_HOME="$1" "$2" --play &
  pid=$!
  sleep 12
  import -window root "$3"
  kill -TERM "$pid"
  wait "$pid"
' screenshot "$config" "$program" "$root/docs/screenshot.png"
echo "wrote $root/docs/screenshot.png"
