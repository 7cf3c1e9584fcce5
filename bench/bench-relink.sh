#!/usr/bin/env bash
# Dead track relinking at two sizes: its cost grows with files plus tracks
# (one scan of the folder, one look-up per track), so four times the size
# takes about four times as long, not sixteen.
set -euo pipefail
build=${1:-build}
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for n in 2500 ${RELINK_TRACKS:-10000}; do
  mkdir -p "$work/$n"
  "$build/bench/bench-relink" "$here/../tests/data/seed.mp3" "$work/$n" "$n"
done
