#!/bin/sh
# Builds the Debian package from the build folder into a temporary folder and checks what it holds
# and what it depends on.
#
# Usage: package.sh <build folder>
set -eu
build=$1
out=$(mktemp -d "${TMPDIR:-/tmp}/gantrel-package.XXXXXX")
trap 'rm -rf "$out"' EXIT
trap 'exit 1' HUP INT TERM

fail() {
    echo "FAIL: $*" >&2
    exit 1
}
for tool in cpack dpkg-deb dpkg-shlibdeps; do
    command -v "$tool" >/dev/null 2>&1 || { echo "SKIP: $tool is missing: run scripts/install-deps.sh"; exit 77; }
done

cpack --config "$build/CPackConfig.cmake" -G DEB -B "$out" >"$out/cpack.log" 2>&1 || { cat "$out/cpack.log" >&2; fail "cpack failed"; }
set -- "$out"/gantrel_*.deb
[ $# -eq 1 ] || fail "cpack made more than one gantrel_*.deb"
[ -f "$1" ] || fail "cpack made no gantrel_*.deb"
deb=$1

field() { dpkg-deb --field "$deb" "$1"; }
[ "$(field Package)" = gantrel ] || fail "the package is called $(field Package)"
[ "$(field Section)" = games ] || fail "the package's section is $(field Section)"
version=$("$build/gantrel" --version)
[ "Gantrel $(field Version)" = "$version" ] || fail "the package's version $(field Version) is not that of $version"
depends=$(field Depends)
for library in libqt6widgets6 libqt6gui6 libqt6core6 libzip4 libc6 qt6-qpa-plugins; do
    echo "$depends" | tr ',' '\n' | grep -q "^ *$library\( \|$\)" || fail "the package does not depend on $library: $depends"
done

dpkg-deb --contents "$deb" | awk '{ print $NF }' | sed 's|^\./|/|' | sort >"$out/contents"
for file in /usr/bin/gantrel /usr/share/icons/hicolor/16x16/apps/gantrel.png /usr/share/icons/hicolor/32x32/apps/gantrel.png \
    /usr/share/man/man6/gantrel.6; do
    grep -qx "$file" "$out/contents" || fail "the package does not hold $file"
done
grep -qx '/usr/share/applications/.*\.desktop' "$out/contents" || fail "the package holds no desktop entry"
grep -qx '/usr/share/metainfo/.*\.metainfo\.xml' "$out/contents" || fail "the package holds no metadata"
echo PASS
