#!/bin/sh
# Takes the README's pictures of the built program in a virtual X server: the main window with a
# game selected, the "Default Options" dialog and the "Options For This Game" dialog. Builds nothing.
#
# Usage: scripts/screenshots.sh [build folder [output folder]]   (defaults: build, docs/screenshots)
# With QT_SCALE_FACTOR=2 (a whole number) the windows and the pictures come out twice as large.
set -eu
cd "$(dirname "$0")/.."
build=$(cd "${1:-build}" && pwd)
mkdir -p "${2:-docs/screenshots}"
out=$(cd "${2:-docs/screenshots}" && pwd)
program="$build/gantrel"
demo="$build/demo"
# shellcheck source=tests/x11/session.sh
. tests/x11/session.sh
start_session

# capture <file>: the current window alone, once two grabs in a row agree (the picture has settled);
# kept as an 8-bit palette when that loses nothing.
same_twice() {
    import -window "$win" "$work/shot.png"
    now=$(identify -format '%#' "$work/shot.png")
    [ "$now" = "${last:-}" ] && return 0
    last=$now
    return 1
}
capture() {
    # The pointer goes away from the controls, so that nothing shows the hover look.
    xdotool mousemove 0 0
    last=""
    until_ok 10 "a settled picture of the window" same_twice
    convert "$work/shot.png" -strip "$out/$1"
    if [ "$(identify -format '%k' "$work/shot.png")" -le 256 ]; then
        convert "$work/shot.png" -strip PNG8:"$work/palette.png"
        if [ "$(wc -c <"$work/palette.png")" -lt "$(wc -c <"$out/$1")" ]; then
            cp "$work/palette.png" "$out/$1"
        fi
    fi
    echo "$out/$1"
}

await_window "$main_title"
await_painted "main window"
mx=$ox
my=$oy
back_to_main() {
    ox=$mx
    oy=$my
    win=$(window_named "$main_title")
}
# "Astro Hopper", the first game, has a snapshot.
click "$list_x" "$(row_y 0)"
capture main-window.png

press_default_options
await_window "Set Default Preferences"
await_painted "preferences dialog"
capture preferences.png
press 7020 5700 1395 435
until_ok 10 "the preferences dialog to close" no_window "Set Default Preferences"

back_to_main
press_game_options
await_window "Set Game Options"
await_painted "game options dialog"
capture game-options.png
press 1860 3960 1575 495
until_ok 10 "the game options dialog to close" no_window "Set Game Options"

back_to_main
press_exit
