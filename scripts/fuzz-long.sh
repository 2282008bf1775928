#!/usr/bin/env bash
# Long fuzz run of the readers, by hand (CI runs them for a minute each in
# scripts/test.sh): the settings file reader and the image loaders, side by
# side at the lowest priority, each until it has had FUZZ_CPU_SECONDS of
# processor time (default one hour). Prints executions, coverage and findings.
set -euo pipefail
cd "$(dirname "$0")/.."
cpu_seconds=${FUZZ_CPU_SECONDS:-3600}
out=${FUZZ_OUT:-build-fuzz/long}

CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DTARNVALE_FUZZ=ON \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build-fuzz -j 2 --target ini_fuzzer raster_fuzzer

mkdir -p "$out"
# Processor seconds (user and system) a process has had so far.
cpu_of() {
  awk -v hz="$(getconf CLK_TCK)" '{ print int(($14 + $15) / hz) }' "/proc/$1/stat" 2>/dev/null || echo 0
}

# fuzz NAME SEEDS: runs build-fuzz/fuzz/NAME in the background.
pids=()
fuzz() {
  local name=$1 seeds=$2
  mkdir -p "$out/$name/corpus" "$out/$name/findings"
  echo 0 >"$out/$name/cpu-seconds"
  nice -n 19 "build-fuzz/fuzz/$name" -max_len=65536 -timeout=30 -rss_limit_mb=4096 \
    -print_final_stats=1 -artifact_prefix="$out/$name/findings/" \
    "$out/$name/corpus" "$seeds" >"$out/$name/log" 2>&1 &
  pids+=("$!")
}
fuzz ini_fuzzer fuzz/seeds
fuzz raster_fuzzer fuzz/raster_seeds
names=(ini_fuzzer raster_fuzzer)

# libFuzzer prints its final figures when interrupted.
running=${#pids[@]}
while [ "$running" -gt 0 ]; do
  sleep 20
  running=0
  for i in "${!pids[@]}"; do
    pid=${pids[$i]}
    kill -0 "$pid" 2>/dev/null || continue
    cpu=$(cpu_of "$pid")
    echo "$cpu" >"$out/${names[$i]}/cpu-seconds"
    if [ "$cpu" -ge "$cpu_seconds" ]; then kill -INT "$pid"; else running=$((running + 1)); fi
  done
done
wait || true

printf '%-14s %12s %10s %8s %8s %9s %s\n' fuzzer cpu-seconds executions cov features corpus findings
for name in "${names[@]}"; do
  log="$out/$name/log"
  execs=$(grep -oE 'stat::number_of_executed_units: *[0-9]+' "$log" | grep -oE '[0-9]+$' || echo "?")
  last=$(grep -E '^#[0-9]+' "$log" | tail -n 1)
  cov=$(grep -oE 'cov: [0-9]+' <<<"$last" | grep -oE '[0-9]+' || echo "?")
  ft=$(grep -oE 'ft: [0-9]+' <<<"$last" | grep -oE '[0-9]+' || echo "?")
  corpus=$(find "$out/$name/corpus" -type f | wc -l)
  findings=$(find "$out/$name/findings" -type f | wc -l)
  printf '%-14s %12s %10s %8s %8s %9s %s\n' "$name" "$(cat "$out/$name/cpu-seconds")" "$execs" \
    "$cov" "$ft" "$corpus" "$findings"
done
