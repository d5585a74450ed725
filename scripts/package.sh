#!/usr/bin/env bash
# Builds the Debian package tuttiro_VERSION_amd64.deb from a build tree:
#   scripts/package.sh [BUILD_DIR]     (default: build)
# The tree is one scripts/build.sh made (./run and ./test make build/); only what
# the package holds and the tree lacks is built. CMake's install rules fill the
# package and CPack's DEB generator packs it, its dependencies computed from the
# programs by dpkg-shlibdeps. The package lands in BUILD_DIR; its path is the
# last line printed.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
dir=${1:-build}
[[ $dir == /* ]] || dir=$root/$dir
targets=(tuttiro tuttiro-cli tuttiro_man tuttiro_doc)

if ! command -v help2man >/dev/null; then
  echo "package.sh: help2man, which writes the manual pages, is missing; run scripts/setup.sh" >&2
  exit 2
fi
if [[ ! -f $dir/CMakeCache.txt ]]; then
  TUTTIRO_TARGETS="${targets[*]}" "$root/scripts/build.sh" "$dir" >&2
else
  if grep -q '^TUTTIRO_CORE_ONLY:BOOL=ON' "$dir/CMakeCache.txt"; then
    echo "package.sh: $dir is a core-only tree without the programs to package" >&2
    exit 2
  fi
  # Configuring again finds help2man when it came after the tree was made.
  cmake "$dir" >/dev/null
  build_targets=()
  for t in "${targets[@]}"; do build_targets+=(--target "$t"); done
  cmake --build "$dir" -j "${TUTTIRO_JOBS:-2}" "${build_targets[@]}" >&2
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
(cd "$dir" && cpack --config CPackConfig.cmake -B "$work" >&2)
debs=("$work"/tuttiro_*.deb)
mv "${debs[0]}" "$dir/"
echo "$dir/$(basename "${debs[0]}")"
