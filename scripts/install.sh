#!/usr/bin/env bash
# Installs the packages, builds Tarnvale, installs it and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
cmake -S . -B build-release -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DTARNVALE_BUILD_TESTS=OFF -DTARNVALE_BUILD_BENCH=OFF
cmake --build build-release -j "$(nproc)"
$sudo cmake --install build-release

# The meter window is not built yet; once it is, it starts here.
if command -v tarnvale >/dev/null 2>&1; then
  (tarnvale >/dev/null 2>&1 &)
fi
