#!/usr/bin/env bash
# A private PulseAudio server for the end-to-end tests, in a folder of its own.
#
#   source scripts/pulse-env.sh start   # starts it and exports its environment
#   source scripts/pulse-env.sh stop    # stops exactly the server it started
#   scripts/pulse-env.sh server         # (re)starts the server in the folder already
#                                       # exported (tests use it after killing it)
#
# The server has a pipe-fed test input "tarnvale_test" (the default source; write
# s16le stereo 48 kHz into $TARNVALE_PULSE_DIR/feed) and a null output whose
# monitor is a second input.

tarnvale_pulse_server() {
  # The pipe source creates its FIFO itself and refuses an existing file, which a
  # killed server may have left behind.
  rm -f "$TARNVALE_PULSE_DIR/feed"
  (unset DISPLAY WAYLAND_DISPLAY
   pulseaudio -n -F "$TARNVALE_PULSE_DIR/own.pa" --daemonize=yes --use-pid-file=yes \
     --exit-idle-time=-1 --disallow-exit --system=false --log-target=file:"$TARNVALE_PULSE_DIR/log" \
     2>>"$TARNVALE_PULSE_DIR/log") || { cat "$TARNVALE_PULSE_DIR/log" >&2; return 1; }
}

tarnvale_pulse_start() {
  local dir
  dir=$(mktemp -d /tmp/tarnvale-pulse.XXXXXX) || return 1
  export TARNVALE_PULSE_DIR="$dir"
  export TARNVALE_PULSE_SCRIPT
  TARNVALE_PULSE_SCRIPT="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)/pulse-env.sh"
  export HOME="$dir" XDG_RUNTIME_DIR="$dir" PULSE_RUNTIME_PATH="$dir/runtime" \
    PULSE_STATE_PATH="$dir/state" PULSE_COOKIE="$dir/cookie"
  mkdir -p "$PULSE_RUNTIME_PATH" "$PULSE_STATE_PATH"
  chmod 700 "$dir" "$PULSE_RUNTIME_PATH"
  cat >"$dir/own.pa" <<PA
load-module module-native-protocol-unix auth-anonymous=1 socket=$dir/native
load-module module-pipe-source source_name=tarnvale_test file=$dir/feed format=s16le rate=48000 channels=2 source_properties='device.description="Tarnvale test input, fed by a ♪ pipe"'
load-module module-null-sink sink_name=tarnvale_null sink_properties='device.description="Tarnvale null output"'
set-default-source tarnvale_test
PA
  export PULSE_SERVER="unix:$dir/native"
  tarnvale_pulse_server
}

tarnvale_pulse_stop() {
  local dir=${TARNVALE_PULSE_DIR:-}
  [ -n "$dir" ] && [ -d "$dir" ] || return 0
  local pid
  pid=$(cat "$PULSE_RUNTIME_PATH/pid" 2>/dev/null || true)
  if [ -n "$pid" ] && kill "$pid" 2>/dev/null; then
    for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
  fi
  rm -rf "$dir"
  unset TARNVALE_PULSE_DIR PULSE_SERVER
}

case "${1:-}" in
  start) tarnvale_pulse_start ;;
  stop) tarnvale_pulse_stop ;;
  server) tarnvale_pulse_server ;;
  *) echo "usage: source ${BASH_SOURCE[0]} start|stop, or ${BASH_SOURCE[0]} server" >&2; false ;;
esac
