#!/usr/bin/env bash
# The program on several monitors (Xorg with the dummy driver), with a settings file written
# beforehand: its values show in the preview of each monitor and in every monitor's wash, "All
# Monitors" covers each monitor with its own pattern, "Selected Monitor" only the selected one, Esc,
# a click and the Deactivate button stop a wash, and the file written at close carries the values
# back, with the changes made in the window.
#
#   test_e2e_monitors.sh PROGRAM E2E_MATCHFRAME     (exit 77: skipped, not root)
set -euo pipefail

# shellcheck source=e2elib.sh
source "$(dirname "${BASH_SOURCE[0]}")/e2elib.sh"
e2e_begin "$@"

# Two monitors of different sizes, the second lower down: the preview follows the selected
# monitor, "All Monitors" and then "Selected Monitor" on the second, a change made in the window.
two_monitors() {
    xh_start_xorg 1920x1080+0+0 1280x1024+1920+56 || return 1
    local settings
    settings=$(xh_tempdir settings)
    # Records as "H,V,S,B" for the renderer and "S,B,H,V" as the file writes them.
    local first=2,3,3,1 second=1,2,4,3 second_changed=1,3,4,3
    write_settings "$settings" "//" "// written by the test" "Config(Activate=1)" \
        "AddMonitor(ScanRate=3,BarSize=1,HBars=2,VBars=3)" \
        "AddMonitor(ScanRate=4,BarSize=3,HBars=1,VBars=2)"
    app_up "two monitors" "$settings" || return 1

    local preview
    preview=$(preview_rect)
    wait_moves "preview of monitor 1 from the file" "$preview" "$preview:$first"
    check "preview of monitor 1 is not monitor 2's pattern" 1 \
        "$("$E2E_MATCH" "$MATCH_SHOT" 0 "$(frame_bound)" "$preview:$second" >/dev/null 2>&1 ||
            echo $?)"

    # "All Monitors" from the file: each monitor its own pattern, at one shared counter.
    press_activate Return || fail "confirmation answered with Return"
    wait_wash_windows "All Monitors covers both monitors" "$(monitors_expected 0 1)"
    wait_match "each monitor washed with its own settings, at one counter" \
        "$(monitor_target 0 $first)" "$(monitor_target 1 $second)"
    xh_focus "$(wash_window_at 2500 600)" && xh_key Escape
    wait_wash_windows "Esc on monitor 2's wash window stops the whole wash" ""

    select_monitor 1
    wait_moves "preview of monitor 2 from the file" "$preview" "$preview:$second"
    # shellcheck disable=SC2086 # two numbers
    app_click $E2E_VUP_AT
    wait_match "preview after one more vertical bar on monitor 2" "$preview:$second_changed"
    # The focus is in the list: Tab to "Activate on", Up to "Selected Monitor".
    xh_focus "$APP_WIN" && xh_key Tab Up

    press_activate Return || fail "confirmation answered with Return"
    wait_wash_windows "Selected Monitor covers monitor 2 only" "$(monitors_expected 1)"
    wait_match "monitor 2 washed with its changed settings" "$(monitor_target 1 $second_changed)"
    local colours x y w h
    read -r x y w h <<<"$(xh_window_geometry "$APP_WIN")"
    colours=$(xh_colours "$MATCH_SHOT" "${w}x$h+$x+$y" | wc -l)
    check "the main window stays uncovered on monitor 1" yes \
        "$([ "$colours" -gt 2 ] && echo yes || echo "$colours colours only")"
    # shellcheck disable=SC2086 # two numbers
    app_click $E2E_APPLY_AT
    wait_wash_windows "Deactivate Glowsweep stops the wash" ""
    wait_match "preview of monitor 2 is back" "$preview:$second_changed"

    local status=0
    app_close || status=$?
    check "two monitors: Esc while idle ends the program" 0 "$status"
    check_saved "two monitors: settings file written at close" "$settings" 0 3,1,2,3 4,3,1,3
}

# Three monitors, one more record in the file than monitors: all three washed, each with its own
# settings; a click on the third stops the wash.
three_monitors() {
    xh_start_xorg 1920x1080+0+0 1280x1024+1920+56 1024x768+3200+0 || return 1
    local settings
    settings=$(xh_tempdir settings)
    write_settings "$settings" "Config(Activate=1)" \
        "AddMonitor(ScanRate=0,BarSize=4,HBars=0,VBars=1)" \
        "AddMonitor(ScanRate=2,BarSize=0,HBars=3,VBars=0)" \
        "AddMonitor(ScanRate=4,BarSize=2,HBars=2,VBars=4)" \
        "AddMonitor(ScanRate=1,BarSize=1,HBars=5,VBars=5)"
    app_up "three monitors" "$settings" || return 1
    local preview
    preview=$(preview_rect)
    wait_match "three monitors: preview of monitor 1 from the file" "$preview:0,1,0,4"

    press_activate Return || fail "confirmation answered with Return"
    wait_wash_windows "All Monitors covers three monitors" "$(monitors_expected 0 1 2)"
    wait_match "three monitors washed with their own settings, at one counter" \
        "$(monitor_target 0 0,1,0,4)" "$(monitor_target 1 3,0,2,0)" "$(monitor_target 2 2,4,4,2)"
    xh_click 4222 766
    wait_wash_windows "a click on monitor 3's wash stops the wash" ""

    local status=0
    app_close || status=$?
    check "three monitors: Esc while idle ends the program" 0 "$status"
    check_saved "three monitors: settings file written at close" "$settings" 1 0,4,0,1 2,0,3,0 \
        4,2,2,4
}

e2e_run two_monitors
xh_stop_server
e2e_run three_monitors
e2e_finish
