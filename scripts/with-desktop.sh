#!/usr/bin/env bash
# Runs a command on a private X display (Xvfb) with a window manager (openbox)
# and a private sound server (with-pulse.sh), and stops all of it afterwards.
#   scripts/with-desktop.sh <command> [args...]
#
#   TARNVALE_SOUND_SERVER=pipewire   PipeWire instead of PulseAudio (with-pulse.sh)
#   TARNVALE_WAYLAND=1               a Wayland session as well: a headless weston,
#                                    with WAYLAND_DISPLAY and XDG_SESSION_TYPE=wayland
#                                    exported, while DISPLAY stays the Xvfb display
#                                    (standing in for the session's XWayland)
#   TARNVALE_WINDOW_MANAGER=program  that window manager instead of openbox
# Run inside another with-desktop.sh, it starts a display of its own and
# shares the sound server.
set -euo pipefail
[ $# -gt 0 ] || { echo "usage: $0 <command> [args...]" >&2; exit 2; }
here="$(cd "$(dirname "$0")" && pwd)"

if [ -z "${TARNVALE_IN_DESKTOP:-}" ]; then
  export TARNVALE_IN_DESKTOP=1
  exec "$here/with-pulse.sh" "$0" "$@"
fi

# The desktop's logs, and the Wayland compositor's runtime folder.
desktop_dir=$(mktemp -d /tmp/tarnvale-desktop.XXXXXX)
pids=()
xvfb=
openbox=
cleanup() {
  # Said here, as it explains failures of the windows' tests.
  local entry name pid
  for entry in "Xvfb:$xvfb" "openbox:$openbox"; do
    name=${entry%%:*}
    pid=${entry#*:}
    [ -z "$pid" ] || kill -0 "$pid" 2>/dev/null || {
      echo "with-desktop: $name ended before the command did; its log:" >&2
      tail -n 20 "$desktop_dir/$name.log" >&2 2>/dev/null || true
    }
  done
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$desktop_dir"
}
# A signal ends the command first (see with-pulse.sh).
command_pid=
stop() {
  [ -z "$command_pid" ] || kill "$command_pid" 2>/dev/null || true
  exit "$1"
}
trap cleanup EXIT
trap 'stop 129' HUP
trap 'stop 130' INT
trap 'stop 143' TERM

# A display number nobody uses. Others start X servers on this machine too:
# the display is ours only once our server holds its lock file (a server
# that lost the race for the number ends at once, and the display that then
# answers is somebody else's).
display=90
xvfb=
while [ -z "$xvfb" ]; do
  while [ -e "/tmp/.X11-unix/X$display" ] || [ -e "/tmp/.X$display-lock" ]; do
    display=$((display + 1))
  done
  Xvfb ":$display" -screen 0 1280x1024x24 -nolisten tcp >"$desktop_dir/Xvfb.log" 2>&1 &
  pid=$!
  for _ in $(seq 100); do
    kill -0 "$pid" 2>/dev/null || break
    if [ "$(tr -d " " 2>/dev/null <"/tmp/.X$display-lock")" = "$pid" ] &&
      DISPLAY=":$display" xdpyinfo >/dev/null 2>&1; then
      xvfb=$pid
      break
    fi
    sleep 0.1
  done
  if [ -z "$xvfb" ]; then
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
    display=$((display + 1))
    [ "$display" -lt 200 ] || { echo "no X display could be started" >&2; exit 1; }
  fi
done
pids+=("$xvfb")
export DISPLAY=":$display"
# The window manager is up once the check window it names on the root window
# exists (the name outlives a window manager that ended). The windows' tests
# mean nothing without it, so the command does not run then.
for attempt in 1 2 3; do
  if [ -n "${TARNVALE_WINDOW_MANAGER:-}" ]; then
    "$TARNVALE_WINDOW_MANAGER" >>"$desktop_dir/openbox.log" 2>&1 &
  else
    openbox --sm-disable >>"$desktop_dir/openbox.log" 2>&1 &
  fi
  openbox=$!
  pids+=("$openbox")
  for _ in $(seq 100); do
    kill -0 "$openbox" 2>/dev/null || break
    check=$(xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -o '0x[0-9a-f]*' || true)
    [ -n "$check" ] && xwininfo -id "$check" >/dev/null 2>&1 && break 2
    sleep 0.1
  done
  kill "$openbox" 2>/dev/null || true
  [ "$attempt" -lt 3 ] || { echo "openbox did not start" >&2; exit 1; }
done

if [ "${TARNVALE_WAYLAND:-0}" = 1 ]; then
  # weston wants a runtime folder of its own mode 0700; its socket is given to
  # clients by its full path, so the sound server's XDG_RUNTIME_DIR stays.
  # Without a display or a session bus it runs no XWayland and needs no seat.
  wayland_dir="$desktop_dir/wayland"
  mkdir -m 700 "$wayland_dir"
  (unset DISPLAY WAYLAND_DISPLAY
   export XDG_RUNTIME_DIR="$wayland_dir"
   exec weston --backend=headless-backend.so --socket=wayland-0 --no-config --idle-time=0 \
     --log="$wayland_dir/weston.log" </dev/null >/dev/null 2>&1) &
  pids+=($!)
  for _ in $(seq 100); do [ -S "$wayland_dir/wayland-0" ] && break; sleep 0.1; done
  if [ ! -S "$wayland_dir/wayland-0" ]; then
    echo "weston did not start:" >&2
    cat "$wayland_dir/weston.log" >&2 2>/dev/null || true
    exit 1
  fi
  export WAYLAND_DISPLAY="$wayland_dir/wayland-0" XDG_SESSION_TYPE=wayland
fi
"$@" <&0 &
command_pid=$!
wait "$command_pid"
