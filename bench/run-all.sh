#!/usr/bin/env bash
# Runs every benchmark of bench/ against a build folder. Each bench-*.sh script
# prints its own measurements, as ratios to floors measured in the same run.
set -euo pipefail
build=${1:-build}
here=$(cd "$(dirname "$0")" && pwd)
shopt -s nullglob
for script in "$here"/bench-*.sh; do
  echo "== $(basename "$script")"
  "$script" "$build"
done
