#!/usr/bin/env bash
# Builds the whole suite with AddressSanitizer and UBSan in its own folder and
# runs it. Any report fails the run: the process that made it aborts, and since
# a report in a child process (the command-line program the tests start) could
# be missed by the test that started it, every report is also written to a
# folder that must stay empty.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=${SANITIZE_DIR:-build-sanitize}
jobs=${JOBS:-$(nproc)}

# -O1 and line tables only keep this second build short; reports still name
# file and line.
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUAVERTIN_SANITIZE=ON \
  -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g1 -DNDEBUG"
cmake --build "$build" -j "$jobs"

reports=$root/$build/sanitizer-reports
rm -rf "$reports"
mkdir -p "$reports"
common="halt_on_error=1:print_stacktrace=1:log_path=$reports/report"
export ASAN_OPTIONS="$common:abort_on_error=0:detect_leaks=1:strict_init_order=1:detect_stack_use_after_return=0"
export UBSAN_OPTIONS="$common"
export LSAN_OPTIONS="suppressions=$root/scripts/lsan.supp:print_suppressions=0"
export QT_QPA_PLATFORM=offscreen

status=0
(cd "$build" && ctest --output-on-failure -j "$jobs") || status=$?

shopt -s nullglob
found=("$reports"/report.*)
if ((${#found[@]} > 0)); then
  for report in "${found[@]}"; do
    echo "=== sanitizer report: $report"
    cat "$report"
  done
  echo "test-sanitize: ${#found[@]} sanitizer report(s)" >&2
  exit 1
fi
exit "$status"
