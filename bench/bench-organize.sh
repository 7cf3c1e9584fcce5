#!/usr/bin/env bash
# Organizes a corpus of music files into "#a/#l/#n - #t" folders under a new
# root through quavertin-cli (collecting, review, verified moves, the library
# following, the history), and makes the same moves with the floor (a bare
# loop of mkdir and rename(2) over the list of moves the CLI's review gave),
# each on its own fresh copy. Prints the CLI's time as a ratio to the floor's
# per round and the median of the rounds' ratios (target 1.5x).
# Usage: bench/bench-organize.sh [BUILD_DIR]   (BENCH_FILES=N, default 10000; BENCH_ROUNDS, default 2)
source "$(dirname "$0")/benchlib.sh"
export XDG_DATA_HOME="$work/data" XDG_STATE_HOME="$work/state" XDG_CONFIG_HOME="$work/config"
export QT_QPA_PLATFORM=offscreen

"$build/bench/bench-corpusgen" "$work/corpus" "$files" >/dev/null

# The moves, as the CLI's review lists them for the first copy's paths.
rm -rf "$work/cli"
cp -a "$work/corpus" "$work/cli"
"$cli" --library "$work/library.sqlite" --folder "$work/cli" organize --to "$work/cli-out" \
  --pattern '#a/#l/#n - #t' --dry-run --json >"$work/review.json"
python3 - "$work/review.json" "$work/cli" "$work/corpus-copy" "$work/cli-out" "$work/floor-out" >"$work/moves" <<'PY'
import json, sys
review, cli, copy, cli_out, floor_out = sys.argv[1:]
for record in json.load(open(review))["records"]:
    print(record["oldTag"].replace(cli, copy, 1))
    print(record["newTag"].replace(cli_out, floor_out, 1))
PY
moves=$(($(wc -l <"$work/moves") / 2))
echo "organize $files files, $moves moves"

ratios=()
for round in $(seq "$rounds"); do
  rm -rf "$work/cli" "$work/cli-out" "$work/corpus-copy" "$work/floor-out" "$work/library.sqlite"* "$work/data"
  cp -a "$work/corpus" "$work/corpus-copy"
  cp -a "$work/corpus" "$work/cli"
  read -r floor kb floor_cpu < <(measure "$build/bench/bench-organizefloor" "$work/moves")
  read -r run kb run_cpu < <(measure "$cli" --library "$work/library.sqlite" --folder "$work/cli" organize \
    --to "$work/cli-out" --pattern '#a/#l/#n - #t' --yes)
  moved=$(find "$work/cli-out" -type f | wc -l)
  ratio=$(awk -v a="$run" -v b="$floor" 'BEGIN { printf "%.2f", (b > 0 ? a / b : 0) }')
  ratios+=("$ratio")
  echo "round $round: floor ${floor}s (cpu ${floor_cpu}s), cli ${run}s (cpu ${run_cpu}s, ${kb} KiB, $moved moved): ${ratio}x"
done
printf '%s\n' "${ratios[@]}" | sort -g | awk '{ v[NR] = $1 } END {
  printf "median of the rounds: organize %.2fx the rename(2) floor (target 1.50x)\n",
         (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
