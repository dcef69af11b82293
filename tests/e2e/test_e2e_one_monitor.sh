#!/usr/bin/env bash
# The program on one monitor (Xvfb), driven as a person would: its main window where it belongs,
# a live preview of the pattern, a wash confirmed or cancelled, stopped by Esc on the wash, by a
# click on it, by Esc on the main window and by another client destroying the wash window, the
# main window active again after each, and Esc while idle ending the program, which writes its
# settings file. Nothing gives the main window the focus from outside before the first look at
# the preview: it activates itself.
#
#   test_e2e_one_monitor.sh PROGRAM E2E_MATCHFRAME     (exit 77: skipped, not root)
set -euo pipefail

# shellcheck source=e2elib.sh
source "$(dirname "${BASH_SOURCE[0]}")/e2elib.sh"
e2e_begin "$@"

monitor=1280x1024+0+0
defaults=1,0,2,2 # a fresh record: HBars 1, VBars 0, ScanRate 2, BarSize 2

run() {
    xh_start_xvfb 1280x1024 || return 1
    local settings
    settings=$(xh_tempdir settings)
    app_up "one monitor" "$settings" || return 1
    local preview
    preview=$(preview_rect)
    wait_moves "preview of a fresh record" "$preview" "$preview:$defaults"

    # Cancel: no wash, and the preview goes on.
    press_activate Escape || fail "confirmation answered with Esc"
    wait_wash_windows "Cancel opens no wash window" ""
    wait_moves "preview after Cancel" "$preview" "$preview:$defaults"
    check "after a box closes the main window has the keyboard" yes \
        "$(xh_poll "$XH_TIMEOUT" xh__focused "$APP_WIN" && echo yes)"

    local how
    for how in "Esc on the wash window" "a click on the wash window" "Esc on the main window" \
        "another client destroying the wash window"; do
        press_activate Return || {
            fail "$how: confirmation answered with Return"
            continue
        }
        wait_wash_windows "$how: the wash covers the monitor" "$monitor" || continue
        wait_match "$how: the wash shows the pattern edge to edge" "$monitor:$defaults"
        case $how in
        "Esc on the wash window")
            xh_focus "$(wash_window_at 640 512)" && xh_key Escape
            ;;
        "a click on the wash window")
            xh_click 1279 1023
            ;;
        "Esc on the main window")
            xh_focus "$APP_WIN" && xh_key Escape
            ;;
        "another client destroying the wash window")
            xdotool windowclose "$(wash_window_at 640 512)"
            ;;
        esac
        wait_wash_windows "$how stops the wash" ""
        check "$how: the program runs on" running "$(xh__alive "$APP_PID" && echo running)"
        wait_match "$how: the preview is back" "$preview:$defaults"
        # The main window takes the keyboard back by itself, so Esc reaches it again.
        if xh_poll "$XH_TIMEOUT" xh__focused "$APP_WIN"; then
            check "$how: the main window has the keyboard" yes yes
        else
            check "$how: the main window has the keyboard" "$((APP_WIN))" "$(xdotool getwindowfocus)"
        fi
    done

    local status=0
    app_close || status=$?
    check "Esc while idle ends the program" 0 "$status"
    check_saved "settings file written at close" "$settings" 0 2,2,1,0

    # An Esc held down before the start is not a press made to the program. (xdotool lets go of
    # its keys when it ends, so it holds the key while it waits.)
    xdotool keydown Escape sleep 3 keyup Escape &
    local holder=$!
    app_start "$settings" || fail "program starts under a held Esc" "no main window"
    xh_poll "$XH_TIMEOUT" xh__focused "$APP_WIN" || fail "the main window gets the keyboard"
    wait "$holder" # meanwhile the server repeats the key many times a second
    check "an Esc held from before the start leaves the program running" running \
        "$(xh__alive "$APP_PID" && echo running)"
    status=0
    app_close || status=$?
    check "a new Esc ends it" 0 "$status"
}

e2e_run run
e2e_finish
