#!/usr/bin/env bash
# Soak of the installed meter on a private desktop and sound server (not a test):
#   - CYCLES (200) unplugs and replugs of the metered input while a signal
#     plays, the replugged input made the default 0-100 ms after it reappears,
#     as desktops do; after each, the meter must record that input again
#     (pactl) and show its level (a screenshot pixel);
#   - the time from each replug to the meter recording again (median, worst),
#     and the meter's resident memory, open files and threads after cycles 1,
#     10, 50 and the last;
#   - sound-server outages of 0.2, 4 and 10 s, each recovered from;
#   - CLOSE NOW pressed during an outage, and how long the meter takes to end.
# TARNVALE_SOUND_SERVER=pipewire runs it on PipeWire. Run after
# `cmake --install build` (the program in build/e2e-root).
#   scripts/soak-capture.sh [CYCLES]
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
if [ -z "${TARNVALE_IN_DESKTOP:-}" ]; then exec "$here/with-desktop.sh" "$0" "$@"; fi

cycles=${1:-200}
top="$(cd "$here/.." && pwd)"
program="$top/build/e2e-root/bin/tarnvale"
data="$top/build/e2e-data/Quillmoor/Tarnvale/"
[ -x "$program" ] || { echo "install the program first: $program" >&2; exit 2; }
fifo="$TARNVALE_PULSE_DIR/feed"
input_name=$'Tarnvale test input,\u2026y a \u266a pipe'

# A square wave of +-3277 (lit up to block 32) into the test input's pipe,
# paced in real time; the pipe is opened again after every replug.
perl -MTime::HiRes=time,sleep -MFcntl -e '
  my ($path) = @ARGV; my $chunk = pack("s<*", map { (($_ / 24) % 2) ? (-3277, -3277) : (3277, 3277) } 0 .. 479);
  my $fh; my $next = time;
  while (1) {
    if (!$fh) { sysopen($fh, $path, O_WRONLY | O_NONBLOCK) or undef $fh; }
    if ($fh) { my $n = syswrite($fh, $chunk); undef $fh if !defined $n && !$!{EAGAIN}; }
    $next += 0.01; my $d = $next - time; if ($d > 0) { sleep $d } else { $next = time }
  }' "$fifo" 2>/dev/null &
feeder=$!
meter=
cleanup() {
  kill "$feeder" 2>/dev/null || true
  [ -n "$meter" ] && kill -9 "$meter" 2>/dev/null || true
}
trap cleanup EXIT

start_meter() {
  # Written through the installed link, if there is one.
  printf '[Form]\nSample Rate=48000\nleft=400\ntop=100\n[Input]\nDevice Name=%s\n' "$input_name" >"$data/Tarnvale.ini"
  "$program" >/dev/null 2>&1 &
  meter=$!
  for _ in $(seq 100); do
    window=$(xdotool search --onlyvisible --pid "$meter" --name '^Peak Level$' 2>/dev/null | head -n 1 || true)
    [ -n "$window" ] && break
    sleep 0.1
  done
  [ -n "$window" ] || { echo "the meter did not start" >&2; exit 1; }
}

source_index() { pactl list short sources | awk -v n="$1" '$2 == n { print $1 }'; }
recorded_index() { pactl list short source-outputs | awk 'NR == 1 { print $2 }'; }
now_ms() { date +%s%3N; }

# Block 20 of the left bar shows a colour (unlit is #002626, not yet drawn black).
bars_lit() {
  local c
  c=$(import -window "$window" -crop 1x1+47+399 txt:- 2>/dev/null | sed -n 's/.*#\([0-9A-Fa-f]\{6\}\).*/\1/p' | tail -n 1)
  [ -n "$c" ] && [ "$c" != 002626 ] && [ "$c" != 000000 ]
}

# Waits (at most $2 s) until the meter records the source named $1; prints ms taken.
wait_recording() {
  local started deadline index
  started=$(now_ms)
  deadline=$((started + ${2:-10} * 1000))
  while [ "$(now_ms)" -lt "$deadline" ]; do
    index=$(source_index "$1")
    if [ -n "$index" ] && [ "$(recorded_index)" = "$index" ]; then
      echo $(($(now_ms) - started))
      return 0
    fi
    sleep 0.01
  done
  return 1
}

