#!/usr/bin/env bash
# Installs the Debian 12 packages that building needs; with --test, also
# what the tests need.
set -euo pipefail

# Building and running the meter.
packages=(
  cmake ninja-build g++ pkg-config
  qt6-base-dev libjpeg-dev libpulse-dev libxcb1-dev libxcb-shm0-dev fonts-liberation
)
# Testing it: test frameworks, the fuzzers' compiler, the formatter, and a
# private desktop with both sound servers for the end-to-end tests
# (PulseAudio, and PipeWire with its PulseAudio server and session manager), a
# headless Wayland compositor and Qt's Wayland plugin for the Wayland-session
# test, and what building and checking the Debian package takes.
if [ "${1:-}" = "--test" ]; then
  packages+=(
    clang libclang-rt-14-dev clang-format-14
    libgtest-dev libgmock-dev libbenchmark-dev
    pulseaudio pulseaudio-utils
    pipewire pipewire-bin pipewire-pulse wireplumber
    weston qt6-wayland
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
