#!/usr/bin/env bash
# Starts or stops a JACK server on the dummy driver for the MIDI tests:
#   jack_server.sh start NAME   starts server NAME and waits until it answers
#   jack_server.sh stop NAME    stops it
# The dummy driver needs no sound card; the server is a real MIDI router.
set -euo pipefail
action=${1:?usage: jack_server.sh start|stop NAME}
name=${2:?usage: jack_server.sh start|stop NAME}
state=${TMPDIR:-/tmp}/tuttiro-jack-$name
pidfile=$state.pid
log=$state.log

stop_server() {
  [[ -f $pidfile ]] || return 0
  local pid
  pid=$(cat "$pidfile")
  if kill -0 "$pid" 2>/dev/null; then
    kill "$pid"
    for _ in $(seq 50); do
      kill -0 "$pid" 2>/dev/null || break
      sleep 0.1
    done
    kill -9 "$pid" 2>/dev/null || true
  fi
  rm -f "$pidfile"
}

case $action in
  start)
    command -v jackd >/dev/null || { echo "jackd is not installed (package jackd2)" >&2; exit 1; }
    stop_server  # a server left over from an interrupted run
    JACK_NO_AUDIO_RESERVATION=1 setsid jackd --no-realtime -n "$name" -d dummy -r 48000 -p 256 \
      >"$log" 2>&1 </dev/null &
    echo $! >"$pidfile"
    for _ in $(seq 100); do
      if JACK_DEFAULT_SERVER=$name jack_wait -c 2>/dev/null | grep -qx running; then
        exit 0
      fi
      kill -0 "$(cat "$pidfile")" 2>/dev/null || break
      sleep 0.1
    done
    echo "the JACK server '$name' did not start; its log:" >&2
    cat "$log" >&2
    stop_server
    exit 1
    ;;
  stop)
    stop_server
    rm -f "$log"
    ;;
  *)
    echo "usage: jack_server.sh start|stop NAME" >&2
    exit 2
    ;;
esac
