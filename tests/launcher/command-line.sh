#!/bin/sh
# The options and wrong command lines, answered without a display: nothing may open a window.
#
# Usage: command-line.sh <gantrel executable> <version>
set -u
program=$1
version=$2
work=$(mktemp -d "${TMPDIR:-/tmp}/gantrel-cli.XXXXXX")
trap 'rm -rf "$work"' EXIT
unset DISPLAY WAYLAND_DISPLAY
export QT_QPA_PLATFORM=xcb
failed=0

# check <expected status> <stdout's first line, or empty> <text on stderr, or empty> <arguments...>
check() {
    want_status=$1 want_out=$2 want_err=$3
    shift 3
    (cd "$work" && exec timeout 20 "$program" "$@") >"$work/out" 2>"$work/err"
    status=$?
    first=$(head -n 1 "$work/out")
    problem=""
    [ "$status" -eq "$want_status" ] || problem="status $status, not $want_status"
    [ "$first" = "$want_out" ] || problem="$problem; standard output begins \"$first\", not \"$want_out\""
    if [ -z "$want_err" ]; then
        [ ! -s "$work/err" ] || problem="$problem; unexpected standard error"
    else
        grep -qF -- "$want_err" "$work/err" || problem="$problem; standard error does not say \"$want_err\""
    fi
    if [ -n "$problem" ]; then
        echo "FAIL: gantrel $*: ${problem#; }" >&2
        sed 's/^/  stderr: /' "$work/err" >&2
        failed=1
    fi
}

check 0 "Usage: gantrel [OPTION] [FOLDER]" "" --help
check 0 "Usage: gantrel [OPTION] [FOLDER]" "" -h
check 0 "Gantrel $version" "" --version
check 0 "Gantrel $version" "" -v
check 0 "Usage: gantrel [OPTION] [FOLDER]" "" some-folder --help
check 2 "" "Unknown option 'bogus'" --bogus
check 2 "" "Unknown option 'platform'" -platform offscreen
check 2 "" "more than one folder given: a, b" a b
check 2 "" "more than one folder given: -x, y" -- -x y
[ "$failed" -eq 0 ] && echo PASS
exit "$failed"
