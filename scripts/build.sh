#!/usr/bin/env bash
# Configures and builds one build tree: build.sh DIR [extra cmake options...]
# DIR is relative to the repository root, or absolute.
# TUTTIRO_TARGETS, when set, names the targets to build instead of all.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
dir=$1
shift
[[ $dir == /* ]] || dir=$root/$dir
# ccache, when installed, lets other checkouts of the tree reuse each other's objects.
launcher=()
if command -v ccache >/dev/null; then
  export CCACHE_BASEDIR="$root" CCACHE_NOHASHDIR=1
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
fi
cmake -S "$root" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "${launcher[@]}" "$@" >/dev/null
targets=()
for t in ${TUTTIRO_TARGETS:-}; do targets+=(--target "$t"); done
cmake --build "$dir" -j "${TUTTIRO_JOBS:-2}" "${targets[@]}"
