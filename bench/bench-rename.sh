#!/usr/bin/env bash
# Renames a corpus of music files ("#n - #t", recursive) through quavertin-cli
# and through the rename floor (one TagLib open and one rename per file), each
# on its own fresh copy, and prints the CLI's time as a ratio to the floor's.
# Usage: bench/bench-rename.sh [BUILD_DIR]   (BENCH_FILES=N, default 10000)
source "$(dirname "$0")/benchlib.sh"

"$build/bench/bench-corpusgen" "$work/corpus" "$files" >/dev/null

floor=""; floor_cpu=""; run=""; run_cpu=""
for round in $(seq "$rounds"); do
  rm -rf "$work/floor" "$work/cli" "$work/library.sqlite"*
  cp -a "$work/corpus" "$work/floor"
  cp -a "$work/corpus" "$work/cli"
  # The library knows every file, so each rename is followed in it.
  "$cli" --library "$work/library.sqlite" library import "$work/cli" >/dev/null 2>&1

  read -r s kb cpu < <(measure "$build/bench/bench-renamefloor" "$work/floor")
  floor=$(lowest "$floor" "$s"); floor_cpu=$(lowest "$floor_cpu" "$cpu")
  echo "round $round: floor ${s}s, cpu ${cpu}s (${kb} KiB)"
  read -r s kb cpu < <(measure "$cli" --library "$work/library.sqlite" --folder "$work/cli" \
    rename --pattern '#n - #t' --recursive --yes)
  run=$(lowest "$run" "$s"); run_cpu=$(lowest "$run_cpu" "$cpu")
  renamed=$(find "$work/cli" -type f -name '* - *' | wc -l)
  echo "round $round: cli ${s}s, cpu ${cpu}s (${kb} KiB, $renamed renamed)"
done
awk -v f="$floor" -v c="$run" -v fc="$floor_cpu" -v cc="$run_cpu" -v n="$files" 'BEGIN {
  printf "rename %d files: floor %.2fs, cli %.2fs, ratio %.2fx (target 1.30x); processor time ratio %.2fx\n",
         n, f, c, (f > 0 ? c / f : 0), (fc > 0 ? cc / fc : 0) }'
