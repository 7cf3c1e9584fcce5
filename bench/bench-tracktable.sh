#!/usr/bin/env bash
# The window's track table over a folder of BENCH_FILES music files (10000 by
# default), the real window offscreen: time to the first 100 rows (and its
# ratio to reading those files' tags in a bare loop), time to every row, and
# the longest pause of the event loop while the rows arrive.
# Usage: bench/bench-tracktable.sh [BUILD_DIR]
source "$(dirname "$0")/benchlib.sh"

"$build/bench/bench-corpusgen" "$work/corpus" "$files" >/dev/null
export HOME=$work/home XDG_DATA_HOME=$work/data XDG_CONFIG_HOME=$work/config
QT_QPA_PLATFORM=offscreen "$build/bench/bench-tracktable" "$work/corpus" "$((rounds + 1))"
