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
# too; a signal ends the script through its exit trap.
trap 'tarnvale_pulse_stop' EXIT
trap 'exit 129' HUP
trap 'exit 130' INT
trap 'exit 143' TERM
source "$env_script" start
"$@"
