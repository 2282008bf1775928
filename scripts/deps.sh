#!/usr/bin/env bash
# Installs the Debian 12 packages that building needs; with --test, also
# what the tests need.
set -euo pipefail

# Building and running the meter.
packages=(
  cmake ninja-build g++ pkg-config
  qt6-base-dev libjpeg-dev libpulse-dev fonts-liberation
)
# Testing it: test frameworks, the fuzzers' compiler, a private desktop with a
# sound server for the end-to-end tests, and what building and checking the
# Debian package takes.
if [ "${1:-}" = "--test" ]; then
  packages+=(
    clang libclang-rt-14-dev
    libgtest-dev libgmock-dev libbenchmark-dev
    pulseaudio pulseaudio-utils
    xvfb openbox xdotool x11-utils wmctrl imagemagick
    dpkg-dev desktop-file-utils appstream
  )
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
