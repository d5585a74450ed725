#!/usr/bin/env bash
# Writes a program's manual page, compressed, from its --help and --version:
#   make_man.sh HELP2MAN PROGRAM OUT.1.gz
# For tuttiro-cli the page also holds each command's own --help.
set -euo pipefail
help2man=$1
program=$2
out=$3
name=$(basename "$program")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# The window program parses its options after the toolkit starts; the offscreen
# platform lets it do so without a display, and a private runtime folder
# without a warning about a missing one.
export QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR=$work

# Text as roff: backslashes escaped, and a line that starts with a dot or an
# apostrophe kept from being read as a request.
roff() { sed -e 's/\\/\\e/g' -e "s/^\\([.']\\)/\\\\\\&\\1/"; }

include=$work/include.h2m
case $name in
  tuttiro)
    summary="accompaniment player that follows a live soloist"
    cat > "$include" <<'TEXT'
[DESCRIPTION]
Tuttiro opens a Standard MIDI File, or the first built-in piece, and plays its
accompaniment to MIDI outputs or to the built-in synthesizer while it follows
the soloist playing on a MIDI input. A second start brings the running window
to the front. The help pages (F1) describe the window and every dialog.

[FILES]
.TP
.I $XDG_CONFIG_HOME/tuttiro/ \fR(else\fP ~/.config/tuttiro/\fR)\fP
The system settings, the named settings and the recent files.
.TP
.I /usr/share/tuttiro/help/
The help pages.

[SEE ALSO]
.BR tuttiro-cli (1)
TEXT
    ;;
  tuttiro-cli)
    summary="inspect, play and follow pieces without the Tuttiro window"
    {
      echo "[COMMANDS]"
      commands=$("$program" --help | sed -n '/^Commands:/,/^$/s/^  \([a-z-]*\) .*/\1/p')
      for command in $commands; do
        echo ".SS $command"
        echo ".nf"
        "$program" "$command" --help | roff
        echo ".fi"
      done
      echo "[SEE ALSO]"
      echo ".BR tuttiro (1)"
    } > "$include"
    ;;
  *)
    echo "make_man.sh: no manual page text for $name" >&2
    exit 2
    ;;
esac
"$help2man" --no-info --no-discard-stderr --section=1 --name="$summary" \
  --include="$include" --output="$work/$name.1" "$program"
gzip -9nc "$work/$name.1" > "$out"
