#!/bin/sh
# Drives the built program in a real X server, through mouse and keyboard events only, in a fresh copy of
# the demo folder, and checks what it leaves on disk: the emulator's recorded command lines, the
# extracted folder of a zipped set, and the two settings files.
#
# Usage: e2e.sh <gantrel executable> <demo folder>
set -eu

program=$1
demo=$2
started=$(date +%s)
# shellcheck source=tests/x11/session.sh
. "$(dirname "$0")/session.sh"
unset QT_SCALE_FACTOR
scale=1
start_session

log_is() { [ "$(cat "$run/torvak.log" 2>/dev/null)" = "$1" ]; }
await_log() {
    until_ok 10 "torvak.log to read:
$1" log_is "$1"
}
# file_is <name> <text with \r and \n escapes>: the file holds exactly those bytes.
file_is() {
    printf '%b' "$2" >"$work/expected"
    cmp -s "$work/expected" "$run/$1"
}
await_file() {
    tries=200
    while ! file_is "$1" "$2"; do
        tries=$((tries - 1))
        if [ "$tries" -le 0 ]; then
            echo "--- expected $1:" >&2
            od -c "$work/expected" >&2
            echo "--- found:" >&2
            od -c "$run/$1" >&2 || true
            fail "$1 does not hold the expected bytes"
        fi
        sleep 0.05
    done
}
gone() { [ ! -e "$run/$1" ]; }

await_window "$main_title"
main=$win
await_painted "main window"
mx=$ox
my=$oy
back_to_main() {
    win=$main
    ox=$mx
    oy=$my
}

# Keyboard: with the pointer over the list, Down twice selects the second game, Enter launches it.
xdotool mousemove "$((mx + list_x))" "$((my + $(row_y 8)))"
xdotool key Down Down Return
await_log "bnkbust"
# The list still has the keyboard after the launch: Down selects the next game, Enter launches it.
xdotool key Down Return
await_log "bnkbust
crysclv"

# Mouse: a click selects the zipped "Frog Fortress, Deluxe", a double click launches it.
click "$list_x" "$(row_y 4)"
click "$list_x" "$(row_y 4)" 2
await_log "bnkbust
crysclv
frogfrt"
[ -f "$run/frogfrt/frogfrt.p1" ] || fail "the zipped set was not extracted into frogfrt/"

# The next action, selecting "Astro Hopper", removes the extracted files; the button launches it.
click "$list_x" "$(row_y 0)"
until_ok 10 "the extracted folder frogfrt/ to go" gone frogfrt
press_launch
await_log "bnkbust
crysclv
frogfrt
astrohop"

# Default Options: 640x480 and no automatic frame skip, then OK.
press_default_options
await_window "Set Default Preferences"
await_painted "preferences dialog"
tick 60 0 120 240 3960 720 255
tick 60 0 120 2160 1440 360 255
press 7020 5160 1395 435
until_ok 10 "the preferences dialog to close" no_window "Set Default Preferences"
await_file Gantrel.ini '-res 640 480\r\n-frameskip 1\r\n-vsync OFF\r\n-setinput 1 key1\r\n-setinput 2 key1\r\n'
back_to_main

# Options For This Game: one click on the lower arrow of Fire A's bar gives button 0, then OK.
press_game_options
await_window "Set Game Options"
await_painted "game options dialog"
click "$(($(px 1380) + $(px 255) / 2))" "$(($(px 1080) + $(px 375) - 4))"
press 60 3960 1695 495
until_ok 10 "the game options dialog to close" no_window "Set Game Options"
none8="255 255 255 255 255 255 255 255"
rule=";----------------------------------------------"
await_file astrohop.ini "$rule\r\n; Configuration for \r\n$rule\r\n\r\n; button mappings\r\n\
-remapbut       JOY1 0 255\r\n-remapbut       JOY2 255 255\r\n-remapbut    4BUTTON $none8\r\n\
-remapbut    6BUTTON $none8\r\n-remapbut      GRIP1 $none8\r\n-remapbut      GRIP2 $none8\r\n\
-remapbut SIDEWINDER $none8\r\n\r\n; dip switches\r\n-dip 00 00 00\r\n"

# About, closed with Esc: the dialog must have the keyboard without being clicked.
back_to_main
press_about
await_window "About Gantrel"
about=$win
await_painted "About box"
has_focus() { [ "$(xdotool getwindowfocus 2>/dev/null)" = "$(printf '%d' "$about")" ]; }
until_ok 10 "the About box to take the keyboard" has_focus
xdotool key Escape
until_ok 10 "Esc to close the About box" no_window "About Gantrel"

# Exit ends the program with status 0 and starts nothing.
back_to_main
press_exit
app_running() { kill -0 "$app_pid" 2>/dev/null; }
app_ended() { ! app_running; }
until_ok 10 "the program to end after Exit" app_ended
status=0
wait "$app_pid" || status=$?
app_pid=""
[ "$status" -eq 0 ] || fail "the program ended with status $status"
log_is "bnkbust
crysclv
frogfrt
astrohop" || fail "torvak.log changed after the last launch"

echo "PASS in $(($(date +%s) - started))s"
