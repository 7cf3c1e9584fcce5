#!/usr/bin/env bash
# Installs every Debian package that building, testing and benchmarking need.
# Idempotent: the package lists are refreshed only when something is missing.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config ccache
  # fuzz targets: clang with its libFuzzer, address and UB sanitizer run-times
  clang-14 libclang-rt-14-dev
  qt6-base-dev libgl-dev
  libtag1-dev libtagc0-dev
  libicu-dev libsqlite3-dev
  # beets' configuration (config.yaml) names its library and playlists
  libyaml-dev
  # MPD's protocol for its stickers (rating, playCount); tests start their own mpd
  libmpdclient-dev mpd
  # the allocator of every program: TagLib's many small allocations
  libmimalloc-dev
  # the save check inflates compressed ID3v2 frames within a bound
  zlib1g-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  # tests: the offscreen window, screenshots and the Trash of a temporary home
  xvfb xauth imagemagick
  # the window: the SVG icons (a run-time plug-in of Qt)
  libqt6svg6
  # tests: XSPF exports are checked against the format's schema (xmllint);
  # the installed .desktop file and AppStream metainfo are validated
  libxml2-utils desktop-file-utils appstream
  # tests: the generated zsh completion is checked with zsh itself
  zsh
  # bench: libraries are copied through SQLite's own backup, never with cp
  sqlite3
  # bench: seed and corpus files are made with the encoders
  ffmpeg lame flac vorbis-tools
  # make deb: the Debian packages, built with debhelper and checked with lintian
  dpkg-dev debhelper lintian
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if ((${#missing[@]} == 0)); then
  exit 0
fi

sudo=""
if [[ $(id -u) -ne 0 ]]; then
  sudo="sudo"
fi
echo "installing: ${missing[*]}"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"

# Debian's mpd package enables a system-wide mpd (service and socket on port
# 6600). The tests start their own on a free port; a daemon that this script
# brought in unasked would only hold the port and read /var/lib/mpd, so it is
# stopped and left disabled. A person who had mpd before keeps theirs.
if [[ " ${missing[*]} " == *" mpd "* ]] && [[ -d /run/systemd/system ]]; then
  $sudo systemctl disable --now mpd.socket mpd.service >/dev/null 2>&1 || true
fi
