#!/usr/bin/env bash
# A private PipeWire (the daemon, the WirePlumber session manager and the
# PulseAudio-compatible server pipewire-pulse) for the end-to-end tests, with
# the same interface and test devices as pulse-env.sh:
#
#   source scripts/pipewire-env.sh start   # starts it and exports its environment
#   source scripts/pipewire-env.sh stop    # stops exactly the processes it started
#   scripts/pipewire-env.sh server         # brings back whatever of it is not running,
#                                          # test devices included (tests use it after
#                                          # killing the server)
#
# Clients reach it through PULSE_SERVER=unix:$TARNVALE_PULSE_DIR/native.
# $PULSE_RUNTIME_PATH/pid holds the pid of pipewire-pulse: the server the
# clients talk to, so killing it is what a server restart means here. It takes
# the test devices with it (they live in its modules); pipewire and WirePlumber
# stay up, and WirePlumber keeps the chosen default source for the new one.
#
# What differs from PulseAudio (Debian 12: PipeWire 0.3.65, WirePlumber 0.4.13):
# - The pipe source's FIFO is read on the graph's clock: while the source
#   records and nothing is written, it delivers silence, and written data
#   arrives in whole graph periods (1024 frames at 48 kHz); a rest shorter
#   than that waits in the pipe for the next write.
# - It delivers to recorders every graph period, about 21 ms, whatever
#   fragment size the client asks for.
# - The pipe source creates its FIFO, accepts an existing FIFO, refuses any
#   other file, and removes a FIFO it made when it is unloaded.
# - pipewire-pulse answers clients only after the commands of its pulse.cmd
#   list have run, as PulseAudio does with its start-up script, so the test
#   devices are loaded there: loaded afterwards through pactl, a client that
#   reconnects right after a restart would find a server without them.
#   `pactl load-module`/`unload-module` of the same modules work as on
#   PulseAudio (the unplug test uses them).

# Whether the process in the pid file of `name` runs (a zombie does not: an
# orphan that has ended can stay one for seconds until init reaps it).
tarnvale_pw_running() {
  local name=$1 pid state
  pid=$(cat "$TARNVALE_PULSE_DIR/pids/$name" 2>/dev/null) || return 1
  [ "$(cat "/proc/$pid/comm" 2>/dev/null)" = "$name" ] || return 1
  state=$(sed -E 's/^[0-9]+ \(.*\) (.).*/\1/' "/proc/$pid/stat" 2>/dev/null) || return 1
  [ "$state" != Z ]
}

# Ends `name` if it is one of ours and waits until it has ended.
tarnvale_pw_end() {
  local name=$1 pid
  tarnvale_pw_running "$name" || return 0
  pid=$(cat "$TARNVALE_PULSE_DIR/pids/$name")
  kill "$pid" 2>/dev/null || true
  for _ in $(seq 50); do tarnvale_pw_running "$name" || return 0; sleep 0.1; done
  kill -KILL "$pid" 2>/dev/null || true
  for _ in $(seq 20); do tarnvale_pw_running "$name" || return 0; sleep 0.1; done
}

