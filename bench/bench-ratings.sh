#!/usr/bin/env bash
# Imports a corpus folder into a fresh library, and a copy of it whose files
# carry the ratings and play counts of several players (two POPM owners,
# FMPS, Quod Libet's fields) into another, and prints the rated import as a
# ratio to the plain one measured in the same round (target: within 1.1x).
# Usage: bench/bench-ratings.sh [BUILD_DIR]   (BENCH_FILES=N, default 10000; BENCH_ROUNDS=N)
source "$(dirname "$0")/benchlib.sh"

"$build/bench/bench-corpusgen" "$work/plain" "$files" >/dev/null
cp -r "$work/plain" "$work/rated"
"$build/bench/bench-ratinggen" "$work/rated"
# Saved the same way without ratings: the same tag layout and padding, so
# that the two imports differ by the rating fields alone.
"$build/bench/bench-ratinggen" "$work/plain" --resave
# Warm the page cache so that neither side pays for the first read.
"$build/bench/bench-tagfloor" read "$work/plain" >/dev/null
"$build/bench/bench-tagfloor" read "$work/rated" >/dev/null

for round in $(seq "$rounds"); do
  rm -f "$work"/plain.sqlite* "$work"/rated.sqlite*
  read -r plain kb pcpu < <(measure "$cli" --library "$work/plain.sqlite" library import "$work/plain")
  read -r rated kb rcpu < <(measure "$cli" --library "$work/rated.sqlite" library import "$work/rated")
  echo "round $round: plain ${plain}s (cpu ${pcpu}s), rated ${rated}s (cpu ${rcpu}s)"
  awk -v p="$pcpu" -v r="$rcpu" 'BEGIN { printf "ratio %.3f\n", r / p }' >>"$work/ratios"
done
median=$(awk '{ print $2 }' "$work/ratios" | sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }')
echo "import of $files rated files: median of the rounds' processor-time ratios ${median}x the plain import (target: within 1.1x)"
