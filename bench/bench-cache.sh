#!/usr/bin/env bash
# The tag cache over a generated folder of music files, each round measuring
# side by side (the verdicts are medians of each round's own ratios):
# - collecting a search and replace (review printed, nothing applied) again
#   over the unchanged folder, against a floor that lists the folder and
#   stats every file (bench-tagfloor stat; target at most 1.5x);
# - the first collect with the cache on (empty) against the collect with it
#   off (QUAVERTIN_CACHE=0; target at most 1.1x);
# - the same folder behind the slow-share shim (every open waits 2 ms): the
#   cached collect against the first, uncached one (target at least 20x);
# and once: the peak memory of a 100-file collect with a cache of a million
# entries (target under 60 MB).
# Usage: bench-cache.sh [BUILD_DIR]   (BENCH_FILES=N files, 10000 by default;
# BENCH_ROUNDS=N rounds, 3 by default; BENCH_ENTRIES=N entries for the memory run)
BENCH_ROUNDS=${BENCH_ROUNDS:-3}
source "$(dirname "$0")/benchlib.sh"
floor="$build/bench/bench-tagfloor"
shim="$build/bench/libbench-slowopen.so"
corpus="$work/corpus"
export QUAVERTIN_LIBRARY="$work/library.sqlite"
export XDG_DATA_HOME="$work/data" XDG_STATE_HOME="$work/state" XDG_CONFIG_HOME="$work/config"
export XDG_CACHE_HOME="$work/cache"
export QT_QPA_PLATFORM=offscreen
# The runs without the cache say QUAVERTIN_CACHE=0.
"$build/bench/bench-corpusgen" "$corpus" "$files" >/dev/null
# The cache distrusts what it reads within moments of a file's last change.
sleep 1

search=(--folder "$corpus" search-replace --tag name --regex --search '^(.*)$' --replace '$1 *' --dry-run)
# Microseconds of wall time one command takes, its output dropped.
wall() {
  local start end
  start=$(date +%s%N)
  "$@" >/dev/null 2>&1
  end=$(date +%s%N)
  echo $(((end - start) / 1000))
}
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }
median() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

"$floor" bare "$corpus" >/dev/null # the page cache holds the corpus from here on
again_ratios=() first_ratios=() slow_ratios=()
for ((round = 1; round <= rounds; round++)); do
  stat_floor=$(wall "$floor" stat "$corpus")
  bare_floor=$(wall "$floor" bare "$corpus")
  off=$(wall env QUAVERTIN_CACHE=0 "$cli" "${search[@]}")
  rm -rf "$work/cache"
  first=$(wall "$cli" "${search[@]}")
  again=$(wall "$cli" "${search[@]}")
  slow_first=$(wall env QUAVERTIN_CACHE=0 LD_PRELOAD="$shim" "$cli" "${search[@]}")
  slow_again=$(wall env LD_PRELOAD="$shim" "$cli" "${search[@]}")
  printf 'round %d: stat floor %d ms, open/read/close floor %d ms; collect: cache off %d ms, first %d ms, again %d ms; slow share: uncached %d ms, cached %d ms\n' \
    "$round" $((stat_floor / 1000)) $((bare_floor / 1000)) $((off / 1000)) $((first / 1000)) $((again / 1000)) \
    $((slow_first / 1000)) $((slow_again / 1000))
  again_ratios+=("$(ratio "$again" "$stat_floor")")
  first_ratios+=("$(ratio "$first" "$off")")
  slow_ratios+=("$(ratio "$slow_first" "$slow_again")")
done
printf 'files %d, medians of %d rounds: again %sx the stat floor (target 1.5x); first %sx the uncached collect (target 1.1x); slow share %sx faster cached (target 20x)\n' \
  "$files" "$rounds" "$(median "${again_ratios[@]}")" "$(median "${first_ratios[@]}")" "$(median "${slow_ratios[@]}")"

# A cache of many entries costs a small collect only the pages it looks at.
entries=${BENCH_ENTRIES:-1000000}
small="$work/small"
mkdir -p "$small"
mapfile -t picked < <(find "$corpus" -type f | sort | head -n 100)
cp -p "${picked[@]}" "$small/"
rm -rf "$work/cache"
"$build/bench/bench-cachefill" "$work/cache/Quavertin/tags.sqlite" "$entries" >/dev/null
sleep 1
small_search=(--folder "$small" search-replace --tag name --regex --search '^(.*)$' --replace '$1 *' --dry-run)
read -r _ off_kb _ < <(QUAVERTIN_CACHE=0 measure "$cli" "${small_search[@]}")
read -r _ fill_kb _ < <(measure "$cli" "${small_search[@]}")
read -r _ hit_kb _ < <(measure "$cli" "${small_search[@]}")
printf 'a cache of %d entries (%d MB): 100-file collect peaks at %d kB filling, %d kB from the cache, %d kB with the cache off (target 60 MB)\n' \
  "$entries" $(($(stat -c %s "$work/cache/Quavertin/tags.sqlite") / 1048576)) "$fill_kb" "$hit_kb" "$off_kb"
