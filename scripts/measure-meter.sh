#!/usr/bin/env bash
# Measures the installed meter (not part of the tests): CPU use in percent of
# one core and resident memory while it meters a live 48 kHz signal for 60 s,
# at display sizes 100 % and 200 %, on a private desktop and sound server,
# everything pinned to one CPU. Two signals: a steady tone, and programme-like
# noise whose level on each channel wanders every 10 ms over 40 dB, so the
# bars, holds and readouts move with every buffer. The default display, then
# readouts and phase on.
#   scripts/measure-meter.sh [prefix-with-bin/tarnvale] [cpu]
# MEASURE_SECONDS and MEASURE_SIGNALS (tone programme full) shorten a check.
set -euo pipefail
cd "$(dirname "$0")/.."
prefix=${1:-build/e2e-root}
cpu=${2:-0}
data=$(sed -n 's/^TARNVALE_COMMON_DATA_DIR:PATH=//p' build/CMakeCache.txt)/Quillmoor/Tarnvale

feed() {
  python3 - "$1" <<'PY' 2>/dev/null | pacat --playback --device=tarnvale_null --format=s16le --rate=48000 --channels=2 --raw
import math, random, struct, sys
rng = random.Random(7)
if sys.argv[1] == "tone":
    # A 1 kHz tone at about -12 dB, right channel a quarter period behind.
    tone = [int(8000 * math.sin(2 * math.pi * i / 48)) for i in range(48)]
    loop = b"".join(struct.pack("<hh", tone[i % 48], tone[(i + 12) % 48]) for i in range(4800))
else:
    # Two seconds of noise, 10 ms blocks, each channel's level a random walk
    # between -40 and 0 dB, repeated.
    frames = []
    db = [-12.0, -18.0]
    for _ in range(200):
        for c in range(2):
            db[c] = min(0.0, max(-40.0, db[c] + rng.uniform(-6, 6)))
        amp = [32767 * 10 ** (d / 20) for d in db]
        for _ in range(480):
            frames.append(struct.pack("<hh", int(amp[0] * rng.uniform(-1, 1)),
                                      int(amp[1] * rng.uniform(-1, 1))))
    loop = b"".join(frames)
for _ in range(80 * 48000 * 4 // len(loop)):
    sys.stdout.buffer.write(loop)
PY
}

measure() {
  local size=$1 signal=$2 extra=$3
  # The null output's monitor is clocked by the server, like a sound card.
  printf '[Input]\nDevice Name=Monitor of Tarnvale null output\n[Form]\nsize=%s\nSample Rate=48000\n%b' \
    "$size" "$extra" >"$data/Tarnvale.ini"
  "$prefix/bin/tarnvale" >/dev/null 2>&1 &
  local pid=$!
  sleep 2
  feed "$signal" &
  local feeder=$!
  sleep 5
  local t0 c0 r0 t1 c1 r1
  t0=$(date +%s.%N); c0=$(awk '{print $14 + $15}' /proc/$pid/stat)
  r0=$(awk '/VmRSS/ {print $2}' /proc/$pid/status)
  sleep "${MEASURE_SECONDS:-60}"
  t1=$(date +%s.%N); c1=$(awk '{print $14 + $15}' /proc/$pid/stat)
  r1=$(awk '/VmRSS/ {print $2}' /proc/$pid/status)
  local hz; hz=$(getconf CLK_TCK)
  awk -v c="$((c1 - c0))" -v hz="$hz" -v t0="$t0" -v t1="$t1" -v size="$size" -v r0="$r0" -v r1="$r1" \
    -v what="$signal${extra:+, readouts and phase}" \
    'BEGIN { printf "size %s%%, %s: CPU %.2f %% of one core, RSS %d kB -> %d kB\n", size, what, 100 * c / hz / (t1 - t0), r0, r1 }'
  kill "$pid" 2>/dev/null || true
  pkill -P "$feeder" 2>/dev/null || true
  kill "$feeder" 2>/dev/null || true
  wait "$pid" "$feeder" 2>/dev/null || true
}

if [ -z "${TARNVALE_PULSE_DIR:-}" ]; then
  exec taskset -c "$cpu" scripts/with-desktop.sh "$0" "$@"
fi
for size in 100 200; do
  for signal in ${MEASURE_SIGNALS:-tone programme full}; do
    case $signal in
      full) measure "$size" programme 'Readout=1\nShow Phase=1\n' ;;
      *) measure "$size" "$signal" "" ;;
    esac
  done
done
