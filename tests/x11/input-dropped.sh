#!/bin/sh
# Clicks on the main window while it is disabled by a long extraction are dropped, not run once it
# is enabled again: in a real X server, "Launch The Game", a double click on the list and "Exit"
# are clicked while a set of many small members is extracted. The emulator must be started once,
# with the whole set on disk, and the program must still be running afterwards.
#
# Usage: input-dropped.sh <gantrel executable> <demo folder> <makeslowset executable>
# Exits with 77 (skipped) without Xvfb or xdotool.
set -eu

program=$1
demo=$2
maker=$3
members=40000
for tool in Xvfb xdotool xwininfo import convert; do
    if ! command -v "$tool" >/dev/null 2>&1; then
        echo "SKIP: $tool is missing"
        exit 77
    fi
done
# shellcheck source=tests/x11/session.sh
. "$(dirname "$0")/session.sh"
unset QT_SCALE_FACTOR
scale=1

# The demo folder with the slow set, listed first, and an emulator that records how many files of
# the set it found when it started.
prep=$(mktemp -d "${TMPDIR:-/tmp}/gantrel-slow.XXXXXX")
trap 'rm -rf "$prep"' EXIT
cp -a "$demo" "$prep/demo"
"$maker" "$prep/demo/roms/slowset.zip" "$members" || fail "could not write the slow set"
printf 'slowset,Aaaa Slow Set\r\n' >>"$prep/demo/roms.txt"
cat >"$prep/demo/torvak.exe" <<'SCRIPT'
#!/bin/sh
printf '%s %s\n' "$*" "$(find "$1" -type f | wc -l)" >>torvak.log
SCRIPT
chmod +x "$prep/demo/torvak.exe"
demo=$prep/demo
start_session
rm -rf "$prep"

launches() { [ -f "$run/torvak.log" ] && wc -l <"$run/torvak.log" || echo 0; }
launched() { [ "$(launches)" -ge 1 ]; }

await_window "$main_title"
main=$win
mx=$ox
my=$oy
await_painted "main window"
click "$list_x" "$(row_y 0)"
press_launch

# The progress window says the extraction runs: the main window is disabled now.
await_window "Gantrel"
win=$main
ox=$mx
oy=$my
press_launch
click "$list_x" "$(row_y 0)" 2
press_exit
if launched; then fail "the extraction ended before the clicks: make the set larger"; fi

until_ok 60 "the emulator to start" launched
# Whatever input was queued would be handled before this click opens the About box.
about_or_ended() { has_window "About Gantrel" || ! kill -0 "$app_pid" 2>/dev/null; }
press_about
until_ok 10 "the About box" about_or_ended
kill -0 "$app_pid" 2>/dev/null || fail "the program ended: a click on Exit was run after the extraction"
[ "$(launches)" -eq 1 ] || fail "the emulator was started $(launches) times"
[ "$(cat "$run/torvak.log")" = "slowset $members" ] || fail "the emulator did not find the whole set"
echo "PASS: one launch with $members files; the clicks during the extraction were dropped"
