#!/usr/bin/env bash
# The playlist manager over a 100,000-track library playlist: collecting as a
# ratio to one bare query of the tested column, applying as a ratio to
# collecting, and the peak memory of the measured run (the library is built
# by a process of its own, so that building it is not counted).
set -euo pipefail
build=${1:-build}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$build/bench/bench-playlist" build "$work/library.sqlite" "${PLAYLIST_TRACKS:-100000}"
"$build/bench/bench-playlist" run "$work/library.sqlite"
