#!/usr/bin/env bash
# Search and replace through quavertin-cli over a generated folder of music
# files: the collecting run (review printed, nothing applied) and the apply
# run, each as a ratio to the bare TagLib floor measured here in the same run
# (bench-tagfloor: read title and artist once per file; set the title and save).
# Usage: bench-searchreplace.sh [BUILD_DIR]   (BENCH_FILES=N changes the 10000 files)
set -euo pipefail
build=$(cd "${1:-build}" && pwd)
count=${BENCH_FILES:-10000}
cli="$build/src/cli/quavertin-cli"
floor="$build/bench/bench-tagfloor"
corpusgen="$build/bench/bench-corpusgen"
for program in "$cli" "$floor" "$corpusgen"; do
  if [[ ! -x $program ]]; then
    echo "missing $program: build first" >&2
    exit 1
  fi
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
corpus="$work/corpus"
export QUAVERTIN_LIBRARY="$work/library.sqlite"
export XDG_DATA_HOME="$work/data" XDG_STATE_HOME="$work/state" XDG_CONFIG_HOME="$work/config"
export QT_QPA_PLATFORM=offscreen

"$corpusgen" "$corpus" "$count" >/dev/null

# Runs a command with its output discarded: $elapsed gets the microseconds it
# took, $peak_kb its peak resident size in kilobytes.
elapsed=0
peak_kb=0
measure() {
  local start end
  start=$(date +%s%N)
  /usr/bin/time -f '%M' -o "$work/time" "$@" >/dev/null
  end=$(date +%s%N)
  peak_kb=$(tail -n 1 "$work/time")
  elapsed=$(((end - start) / 1000))
}

# Every title gets a change, so the apply run writes every file.
search=(--folder "$corpus" search-replace --tag name --regex --search '^(.*)$' --replace '$1 *')

"$floor" read "$corpus" >/dev/null # the page cache holds the corpus from here on
measure "$floor" read "$corpus"
read_floor=$elapsed
measure "$cli" "${search[@]}" --dry-run
collect=$elapsed collect_peak=$peak_kb
measure "$cli" "${search[@]}" --yes
whole=$elapsed whole_peak=$peak_kb
measure "$floor" write "$corpus"
write_floor=$elapsed
apply=$((whole - collect))

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }
per_file() { awk -v a="$1" -v n="$count" 'BEGIN { printf "%.0f", a / n }'; }
printf 'files                %d\n' "$count"
printf 'read floor           %8d us  (%s us/file)\n' "$read_floor" "$(per_file "$read_floor")"
printf 'write floor          %8d us  (%s us/file)\n' "$write_floor" "$(per_file "$write_floor")"
printf 'collecting           %8d us  (%s us/file)  %sx the read floor\n' "$collect" "$(per_file "$collect")" \
  "$(ratio "$collect" "$read_floor")"
printf 'applying             %8d us  (%s us/file)  %sx the write floor\n' "$apply" "$(per_file "$apply")" \
  "$(ratio "$apply" "$write_floor")"
printf 'peak memory          %8d kB collecting, %d kB collecting and applying\n' "$collect_peak" "$whole_peak"
