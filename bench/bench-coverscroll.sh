#!/usr/bin/env bash
# Scrolling the window's track table over BENCH_FILES music files (10000 by
# default) that each carry a 300 KB front cover, with the "Cover" column
# hidden and shown: the longest pause of the event loop (see coverscroll.cpp).
# Usage: bench/bench-coverscroll.sh [BUILD_DIR]
source "$(dirname "$0")/benchlib.sh"

"$build/bench/bench-corpusgen" "$work/corpus" "$files" >/dev/null
# A 300 KB JPEG: noise does not compress. Put in by the plain TagLib loop, which is quickest.
ffmpeg -loglevel error -y -f lavfi -i "nullsrc=size=700x700,geq=random(1)*255:128:128" -frames:v 1 -q:v 2 \
  "$work/cover.jpg"
"$build/bench/bench-coverfloor" add "$work/corpus" "$work/cover.jpg" >/dev/null
export HOME=$work/home XDG_DATA_HOME=$work/data XDG_CONFIG_HOME=$work/config
QT_QPA_PLATFORM=offscreen "$build/bench/bench-coverscroll" "$work/corpus" "$rounds"
