# Shared by the X11 test and scripts/screenshots.sh (sourced, not run): an X server of its own, the
# program started in a fresh copy of the demo folder, and mouse clicks at the places of its controls.
#
# The sourcing script sets program and demo (the built executable and demo folder) and then calls
# start_session. The caller's QT_SCALE_FACTOR, a whole number, scales every click position with the
# windows. GANTREL_X11_WM names a window manager to run on the display first (openbox), so that focus,
# stacking and dialogs behave as on a user's desktop; without it the windows are unmanaged.
#
# A missing tool ends the test with status 77, which CTest reports as skipped.

fail() {
    echo "FAIL: $*" >&2
    if [ -n "${run:-}" ] && [ -f "$run/torvak.log" ]; then
        echo "--- torvak.log:" >&2
        cat "$run/torvak.log" >&2
    fi
    if [ -n "${work:-}" ] && [ -s "$work/gantrel.out" ]; then
        echo "--- program output:" >&2
        cat "$work/gantrel.out" >&2
    fi
    exit 1
}

work=""
run=""
xvfb_pid=""
wm_pid=""
app_pid=""
scale=${QT_SCALE_FACTOR:-1}

cleanup() {
    set +e
    for pid in $app_pid $wm_pid $xvfb_pid; do
        kill "$pid" 2>/dev/null
        wait "$pid" 2>/dev/null
    done
    [ -n "$work" ] && rm -rf "$work"
}

# until_ok <seconds> <what is awaited> <command...>: polls the command until it succeeds.
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

has_display() { [ -s "$work/display" ]; }
# A window manager announces itself on the root window (EWMH) once it manages the screen.
wm_running() { xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; }

# Runs the program in its folder; a test that starts it otherwise defines its own after sourcing this file.
start_program() { cd "$run" && exec "$program"; }

# Starts the X server and the program; the program's folder is $run, its output $work/gantrel.out.
start_session() {
    window_manager=${GANTREL_X11_WM:-}
    for tool in Xvfb xdotool xwininfo xprop import convert $window_manager; do
        command -v "$tool" >/dev/null 2>&1 || { echo "SKIP: $tool is missing: run scripts/install-deps.sh"; exit 77; }
    done
    [ -x "$program" ] || fail "no program at $program"
    [ -f "$demo/torvak.exe" ] || fail "no demo folder at $demo"
    case "$scale" in *[!0-9]* | "" | 0) fail "QT_SCALE_FACTOR must be a whole number here" ;; esac

    work=$(mktemp -d "${TMPDIR:-/tmp}/gantrel-x11.XXXXXX")
    trap cleanup EXIT
    trap 'exit 1' HUP INT TERM

    # A display of its own: Xvfb picks a free number and reports it once it accepts clients.
    Xvfb -displayfd 3 -screen 0 "$((1024 * scale))x$((768 * scale))x24" -nolisten tcp -noreset \
        3>"$work/display" 2>"$work/xvfb.log" &
    xvfb_pid=$!
    until_ok 20 "the X server" has_display
    DISPLAY=:$(cat "$work/display")
    export DISPLAY
    if [ -n "$window_manager" ]; then
        # Its log and session files go to the scratch folder, not the user's home.
        XDG_CACHE_HOME="$work/cache" XDG_CONFIG_HOME="$work/config" "$window_manager" >"$work/wm.log" 2>&1 &
        wm_pid=$!
        until_ok 20 "the window manager $window_manager" wm_running
    fi
    export QT_QPA_PLATFORM=xcb
    export XDG_RUNTIME_DIR="$work/runtime"
    mkdir -m 700 "$XDG_RUNTIME_DIR"
    unset QT_SCREEN_SCALE_FACTORS QT_AUTO_SCREEN_SCALE_FACTOR QT_ENABLE_HIGHDPI_SCALING

    run="$work/run"
    cp -a "$demo" "$run"
    (start_program) >"$work/gantrel.out" 2>&1 &
    app_pid=$!
}

# Layout positions are in twips, fifteen to a pixel, as the program places its controls.
px() { echo $((($1 + 7) / 15)); }

# window_named <title>: prints the id of the visible top-level window with exactly that title.
window_named() {
    xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -n 1
}
has_window() { [ -n "$(window_named "$1")" ]; }
no_window() { [ -z "$(window_named "$1")" ]; }

# await_window <title>: waits for the window, then sets win, ox and oy, the screen position of its client area.
await_window() {
    until_ok 10 "the window \"$1\"" has_window "$1"
    win=$(window_named "$1")
    ox=$(xwininfo -id "$win" | sed -n 's/^ *Absolute upper-left X: *//p')
    oy=$(xwininfo -id "$win" | sed -n 's/^ *Absolute upper-left Y: *//p')
}

# Freshly shown windows must paint their controls, not stay black until something covers them.
painted() {
    mean=$(import -window "$1" png:- 2>/dev/null | convert png:- -format '%[fx:mean]' info:) || return 1
    awk -v m="$mean" 'BEGIN { exit !(m > 0.4) }'
}
await_painted() {
    until_ok 5 "the $1 to paint itself (it stays dark)" painted "$win"
}

# click <x> <y> [count]: left clicks at a position in pixels of the layout, from the window's client area.
click() {
    xdotool mousemove "$((ox + $1 * scale))" "$((oy + $2 * scale))"
    xdotool click --repeat "${3:-1}" --delay 60 1
}

# press ... <left> <top> <width> <height>: clicks the middle of a control given by its twips rectangle,
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

# The main window's list: where a row is, in the bold 12 pt font's rows of 18 pixels.
list_x=$(($(px 60) + $(px 120) + 60))
row_y() { echo $(($(px 0) + $(px 240) + 10 + 18 * $1)); }

# The main window's buttons.
press_launch() { press 4980 3840 3015 855; }
press_about() { press 4980 4800 1335 495; }
press_exit() { press 6540 4800 1455 495; }
press_game_options() { press 8100 3720 120 240 2655 615; }
press_default_options() { press 8100 3720 240 960 2415 495; }

main_title="Gantrel - A Torvak Front-End"
