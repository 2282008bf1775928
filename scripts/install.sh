#!/usr/bin/env bash
# Installs the packages, builds Tarnvale, installs it (program in
# /usr/local/bin, data folder /var/lib/Quillmoor/Tarnvale) and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
cmake -S . -B build-release -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DTARNVALE_BUILD_TESTS=OFF -DTARNVALE_BUILD_BENCH=OFF
cmake --build build-release -j "$(nproc)"
$sudo cmake --install build-release

# Started detached, as the user who ran this, on the desktop this runs in.
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  nohup tarnvale >/dev/null 2>&1 &
else
  echo "Installed. Start the meter from the desktop's menu, or run: tarnvale"
fi
