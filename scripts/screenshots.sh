#!/usr/bin/env bash
# Saves a picture of every pane, of the review sheet over real music files
# (changed parts marked), of the main window with the folder's tracks after
# the run, of the filename changer's preview, of the tag panel showing a
# track's cover and of the library browser into
# OUTDIR, running the application under Xvfb with
# a throw-away home. Usage: scripts/screenshots.sh OUTDIR [BUILD_DIR]
set -euo pipefail

out=${1:?usage: scripts/screenshots.sh OUTDIR [BUILD_DIR]}
root=$(cd "$(dirname "$0")/.." && pwd)
build=${2:-$root/build}
app=$build/src/gui/quavertin
cli=$build/src/cli/quavertin-cli
[[ -x $app ]] || { echo "no application at $app: build first (make build)" >&2; exit 2; }
command -v xvfb-run >/dev/null || { echo "xvfb-run is missing: scripts/install-deps.sh" >&2; exit 2; }
command -v ffmpeg >/dev/null || { echo "ffmpeg is missing: scripts/install-deps.sh" >&2; exit 2; }

mkdir -p "$out"
out=$(cd "$out" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# A small album whose titles are in lower case, so that capitalization has
# something to propose for every track.
# Under the throw-away home, so that the window shows it as ~/Music.
music="$work/home/Music/Seed Artist/Lower Case Album"
mkdir -p "$music"
titles=("intro" "the long road" "a man for all seasons" "war and peace and love" "night drive"
        "coda (reprise)" "born in the usa" "rain on the window")
n=1
for title in "${titles[@]}"; do
  ffmpeg -loglevel error -y -i "$root/tests/data/seed.mp3" -c copy -map_metadata -1 \
    -metadata title="$title" -metadata artist="Seed Artist" -metadata album="Lower Case Album" \
    -metadata genre="Rock" -metadata date=2001 -metadata track=$n -id3v2_version 3 \
    "$music/$(printf %02d $n) $title.mp3"
  n=$((n + 1))
done

# A front cover in every file of the album, from a cover.jpg beside them.
ffmpeg -loglevel error -y -f lavfi -i "testsrc=size=300x300:rate=1" -frames:v 1 "$music/cover.jpg"
export HOME=$work/home XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data XDG_STATE_HOME=$work/state
export XDG_RUNTIME_DIR=$work/runtime QT_QPA_PLATFORM=xcb
mkdir -p "$HOME" "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
# Past the first launches: the hint that fades on them would cover the panes.
mkdir -p "$XDG_CONFIG_HOME/Quavertin"
printf '[General]\nLaunches=2\n' > "$XDG_CONFIG_HOME/Quavertin/Quavertin.conf"
# A library that knows the album, with two playlists for the menus to show.
"$cli" --folder "$HOME/Music" cover from-folder --yes >/dev/null
"$cli" library import "$HOME/Music" >/dev/null
"$cli" library playlist-create "Road Trip" >/dev/null
"$cli" library playlist-create "Lower Case Album" >/dev/null
ids=$("$cli" library tracks --json | grep -o '"id": *[0-9]*' | grep -o '[0-9]*' | head -5 | tr '\n' ' ')
[[ -n $ids ]] && "$cli" library playlist-add "Lower Case Album" $ids >/dev/null
export QUAVERTIN_SCREENSHOTS=$out QUAVERTIN_SCREENSHOT_FOLDER=$HOME/Music
xvfb-run -a -s "-screen 0 1280x900x24" "$app"
ls -1 "$out"/*.png
