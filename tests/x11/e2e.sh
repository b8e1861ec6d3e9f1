#!/bin/sh
# Drives the built program in a real X server, through mouse and keyboard events only, in a fresh copy of
# the demo folder, and checks what it leaves on disk: the emulator's recorded command lines, the
# extracted folder of a zipped set, and the two settings files.
#
# Usage: e2e.sh <gantrel executable> <demo folder>
# Needs Xvfb, xdotool, xwininfo and ImageMagick's import and convert (scripts/install-deps.sh).
set -eu

program=$1
demo=$2
started=$(date +%s)

fail() {
    echo "FAIL: $*" >&2
    if [ -n "${run:-}" ] && [ -f "$run/torvak.log" ]; then
        echo "--- torvak.log:" >&2
        cat "$run/torvak.log" >&2
    fi
    if [ -n "${work:-}" ] && [ -f "$work/gantrel.out" ]; then
        echo "--- program output:" >&2
        cat "$work/gantrel.out" >&2
    fi
    exit 1
}

for tool in Xvfb xdotool xwininfo import convert; do
    command -v "$tool" >/dev/null 2>&1 || fail "$tool is missing: run scripts/install-deps.sh"
done
[ -x "$program" ] || fail "no program at $program"
[ -f "$demo/torvak.exe" ] || fail "no demo folder at $demo"

