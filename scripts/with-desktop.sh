#!/usr/bin/env bash
# Runs a command on a private X display (Xvfb) with a window manager (openbox)
# and a private sound server (with-pulse.sh), and stops all of it afterwards.
#   scripts/with-desktop.sh <command> [args...]
# With TARNVALE_WINDOW_MANAGER naming a program, that program is the window
# manager instead. Run inside another with-desktop.sh, it starts a display of
# its own and shares the sound server.
set -euo pipefail
[ $# -gt 0 ] || { echo "usage: $0 <command> [args...]" >&2; exit 2; }
here="$(cd "$(dirname "$0")" && pwd)"

if [ -z "${TARNVALE_IN_DESKTOP:-}" ]; then
  export TARNVALE_IN_DESKTOP=1
  exec "$here/with-pulse.sh" "$0" "$@"
fi

pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
}
trap cleanup EXIT

# A display number nobody uses.
display=90
while [ -e "/tmp/.X11-unix/X$display" ] || [ -e "/tmp/.X$display-lock" ]; do
  display=$((display + 1))
done
Xvfb ":$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
pids+=($!)
export DISPLAY=":$display"
for _ in $(seq 100); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
# TARNVALE_WINDOW_MANAGER names another window manager to run in place of openbox.
if [ -n "${TARNVALE_WINDOW_MANAGER:-}" ]; then
  "$TARNVALE_WINDOW_MANAGER" >/dev/null 2>&1 &
else
  openbox --sm-disable >/dev/null 2>&1 &
fi
pids+=($!)
# The window manager is up once it owns the screen's selection.
for _ in $(seq 100); do
  xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break
  sleep 0.1
done
"$@"
