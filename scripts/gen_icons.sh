#!/usr/bin/env bash
# Regenerates the smaller sizes of the program icon (resources/icons/NxN/tuttiro.png)
# from the 256-pixel picture, for the desktop's icon theme. Needs imagemagick.
set -euo pipefail
icons=$(cd "$(dirname "$0")/../resources/icons" && pwd)
for size in 16 24 32 48 64 128; do
  mkdir -p "$icons/${size}x${size}"
  convert "$icons/tuttiro.png" -filter Lanczos -resize "${size}x${size}" -strip \
    "PNG32:$icons/${size}x${size}/tuttiro.png"
  echo "wrote resources/icons/${size}x${size}/tuttiro.png"
done