work=$(mktemp -d "${TMPDIR:-/tmp}/gantrel-x11.XXXXXX")
xvfb_pid=""
app_pid=""
cleanup() {
    set +e
    for pid in $app_pid $xvfb_pid; do
        kill "$pid" 2>/dev/null
        wait "$pid" 2>/dev/null
    done
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 1' HUP INT TERM

# until <seconds> <what is awaited> <command...>: polls the command until it succeeds.
until_ok() {
    limit=$1
    what=$2
    shift 2
    tries=$((limit * 20))
    while ! "$@"; do
        tries=$((tries - 1))
        [ "$tries" -gt 0 ] || fail "gave up after ${limit}s waiting for $what"
        sleep 0.05
    done
}

# A display of its own: Xvfb picks a free number and reports it once it accepts clients.
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset 3>"$work/display" 2>"$work/xvfb.log" &
xvfb_pid=$!
has_display() { [ -s "$work/display" ]; }
until_ok 20 "the X server" has_display
DISPLAY=:$(cat "$work/display")
export DISPLAY
export QT_QPA_PLATFORM=xcb
export XDG_RUNTIME_DIR="$work/runtime"
mkdir -m 700 "$XDG_RUNTIME_DIR"
unset QT_SCALE_FACTOR QT_SCREEN_SCALE_FACTORS QT_AUTO_SCREEN_SCALE_FACTOR

run="$work/run"
cp -a "$demo" "$run"
(cd "$run" && exec "$program") >"$work/gantrel.out" 2>&1 &
app_pid=$!

# Layout positions are in twips, fifteen to a pixel, as the program places its controls.
px() { echo $((($1 + 7) / 15)); }

# window_named <title>: prints the id of the visible top-level window with exactly that title.
window_named() {
    xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -n 1
}
has_window() { [ -n "$(window_named "$1")" ]; }
no_window() { [ -z "$(window_named "$1")" ]; }
# origin <window id>: sets ox and oy to the screen position of the window's client area.
origin() {
    ox=$(xwininfo -id "$1" | sed -n 's/^ *Absolute upper-left X: *//p')
    oy=$(xwininfo -id "$1" | sed -n 's/^ *Absolute upper-left Y: *//p')
}
# await_window <title>: waits for the window, then sets win, ox and oy.
await_window() {
    until_ok 10 "the window \"$1\"" has_window "$1"
    win=$(window_named "$1")
    origin "$win"
}
# Freshly shown windows must paint their controls, not stay black until something covers them.
painted() {
    mean=$(import -window "$1" png:- 2>/dev/null | convert png:- -format '%[fx:mean]' info:) || return 1
    awk -v m="$mean" 'BEGIN { exit !(m > 0.4) }'
}
await_painted() {
    until_ok 5 "the window \"$1\" to paint itself (it stays dark)" painted "$win"
}
# click <x> <y> [count]: a left click, relative to the current window's client area.
click() {
    xdotool mousemove "$((ox + $1))" "$((oy + $2))"
    xdotool click --repeat "${3:-1}" --delay 60 1
}
# press ... <left> <top> <width> <height>: clicks the middle of a control given by its twips rectangle
# after the left and top of each frame it sits in, outermost first.
press() {
    x=0
    y=0
    while [ $# -gt 4 ]; do
        x=$((x + $(px "$1")))
        y=$((y + $(px "$2")))
        shift 2
    done
    click "$((x + $(px "$1") + $(px "$3") / 2))" "$((y + $(px "$2") + $(px "$4") / 2))"
}
# tick ... <left> <top> <height>: clicks the box of a check box or option button, given like press.
tick() {
    x=0
    y=0
    while [ $# -gt 3 ]; do
        x=$((x + $(px "$1")))
        y=$((y + $(px "$2")))
        shift 2
    done
    click "$((x + $(px "$1") + 7))" "$((y + $(px "$2") + $(px "$3") / 2))"
}

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

# The main window; the list sits in its frame, and its rows are 18 pixels high in the bold 12 pt font.
await_window "Gantrel - A Torvak Front-End"
main=$win
await_painted "main window"
mx=$ox
my=$oy
list_x=$(($(px 60) + $(px 120) + 60))
row_y() { echo $(($(px 0) + $(px 240) + 10 + 18 * $1)); }
back_to_main() {
    win=$main
    ox=$mx
    oy=$my
}

# Keyboard: with the pointer over the list, Down twice selects the second game, Enter launches it.
xdotool mousemove "$((mx + list_x))" "$((my + $(row_y 8)))"
xdotool key Down Down Return
await_log "bnkbust"

# Mouse: a click selects the zipped "Frog Fortress, Deluxe", a double click launches it.
click "$list_x" "$(row_y 4)"
click "$list_x" "$(row_y 4)" 2
await_log "bnkbust
frogfrt"
[ -f "$run/frogfrt/frogfrt.p1" ] || fail "the zipped set was not extracted into frogfrt/"

# The next action, selecting "Astro Hopper", removes the extracted files; the button launches it.
click "$list_x" "$(row_y 0)"
until_ok 10 "the extracted folder frogfrt/ to go" gone frogfrt
press 4980 3840 3015 855
await_log "bnkbust
frogfrt
astrohop"

# Default Options: 640x480 and no automatic frame skip, then OK.
press 8100 3720 240 960 2415 495
await_window "Set Default Preferences"
await_painted "preferences dialog"
tick 60 0 120 240 3960 720 255
tick 60 0 120 2160 1440 360 255
press 7020 5160 1395 435
until_ok 10 "the preferences dialog to close" no_window "Set Default Preferences"
await_file Gantrel.ini '-res 640 480\r\n-frameskip 1\r\n-vsync OFF\r\n-setinput 1 key1\r\n-setinput 2 key1\r\n'
back_to_main
press 4980 3840 3015 855
await_log "bnkbust
frogfrt
astrohop
astrohop -res 640 480 -frameskip 1 -vsync OFF -setinput 1 key1 -setinput 2 key1"

# Options For This Game: one click on the lower arrow of Fire A's bar gives button 0, then OK.
press 8100 3720 120 240 2655 615
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
press 4980 4800 1335 495
await_window "About Gantrel"
about=$win
await_painted "About box"
has_focus() { [ "$(xdotool getwindowfocus 2>/dev/null)" = "$(printf '%d' "$about")" ]; }
until_ok 10 "the About box to take the keyboard" has_focus
xdotool key Escape
until_ok 10 "Esc to close the About box" no_window "About Gantrel"

# Exit ends the program, with nothing left of the extraction and no message on the way.
back_to_main
press 6540 4800 1455 495
app_running() { kill -0 "$app_pid" 2>/dev/null; }
app_ended() { ! app_running; }
until_ok 10 "the program to end after Exit" app_ended
status=0
wait "$app_pid" || status=$?
app_pid=""
[ "$status" -eq 0 ] || fail "the program ended with status $status"
gone frogfrt || fail "frogfrt/ is still there after Exit"
await_log "bnkbust
frogfrt
astrohop
astrohop -res 640 480 -frameskip 1 -vsync OFF -setinput 1 key1 -setinput 2 key1"

echo "PASS in $(($(date +%s) - started))s"
