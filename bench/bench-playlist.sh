#!/usr/bin/env bash
# The playlist manager over a 100,000-track library playlist: collecting as a
# ratio to one bare query of the tested column, applying as a ratio to
# collecting, and the peak memory of the measured run. The library is built
# once by a process of its own (building is not counted); each round copies
# it and measures in a fresh process, and the lowest time of each kind over
# the rounds is compared, as the other benchmarks do (and the median of the
# rounds' own ratios shown beside).
# Usage: bench/bench-playlist.sh [BUILD_DIR]   (PLAYLIST_TRACKS=N, BENCH_ROUNDS=N)
set -euo pipefail
build=${1:-build}
rounds=${BENCH_ROUNDS:-3}
work=$(mktemp -d "${TMPDIR:-/tmp}/bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
"$build/bench/bench-playlist" build "$work/built.sqlite" "${PLAYLIST_TRACKS:-100000}"
for round in $(seq "$rounds"); do
  rm -f "$work"/library.sqlite*
  sqlite3 "$work/built.sqlite" ".backup '$work/library.sqlite'"
  echo "== round $round"
  "$build/bench/bench-playlist" run "$work/library.sqlite" | tee "$work/round"
  awk '/^floor:/ { print "floor", $5 } /^collecting/ { print "collect", $4; print "collectratio", $7 }
       /^applying \(/ { print "apply", $4; print "applyratio", $7 }
       /^insert floor:/ { print "insert", $6 } /^peak memory of this run/ { print "peak", $6 }' \
    "$work/round" >>"$work/times"
done
awk -v n="$rounds" '
  $1 == "peak" { if ($2 > peak) peak = $2; next }
  $1 ~ /ratio$/ { next }
  { if (!($1 in low) || $2 < low[$1]) low[$1] = $2 }
  END {
    printf "lowest of %d rounds: floor %.3fs, collecting %.3fs = %.2fx floor (target: within 3x)\n",
           n, low["floor"], low["collect"], low["collect"] / low["floor"]
    printf "                     applying %.3fs = %.2fx collecting (target: under 1x), %.2fx the bare insert (%.3fs)\n",
           low["apply"], low["apply"] / low["collect"], low["apply"] / low["insert"], low["insert"]
    printf "                     highest peak memory %.1f MB (target: under 300 MB)\n", peak
  }' "$work/times"
# On a shared machine the floor and the runs move from moment to moment; the
# median of each round's own ratios is shown beside the ratio of the lowest times.
median() { grep "^$1 " "$work/times" | awk '{ print $2 }' | sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
echo "median of the rounds' own ratios: collecting $(median collectratio)x floor, applying $(median applyratio)x collecting"