# Starts `name` with the servers' environment, in a session of its own, and
# records its pid. The servers get no terminal, display or session bus, and
# keep all their state and configuration in the folder.
tarnvale_pw_launch() {
  local name=$1 dir=$TARNVALE_PULSE_DIR
  shift
  (
    unset DISPLAY WAYLAND_DISPLAY
    export XDG_CONFIG_HOME="$dir/config" XDG_STATE_HOME="$dir/state" \
      XDG_DATA_HOME="$dir/data" XDG_CACHE_HOME="$dir/cache" PIPEWIRE_RUNTIME_DIR="$dir"
    # No session bus to find or start, and no system bus (Bluetooth, logind).
    export DBUS_SESSION_BUS_ADDRESS="unix:path=$dir/no-bus" \
      DBUS_SYSTEM_BUS_ADDRESS="unix:path=$dir/no-bus"
    # Nothing of the caller's but the three standard files, which go to the
    # log: a test that runs `server` reads its output to the end, and a
    # server holding the write end of that pipe would make it wait forever.
    for fd in "/proc/$BASHPID/fd/"*; do
      fd=${fd##*/}
      [ "$fd" -gt 2 ] && eval "exec $fd>&-"
    done
    # setsid execs the server in place (a background child leads no process
    # group), so $! is the server itself.
    exec setsid "$name" "$@" </dev/null >>"$dir/$name.log" 2>&1
  ) &
  local pid=$!
  echo "$pid" >"$dir/pids/$name"
  # Until the exec, the process still runs the shell (or setsid).
  for _ in $(seq 100); do
    [ "$(cat "/proc/$pid/comm" 2>/dev/null)" = "$name" ] && return 0
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.02
  done
  kill -KILL "$pid" 2>/dev/null || true
  tarnvale_pw_fail "$name did not start"
}

tarnvale_pw_fail() {
  echo "pipewire-env: $*" >&2
  local log
  for log in "$TARNVALE_PULSE_DIR"/*.log; do
    [ -f "$log" ] && { echo "--- $log" >&2; tail -n 20 "$log" >&2; }
  done
  return 1
}

tarnvale_pulse_server() {
  local dir=$TARNVALE_PULSE_DIR
  mkdir -p "$dir/pids"
  if ! tarnvale_pw_running pipewire; then
    # Without the daemon the other two are of no use (WirePlumber ends by
    # itself, pipewire-pulse stays but turns every client away).
    tarnvale_pw_end pipewire-pulse
    tarnvale_pw_end wireplumber
    rm -f "$dir/pipewire-0" "$dir/pipewire-0.lock"
    tarnvale_pw_launch pipewire -c "$dir/pipewire.conf" || return 1
    for _ in $(seq 100); do [ -S "$dir/pipewire-0" ] && break; sleep 0.05; done
    [ -S "$dir/pipewire-0" ] || { tarnvale_pw_fail "pipewire did not start"; return 1; }
  fi
  tarnvale_pw_running wireplumber || tarnvale_pw_launch wireplumber || return 1
  if ! tarnvale_pw_running pipewire-pulse; then
    # A FIFO left by a killed server would be taken over; anything else at
    # that path would make the pipe source fail.
    rm -f "$dir/feed"
    tarnvale_pw_launch pipewire-pulse -c "$dir/pipewire-pulse.conf" || return 1
  fi
  # Ready once both devices are listed and the test input is the default
  # source. WirePlumber keeps the chosen default across pipewire-pulse
  # restarts and sets it on its own; it is asked again only when it has none.
  local asked=0 sources default i
  for i in $(seq 200); do
    if ! tarnvale_pw_running pipewire-pulse || ! tarnvale_pw_running wireplumber; then
      tarnvale_pw_fail "a server ended while starting"
      return 1
    fi
    sources=$(pactl list sources short 2>/dev/null || true)
    if grep -q $'\ttarnvale_test\t' <<<"$sources" &&
      grep -q $'\ttarnvale_null.monitor\t' <<<"$sources"; then
      default=$(pactl get-default-source 2>/dev/null || true)
      if [ "$default" = tarnvale_test ]; then
        # Written by pipewire-pulse too, but only once it has started.
        cat "$dir/pids/pipewire-pulse" >"$PULSE_RUNTIME_PATH/pid"
        return 0
      fi
      if [ $((i - asked)) -ge 10 ]; then
        pactl set-default-source tarnvale_test >/dev/null 2>&1 || true
        asked=$i
      fi
    fi
    sleep 0.05
  done
  tarnvale_pw_fail "the test devices did not come up within 10 s"
}

tarnvale_pw_write_config() {
  local dir=$1
  mkdir -p "$dir/config/wireplumber/main.lua.d" "$dir/config/wireplumber/bluetooth.lua.d"
  # The daemon as Debian configures it, less what needs a session bus or a
  # display (portal, X11 bell). The dummy driver clocks the graph.
  cat >"$dir/pipewire.conf" <<CONF
context.properties = {
    link.max-buffers = 16
    core.daemon = true
    core.name = pipewire-0
    default.clock.min-quantum = 16
}
context.spa-libs = {
    audio.convert.* = audioconvert/libspa-audioconvert
    support.* = support/libspa-support
}
context.modules = [
    { name = libpipewire-module-rt args = { nice.level = -11 } flags = [ ifexists nofail ] }
    { name = libpipewire-module-protocol-native }
    { name = libpipewire-module-profiler }
    { name = libpipewire-module-metadata }
    { name = libpipewire-module-spa-device-factory }
    { name = libpipewire-module-spa-node-factory }
    { name = libpipewire-module-client-node }
    { name = libpipewire-module-client-device }
    { name = libpipewire-module-access }
    { name = libpipewire-module-adapter }
    { name = libpipewire-module-link-factory }
    { name = libpipewire-module-session-manager }
]
context.objects = [
    { factory = spa-node-factory
      args = { factory.name = support.node.driver node.name = Dummy-Driver
               node.group = pipewire.dummy priority.driver = 20000 } }
    { factory = spa-node-factory
      args = { factory.name = support.node.driver node.name = Freewheel-Driver
               priority.driver = 19000 node.group = pipewire.freewheel node.freewheel = true } }
]
CONF
  # The module arguments are those of pulse-env.sh's start-up script, quotes
  # included: pipewire-pulse splits a property list at spaces unless the
  # whole list is quoted. No module-always-sink (Debian's default): its
  # placeholder output would come and go with the test output.
  cat >"$dir/pipewire-pulse.conf" <<CONF
context.spa-libs = {
    audio.convert.* = audioconvert/libspa-audioconvert
    support.* = support/libspa-support
}
context.modules = [
    { name = libpipewire-module-rt args = { nice.level = -11 } flags = [ ifexists nofail ] }
    { name = libpipewire-module-protocol-native }
    { name = libpipewire-module-client-node }
    { name = libpipewire-module-adapter }
    { name = libpipewire-module-metadata }
    { name = libpipewire-module-protocol-pulse }
]
pulse.properties = {
    server.address = [ "unix:$dir/native" ]
}
pulse.cmd = [
    { cmd = "load-module"
      args = "module-pipe-source source_name=tarnvale_test file=$dir/feed format=s16le rate=48000 channels=2 source_properties='device.description=\"Tarnvale test input, fed by a ♪ pipe\"'" }
    { cmd = "load-module"
      args = "module-null-sink sink_name=tarnvale_null sink_properties='device.description=\"Tarnvale null output\"'" }
]
CONF
  # WirePlumber ends at start-up when a plugin that needs D-Bus cannot reach
  # it (flatpak portal permissions, ALSA device reservation, logind for
  # Bluetooth). Without real devices to manage, those are off; so are the
  # device monitors, so that a machine's own sound cards never take part.
  cat >"$dir/config/wireplumber/main.lua.d/60-tarnvale.lua" <<'LUA'
alsa_monitor.enabled = false
v4l2_monitor.enabled = false
libcamera_monitor.enabled = false
default_access.properties["enable-flatpak-portal"] = false
LUA
  echo 'bluez_monitor.enabled = false' >"$dir/config/wireplumber/bluetooth.lua.d/60-tarnvale.lua"
}

tarnvale_pulse_start() {
  local dir
  dir=$(mktemp -d /tmp/tarnvale-pipewire.XXXXXX) || return 1
  export TARNVALE_PULSE_DIR="$dir"
  export TARNVALE_PULSE_SCRIPT
  TARNVALE_PULSE_SCRIPT="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)/pipewire-env.sh"
  # PULSE_STATE_PATH and the cookie are for the client library: pipewire-pulse
  # takes no cookie, but pactl would write one into the home folder.
  export HOME="$dir" XDG_RUNTIME_DIR="$dir" PULSE_RUNTIME_PATH="$dir/runtime" \
    PULSE_STATE_PATH="$dir/state" PULSE_COOKIE="$dir/cookie" PIPEWIRE_RUNTIME_DIR="$dir"
  mkdir -p "$PULSE_RUNTIME_PATH" "$PULSE_STATE_PATH" "$dir/pids"
  chmod 700 "$dir" "$PULSE_RUNTIME_PATH"
  tarnvale_pw_write_config "$dir"
  export PULSE_SERVER="unix:$dir/native"
  tarnvale_pulse_server
}

tarnvale_pulse_stop() {
  local dir=${TARNVALE_PULSE_DIR:-}
  [ -n "$dir" ] && [ -d "$dir" ] || return 0
  local name
  # The clients first, so that none of them reports the daemon's going.
  for name in pipewire-pulse wireplumber pipewire; do tarnvale_pw_end "$name"; done
  rm -rf "$dir"
  unset TARNVALE_PULSE_DIR PULSE_SERVER
}

case "${1:-}" in
  start) tarnvale_pulse_start ;;
  stop) tarnvale_pulse_stop ;;
  server) tarnvale_pulse_server ;;
  *) echo "usage: source ${BASH_SOURCE[0]} start|stop, or ${BASH_SOURCE[0]} server" >&2; false ;;
esac
