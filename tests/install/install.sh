#!/bin/sh
# Installs the build into a temporary prefix and checks that the program, its desktop entry, its
# icons and its guide land where desktops and users look for them.
#
# Usage: install.sh <build folder>
set -eu
build=$1
prefix=$(mktemp -d "${TMPDIR:-/tmp}/gantrel-install.XXXXXX")
trap 'rm -rf "$prefix"' EXIT
trap 'exit 1' HUP INT TERM

fail() {
    echo "FAIL: $*" >&2
    echo "--- installed:" >&2
    (cd "$prefix" && find . -type f | sort) >&2
    exit 1
}

cmake --install "$build" --prefix "$prefix" >"$prefix.log" 2>&1 || { cat "$prefix.log" >&2; rm -f "$prefix.log"; fail "cmake --install failed"; }
rm -f "$prefix.log"

[ -x "$prefix/bin/gantrel" ] || fail "no executable bin/gantrel"
desktop="$prefix/share/applications/gantrel.desktop"
[ -f "$desktop" ] || fail "no share/applications/gantrel.desktop"
grep -qx 'Exec=gantrel' "$desktop" || fail "the desktop entry does not run gantrel"
grep -qx 'Icon=gantrel' "$desktop" || fail "the desktop entry does not name the icon gantrel"
for size in 16 32; do
    icon="$prefix/share/icons/hicolor/${size}x${size}/apps/gantrel.png"
    [ -f "$icon" ] || fail "no icon share/icons/hicolor/${size}x${size}/apps/gantrel.png"
    [ "$(od -An -c -N4 "$icon" | tr -d ' ')" = '211PNG' ] || fail "the ${size}x${size} icon is not a PNG file"
done
guide="$prefix/share/doc/gantrel/Gantrel.txt"
[ -f "$guide" ] || fail "no guide share/doc/gantrel/Gantrel.txt"
grep -q 'roms.txt' "$guide" || fail "the guide does not tell how roms.txt is written"
command -v desktop-file-validate >/dev/null 2>&1 || fail "desktop-file-validate is missing: run scripts/install-deps.sh"
desktop-file-validate "$desktop" || fail "desktop-file-validate rejects the desktop entry"
echo PASS
