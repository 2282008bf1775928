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
set -euo pipefail
[ $# -gt 0 ] || { echo "usage: $0 <command> [args...]" >&2; exit 2; }
here="$(cd "$(dirname "$0")" && pwd)"

if [ -z "${TARNVALE_IN_DESKTOP:-}" ]; then
  export TARNVALE_IN_DESKTOP=1
  exec "$here/with-pulse.sh" "$0" "$@"
fi

pids=()
folders=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  for folder in "${folders[@]}"; do rm -rf "$folder"; done
}
trap cleanup EXIT
trap 'exit 129' HUP
trap 'exit 130' INT
trap 'exit 143' TERM

# A display number nobody uses.
display=90
while [ -e "/tmp/.X11-unix/X$display" ] || [ -e "/tmp/.X$display-lock" ]; do
  display=$((display + 1))
done
Xvfb ":$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
pids+=($!)
export DISPLAY=":$display"
for _ in $(seq 100); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
openbox --sm-disable >/dev/null 2>&1 &
pids+=($!)
# The window manager is up once it owns the screen's selection.
for _ in $(seq 100); do
  xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break
  sleep 0.1
done

if [ "${TARNVALE_WAYLAND:-0}" = 1 ]; then
  # weston wants a runtime folder of its own mode 0700; its socket is given to
  # clients by its full path, so the sound server's XDG_RUNTIME_DIR stays.
  # Without a display or a session bus it runs no XWayland and needs no seat.
  wayland_dir=$(mktemp -d /tmp/tarnvale-wayland.XXXXXX)
  folders+=("$wayland_dir")
  chmod 700 "$wayland_dir"
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
"$@"
