#!/usr/bin/env bash
# Crash safety of the settings save, by hand (not a test):
#   - RUNS times (default 1000), a process saving the settings over and over
#     (two value sets in turn) is killed with SIGKILL at a random moment; the
#     file must then be the whole of one set, and after the next start (the
#     load) no temporary file may be left;
#   - the time one full save takes, as the dialog's OK makes it (median and
#     worst of 20).
# The data folder is set up as installed (a link into Settings/), in a
# temporary folder on /var/tmp.
#
# usage: scripts/crash-safety.sh [--at COMMIT]
#   --at COMMIT  measures the settings layer of COMMIT instead (built with the
#                same probe), in a plain folder as installs of that time had.
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${RUNS:-1000}
at=""
[ "${1:-}" = "--at" ] && at=$2

work=$(mktemp -d /var/tmp/tarnvale-crash.XXXXXX)
trap 'rm -rf "$work"' EXIT

if [ -n "$at" ]; then
  mkdir -p "$work/src"
  git archive "$at" settings platform | tar -x -C "$work/src"
  cp bench/settings_probe.cpp "$work/src/"
  g++ -std=c++20 -O2 -I"$work/src" -o "$work/probe" "$work/src/settings_probe.cpp" \
    "$work/src"/settings/{settings_file,ini_file,number_text,ring_length}.cpp
  probe=$work/probe
  layout="a plain folder, settings layer of $at"
else
  cmake --build build --target settings_probe >/dev/null
  probe=$PWD/build/bench/settings_probe
  layout="the installed layout (link into Settings/)"
fi

# setup FOLDER: an empty data folder as the install step leaves it.
setup() {
  mkdir -p "$1"
  if [ -z "$at" ]; then sh data/setup-data-folder.sh "$1"; fi
}
# The settings file itself and the folder it lies in.
file_of() { if [ -L "$1/Tarnvale.ini" ]; then echo "$1/Settings/Tarnvale.ini"; else echo "$1/Tarnvale.ini"; fi; }
# Files beside the settings file other than itself: temporary files.
others() { find "$(dirname "$(file_of "$1")")" -maxdepth 1 -type f ! -name Tarnvale.ini | wc -l; }

for set in a b; do
  setup "$work/ref-$set"
  "$probe" write "$work/ref-$set/" "$set"
done
ref_a=$(file_of "$work/ref-a")
ref_b=$(file_of "$work/ref-b")

data=$work/data
setup "$data"
"$probe" write "$data/" a
file=$(file_of "$data")

whole=0 partial=0 mixed=0 missing=0 left_by_kills=0 starts_leaving_some=0
for ((i = 1; i <= runs; i++)); do
  before=$(others "$data")
  coproc saver { exec "$probe" saves "$data/"; }
  pid=$saver_PID
  read -r _ <&"${saver[0]}"
  sleep "$(printf '0.%03d' $((RANDOM % 40)))"
  kill -KILL "$pid"
  wait "$pid" 2>/dev/null || true

  if [ ! -e "$file" ]; then
    missing=$((missing + 1))
  elif cmp -s "$file" "$ref_a" || cmp -s "$file" "$ref_b"; then
    whole=$((whole + 1))
  elif cmp "$file" "$ref_a" 2>&1 | grep -q EOF || cmp "$file" "$ref_b" 2>&1 | grep -q EOF; then
    partial=$((partial + 1))
  else
    mixed=$((mixed + 1))
  fi
  left_by_kills=$((left_by_kills + $(others "$data") - before))
  "$probe" start "$data/"
  [ "$(others "$data")" -eq 0 ] || starts_leaving_some=$((starts_leaving_some + 1))
  [ -L "$data/Tarnvale.ini" ] || [ -n "$at" ] || { echo "the link was replaced"; exit 1; }
done

echo "layout: $layout"
echo "kills: $runs  whole old/new: $whole  partial: $partial  mixed: $mixed  missing: $missing"
echo "temporary files the kills left: $left_by_kills  starts after which some remained:" \
  "$starts_leaving_some  remaining at the end: $(others "$data")"

# Time of one full save, 20 in a row, on a file as OK finds it.
setup "$work/timed"
"$probe" write "$work/timed/" a
mapfile -t us < <("$probe" time "$work/timed/" 20 | sort -n)
awk -v a="${us[9]}" -v b="${us[10]}" -v w="${us[19]}" \
  'BEGIN { printf "save time of 20: median %.1f ms, worst %.1f ms\n", (a + b) / 2000, w / 1000 }'
