#!/usr/bin/env bash
# Checks the Debian package as a distribution and a musician meet it:
#   tests/package/check_package.sh DEB
# lintian on the package and the validators on its desktop entry and AppStream
# metadata (each skipped with a note when not installed); then the package is
# unpacked into a scratch root with dpkg -x and the installed programs run from
# there on the package's own files, so a file missing from the package fails.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
deb=$1
failed=0
fail() {
  echo "FAIL: $*" >&2
  failed=1
}
checker() {
  command -v "$1" >/dev/null && return 0
  echo "$1 not installed: its check is skipped (scripts/setup.sh installs it)"
  return 1
}

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
dpkg -x "$deb" "$scratch/root"
usr=$scratch/root/usr
desktop=$usr/share/applications/tuttiro.desktop
metainfo=$usr/share/metainfo/invalid.tuttiro.Tuttiro.metainfo.xml

echo "-- files"
expected=(bin/tuttiro bin/tuttiro-cli share/man/man1/tuttiro.1.gz share/man/man1/tuttiro-cli.1.gz
  share/doc/tuttiro/copyright share/doc/tuttiro/changelog.gz share/icons/hicolor/scalable/apps/tuttiro.svg)
for size in 16 24 32 48 64 128 256; do expected+=("share/icons/hicolor/${size}x$size/apps/tuttiro.png"); done
for page in "$root"/resources/help/*; do expected+=("share/tuttiro/help/${page##*/}"); done
for file in "${expected[@]}" "${desktop#"$usr"/}" "${metainfo#"$usr"/}"; do
  [[ -f $usr/$file ]] || fail "the package lacks /usr/$file"
done
# A file manager opens a MIDI file in Tuttiro only when the entry claims the
# type and passes the file on.
grep -q '^Exec=tuttiro %[fF]$' "$desktop" || fail "the desktop entry does not pass the file"
grep -q '^MimeType=.*audio/midi;' "$desktop" || fail "the desktop entry does not open MIDI files"

echo "-- dependencies"
depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
# The built-in synthesizer needs a soundfont; the rest come from the programs' libraries.
for needed in timgm6mb-soundfont libfluidsynth3 librtmidi6 libqt6widgets6; do
  [[ $depends == *"$needed"* ]] || fail "Depends lacks $needed"
done

echo "-- version"
version=$(dpkg-deb -f "$deb" Version)
project=$(sed -n 's/^project(tuttiro VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")
changelog=$(zcat "$usr/share/doc/tuttiro/changelog.gz" | sed -n '1s/^tuttiro (\([^)]*\)).*/\1/p')
release=$(sed -n 's/.*<release version="\([^"]*\)".*/\1/p' "$metainfo" | head -1)
cli=$("$usr/bin/tuttiro-cli" --version)
gui=$(QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR=$scratch "$usr/bin/tuttiro" --version)
echo "package $version, CMake $project, changelog $changelog, AppStream release $release"
echo "programs: $cli; $gui"
[[ $version == "$project" ]] || fail "the package's version is not the project's"
[[ $changelog == "$version" ]] || fail "the changelog's newest entry is not $version"
[[ $release == "$version" ]] || fail "the AppStream metadata's newest release is not $version"
[[ $cli == "tuttiro-cli $version" ]] || fail "tuttiro-cli --version says '$cli'"
[[ $gui == "tuttiro $version" ]] || fail "tuttiro --version says '$gui'"

if checker lintian; then
  echo "-- lintian"
  lintian --fail-on error,warning "$deb" || fail "lintian found errors or warnings"
fi
if checker desktop-file-validate; then
  echo "-- desktop-file-validate"
  desktop-file-validate "$desktop" || fail "desktop-file-validate refused the desktop entry"
fi
if checker appstreamcli; then
  echo "-- appstreamcli validate"
  appstreamcli validate --no-net "$metainfo" || fail "appstreamcli refused the AppStream metadata"
fi

echo "-- the installed programs"
info=$("$usr/bin/tuttiro-cli" info Ecossaise) || fail "tuttiro-cli info Ecossaise failed"
[[ $info == "piece: Ecossaise"$'\n'"load result: 0 "* ]] || fail "tuttiro-cli info did not load Ecossaise"
# The window runs for a second with its own settings and runtime folders (so a
# running copy of Tuttiro is not asked to open instead), then a SIGTERM must end
# it cleanly: status 0 after the transport stopped and the ports closed.
mkdir -m 700 "$scratch/config" "$scratch/runtime"
QT_QPA_PLATFORM=offscreen XDG_CONFIG_HOME=$scratch/config XDG_RUNTIME_DIR=$scratch/runtime \
  "$usr/bin/tuttiro" 2>"$scratch/gui.log" &
gui_pid=$!
sleep 1
if kill -0 "$gui_pid" 2>/dev/null; then
  kill -TERM "$gui_pid"
  status=0
  wait "$gui_pid" || status=$?
  ((status == 0)) || fail "the window ended with status $status on SIGTERM"
else
  status=0
  wait "$gui_pid" || status=$?
  fail "the window ended by itself within a second (status $status)"
fi
if ((failed)); then
  cat "$scratch/gui.log" >&2
  exit 1
fi
echo "-- the package passed its checks"
