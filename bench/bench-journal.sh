#!/usr/bin/env bash
# What the history journal adds to applying a search and replace over a
# folder of music files: the same engine run with and without it, round by
# round, as the median of each round's own ratio (target: at most 1.10).
# Usage: bench-journal.sh [BUILD_DIR]   (BENCH_FILES=N, BENCH_ROUNDS=N)
source "$(dirname "$0")/benchlib.sh"
program="$build/bench/bench-journal"
if [[ ! -x $program ]]; then
  echo "missing $program: build first" >&2
  exit 1
fi
TMPDIR="$work" "$program" "$files" "$((rounds < 5 ? 5 : rounds))"
