#!/usr/bin/env bash
# Unpacks the built packages into a scratch root (dpkg -x) and runs what they
# installed: quavertin-cli --version and --help, the window offscreen for a
# second, and the desktop file and metainfo through their validators.
#
#   scripts/check-deb.sh DIR VERSION     DIR holds the packages of VERSION
set -uo pipefail
dir=$1 version=$2
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
passed=0 failed=0
check() { # description, command...
    local what=$1; shift
    if "$@" >"$root/.out" 2>&1; then
        passed=$((passed + 1))
    else
        failed=$((failed + 1))
        echo "FAILED: $what"; sed 's/^/    /' "$root/.out"
    fi
}

arch=$(dpkg-architecture -q DEB_HOST_ARCH)
for package in quavertin quavertin-cli; do
    deb=$dir/${package}_${version}_$arch.deb
    dpkg -x "$deb" "$root" || { echo "check-deb: dpkg -x $deb failed"; exit 1; }
done

# The programs keep their settings and library in a home of the check's own.
export HOME=$root/home XDG_CONFIG_HOME=$root/home/config XDG_DATA_HOME=$root/home/data
export XDG_CACHE_HOME=$root/home/cache XDG_STATE_HOME=$root/home/state
mkdir -p "$HOME"
cli=$root/usr/bin/quavertin-cli
check "quavertin-cli --version names $version" \
    bash -c '"$0" --version | grep -qx "quavertin-cli $1 (build [0-9]*)"' "$cli" "$version"
check "quavertin-cli --help lists the tools" bash -c '"$0" --help | grep -q "^Tools:"' "$cli"
# The window must get past start-up (the library it makes on the way) and
# still be running a second later.
check "the window runs offscreen for one second" bash -c '
    QT_QPA_PLATFORM=offscreen "$0" & pid=$!
    for ((tenths = 0; tenths < 300; tenths++)); do
        [[ -s $1/Quavertin/library.sqlite ]] || ! kill -0 $pid 2>/dev/null && break
        sleep 0.1
    done
    sleep 1
    if ! kill -0 $pid 2>/dev/null; then wait $pid; echo "quavertin ended with status $?"; exit 1; fi
    kill $pid; wait $pid
    test -s "$1/Quavertin/library.sqlite" || { echo "no library made in $1 within 30 s"; exit 1; }' \
    "$root/usr/bin/quavertin" "$XDG_DATA_HOME"
check "desktop-file-validate" desktop-file-validate "$root/usr/share/applications/org.quavertin.Quavertin.desktop"
check "appstreamcli validate" appstreamcli validate --no-net "$root/usr/share/metainfo/org.quavertin.Quavertin.metainfo.xml"
check "the icon is installed" test -s "$root/usr/share/icons/hicolor/scalable/apps/org.quavertin.Quavertin.svg"
check "zsh finds the completion where Debian's zsh looks" \
    test -s "$root/usr/share/zsh/vendor-completions/_quavertin-cli"
check "bash completion is installed" test -s "$root/usr/share/bash-completion/completions/quavertin-cli"

echo "check-deb: $passed passed, $failed failed"
((failed == 0))
