#!/bin/sh
# The emulator's folder given as the argument, from another current folder, in a real X server: a
# zipped game is extracted, launched and cleaned up in that folder and nothing lands where the
# program was started; a folder that does not exist or cannot be entered gives the error box and
# status 1.
#
# Usage: folder-argument.sh <gantrel executable> <demo folder>
# Exits with 77 (skipped) when Xvfb or xdotool is missing.
set -eu

program=$1
demo=$2
for tool in Xvfb xdotool; do
    command -v "$tool" >/dev/null 2>&1 || { echo "SKIP: $tool is missing"; exit 77; }
done
# shellcheck source=tests/x11/session.sh
. "$(dirname "$0")/session.sh"
unset QT_SCALE_FACTOR
scale=1

# Started in an empty folder beside the demo copy, with the copy as a relative argument.
start_program() {
    mkdir "$work/elsewhere" && cd "$work/elsewhere" && exec "$program" ../run
}
start_session

log_is() { [ "$(cat "$run/torvak.log" 2>/dev/null)" = "$1" ]; }
gone() { [ ! -e "$run/$1" ]; }
app_ended() { ! kill -0 "$app_pid" 2>/dev/null; }
# ended_with <status>: waits for the program to end and checks its exit status.
ended_with() {
    until_ok 10 "the program to end" app_ended
    status=0
    wait "$app_pid" || status=$?
    app_pid=""
    [ "$status" -eq "$1" ] || fail "the program ended with status $status, not $1"
}

await_window "$main_title"
await_painted "main window"
# "Frog Fortress, Deluxe" is zipped: a double click extracts and launches it.
click "$list_x" "$(row_y 4)"
click "$list_x" "$(row_y 4)" 2
until_ok 10 "torvak.log in the folder given to read frogfrt" log_is frogfrt
[ -f "$run/frogfrt/frogfrt.p1" ] || fail "the zipped set was not extracted into the folder given"
click "$list_x" "$(row_y 0)"
until_ok 10 "the extracted folder frogfrt/ to go" gone frogfrt
press_exit
ended_with 0
[ -z "$(ls -A "$work/elsewhere")" ] || fail "files appeared in the folder the program was started in: $(ls -A "$work/elsewhere")"

# refused <command...> <folder>: the error box comes, Enter closes it, the program ends with status 1
# and its message names the folder.
refused() {
    for folder; do :; done
    "$@" >"$work/gantrel.out" 2>&1 &
    app_pid=$!
    await_window "Gantrel Error"
    box=$win
    until_ok 10 "the error box to take the keyboard" has_focus
    xdotool key Return
    ended_with 1
    LC_ALL=C grep -qF "$folder" "$work/gantrel.out" || fail "the message does not name the folder $folder"
}
has_focus() { [ "$(xdotool getwindowfocus 2>/dev/null)" = "$(printf '%d' "$box")" ]; }
# A name that is not UTF-8 must come back byte for byte.
refused "$program" "$work/no such f$(printf '\351')lder"
# The demo copy exists, but another user cannot enter this test's private folder.
chmod 700 "$work"
refused setpriv --reuid=nobody --regid=nogroup --clear-groups "$program" "$run"
echo PASS
