#!/usr/bin/env bash
# The review of a 100,000-record change list: the table model and the printed
# review, each step as a ratio to copying the records' texts once.
# Usage: bench-review.sh [BUILD_DIR]   (REVIEW_RECORDS=N changes the 100000)
set -euo pipefail
build=${1:-build}
"$build/bench/bench-reviewmodel" "${REVIEW_RECORDS:-100000}"