usage_line() {
  printf 'after cycle %4d: rss %6d kB, fds %3d, threads %2d\n' "$1" \
    "$(awk '/^VmRSS/ { print $2 }' "/proc/$meter/status")" \
    "$(ls "/proc/$meter/fd" | wc -l)" "$(awk '/^Threads/ { print $2 }' "/proc/$meter/status")"
}

echo "== ${cycles} unplug/replug cycles on $(pactl info | sed -n 's/^Server Name: //p')"
start_meter
wait_recording tarnvale_test 10 >/dev/null || { echo "not recording at start" >&2; exit 1; }
module_args=$(pactl list short modules | awk -F'\t' '$2 == "module-pipe-source" { print $3 }')
times=()
wrong=0
dark=0
for cycle in $(seq "$cycles"); do
  module=$(pactl list short modules | awk -F'\t' '$2 == "module-pipe-source" { print $1 }')
  pactl unload-module "$module"
  sleep 0.3
  pactl load-module module-pipe-source "$module_args" >/dev/null
  replugged=$(now_ms)
  sleep "0.0$((RANDOM % 10))"
  pactl set-default-source tarnvale_test
  if wait_recording tarnvale_test 10 >/dev/null; then
    times+=($(($(now_ms) - replugged)))
  else
    wrong=$((wrong + 1))
    echo "cycle $cycle: not recording the input again (records source $(recorded_index))"
  fi
  sleep 0.4
  bars_lit || { dark=$((dark + 1)); echo "cycle $cycle: no level shown"; }
  case $cycle in 1 | 10 | 50 | "$cycles") usage_line "$cycle" ;; esac
done
sorted=$(printf '%s\n' "${times[@]}" | sort -n)
count=$(wc -l <<<"$sorted")
echo "recovered onto the right input: $((cycles - wrong)) of $cycles; level shown after $((cycles - dark))"
echo "recording again after the replug, ms: median $(sed -n "$(((count + 1) / 2))p" <<<"$sorted"), worst $(tail -n 1 <<<"$sorted")"

echo "== server outages"
server_pid() { cat "$PULSE_RUNTIME_PATH/pid"; }
# Away from the moment it is gone.
stop_server() {
  local pid
  pid=$(server_pid)
  kill -9 "$pid"
  # Gone once reaped: a new server refuses to start while the old PID exists.
  for _ in $(seq 500); do kill -0 "$pid" 2>/dev/null || break; sleep 0.01; done
}
for away in 0.2 4 10; do
  stop_server
  sleep "$away"
  "$TARNVALE_PULSE_SCRIPT" server
  if took=$(wait_recording tarnvale_test 40) && kill -0 "$meter" 2>/dev/null; then
    sleep 0.5
    bars_lit && shown=yes || shown=no
    echo "away ${away} s: recording again ${took} ms after the server was back, level shown: $shown"
  else
    echo "away ${away} s: NOT recovered (meter $(kill -0 "$meter" 2>/dev/null && echo alive || echo gone))"
  fi
done

echo "== CLOSE NOW during an outage"
stop_server
for _ in $(seq 100); do
  recovery=$(xdotool search --onlyvisible --name '^Form3$' 2>/dev/null | head -n 1 || true)
  [ -n "$recovery" ] && break
  sleep 0.05
done
sleep 1
pressed=$(now_ms)
xdotool mousemove --window "$recovery" 496 64 click 1
while kill -0 "$meter" 2>/dev/null && [ $(($(now_ms) - pressed)) -lt 5000 ]; do
  if ! ps -p "$meter" -o stat= | grep -qv Z; then break; fi
  sleep 0.01
done
ps -p "$meter" -o stat= | grep -qv Z && echo "CLOSE NOW: still running after 5 s" ||
  echo "CLOSE NOW: ended $(($(now_ms) - pressed)) ms after the click"
wait "$meter" 2>/dev/null || true
meter=
"$TARNVALE_PULSE_SCRIPT" server
