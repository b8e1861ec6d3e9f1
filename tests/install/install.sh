#!/bin/sh
# Installs the build into a temporary prefix and checks that what desktops, software centres and
# man read lands where they look for it, and is valid: the program, its desktop entry (which opens a
# folder), its icons, its metadata, its manual page and the guide to the emulator's folder.
#
# Usage: install.sh <build folder>
set -eu
build=$1
prefix=$(mktemp -d "${TMPDIR:-/tmp}/gantrel-install.XXXXXX")
trap 'rm -rf "$prefix" "$prefix.log"' EXIT
trap 'exit 1' HUP INT TERM

fail() {
    echo "FAIL: $*" >&2
    echo "--- installed:" >&2
    (cd "$prefix" && find . -type f | sort) >&2
    exit 1
}
for tool in desktop-file-validate appstreamcli groff; do
    command -v "$tool" >/dev/null 2>&1 || { echo "SKIP: $tool is missing: run scripts/install-deps.sh"; exit 77; }
done

cmake --install "$build" --prefix "$prefix" >"$prefix.log" 2>&1 || { cat "$prefix.log" >&2; fail "cmake --install failed"; }

[ -x "$prefix/bin/gantrel" ] || fail "no executable bin/gantrel"
version=$("$prefix/bin/gantrel" --version) || fail "bin/gantrel --version failed"

# The desktop entry and the metadata are paired by name: <id>.desktop and <id>.metainfo.xml.
set -- "$prefix"/share/applications/*.desktop
[ $# -eq 1 ] || fail "more than one desktop entry in share/applications"
[ -f "$1" ] || fail "no desktop entry in share/applications"
desktop=$1
id=$(basename "$desktop" .desktop)
grep -qx 'Exec=gantrel %f' "$desktop" || fail "the desktop entry does not run gantrel with a folder"
grep -qx 'MimeType=inode/directory;' "$desktop" || fail "the desktop entry does not open folders"
grep -qx 'Icon=gantrel' "$desktop" || fail "the desktop entry does not name the icon gantrel"
desktop-file-validate "$desktop" || fail "desktop-file-validate rejects the desktop entry"
for size in 16 32; do
    icon="$prefix/share/icons/hicolor/${size}x${size}/apps/gantrel.png"
    [ -f "$icon" ] || fail "no icon share/icons/hicolor/${size}x${size}/apps/gantrel.png"
    [ "$(od -An -c -N4 "$icon" | tr -d ' ')" = '211PNG' ] || fail "the ${size}x${size} icon is not a PNG file"
done

metainfo="$prefix/share/metainfo/$id.metainfo.xml"
[ -f "$metainfo" ] || fail "no share/metainfo/$id.metainfo.xml beside the desktop entry $id.desktop"
appstreamcli validate --no-net "$metainfo" >"$prefix.log" 2>&1 || { cat "$prefix.log" >&2; fail "appstreamcli rejects the metadata"; }
grep -qF "<id>$id</id>" "$metainfo" || fail "the metadata's id is not $id"
grep -qF "<launchable type=\"desktop-id\">$id.desktop</launchable>" "$metainfo" || fail "the metadata does not launch $id.desktop"
grep -qF "<release version=\"${version#Gantrel }\"" "$metainfo" || fail "the metadata has no release for $version"

guide="$prefix/share/doc/gantrel/Gantrel.txt"
[ -f "$guide" ] || fail "no guide share/doc/gantrel/Gantrel.txt"
grep -q 'roms.txt' "$guide" || fail "the guide does not tell how roms.txt is written"

manual="$prefix/share/man/man6/gantrel.6"
[ -f "$manual" ] || fail "no manual page share/man/man6/gantrel.6"
if ! groff -man -Tutf8 -ww -z "$manual" >"$prefix.log" 2>&1 || [ -s "$prefix.log" ]; then
    cat "$prefix.log" >&2
    fail "groff warns about the manual page"
fi
grep -qF "\"$version\"" "$manual" || fail "the manual page is not that of $version"
echo PASS
