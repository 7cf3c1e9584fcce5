#!/usr/bin/env bash
# Applying a search and replace to a corpus of music files through
# quavertin-cli, then undoing it, each a whole process on the same files: the
# undo's time as a ratio to the apply's, round by round, and the median of
# those ratios (target: at most 1.30). Both runs collect, review and apply
# with the verified write and both are journalled.
# Usage: bench/bench-undo.sh [BUILD_DIR]   (BENCH_FILES=N, default 1600; BENCH_ROUNDS=N, default 3)
BENCH_FILES=${BENCH_FILES:-1600}
BENCH_ROUNDS=${BENCH_ROUNDS:-3}
source "$(dirname "$0")/benchlib.sh"
rounds=$BENCH_ROUNDS
export QT_QPA_PLATFORM=offscreen XDG_CONFIG_HOME="$work/config"

"$build/bench/bench-corpusgen" "$work/corpus" "$files" >/dev/null

ratios=()
for round in $(seq "$rounds"); do
  rm -rf "$work/music" "$work/library.sqlite"* "$work/history.sqlite"*
  cp -a "$work/corpus" "$work/music"
  library=(--library "$work/library.sqlite")
  read -r applied kb applied_cpu < <(measure "$cli" "${library[@]}" --folder "$work/music" \
    search-replace --tag name --regex --search '^(.*)$' --replace '$1 *' --yes)
  read -r undone undo_kb undone_cpu < <(measure "$cli" "${library[@]}" undo --yes)
  history=$("$cli" "${library[@]}" history --json)
  ratio=$(awk -v a="$applied" -v u="$undone" 'BEGIN { printf "%.2f", (a > 0 ? u / a : 0) }')
  ratios+=("$ratio")
  echo "round $round: apply ${applied}s cpu ${applied_cpu}s (${kb} KiB), undo ${undone}s cpu ${undone_cpu}s (${undo_kb} KiB), ratio ${ratio}x"
  # The run and its undo each changed every file, or the times mean nothing.
  if [[ $(grep -c "\"count\": $files," <<<"$history") != 2 ]] || ! grep -q '"undoOf": 1' <<<"$history"; then
    echo "the history does not hold a run of $files changes and its undo:" >&2
    echo "$history" >&2
    exit 1
  fi
done
median=$(printf '%s\n' "${ratios[@]}" | sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }')
echo "undo of $files changes: median ratio ${median}x of applying them (target 1.30x)"
