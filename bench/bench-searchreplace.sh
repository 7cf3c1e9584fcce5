#!/usr/bin/env bash
# Search and replace through quavertin-cli over a generated folder of music
# files: the collecting run (review printed, nothing applied) and the apply
# run, each as a ratio to the bare TagLib floor measured here in the same run
# (bench-tagfloor: read title and artist once per file; set the title and save),
# the collecting run also to the bare file system (bench-tagfloor bare: open,
# read and close each file). A second search changes about one file in six
# (the comments of takes 1 to 4, longer by one character each round); its
# whole run, collecting and applying, is measured against the write floor.
# Each of BENCH_ROUNDS rounds (3 unless told) measures all of them; the verdict
# is the median of the rounds' own ratios, steadier than any one round on a
# shared machine.
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
# took, $cpu the processor time it used (user and system, microseconds), and
# $peak_kb its peak resident size in kilobytes. The processor time is the
# steadier number on a machine that other work shares.
elapsed=0
cpu=0
peak_kb=0
measure() {
  local start end
  start=$(date +%s%N)
  /usr/bin/time -f '%M %U %S' -o "$work/time" "$@" >/dev/null
  end=$(date +%s%N)
  read -r peak_kb user system < <(tail -n 1 "$work/time")
  cpu=$(awk -v u="$user" -v s="$system" 'BEGIN { printf "%d", (u + s) * 1e6 }')
  elapsed=$(((end - start) / 1000))
}

# Every title gets a change, so the apply run writes every file.
search=(--folder "$corpus" search-replace --tag name --regex --search '^(.*)$' --replace '$1 *')
# About one file in six: the generator gives a third of the tracks a comment
# "Recorded live, take N", N from 1 to 9.
some=(--folder "$corpus" search-replace --tag comment --regex --search '^(Recorded live, take [1-4].*)$' --replace '$1+')

"$floor" read "$corpus" >/dev/null # the page cache holds the corpus from here on

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }
per_file() { awk -v a="$1" -v n="$count" 'BEGIN { printf "%.0f", a / n }'; }
row() { # name, wall us, cpu us, floor wall us, floor cpu us
  printf '%-12s %6s us/file wall %6s us/file cpu' "$1" "$(per_file "$2")" "$(per_file "$3")"
  if [[ -n ${4:-} ]]; then
    printf '   %sx / %sx the floor' "$(ratio "$2" "$4")" "$(ratio "$3" "$5")"
  fi
  printf '\n'
}
median() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

rounds=${BENCH_ROUNDS:-3}
apply_ratios=() apply_cpu_ratios=() collect_ratios=() bare_ratios=() some_ratios=()
printf 'files        %d, %d of them changed by the second search\n' "$count" \
  "$("$cli" "${some[@]}" --dry-run | grep -c 'Recorded live')"
for ((round = 1; round <= rounds; round++)); do
  measure "$floor" read "$corpus"
  read_floor=$elapsed read_floor_cpu=$cpu
  measure "$floor" bare "$corpus"
  bare_floor=$elapsed bare_floor_cpu=$cpu
  measure "$cli" "${search[@]}" --dry-run
  collect=$elapsed collect_cpu=$cpu collect_peak=$peak_kb
  measure "$cli" "${some[@]}" --yes
  some_whole=$elapsed some_whole_cpu=$cpu
  measure "$cli" "${search[@]}" --yes
  whole=$elapsed whole_cpu=$cpu whole_peak=$peak_kb
  measure "$floor" write "$corpus"
  write_floor=$elapsed write_floor_cpu=$cpu
  apply=$((whole - collect)) apply_cpu=$((whole_cpu - collect_cpu))

  printf 'round %d\n' "$round"
  row 'read floor' "$read_floor" "$read_floor_cpu"
  row 'bare floor' "$bare_floor" "$bare_floor_cpu"
  row 'write floor' "$write_floor" "$write_floor_cpu"
  row 'collecting' "$collect" "$collect_cpu" "$read_floor" "$read_floor_cpu"
  row '  vs bare' "$collect" "$collect_cpu" "$bare_floor" "$bare_floor_cpu"
  row 'applying' "$apply" "$apply_cpu" "$write_floor" "$write_floor_cpu"
  row 'some, whole' "$some_whole" "$some_whole_cpu" "$write_floor" "$write_floor_cpu"
  printf 'peak memory  %d kB collecting, %d kB collecting and applying\n' "$collect_peak" "$whole_peak"
  collect_ratios+=("$(ratio "$collect" "$read_floor")")
  bare_ratios+=("$(ratio "$collect" "$bare_floor")")
  some_ratios+=("$(ratio "$some_whole" "$write_floor")")
  apply_ratios+=("$(ratio "$apply" "$write_floor")")
  apply_cpu_ratios+=("$(ratio "$apply_cpu" "$write_floor_cpu")")
done
printf 'median of the rounds: collecting %sx, applying %sx wall (%sx cpu) the floor\n' \
  "$(median "${collect_ratios[@]}")" "$(median "${apply_ratios[@]}")" "$(median "${apply_cpu_ratios[@]}")"
printf 'median of the rounds: collecting %sx the bare floor; the second search, collect and apply, %sx the write floor\n' \
  "$(median "${bare_ratios[@]}")" "$(median "${some_ratios[@]}")"
