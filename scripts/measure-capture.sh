#!/usr/bin/env bash
# Measures the capture path against a private sound server (not part of the
# tests): delay and continuity for 30 s at 48 kHz, then CPU use for 60 s at
# 96 kHz, fed through the pipe input (which passes data on as often as it is
# written) and recorded from the null output's monitor (which the server
# clocks itself). Everything runs pinned to one CPU, since wake-ups across
# CPUs make small CPU figures jump between runs.
#   scripts/measure-capture.sh [build-dir] [cpu]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
cpu=${2:-0}
cmake --build "$build" --target capture_probe >/dev/null
probe="$build/bench/capture_probe"

echo "== delay and continuity, 48 kHz, 30 s"
taskset -c "$cpu" scripts/with-pulse.sh "$probe" --seconds 30 --rate 48000
echo "== CPU use, 96 kHz, 60 s, pipe input fed every 5 ms"
taskset -c "$cpu" scripts/with-pulse.sh "$probe" --seconds 60 --rate 96000
echo "== CPU use, 96 kHz, 60 s, monitor of the null output"
taskset -c "$cpu" scripts/with-pulse.sh "$probe" --seconds 60 --rate 96000 --monitor
