#!/usr/bin/env bash
# Tags from File Name through quavertin-cli over a generated folder of music
# files, side by side with search and replace over the same folder: the
# collecting runs (review printed, nothing applied) against each other, and
# the apply runs (the whole run less its collect), each changing the title of
# every file, against each other. The corpus names its files
# "Artist/Album/[disc-]NN Title", so "#a/#l/#t" gives every file the title
# "NN Title". Each round works on fresh copies; the verdict is the median of
# the rounds' own ratios (targets: collecting 1.2x, applying 1.3x).
# Usage: bench/bench-fromfilename.sh [BUILD_DIR]   (BENCH_FILES=N, default 10000; BENCH_ROUNDS, default 2)
source "$(dirname "$0")/benchlib.sh"
export XDG_DATA_HOME="$work/data" XDG_STATE_HOME="$work/state" XDG_CONFIG_HOME="$work/config"
export QT_QPA_PLATFORM=offscreen
export QUAVERTIN_LIBRARY="$work/library.sqlite"

"$build/bench/bench-corpusgen" "$work/corpus" "$files" >/dev/null

names=(from-filename --pattern '#a/#l/#t')
replace=(search-replace --tag name --regex --search '^(.*)$' --replace '$1 *')
median() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", (b > 0 ? a / b : 0) }'; }

collect_ratios=() apply_ratios=()
for round in $(seq "$rounds"); do
  rm -rf "$work/names" "$work/replace" "$work/data"
  cp -a "$work/corpus" "$work/names"
  cp -a "$work/corpus" "$work/replace"
  read -r names_collect _ < <(measure "$cli" --folder "$work/names" "${names[@]}" --dry-run)
  read -r replace_collect _ < <(measure "$cli" --folder "$work/replace" "${replace[@]}" --dry-run)
  read -r names_whole _ < <(measure "$cli" --folder "$work/names" "${names[@]}" --yes)
  read -r replace_whole _ < <(measure "$cli" --folder "$work/replace" "${replace[@]}" --yes)
  names_apply=$(awk -v a="$names_whole" -v b="$names_collect" 'BEGIN { print a - b }')
  replace_apply=$(awk -v a="$replace_whole" -v b="$replace_collect" 'BEGIN { print a - b }')
  collect_ratios+=("$(ratio "$names_collect" "$replace_collect")")
  apply_ratios+=("$(ratio "$names_apply" "$replace_apply")")
  echo "round $round: collecting ${names_collect}s vs ${replace_collect}s (${collect_ratios[-1]}x)," \
    "applying ${names_apply}s vs ${replace_apply}s (${apply_ratios[-1]}x)"
done
echo "median of the rounds: collecting $(median "${collect_ratios[@]}")x (target 1.20x)," \
  "applying $(median "${apply_ratios[@]}")x (target 1.30x) search and replace"
