#!/usr/bin/env bash
# Runs a command with a private PulseAudio server of its own (see pulse-env.sh),
# and stops that server afterwards whatever the command did.
set -euo pipefail
[ $# -gt 0 ] || { echo "usage: $0 <command> [args...]" >&2; exit 2; }
# Set first, so that a server that started but failed its checks is stopped too.
trap 'tarnvale_pulse_stop' EXIT
source "$(dirname "$0")/pulse-env.sh" start
"$@"
