#!/usr/bin/env bash
# Checks that every C++ file of the tree follows the root .clang-format, with
# the clang-format of Debian 12 (14): formatting differs between versions.
# With --fix, formats them instead.
set -euo pipefail
cd "$(dirname "$0")/.."
format=clang-format-14
mode=(--dry-run -Werror)
[ "${1:-}" = "--fix" ] && mode=(-i)
if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
  git ls-files -z -- '*.cpp' '*.h' | xargs -0 "$format" "${mode[@]}"
else
  find . -path './build*' -prune -o \( -name '*.cpp' -o -name '*.h' \) -print0 |
    xargs -0 "$format" "${mode[@]}"
fi
