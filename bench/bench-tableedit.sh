#!/usr/bin/env bash
# A library playlist of BENCH_TRACKS tracks (100000 by default) in the
# window's track table, the real window offscreen: every row selected and one
# column edited (longest event-loop pause, target under 100 ms), then the
# review of that many pending edits opened (target under 1 s).
# Usage: bench/bench-tableedit.sh [BUILD_DIR]   (BENCH_TRACKS=N, BENCH_ROUNDS=N)
source "$(dirname "$0")/benchlib.sh"

tracks=${BENCH_TRACKS:-100000}
export HOME=$work/home XDG_DATA_HOME=$work/data XDG_CONFIG_HOME=$work/config XDG_STATE_HOME=$work/state
"$build/bench/bench-million" "$work/library.sqlite" "$work/music" "$tracks" >/dev/null
QT_QPA_PLATFORM=offscreen "$build/bench/bench-tableedit" "$work/library.sqlite" "$((rounds + 1))"
