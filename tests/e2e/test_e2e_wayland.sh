#!/usr/bin/env bash
# The program as a Wayland client of weston, whose X11 backend runs inside the harness's Xorg
# server: each weston output is an X window, moved apart so that one screenshot shows them all.
# "All Monitors" covers each output edge to edge with its own record's pattern, with the pointer
# hidden, and asks the session bus to keep the display awake (and the compositor, where it offers
# idle inhibition: one inhibitor per wash window until the wash ends); "Selected Monitor" covers
# only the chosen output; Esc and a click end a wash; the about box opens and closes; a drag on
# the background moves the window; Esc while idle ends the program; and on an output at scale 2
# the wash fills the output's physical pixels, which --list-monitors states.
#
# Then, under sway, which offers idle inhibition where weston does not: an output at scale 1.5 is
# listed in its own pixels, each window of an unattended wash holds an idle inhibitor, and
# --when-idle washes once the compositor says the seat is idle, until a mouse move, also while
# another client holds an idle inhibitor where the compositor can leave inhibitors out.
#
# weston places a new window at a random place on the output under the pointer, so the main
# window is found by its pixels: what changed on the screen when it appeared.
#
#   test_e2e_wayland.sh PROGRAM E2E_MATCHFRAME     (exit 77: skipped, not root or no weston)
set -euo pipefail

# shellcheck source=e2elib.sh
source "$(dirname "${BASH_SOURCE[0]}")/e2elib.sh"
e2e_begin "$@"
if ! command -v weston >/dev/null; then
    echo "skipped: weston is not installed"
    exit 77
fi
# Under LeakSanitizer, whole allocation stacks, for the suppressions of what Qt's Wayland plugin
# leaves at exit (tests/lsan.supp).
export LSAN_OPTIONS=${LSAN_OPTIONS:+$LSAN_OPTIONS:}fast_unwind_on_malloc=0

readonly BACKGROUND=204060 # weston's desktop, a colour no wash pixel has
WL_SOCKET=gsw-e2e-$$
# The outputs' rectangles on the X screen, WxH+X+Y in physical pixels.
OUT1=
OUT2=
# The main window's client area on the X screen.
MAIN_X=
MAIN_Y=

wl__host_window() {
    xwininfo -root -children 2>/dev/null | awk -v name="\"Weston Compositor - $1\":" \
        'index($0, name) { print $1; exit }'
}

wl__has_host() { [ -n "$(wl__host_window "$1")" ]; }

wl__rect() {
    local x y w h
    read -r x y w h <<<"$(xh_window_geometry "$1")" || return 1
    echo "${w}x$h+$x+$y"
}

wl__at() { [ "$(wl__rect "$1")" = "$2" ]; }

# wl_start_weston MODE1 SCALE1 MODE2 SCALE2: weston with outputs X1 and X2 of these modes (weston
# sizes an output's window as the mode times the scale); X2's window is moved to the right of X1's.
wl_start_weston() {
    local ini=$XH_TMP/weston-$RANDOM.ini
    cat >"$ini" <<EOF
[core]
idle-time=0
[shell]
panel-position=none
background-color=0xff$BACKGROUND
locking=false
animation=none
close-animation=none
startup-animation=none
focus-animation=none
[output]
name=X1
mode=$1
scale=$2
[output]
name=X2
mode=$3
scale=$4
EOF
    rm -f "$XDG_RUNTIME_DIR/$WL_SOCKET"
    xh_spawn weston.log weston --backend=x11-backend.so --use-pixman --output-count=2 \
        --socket="$WL_SOCKET" --config="$ini"
    WL_WESTON=$XH_PID
    local h1 h2
    if ! xh_poll "$XH_TIMEOUT" test -S "$XDG_RUNTIME_DIR/$WL_SOCKET" ||
        ! xh_poll "$XH_TIMEOUT" wl__has_host X2; then
        xh_show_log weston.log
        return 1
    fi
    h1=$(wl__host_window X1) h2=$(wl__host_window X2)
    OUT1=$(wl__rect "$h1")
    local w1=${OUT1%%x*} size2
    size2=$(wl__rect "$h2")
    size2=${size2%%+*}
    OUT2=$size2+$((w1 + 20))+0
    xdotool windowmove "$h2" $((w1 + 20)) 0
    xh_poll "$XH_TIMEOUT" wl__at "$h2" "$OUT2" || xh_error "weston's second output did not move"
}

