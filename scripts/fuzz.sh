#!/usr/bin/env bash
# Builds the fuzz targets with clang in their own folder and runs each for
# SECONDS seconds (default 30), one after the other, on a copy of its seed
# corpus. A finding stops the run and fails it: the input is saved as
# build-fuzz/findings/<target>-crash-<hash> (or -leak-, -timeout-, -oom-)
# and printed in base64.
# Usage: scripts/fuzz.sh [SECONDS] [TARGET...]
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=${FUZZ_DIR:-build-fuzz}
seconds=${1:-30}
shift || true

CC=clang-14 CXX=clang++-14 cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUAVERTIN_FUZZ=ON
cmake --build "$build" -j "${JOBS:-$(nproc)}"

targets=("$@")
if ((${#targets[@]} == 0)); then
  for dir in fuzz/corpus/*/; do
    targets+=("$(basename "$dir")")
  done
fi

mkdir -p "$build/findings"
# Findings of earlier runs stay; only those newer than this mark are this run's.
mark=$(mktemp)
trap 'rm -f "$mark"' EXIT
export ASAN_OPTIONS="halt_on_error=1:detect_leaks=1"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
# FUZZ_SEED fixes libFuzzer's random seed, so that a run that has to pass
# (CI) walks the same mutations each time; unset, every run explores anew.
seed=()
if [[ -n ${FUZZ_SEED:-} ]]; then
  seed=(-seed="$FUZZ_SEED")
fi
for target in "${targets[@]}"; do
  # New inputs go to a scratch folder so the committed corpus stays as chosen.
  work="$build/corpus/$target"
  mkdir -p "$work"
  echo "=== $target: ${seconds}s"
  status=0
  "$build/fuzz/$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=65536 \
    -print_final_stats=1 "${seed[@]}" -artifact_prefix="$root/$build/findings/$target-" "$work" "fuzz/corpus/$target" || status=$?
  if ((status != 0)); then
    # The input is printed too, so that a log whose machine is gone still holds it.
    find "$build/findings" -name "$target-*" -newer "$mark" | while read -r finding; do
      echo "fuzz: $target found a problem; the input is $root/$finding (base64 below)" >&2
      base64 "$finding" | head -c 200000 >&2
    done
    exit "$status"
  fi
done
