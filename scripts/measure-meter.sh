#!/usr/bin/env bash
# Measures the installed meter (not part of the tests): CPU use in percent of
# one core and resident memory while it meters a live 48 kHz signal for 60 s,
# at display sizes 100 % and 200 %, on a private desktop and sound server,
# everything pinned to one CPU.
#   scripts/measure-meter.sh [prefix-with-bin/tarnvale] [cpu]
set -euo pipefail
cd "$(dirname "$0")/.."
prefix=${1:-build/e2e-root}
cpu=${2:-0}
data=$(sed -n 's/^TARNVALE_COMMON_DATA_DIR:PATH=//p' build/CMakeCache.txt)/Quillmoor/Tarnvale

measure() {
  local size=$1
  # The null output's monitor is clocked by the server, like a sound card.
  printf '[Input]\nDevice Name=Monitor of Tarnvale null output\n[Form]\nsize=%s\nSample Rate=48000\n' \
    "$size" >"$data/Tarnvale.ini"
  "$prefix/bin/tarnvale" >/dev/null 2>&1 &
  local pid=$!
  sleep 2
  # A 1 kHz tone at about -12 dB played into the null output; the server paces it.
  python3 -c '
import math, struct, sys
tone = [int(8000 * math.sin(2 * math.pi * i / 48)) for i in range(48)]
block = b"".join(struct.pack("<hh", tone[i % 48], tone[(i + 12) % 48]) for i in range(4800))
for _ in range(800):
    sys.stdout.buffer.write(block)
' 2>/dev/null | pacat --playback --device=tarnvale_null --format=s16le --rate=48000 --channels=2 --raw &
  local feeder=$!
  sleep 5
  local t0 c0 r0 t1 c1 r1
  t0=$(date +%s.%N); c0=$(awk '{print $14 + $15}' /proc/$pid/stat)
  r0=$(awk '/VmRSS/ {print $2}' /proc/$pid/status)
  sleep 60
  t1=$(date +%s.%N); c1=$(awk '{print $14 + $15}' /proc/$pid/stat)
  r1=$(awk '/VmRSS/ {print $2}' /proc/$pid/status)
  local hz; hz=$(getconf CLK_TCK)
  awk -v c="$((c1 - c0))" -v hz="$hz" -v t0="$t0" -v t1="$t1" -v size="$size" -v r0="$r0" -v r1="$r1" \
    'BEGIN { printf "size %s%%: CPU %.2f %% of one core, RSS %d kB -> %d kB\n", size, 100 * c / hz / (t1 - t0), r0, r1 }'
  kill "$pid" "$feeder" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
}

if [ -z "${TARNVALE_PULSE_DIR:-}" ]; then
  exec taskset -c "$cpu" scripts/with-desktop.sh "$0" "$@"
fi
measure 100
measure 200