# wl__shows_desktop FILE RECT: the desktop's colour is among the pixels of RECT.
wl__shows_desktop() {
    local colours
    colours=$(xh_colours "$1" "$2") && [[ $'\n'$colours$'\n' == *$'\n'#$BACKGROUND$'\n'* ]]
}

# Both outputs show the desktop, and the screen is as it was in the last screenshot.
wl__desktop_still() {
    local shot=$XH_TMP/desktop.png
    xh_screenshot "$shot" || return 1
    if [ "$(xh_diff_count "$shot" "$XH_TMP/before.png" 2>/dev/null)" != 0 ]; then
        mv "$shot" "$XH_TMP/before.png"
        return 1
    fi
    wl__shows_desktop "$shot" "$OUT1" && wl__shows_desktop "$shot" "$OUT2"
}

WL_BOX=
wl__found_main() {
    local shot=$XH_TMP/found.png box
    xh__dead "$APP_PID" && return 0
    xh_screenshot "$shot" || return 1
    # The bounding box of the changed pixels: the main window with the frame Qt draws for it,
    # the same in two screenshots in a row.
    box=$(convert "$XH_TMP/before.png" "$shot" -compose difference -composite -threshold 0 \
        -bordercolor black -border 1 -format '%@' info: 2>/dev/null)
    [ "$box" = "$WL_BOX" ] || {
        WL_BOX=$box
        return 1
    }
    [[ $box =~ ^([0-9]+)x([0-9]+)\+([0-9]+)\+([0-9]+)$ ]] || return 1
    local fw=${BASH_REMATCH[1]} fh=${BASH_REMATCH[2]} fx=$((BASH_REMATCH[3] - 1)) fy=$((BASH_REMATCH[4] - 1))
    local cw ch
    read -r cw ch <<<"$E2E_MAIN_SIZE"
    ((fw >= cw && fh >= ch)) || return 1
    # The frame is as wide on the left, the right and at the bottom; the title bar is on top.
    local side=$(((fw - cw) / 2))
    MAIN_X=$((fx + side)) MAIN_Y=$((fy + fh - ch - side))
}

# wl_app_start SETTINGS_DIR: starts the program on weston with the pointer in the bottom-right
# corner of output 1, so that the main window opens there, and finds the main window.
wl_app_start() {
    xh__parse_monitor "$OUT1"
    xh_move $((XH__X + XH__W - 1)) $((XH__Y + XH__H - 1)) || return 1
    : >"$XH_TMP/before.png"
    xh_poll "$XH_TIMEOUT" wl__desktop_still || {
        xh_error "weston's desktop is not drawn, or never still"
        return 1
    }
    APP_SETTINGS=$1
    APP_LOG=app-$RANDOM$RANDOM.log
    # shellcheck disable=SC2034 # read by e2elib.sh
    APP_START_US=$(xh__now_us)
    # WAYLAND_DEBUG: the program's requests to the compositor go to its log, for wl_requests.
    xh_spawn_isolated "$APP_SETTINGS" "$APP_LOG" env -u DISPLAY QT_QPA_PLATFORM=wayland \
        WAYLAND_DISPLAY="$WL_SOCKET" WAYLAND_DEBUG=client "$E2E_APP" || return 1
    APP_PID=$XH_PID
    MAIN_X=''
    WL_BOX=
    if ! xh_poll "$XH_TIMEOUT" wl__found_main || [ -z "$MAIN_X" ]; then
        xh_show_log "$APP_LOG"
        return 1
    fi
}

# wl_requests REGEX: the program's requests so far that match REGEX, one a line, without times.
# libwayland 1.23 writes object ids as "wl_surface#7" where 1.21 writes "wl_surface@7".
wl_requests() { sed -n "s/^\[[ 0-9.]*\][^>]* -> //p" "$XH_TMP/$APP_LOG" | grep -E -- "$1" || true; }

# wl_offers INTERFACE: the compositor announced a global of INTERFACE to the program.
wl_offers() { grep -qE -- "wl_registry[@#][0-9]+\.global\([0-9]+, \"$1\"" "$XH_TMP/$APP_LOG"; }

wl_client() { echo "$((MAIN_X + $1)) $((MAIN_Y + $2))"; }

# wl_preview: the preview's rectangle, WxH+X+Y.
wl_preview() {
    local x y
    read -r x y <<<"$E2E_PREVIEW_AT"
    echo "192x108+$((MAIN_X + x))+$((MAIN_Y + y))"
}

# shellcheck disable=SC2046 # two numbers
wl_click() { xh_click $(wl_client "$1" "$2"); }

# wl__masked FILE: a screenshot with the main window's preview, which moves all the time, and the
# button last clicked, whose hover state may change with the focus, blacked out.
WL_BUTTON="0,0 0,0"
wl__masked() {
    local x y
    # shellcheck disable=SC2046,SC2086
    read -r x y <<<"$(wl_client $E2E_PREVIEW_AT)"
    xh_screenshot "$1" && convert "$1" -fill black \
        -draw "rectangle $x,$y $((x + 191)),$((y + 107))" -draw "rectangle $WL_BUTTON" "png:$1"
}

# wl__changed RECT FILE: the screen's pixels in RECT differ from FILE.
wl__changed() {
    xh_screenshot "$XH_TMP/changed.png" "$1" &&
        [ "$(xh_diff_count "$XH_TMP/changed.png" "$2")" != 0 ]
}

# The screen, but the preview, is as in the last call's screenshot (in still.png).
wl__settled() {
    wl__masked "$XH_TMP/now.png" || return 1
    [ "$(xh_diff_count "$XH_TMP/now.png" "$XH_TMP/still.png" 2>/dev/null)" = 0 ] && return 0
    mv "$XH_TMP/now.png" "$XH_TMP/still.png"
    return 1
}

wl__box_up() {
    wl__masked "$XH_TMP/now.png" &&
        [ "$(xh_diff_count "$XH_TMP/now.png" "$XH_TMP/still.png")" != 0 ]
}

# wl_open_box X Y: clicks a point of the main window's client area and waits for a box to open
# there, seen as a change anywhere but in the preview.
wl_open_box() {
    local x y
    read -r x y <<<"$(wl_client "$1" "$2")"
    xh_move "$x" "$y" || return 1
    WL_BUTTON="$((x - 40)),$((y - 12)) $((x + 40)),$((y + 12))"
    : >"$XH_TMP/still.png"
    xh_poll "$XH_TIMEOUT" wl__settled || return 1
    xdotool click 1
    xh_poll "$XH_TIMEOUT" wl__box_up || {
        xh_error "no box opened"
        return 1
    }
}

wl__box_gone() { ! wl__box_up; }

# wl_escape_box: Esc closes the box just opened. A box is drawn before the compositor hands
# it the keyboard, and an Esc that comes in between goes to the main window, which the box
# blocks; so Esc is pressed again while the box is still up after a few seconds.
wl_escape_box() {
    local _
    for _ in 1 2 3; do
        xh_key Escape
        xh_poll 5 wl__box_gone && return 0
    done
    return 1
}

# wl_activate: presses "Activate Glowsweep" and confirms with Return: the box is the active window.
wl_activate() {
    # shellcheck disable=SC2086
    wl_open_box $E2E_APPLY_AT && xh_key Return
}

# wl_unwashed WHAT RECT: a check that the output shows the desktop, so no wash covers it.
wl__unwashed() { xh_screenshot "$XH_TMP/unwashed.png" && wl__shows_desktop "$XH_TMP/unwashed.png" "$1"; }
wl_unwashed() {
    if xh_poll "$XH_TIMEOUT" wl__unwashed "$2"; then
        check "$1" unwashed unwashed
    else
        fail "$1" "$2 never showed the desktop's colour #$BACKGROUND"
    fi
}

# wl_close WHAT ITEM: activates the main window by a click on the list's (selected) item, then Esc
# while idle ends the program; a check.
wl_close() {
    local status=0
    select_monitor_wl "$2"
    xh_key Escape
    xh_wait_exit "$APP_PID" || status=$?
    [ "$status" -eq 0 ] || xh_show_log "$APP_LOG"
    check "$1" 0 "$status"
}

# Two outputs of different sizes: "All Monitors" ended by Esc, then "Selected Monitor" on
# monitor 2, chosen in the window, ended by a click.
two_outputs() {
    wl_start_weston 1280x720 1 1024x768 1 || {
        fail "weston starts with two outputs"
        return 1
    }
    local settings first=1,2,2,2 second=2,1,3,1 # records as "H,V,S,B"
    settings=$(xh_tempdir settings)
    write_settings "$settings" "Config(Activate=1)" \
        "AddMonitor(ScanRate=2,BarSize=2,HBars=1,VBars=2)" \
        "AddMonitor(ScanRate=3,BarSize=1,HBars=2,VBars=1)"
    # What the program asks of the session bus to keep the display awake: the desktop's screen
    # saver, then the portal (nothing answers here; the asking is what counts).
    xh_spawn inhibit.log dbus-monitor --session \
        "type='method_call',interface='org.freedesktop.ScreenSaver',member='Inhibit'" \
        "type='method_call',interface='org.freedesktop.portal.Inhibit',member='Inhibit'"
    xh_wait_output inhibit.log NameAcquired || fail "dbus-monitor watches the session bus"
    wl_app_start "$settings" || {
        fail "program starts on weston" "no main window"
        return 1
    }
    # The main window was found where its preview shows monitor 1's pattern.
    wait_match "main window found: its preview shows monitor 1's record" \
        "$(wl_preview):$first" || return 1

    # The about box opens over the main window and takes the keyboard: Esc closes it.
    if wl_open_box 405 37; then # "About" (MonitorsGB 274,6; button 92,20, 78x23)
        if wl_escape_box; then
            check "the about box opens, and Esc closes it" closed closed
        else
            fail "Esc closes the about box"
        fi
    else
        fail "the about box opens"
    fi

    check "no request to keep the display awake before the wash" 0 \
        "$(grep -c 'member=Inhibit$' "$XH_TMP/inhibit.log" || true)"
    # The pointer rests on output 1's wash, so the match also shows that its cursor is hidden.
    wl_activate || fail "All Monitors: Activate pressed and confirmed"
    wait_match "All Monitors: each output edge to edge with its own record's pattern" \
        "$OUT1:$first" "$OUT2:$second"
    if xh_wait_output inhibit.log 'interface=org.freedesktop.ScreenSaver; member=Inhibit$'; then
        check "the wash asks the session bus to keep the display awake" asked asked
    else
        fail "the wash asks the session bus to keep the display awake"
    fi
    # Each wash window holds an inhibitor on its own surface, where the compositor offers them.
    local idle=''
    if wl_offers zwp_idle_inhibit_manager_v1; then
        idle=$(wl_requests '\.create_inhibitor\(' | grep -oE 'wl_surface[@#][0-9]+' | sort -u)
        check "each wash window holds an idle inhibitor" 2 "$(echo "$idle" | grep -c .)"
    else
        echo "note: $(weston --version) offers no idle inhibition: not checked"
    fi
    xh_key Escape
    wl_unwashed "All Monitors: Esc ends the wash on output 1" "$OUT1"
    wl_unwashed "All Monitors: Esc ends the wash on output 2" "$OUT2"
    if [ -n "$idle" ]; then
        check "the wash's end gives both idle inhibitors back" 2 \
            "$(wl_requests '^zwp_idle_inhibitor_v1[@#][0-9]+\.destroy\(\)' | grep -c .)"
    fi

    # Dragged by its background, the window moves with the pointer: the compositor moves it,
    # once the program has asked it to on the press. weston keeps the window's offset from
    # where the button went down, so the drag ends at the same place however late the move
    # begins; until it has begun, the pointer is nudged once more at the end of the drag.
    local px py dx=40 dy=30
    xh__parse_monitor "$OUT1"
    ((MAIN_X + 231 < XH__X + XH__W / 2)) || dx=-40
    ((MAIN_Y + 205 < XH__Y + XH__H / 2)) || dy=-30
    read -r px py <<<"$(wl_client 290 316)" # on the label "Activate on :"
    MAIN_X=$((MAIN_X + dx)) MAIN_Y=$((MAIN_Y + dy))
    WL_DRAG_TO="$((px + dx)) $((py + dy))"
    WL_DRAG_TARGET="$(wl_preview):$first"
    if xh_move "$px" "$py" && xdotool mousedown 1 && xh_poll "$XH_TIMEOUT" wl__dragged; then
        check "dragged by its background, the window follows the pointer" match match
    else
        fail "dragged by its background, the window follows the pointer" \
            "the preview never showed at $WL_DRAG_TARGET"
        cat "$XH_TMP/match.err" >&2
    fi
    xdotool mouseup 1

    select_monitor_wl 1
    # The focus is in the list: Tab to "Activate on", Up to "Selected Monitor".
    xh_key Tab Up
    wl_activate || fail "Selected Monitor: Activate pressed and confirmed"
    wait_match "Selected Monitor on monitor 2: output 2 washed with its record" "$OUT2:$second"
    wl_unwashed "Selected Monitor on monitor 2: output 1 keeps the desktop" "$OUT1"
    xh__parse_monitor "$OUT2"
    xh_click $((XH__X + XH__W / 2)) $((XH__Y + XH__H / 2))
    wl_unwashed "Selected Monitor: a click ends the wash" "$OUT2"

    wl_close "two outputs: Esc while idle ends the program" 1
}

# wl__dragged: with the button held, the pointer at the drag's end (given by WL_DRAG_TO, after a
# nudge) and the main window's preview where the drag takes it (WL_DRAG_TARGET).
wl__dragged() {
    local x y
    read -r x y <<<"$WL_DRAG_TO"
    xdotool mousemove $((x + 1)) "$y" mousemove "$x" "$y" && matches_now "$WL_DRAG_TARGET"
}

# select_monitor_wl INDEX: clicks the monitor's item in the list.
select_monitor_wl() {
    local lx ly
    read -r lx ly <<<"$E2E_LIST_AT"
    wl_click $((lx + 80)) $((ly + $1 * E2E_LIST_ITEM + E2E_LIST_ITEM / 2))
}

# Output 2 at scale 2: its wash is drawn in the output's physical pixels, so its bars are as
# thick as the physical width makes them, and it still fills the output.
scaled_output() {
    wl_start_weston 800x600 1 640x384 2 || {
        fail "weston starts with an output at scale 2"
        return 1
    }
    check "output 2's window has the physical size" 1280x768 "${OUT2%%+*}"
    check "--list-monitors gives each output's mode, placed in the desktop's units" \
        $'1: 800x600 at 0,0\n2: 1280x768 at 800,0' \
        "$(env -u DISPLAY QT_QPA_PLATFORM=wayland WAYLAND_DISPLAY="$WL_SOCKET" "$E2E_APP" \
            --list-monitors 2>"$XH_TMP/list.err")"
    local idle_dir idle_status=0
    idle_dir=$(xh_tempdir idle)
    xh_run_isolated "$idle_dir" env -u DISPLAY QT_QPA_PLATFORM=wayland WAYLAND_DISPLAY="$WL_SOCKET" \
        timeout 20 "$E2E_APP" --wash all --when-idle 1m 2>"$XH_TMP/idle.err" || idle_status=$?
    check "--when-idle where no idle time is told: status 2, one line, nothing written" "2 1 " \
        "$idle_status $(grep -c "^glowsweep-wizard: " "$XH_TMP/idle.err") $(ls -A "$idle_dir")"
    local settings first=0,3,2,2 second=2,2,1,4
    settings=$(xh_tempdir settings)
    write_settings "$settings" "Config(Activate=1)" \
        "AddMonitor(ScanRate=2,BarSize=2,HBars=0,VBars=3)" \
        "AddMonitor(ScanRate=1,BarSize=4,HBars=2,VBars=2)"
    wl_app_start "$settings" || {
        fail "program starts on weston at scale 2" "no main window"
        return 1
    }
    wait_match "scale 2: main window found by its preview" "$(wl_preview):$first" || return 1
    wl_activate || fail "scale 2: Activate pressed and confirmed"
    wait_match "scale 2: each output's physical pixels washed with its own record" \
        "$OUT1:$first" "$OUT2:$second"
    xh__parse_monitor "$OUT2"
    xh_click $((XH__X + 5)) $((XH__Y + 5))
    wl_unwashed "scale 2: a click ends the wash" "$OUT2"
    wl_close "scale 2: Esc while idle ends the program" 0
}

# sway offers idle inhibition, which weston (10 and 14) does not. It is run on its X11 backend as
# nobody (it refuses to run as root), with output 2 of 1200x900 at scale 1.5, which Qt alone would
# list as 1600x1200. --list-monitors gives each output's own pixels, and an unattended wash of all
# monitors holds an inhibitor on each wash window, seen as inhibit_idle in sway's window tree.
sway_outputs() {
    if ! command -v sway >/dev/null; then
        fail "sway" "not installed (./build.sh test installs it)"
        return 1
    fi
    local run=$XH_TMP/sway-runtime socket
    chmod o+x "$XH_TMP"
    mkdir -m 0700 "$run" && chown 65534:65534 "$run" || return 1
    printf 'output X11-1 mode 1280x720 position 0 0\noutput X11-2 mode 1200x900 position 1280 0 scale 1.5\n' \
        >"$run/config"
    xh_spawn sway.log env XDG_RUNTIME_DIR="$run" HOME="$run" WLR_BACKENDS=x11 WLR_X11_OUTPUTS=2 \
        WLR_RENDERER=pixman setpriv --reuid=65534 --regid=65534 --clear-groups sway -c "$run/config"
    local sway=$XH_PID
    if ! xh_poll "$XH_TIMEOUT" compgen -G "$run/sway-ipc.*.sock" >/dev/null ||
        ! xh_poll "$XH_TIMEOUT" compgen -G "$run/wayland-[0-9]" >/dev/null; then
        xh_show_log sway.log
        fail "sway starts with two outputs"
        return 1
    fi
    export SWAYSOCK
    SWAYSOCK=$(compgen -G "$run/sway-ipc.*.sock")
    socket=$(compgen -G "$run/wayland-[0-9]")
    local app=(env -u DISPLAY QT_QPA_PLATFORM=wayland WAYLAND_DISPLAY="$socket" "$E2E_APP")
    check "sway: --list-monitors gives output 2 at scale 1.5 in its own pixels" \
        $'1200x900 at 1280,0\n1280x720 at 0,0' \
        "$("${app[@]}" --list-monitors 2>"$XH_TMP/list.err" | sed 's/^[0-9]*: //' | sort)"

    local settings
    settings=$(xh_tempdir settings)
    write_settings "$settings" "Config(Activate=1)" \
        "AddMonitor(ScanRate=2,BarSize=2,HBars=1,VBars=2)" \
        "AddMonitor(ScanRate=3,BarSize=1,HBars=2,VBars=1)"
    APP_LOG=app_sway.log
    xh_spawn_isolated "$settings" "$APP_LOG" "${app[@]}" --wash all --duration 10m || return 1
    APP_PID=$XH_PID
    xh_poll "$XH_TIMEOUT" wl__sway_inhibit_both || xh_show_log "$APP_LOG"
    check "sway: each wash window holds an idle inhibitor" 2 "$(wl__sway_inhibitors)"
    # TERM ends the program as a logout does: settings saved, then the signal's own status.
    local status=0
    kill -TERM "$APP_PID"
    xh_wait_exit "$APP_PID" || status=$?
    [ "$status" -eq 143 ] || xh_show_log "$APP_LOG"
    check "sway: TERM during the wash ends the program as a logout does" 143 "$status"

    # Washing while idle, told by the compositor (ext-idle-notify, or sway 1.7's older KDE
    # protocol): no window at first, then one per output, holding nothing back; a mouse move
    # over sway's outputs ends the wash and the program waits again.
    APP_LOG=app_sway_idle.log
    xh_spawn_isolated "$settings" "$APP_LOG" env WAYLAND_DEBUG=client "${app[@]}" --wash all \
        --when-idle 3s --duration 1m || return 1
    APP_PID=$XH_PID
    sleep 1.5
    check "sway: no window before the seat is idle" 0 "$(wl__sway_windows)"
    xh_poll "$XH_TIMEOUT" wl__sway_windows_are 2 || xh_show_log "$APP_LOG"
    check "sway: once idle, a wash window on each output" 2 "$(wl__sway_windows)"
    check "sway: the idle wash keeps nothing awake" 0 "$(wl__sway_inhibitors)"
    xh_move 300 300
    xh_move 400 350
    xh_poll 3 wl__sway_windows_are 0 || true
    check "sway: a mouse move ends the idle wash, the program waits on" "0 running" \
        "$(wl__sway_windows) $(xh__alive "$APP_PID" && echo running)"
    # Another client's idle inhibitor (a video, a browser tab) holds back the screen lock, not
    # the idle wash, where the compositor's notifications can count input alone (version 2).
    if grep -qE 'global\([0-9]+, "ext_idle_notifier_v1", [2-9]' "$XH_TMP/$APP_LOG"; then
        local other
        xh_spawn_isolated "$(xh_tempdir settings-other)" other.log "${app[@]}" || return 1
        other=$XH_PID
        xh_poll "$XH_TIMEOUT" swaymsg "[pid=$other] inhibit_idle open" >/dev/null 2>&1 ||
            fail "sway: another client holds an idle inhibitor" "$(cat "$XH_TMP/other.log")"
        xh_move 500 400
        xh_poll "$XH_TIMEOUT" wl__sway_windows_are 2 || true
        check "sway: an idle wash while another client holds an idle inhibitor" 2 \
            "$(wl__sway_windows)"
        xh_stop "$other"
    else
        echo "note: $(sway --version) notifies no input-only idle time: inhibitors not checked"
    fi
    kill -TERM "$APP_PID"
    xh_wait_exit "$APP_PID" || true
    xh_stop "$sway"
}

# wl__sway_inhibitors: how many of sway's windows keep the display awake.
wl__sway_inhibitors() { swaymsg -r -t get_tree 2>/dev/null | grep -c '"inhibit_idle": true'; }
wl__sway_inhibit_both() { [ "$(wl__sway_inhibitors)" = 2 ]; }
# wl__sway_windows: how many windows the program has on sway's outputs; _are N: that many.
wl__sway_windows() { swaymsg -r -t get_tree 2>/dev/null | grep -c "\"pid\": $APP_PID,"; }
wl__sway_windows_are() { [ "$(wl__sway_windows)" = "$1" ]; }

xh_start_xorg 2400x1100+0+0 || exit 1
e2e_run two_outputs
[ -n "${WL_WESTON:-}" ] && xh_stop "$WL_WESTON"
e2e_run scaled_output
[ -n "${WL_WESTON:-}" ] && xh_stop "$WL_WESTON"
e2e_run sway_outputs
e2e_finish
