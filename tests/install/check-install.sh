#!/usr/bin/env bash
# Installs the build into a temporary prefix and checks what a desktop and a
# shell need: both programs, the .desktop file and its icon, the AppStream
# metainfo (both validated by their own tools), the manual pages and the bash
# and zsh completion, which must offer exactly what --help shows.
set -uo pipefail
build=$1
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
passed=0 failed=0
check() { # description, command...
    local what=$1; shift
    if "$@" >/dev/null 2>"$prefix/.err"; then
        passed=$((passed + 1))
    else
        failed=$((failed + 1))
        echo "FAILED: $what"; sed 's/^/    /' "$prefix/.err"
    fi
}

cmake --install "$build" --prefix "$prefix" >/dev/null || { echo "cmake --install failed"; exit 1; }

share=$prefix/share
for file in bin/quavertin bin/quavertin-cli \
    share/applications/org.quavertin.Quavertin.desktop \
    share/icons/hicolor/scalable/apps/org.quavertin.Quavertin.svg \
    share/metainfo/org.quavertin.Quavertin.metainfo.xml \
    share/man/man1/quavertin.1 share/man/man1/quavertin-cli.1 \
    share/bash-completion/completions/quavertin-cli share/zsh/site-functions/_quavertin-cli; do
    check "installed $file" test -s "$prefix/$file"
done
check "programs are executable" test -x "$prefix/bin/quavertin" -a -x "$prefix/bin/quavertin-cli"
desktop=$share/applications/org.quavertin.Quavertin.desktop
check "desktop-file-validate" desktop-file-validate "$desktop"
check "desktop categories" grep -qx 'Categories=AudioVideo;Audio;Qt;' "$desktop"
check "desktop icon names the installed icon" grep -qx 'Icon=org.quavertin.Quavertin' "$desktop"
check "appstreamcli validate" appstreamcli validate --no-net "$share/metainfo/org.quavertin.Quavertin.metainfo.xml"
check "metainfo launches the desktop id" grep -q '<launchable type="desktop-id">org.quavertin.Quavertin.desktop</launchable>' \
    "$share/metainfo/org.quavertin.Quavertin.metainfo.xml"
for page in quavertin quavertin-cli; do
    check "man page $page has its header" grep -q "^\.TH ${page^^} 1" "$share/man/man1/$page.1"
done
check "zsh completion parses" zsh -n "$share/zsh/site-functions/_quavertin-cli"
check "bash completion parses" bash -n "$share/bash-completion/completions/quavertin-cli"

# Runs the installed bash completion for a command line whose last word is
# being typed; prints the offers sorted, one a line.
complete_line() {
    bash -c '
        source "$1"; shift
        COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1))
        _quavertin_cli
        printf "%s\n" "${COMPREPLY[@]}" | sort' _ "$share/bash-completion/completions/quavertin-cli" "$@"
}
cli=$prefix/bin/quavertin-cli
export HOME=$prefix/home XDG_DATA_HOME=$prefix/home/data XDG_CONFIG_HOME=$prefix/home/config
export QUAVERTIN_LIBRARY=$prefix/home/library.sqlite
# The options each tool's help lists, against what completion offers after "--".
options_of() { "$cli" "$@" --help | grep -E '^\s+-' | grep -oE -- '--[a-z][a-z0-9-]*' | sort -u; }
tools=$("$cli" --help | sed -n '/^Tools:/,/^$/p' | awk 'NR > 1 && NF { print $1 }')
check "help lists tools" test -n "$tools"
for tool in $tools; do
    check "completion of $tool matches its --help" \
        diff <(options_of "$tool") <(complete_line quavertin-cli "$tool" -- | grep -- '^--')
done
offers=$(complete_line quavertin-cli '')
check "completion offers tools and global options" \
    bash -c 'grep -qx -- --library <<<"$0" && grep -qx export <<<"$0" && grep -qx completion <<<"$0"' "$offers"
check "completion offers the export formats" \
    diff <(printf '%s\n' m3u8 txt xml xspf) <(complete_line quavertin-cli export --format '')
check "completion offers the library commands" \
    grep -qx import-player <<<"$(complete_line quavertin-cli library '')"
check "completion offers the players" \
    diff <(printf '%s\n' beets clementine rhythmbox strawberry) <(complete_line quavertin-cli library import-player '')
check "completion of import-playlist matches its --help" \
    diff <("$cli" library import-playlist --help | head -1 | grep -oE -- '--[a-z-]+' | sort -u; echo) \
         <(complete_line quavertin-cli library import-playlist -- ; echo)
# Playlist names come from the library the command line names, spaces and all.
"$cli" library playlist-create "Road Trip" >/dev/null
"$cli" library playlist-create "Rock" >/dev/null
check "completion offers the library's playlists" \
    diff <(printf '%s\n' 'Road\ Trip' Rock) <(PATH=$prefix/bin:$PATH complete_line quavertin-cli --playlist R)
check "completion offers playlists to playlist commands" \
    diff <(printf '%s\n' Rock) <(PATH=$prefix/bin:$PATH complete_line quavertin-cli library playlist-delete Roc)
other=$prefix/home/other.sqlite
"$cli" --library "$other" library playlist-create "Elsewhere" >/dev/null
check "completion reads the playlists of --library" \
    diff <(printf '%s\n' Elsewhere) <(PATH=$prefix/bin:$PATH complete_line quavertin-cli --library "$other" playlist --target '')
check "installed quavertin-cli runs" "$cli" --help

echo "$passed passed, $failed failed"
((failed == 0))
