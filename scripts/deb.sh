#!/usr/bin/env bash
# Builds the Debian packages the way Debian does (dpkg-buildpackage, debhelper,
# CMake's default generator) from a copy of the tree in OUT, checks them with
# lintian (an error or a warning that debian/*.lintian-overrides does not give
# a reason for fails) and then runs the installed files (check-deb.sh).
#
#   scripts/deb.sh [OUT]     OUT defaults to ../quavertin-deb beside the tree
#
# The tests are not run in the package build (nocheck): CI runs the suite
# itself. Nor are debug symbol packages made (noautodbgsym): compressing their
# 35 MB took longer than compiling from the cache. DEB_BUILD_OPTIONS set by the
# caller (even empty) is used instead.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
out=${1:-$root/../quavertin-deb}
mkdir -p "$out"
out=$(cd "$out" && pwd)
case $out/ in "$root"/*) echo "deb: $out is inside the tree; choose a folder outside it" >&2; exit 2 ;; esac

version=$(dpkg-parsechangelog -l debian/changelog -S Version)
source=$out/quavertin-$version
rm -rf "$source"
rm -f "$out"/quavertin*_"$version"_*.{deb,changes,buildinfo}
mkdir -p "$source"
# The files git knows (edits not yet committed included), never a build folder.
if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
  git ls-files -z --cached --others --exclude-standard |
    while IFS= read -r -d '' file; do [[ -e $file ]] && printf '%s\0' "$file"; done |
    tar --null -T - -cf - | tar -xf - -C "$source"
else
  tar --exclude=./.git --exclude='./build*' --exclude=./out -cf - . | tar -xf - -C "$source"
fi

export DEB_BUILD_OPTIONS=${DEB_BUILD_OPTIONS-nocheck noautodbgsym}
[[ $DEB_BUILD_OPTIONS == *parallel=* ]] || DEB_BUILD_OPTIONS+=" parallel=${JOBS:-$(nproc)}"
profiles=()
[[ " $DEB_BUILD_OPTIONS " == *" nocheck "* ]] && profiles=(-Pnocheck)
# debhelper gives the build an empty home of its own: the compiler cache is
# pointed at the builder's cache and settings, or every build starts cold.
if command -v ccache >/dev/null; then
  export CCACHE_DIR=${CCACHE_DIR:-$(ccache -k cache_dir)}
  config=$(ccache -sv | sed -n 's/^Config file: *//p')
  if [[ -z ${CCACHE_CONFIGPATH:-} && -n $config ]]; then export CCACHE_CONFIGPATH=$config; fi
fi

echo "deb: building in $source ($DEB_BUILD_OPTIONS)"
(cd "$source" && dpkg-buildpackage -us -uc -b "${profiles[@]}")

changes=$out/quavertin_${version}_$(dpkg-architecture -q DEB_HOST_ARCH).changes
echo "deb: lintian $changes"
lintian --display-info --fail-on error,warning "$changes"
rm -rf "$source"

"$root/scripts/check-deb.sh" "$out" "$version"
echo "deb: the packages are in $out:"
ls "$out"/quavertin*_"$version"_*.deb
