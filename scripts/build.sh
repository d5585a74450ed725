#!/usr/bin/env bash
# Configures and builds one build tree: build.sh DIR [extra cmake options...]
# TUTTIRO_TARGETS, when set, names the targets to build instead of all.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
dir=$1
shift
cmake -S "$root" -B "$root/$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
targets=()
for t in ${TUTTIRO_TARGETS:-}; do targets+=(--target "$t"); done
cmake --build "$root/$dir" -j 2 "${targets[@]}"
