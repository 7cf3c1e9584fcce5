#!/usr/bin/env bash
# Exports a corpus folder of music files through quavertin-cli, as text and as
# XML, and prints each time as a ratio to the read floor (one TagLib open per
# file reading title and artist) measured in the same run.
# Usage: bench/bench-export.sh [BUILD_DIR]   (BENCH_FILES=N, default 10000)
source "$(dirname "$0")/benchlib.sh"

"$build/bench/bench-corpusgen" "$work/corpus" "$files" >/dev/null
# Warm the page cache so that neither side pays for the first read.
"$build/bench/bench-tagfloor" read "$work/corpus" >/dev/null

floor=""; txt=""; xml=""
for round in $(seq "$rounds"); do
  read -r s kb cpu < <(measure "$build/bench/bench-tagfloor" read "$work/corpus")
  floor=$(lowest "$floor" "$s"); echo "round $round: floor ${s}s, cpu ${cpu}s (${kb} KiB)"
  for format in txt xml; do
    read -r s kb cpu < <(measure "$cli" --library "$work/library.sqlite" --folder "$work/corpus" \
      export --format "$format" --output "$work/export.$format")
    lines=$(wc -l <"$work/export.$format")
    echo "round $round: $format ${s}s, cpu ${cpu}s (${kb} KiB, $lines lines)"
    if [[ $format == txt ]]; then txt=$(lowest "$txt" "$s"); else xml=$(lowest "$xml" "$s"); fi
  done
done
awk -v f="$floor" -v t="$txt" -v x="$xml" -v n="$files" 'BEGIN {
  printf "export %d files: floor %.2fs, txt %.2fs (%.2fx), xml %.2fs (%.2fx) (target 1.30x)\n",
         n, f, t, (f > 0 ? t / f : 0), x, (f > 0 ? x / f : 0) }'
