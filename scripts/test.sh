#!/usr/bin/env bash
# Runs every test: the format check, the suite as built, the end-to-end tests
# against a private PulseAudio and a private PipeWire, the suite under the
# address and undefined-behaviour sanitizers, the capture and platform tests
# under the thread sanitizer, and the fuzzers.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh --test

jobs=$(nproc)
fuzz_seconds=${FUZZ_SECONDS:-60}
logs=$(mktemp -d)
trap 'rm -rf "$logs"' EXIT

# A ctest command, with its summary kept for the closing tally.
run_ctest() {
  local name=$1
  shift
  "$@" 2>&1 | tee "$logs/$name.log"
  return "${PIPESTATUS[0]}"
}

echo "== format: every C++ file as the root .clang-format has it"
scripts/check-format.sh

echo "== plain build"
# The data folder of this build lies inside it; the end-to-end tests run the
# program installed under build/e2e-root.
cmake -S . -B build -G Ninja -DTARNVALE_WERROR=ON \
  -DTARNVALE_COMMON_DATA_DIR="$PWD/build/e2e-data" -DCMAKE_INSTALL_PREFIX="$PWD/build/e2e-root"
cmake --build build -j "$jobs"
run_ctest plain ctest --test-dir build --output-on-failure -j "$jobs" -LE e2e

# Both sound servers users run: PulseAudio, and PipeWire through its
# PulseAudio server. A failure on the first still lets the second run.
cmake --install build >/dev/null
e2e_status=0
for server in pulseaudio pipewire; do
  echo "== end-to-end on ${server}: the installed program on a private desktop and sound server"
  TARNVALE_SOUND_SERVER=$server run_ctest "e2e-$server" \
    scripts/with-desktop.sh ctest --test-dir build --output-on-failure -L e2e || e2e_status=1
done

# ---- Debian package: built, installed with apt-get, end-to-end on it ----
echo "== Debian package: build, validate, install, end-to-end against /usr/bin/tarnvale"
# Its own build: installed under /usr with the machine's data folder; the
# end-to-end tests of this build run the packaged program.
cmake -S . -B build-deb -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
  -DTARNVALE_E2E_PREFIX=/usr -DTARNVALE_BUILD_BENCH=OFF -DCMAKE_SKIP_INSTALL_ALL_DEPENDENCY=ON
cmake --build build-deb -j "$jobs" --target tarnvale tarnvale_man meter_e2e_tests raster_x11_tests
rm -f build-deb/tarnvale_*.deb
(cd build-deb && cpack -G DEB)
desktop-file-validate data/tarnvale.desktop
appstreamcli validate --no-net --pedantic --strict data/tarnvale.metainfo.xml
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq ./build-deb/tarnvale_*.deb
run_ctest package scripts/with-desktop.sh ctest --test-dir build-deb --output-on-failure -L e2e
DEBIAN_FRONTEND=noninteractive $sudo apt-get purge -y -qq tarnvale
# ---- end of the Debian package ----

echo "== sanitizers (address, undefined)"
cmake -S . -B build-asan -G Ninja -DTARNVALE_SANITIZE=ON -DTARNVALE_BUILD_BENCH=OFF \
  -DTARNVALE_WERROR=ON -DCMAKE_BUILD_TYPE=Debug
cmake --build build-asan -j "$jobs"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
  run_ctest asan ctest --test-dir build-asan --output-on-failure -j "$jobs" -LE e2e

# The capture and platform tests, the only code where threads meet (the test
# feeders and posters), scripted and against both real sound servers.
echo "== thread sanitizer: the capture and platform tests"
cmake -S . -B build-tsan -G Ninja -DTARNVALE_TSAN=ON -DTARNVALE_BUILD_BENCH=OFF \
  -DTARNVALE_WERROR=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build-tsan -j "$jobs" --target tarnvale_tests
for server in pulseaudio pipewire; do
  TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 TARNVALE_SOUND_SERVER=$server \
    run_ctest "tsan-$server" scripts/with-pulse.sh ctest --test-dir build-tsan --output-on-failure
done

echo "== fuzzing the settings file reader for ${fuzz_seconds} s"
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DTARNVALE_FUZZ=ON \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build-fuzz -j "$jobs"
mkdir -p build-fuzz/corpus
build-fuzz/fuzz/ini_fuzzer -max_total_time="$fuzz_seconds" -max_len=65536 \
  build-fuzz/corpus fuzz/seeds

echo "== fuzzing the image loader for ${fuzz_seconds} s"
mkdir -p build-fuzz/raster-corpus
build-fuzz/fuzz/raster_fuzzer -max_total_time="$fuzz_seconds" -max_len=65536 \
  build-fuzz/raster-corpus fuzz/raster_seeds

# One closing line over every ctest run above.
passed=0
failed=0
for log in "$logs"/*.log; do
  line=$(grep -E 'tests passed, [0-9]+ tests failed out of [0-9]+' "$log" | tail -n 1 || true)
  # A run that ended before its summary (its environment did not start).
  [ -n "$line" ] || { failed=$((failed + 1)); continue; }
  total=$(sed -E 's/.* out of ([0-9]+).*/\1/' <<<"$line")
  bad=$(sed -E 's/.*passed, ([0-9]+) tests failed.*/\1/' <<<"$line")
  passed=$((passed + total - bad))
  failed=$((failed + bad))
done
echo "tests: ${passed} passed, ${failed} failed"
exit "$e2e_status"
