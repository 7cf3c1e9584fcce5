#!/usr/bin/env bash
# Search and replace on a library playlist of the generated files against the
# same run on their folder: every title matches, the review's first 1,600 rows
# stay checked, so each run writes 1,600 files (the library run also their
# rows, in a few transactions). Each round measures both whole runs and both
# collecting runs (--dry-run) in fresh processes; applying is the difference.
# Shown: the lowest times, and the median of each round's own ratios.
# Target: the library run within 1.3x the folder run.
# Usage: bench/bench-writethrough.sh [BUILD_DIR]   (BENCH_FILES=N, BENCH_ROUNDS=N)
here=$(cd "$(dirname "$0")" && pwd)
source "$here/benchlib.sh"
changes=${BENCH_CHANGES:-1600}
export QUAVERTIN_LIBRARY="$work/library.sqlite"
export XDG_DATA_HOME="$work/data" XDG_STATE_HOME="$work/state" XDG_CONFIG_HOME="$work/config"
export QT_QPA_PLATFORM=offscreen

"$build/bench/bench-corpusgen" "$work/corpus" "$files" >/dev/null
"$cli" library import "$work/corpus" >/dev/null
"$cli" library playlist-create All >/dev/null
# shellcheck disable=SC2046 # one argument per track id
"$cli" library playlist-add All $("$cli" library tracks | cut -f1) >/dev/null

replace=(search-replace --tag name --regex --search '^(.*)$' --replace '$1 *' --uncheck "$((changes + 1))-$files")
folder=(--folder "$work/corpus" "${replace[@]}")
library=(--playlist All "${replace[@]}")

for round in $(seq "$rounds"); do
  read -r fc _ fcc < <(measure "$cli" "${folder[@]}" --dry-run)
  read -r fw _ fwc < <(measure "$cli" "${folder[@]}" --yes)
  read -r lc _ lcc < <(measure "$cli" "${library[@]}" --dry-run)
  read -r lw _ lwc < <(measure "$cli" "${library[@]}" --yes)
  awk -v r="$round" -v fc="$fc" -v fw="$fw" -v lc="$lc" -v lw="$lw" -v fcpu="$fwc" -v lcpu="$lwc" \
      -v fa="$(awk -v a="$fwc" -v b="$fcc" 'BEGIN { print a - b }')" \
      -v la="$(awk -v a="$lwc" -v b="$lcc" 'BEGIN { print a - b }')" 'BEGIN {
    printf "round %d: folder run %.2fs (collect %.2fs), library run %.2fs (collect %.2fs); cpu %.2fs / %.2fs\n",
           r, fw, fc, lw, lc, fcpu, lcpu
    printf "folderwhole %.3f\nlibrarywhole %.3f\nwholeratio %.3f\napplyratio %.3f\n",
           fw, lw, lw / fw, (la > 0 && fa > 0) ? la / fa : 0 > "/dev/stderr"
  }' 2>>"$work/times"
done
low() { grep "^$1 " "$work/times" | awk '{ print $2 }' | sort -g | head -1; }
median() { grep "^$1 " "$work/times" | awk '{ print $2 }' | sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
printf 'files %d, changes applied %d, rounds %d\n' "$files" "$changes" "$rounds"
printf 'lowest whole runs: folder %.2fs, library %.2fs = %.2fx (target: within 1.3x)\n' \
  "$(low folderwhole)" "$(low librarywhole)" "$(awk -v a="$(low librarywhole)" -v b="$(low folderwhole)" 'BEGIN { print a / b }')"
echo "median of the rounds' own ratios: whole run $(median wholeratio)x, applying (processor time) $(median applyratio)x"
