#!/usr/bin/env bash
# A folder on a slow share: every open of a music file waits 2 ms (the
# preloaded bench-slowopen; SLOWOPEN_MS changes it). Collecting a search and
# replace over it with one thread and with eight, rounds interleaved; the gain
# is the median of each round's own ratio.
# Usage: bench-slowshare.sh [BUILD_DIR]   (BENCH_FILES=N files, 2000 by default;
# BENCH_ROUNDS=N rounds, 3 by default)
BENCH_FILES=${BENCH_FILES:-2000} BENCH_ROUNDS=${BENCH_ROUNDS:-3}
source "$(dirname "$0")/benchlib.sh"
count=$files
corpus="$work/corpus"
shim="$build/bench/libbench-slowopen.so"
export QUAVERTIN_LIBRARY="$work/library.sqlite"
export XDG_DATA_HOME="$work/data" XDG_STATE_HOME="$work/state" XDG_CONFIG_HOME="$work/config"
export QT_QPA_PLATFORM=offscreen
"$build/bench/bench-corpusgen" "$corpus" "$count" >/dev/null

search=(--folder "$corpus" search-replace --tag name --regex --search '^(.*)$' --replace '$1 *' --dry-run)
# Microseconds one collecting run takes with the given number of threads.
collect() {
  local start end
  start=$(date +%s%N)
  QUAVERTIN_THREADS=$1 LD_PRELOAD="$shim" "$cli" "${search[@]}" >/dev/null
  end=$(date +%s%N)
  echo $(((end - start) / 1000))
}

collect 8 >/dev/null # the page cache holds the corpus from here on
ratios=()
for ((round = 1; round <= rounds; round++)); do
  one=$(collect 1)
  eight=$(collect 8)
  ratio=$(awk -v a="$one" -v b="$eight" 'BEGIN { printf "%.2f", a / b }')
  ratios+=("$ratio")
  printf 'round %d: 1 thread %d ms, 8 threads %d ms, %sx faster\n' "$round" $((one / 1000)) $((eight / 1000)) "$ratio"
done
median=$(printf '%s\n' "${ratios[@]}" | sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }')
printf 'files %d, %s ms per open: 8 threads collect %sx faster than 1 (median of %d rounds)\n' "$count" \
  "${SLOWOPEN_MS:-2}" "$median" "$rounds"
