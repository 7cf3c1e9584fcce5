#!/usr/bin/env bash
# Cover art through quavertin-cli over a generated folder of music files, side
# by side with a plain TagLib loop (bench-coverfloor) doing the same with no
# checks: adding one 300 KB JPEG to every file (the whole run, review and
# verified writes included) and extracting the pictures again (each distinct
# one written once, as both do). Each round works on fresh copies; the verdict
# is the median of the rounds' own ratios (target 1.5x for both).
# Usage: bench/bench-cover.sh [BUILD_DIR]   (BENCH_FILES=N, default 10000; BENCH_ROUNDS, default 2)
source "$(dirname "$0")/benchlib.sh"
export XDG_DATA_HOME="$work/data" XDG_STATE_HOME="$work/state" XDG_CONFIG_HOME="$work/config"
export QT_QPA_PLATFORM=offscreen
export QUAVERTIN_LIBRARY="$work/library.sqlite"
floor="$build/bench/bench-coverfloor"

"$build/bench/bench-corpusgen" "$work/corpus" "$files" >/dev/null
# A 300 KB JPEG: noise does not compress.
ffmpeg -loglevel error -y -f lavfi -i "nullsrc=size=700x700,geq=random(1)*255:128:128" -frames:v 1 -q:v 2 \
  "$work/cover.jpg"
echo "cover: $(stat -c %s "$work/cover.jpg") bytes, $files files"

median() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", (b > 0 ? a / b : 0) }'; }

add_ratios=() extract_ratios=()
for round in $(seq "$rounds"); do
  rm -rf "$work/ours" "$work/theirs" "$work/data" "$work/out-ours" "$work/out-theirs"
  cp -a "$work/corpus" "$work/ours"
  cp -a "$work/corpus" "$work/theirs"
  mkdir -p "$work/out-ours" "$work/out-theirs"
  read -r ours_add _ < <(measure "$cli" --folder "$work/ours" cover add --image "$work/cover.jpg" --yes)
  read -r floor_add _ < <(measure "$floor" add "$work/theirs" "$work/cover.jpg")
  read -r ours_extract _ < <(measure "$cli" --folder "$work/ours" cover extract --output "$work/out-ours")
  read -r floor_extract _ < <(measure "$floor" extract "$work/theirs" "$work/out-theirs")
  add_ratios+=("$(ratio "$ours_add" "$floor_add")")
  extract_ratios+=("$(ratio "$ours_extract" "$floor_extract")")
  echo "round $round: adding ${ours_add}s vs ${floor_add}s (${add_ratios[-1]}x)," \
    "extracting ${ours_extract}s vs ${floor_extract}s (${extract_ratios[-1]}x)"
done
echo "median of the rounds: adding $(median "${add_ratios[@]}")x, extracting $(median "${extract_ratios[@]}")x" \
  "a plain TagLib loop (target 1.50x)"
