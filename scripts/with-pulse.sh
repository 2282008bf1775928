#!/usr/bin/env bash
# Runs a command with a private PulseAudio server of its own (see pulse-env.sh),
# and stops that server afterwards whatever the command did.
set -euo pipefail
[ $# -gt 0 ] || { echo "usage: $0 <command> [args...]" >&2; exit 2; }
source "$(dirname "$0")/pulse-env.sh" start
trap 'tarnvale_pulse_stop' EXIT
"$@"
