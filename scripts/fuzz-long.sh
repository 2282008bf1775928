#!/usr/bin/env bash
# Long fuzz run of the readers, by hand (CI runs them for a minute each in
# scripts/test.sh): the settings file reader and the image loaders, side by
# side at the lowest priority, each until it has had FUZZ_CPU_SECONDS of
# processor time (default one hour). A fuzzer that stops on a finding is
# started again on its corpus. Prints executions, coverage and findings; each
# finding is run once more at normal priority, since at the lowest priority on
# a busy machine a wall-clock timeout can be mere waiting.
set -euo pipefail
cd "$(dirname "$0")/.."
cpu_seconds=${FUZZ_CPU_SECONDS:-3600}
out=${FUZZ_OUT:-build-fuzz/long}

CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DTARNVALE_FUZZ=ON \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build-fuzz -j 2 --target ini_fuzzer raster_fuzzer

# Processor seconds (user and system) a running process has had so far.
cpu_of() {
  awk -v hz="$(getconf CLK_TCK)" '{ print int(($14 + $15) / hz) }' "/proc/$1/stat" 2>/dev/null ||
    echo 0
}

# fuzz NAME SEEDS: rounds of build-fuzz/fuzz/NAME until its processor time is used.
fuzz() {
  local name=$1 seeds=$2 dir=$out/$1 used=0 round=0
  mkdir -p "$dir/corpus" "$dir/findings"
  rm -f "$dir"/log.* "$dir"/cpu.*
  while [ "$used" -lt "$cpu_seconds" ]; do
    round=$((round + 1))
    # /usr/bin/time gives the exact processor time once the round ends.
    nice -n 19 /usr/bin/time -f '%U %S' -o "$dir/cpu.$round" \
      "build-fuzz/fuzz/$name" -max_len=65536 -timeout=600 -rss_limit_mb=4096 \
      -print_final_stats=1 -artifact_prefix="$dir/findings/" "$dir/corpus" "$seeds" \
      >"$dir/log.$round" 2>&1 &
    local timer=$! pid=""
    while kill -0 "$timer" 2>/dev/null; do
      sleep 10
      [ -n "$pid" ] || pid=$(pgrep -P "$timer" || true)
      # libFuzzer prints its final figures when interrupted.
      if [ -n "$pid" ] && [ $((used + $(cpu_of "$pid"))) -ge "$cpu_seconds" ]; then
        kill -INT "$pid" 2>/dev/null || true
      fi
    done
    wait "$timer" || true
    used=$(awk -v u="$used" '{ print u + int($1 + $2) } END { if (NR == 0) print u }' \
      "$dir/cpu.$round" | tail -n 1)
    echo "$used" >"$dir/cpu-seconds"
  done
}
fuzz ini_fuzzer fuzz/seeds &
fuzz raster_fuzzer fuzz/raster_seeds &
wait

printf '%-14s %11s %6s %11s %6s %6s %7s %s\n' fuzzer cpu-seconds rounds executions cov ft corpus \
  findings
for name in ini_fuzzer raster_fuzzer; do
  dir=$out/$name
  execs=$(cat "$dir"/log.* | grep -oE 'number_of_executed_units: *[0-9]+' | grep -oE '[0-9]+$' |
    awk '{ s += $1 } END { print s + 0 }')
  last=$(cat "$dir"/log.* | grep -E '^#[0-9]+.*cov:' | tail -n 1)
  cov=$(grep -oE 'cov: [0-9]+' <<<"$last" | grep -oE '[0-9]+' || echo "?")
  ft=$(grep -oE 'ft: [0-9]+' <<<"$last" | grep -oE '[0-9]+' || echo "?")
  printf '%-14s %11s %6s %11s %6s %6s %7s %s\n' "$name" "$(cat "$dir/cpu-seconds")" \
    "$(find "$dir" -name 'log.*' | wc -l)" "$execs" "$cov" "$ft" \
    "$(find "$dir/corpus" -type f | wc -l)" \
    "$(find "$dir/findings" -type f ! -name 'slow-unit-*' | wc -l)"
  for finding in "$dir"/findings/*; do
    [ -f "$finding" ] || continue
    echo "  $(basename "$finding"): again at normal priority:" \
      "$("build-fuzz/fuzz/$name" -runs=1 "$finding" 2>&1 | grep -E '^Executed|ERROR|SUMMARY' |
        head -n 2 | tr '\n' ' ')"
  done
done
