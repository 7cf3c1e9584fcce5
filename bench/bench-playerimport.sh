#!/usr/bin/env bash
# Imports a player's library (Strawberry's layout) of a corpus folder with
# `library import-player`, and the same folder with `library import`, each
# into a fresh library, and prints the player import as a ratio to the folder
# import measured in the same round (target: within 2x). Both read every
# file's tags; the player import adds reading the player's database, the
# counts and ratings, and the playlists.
# Usage: bench/bench-playerimport.sh [BUILD_DIR]   (PLAYER_TRACKS=N, default 100000; BENCH_ROUNDS=N)
BENCH_FILES=${PLAYER_TRACKS:-100000}
source "$(dirname "$0")/benchlib.sh"

"$build/bench/bench-corpusgen" "$work/corpus" "$files" >/dev/null
"$build/bench/bench-playergen" "$work/corpus" "$work/strawberry.db"
# Warm the page cache so that neither side pays for the first read.
"$build/bench/bench-tagfloor" read "$work/corpus" >/dev/null

for round in $(seq "$rounds"); do
  rm -f "$work"/folder.sqlite* "$work"/player.sqlite*
  read -r folder kb cpu < <(measure "$cli" --library "$work/folder.sqlite" library import "$work/corpus")
  echo "round $round: library import ${folder}s, cpu ${cpu}s (${kb} KiB)"
  read -r player kb cpu < <(measure "$cli" --library "$work/player.sqlite" library import-player strawberry \
    "$work/strawberry.db")
  echo "round $round: import-player ${player}s, cpu ${cpu}s (${kb} KiB)"
  awk -v f="$folder" -v p="$player" 'BEGIN { printf "ratio %.3f\n", p / f }' >>"$work/ratios"
done
median=$(awk '{ print $2 }' "$work/ratios" | sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }')
echo "player import of $files tracks: median of the rounds' ratios ${median}x library import (target: within 2x)"
