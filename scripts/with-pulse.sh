#!/usr/bin/env bash
# Runs a command with a private sound server of its own, and stops that server
# afterwards whatever the command did. TARNVALE_SOUND_SERVER chooses it:
# pulseaudio (the default, pulse-env.sh) or pipewire (PipeWire with its
# PulseAudio server, pipewire-env.sh); clients see the same environment and
# test devices either way.
set -euo pipefail
[ $# -gt 0 ] || { echo "usage: $0 <command> [args...]" >&2; exit 2; }
here="$(cd "$(dirname "$0")" && pwd)"
case "${TARNVALE_SOUND_SERVER:=pulseaudio}" in
  pulseaudio) env_script="$here/pulse-env.sh" ;;
  pipewire) env_script="$here/pipewire-env.sh" ;;
  *) echo "TARNVALE_SOUND_SERVER must be pulseaudio or pipewire" >&2; exit 2 ;;
esac
export TARNVALE_SOUND_SERVER
# Set first, so that a server that started but failed its checks is stopped
# too. A signal ends the command and then the script, through its exit trap:
# the command runs in the background (its input kept) because a trap waits
# for a command in the foreground to end by itself.
command_pid=
stop() {
  [ -z "$command_pid" ] || kill "$command_pid" 2>/dev/null || true
  exit "$1"
}
trap 'tarnvale_pulse_stop' EXIT
trap 'stop 129' HUP
trap 'stop 130' INT
trap 'stop 143' TERM
source "$env_script" start
"$@" <&0 &
command_pid=$!
wait "$command_pid"
