#!/usr/bin/env bash
# A push of 10,000 tracks' ratings and play counts (20,000 stickers) to a
# local mpd, through the controller as the command line runs it, against the
# floor of the same stickers stored straight with command lists (target: the
# push under 10 s). Needs the mpd program (scripts/install-deps.sh).
#
# MPD commits every sticker in a transaction of its own: where the disk syncs
# each commit (about 22 ms on the development machine's ext4) 20,000 stickers
# take minutes whatever the client does, and the floor with them. mpd's files
# are therefore kept in memory (/dev/shm) unless BENCH_MPD_DISK=1, so that the
# times measure the protocol and the client.
# Usage: bench/bench-mpd.sh [BUILD_DIR]   (BENCH_FILES=N, default 10000; BENCH_ROUNDS=N, default 3)
BENCH_ROUNDS=${BENCH_ROUNDS:-3}
source "$(dirname "$0")/benchlib.sh"
if [[ ${BENCH_MPD_DISK:-0} != 1 && -d /dev/shm && -w /dev/shm ]]; then
  export TMPDIR=/dev/shm
fi
QT_QPA_PLATFORM=offscreen "$build/bench/bench-mpdpush" "$files" "$BENCH_ROUNDS"
