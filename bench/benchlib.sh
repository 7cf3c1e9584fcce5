# Shared by the bench-*.sh scripts (sourced, not run): the build folder, the
# corpus size, a work folder removed on exit, and whole-process measurement.
set -euo pipefail
build=$(cd "${1:-build}" && pwd)
files=${BENCH_FILES:-10000}
rounds=${BENCH_ROUNDS:-2}
work=$(mktemp -d "${TMPDIR:-/tmp}/bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
cli="$build/src/cli/quavertin-cli"
# The tag cache starts empty, as on a person's first run, and goes with the work folder.
export XDG_CACHE_HOME="$work/cache"

# Prints the wall time in seconds, the peak memory in KiB and the processor
# time (user + system) in seconds of one command. On a busy machine the
# processor time is the steadier of the two times.
measure() {
  /usr/bin/time -f '%e %M %U %S' -o "$work/time" "$@" >/dev/null 2>"$work/stderr" || {
    cat "$work/stderr" >&2
    return 1
  }
  awk '{ printf "%s %s %.2f\n", $1, $2, $3 + $4 }' "$work/time"
}

# The smaller of a running minimum (empty at first) and a new time.
lowest() { if [[ -z $1 ]] || awk "BEGIN{exit !($2 < $1)}"; then echo "$2"; else echo "$1"; fi; }
