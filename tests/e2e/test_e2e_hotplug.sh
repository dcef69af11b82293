#!/usr/bin/env bash
# Monitors that come and go while the program runs (Xorg with the dummy driver, RandR monitors
# added and removed with xrandr): a monitor plugged in during an "All Monitors" wash is washed at
# once with its line of the settings file, one unplugged leaves the others washing, the list and
# the file at close follow the monitors; a timed "--wash 2" whose monitor is unplugged ends the
# program with status 0 instead of leaving it open.
#
#   test_e2e_hotplug.sh PROGRAM E2E_MATCHFRAME     (exit 77: skipped, not root)
set -euo pipefail

# shellcheck source=e2elib.sh
source "$(dirname "${BASH_SOURCE[0]}")/e2elib.sh"
e2e_begin "$@"

all_monitors_follow() {
    xh_start_xorg 1280x720+0+0 1024x768+1280+0 800x600+2304+0 || return 1
    xh_unplug_monitor 2 || return 1
    local settings
    settings=$(xh_tempdir settings)
    write_settings "$settings" "Config(Activate=1)" \
        "AddMonitor(ScanRate=3,BarSize=1,HBars=2,VBars=3)" \
        "AddMonitor(ScanRate=4,BarSize=3,HBars=1,VBars=2)" \
        "AddMonitor(ScanRate=2,BarSize=4,HBars=3,VBars=1)"
    app_start "$settings" || {
        fail "program starts on two monitors" "no main window"
        return 1
    }
    press_activate Return || fail "confirmation answered with Return"
    wait_wash_windows "All Monitors covers both monitors" "$(monitors_expected 0 1)"

    xh_plug_monitor 2 || return 1
    wait_wash_windows "a monitor plugged in during the wash is covered at once" \
        "$(monitors_expected 0 1 2)"
    wait_match "it is washed with the file's line for its place, the others go on" \
        "$(monitor_target 0 2,3,3,1)" "$(monitor_target 1 1,2,4,3)" "$(monitor_target 2 3,1,2,4)"

    xh_unplug_monitor 1 || return 1
    wait_wash_windows "an unplugged monitor loses its wash window only" \
        "$(monitors_expected 0 2)"
    wait_match "the other monitors still wash with their own settings" \
        "$(monitor_target 0 2,3,3,1)" "$(monitor_target 2 3,1,2,4)"

    # shellcheck disable=SC2086 # two numbers
    app_click $E2E_APPLY_AT
    wait_wash_windows "Deactivate Glowsweep stops the wash" ""
    local status=0
    app_close || status=$?
    check "Esc while idle ends the program" 0 "$status"
    check_saved "the file has a line for each monitor there at the close, in order" "$settings" \
        1 3,1,2,3 2,4,3,1
}

timed_wash_loses_its_monitor() {
    xh_start_xorg 1280x720+0+0 1024x768+1280+0 || return 1
    local settings status=0
    settings=$(xh_tempdir settings)
    write_settings "$settings" "Config(Activate=0)" \
        "AddMonitor(ScanRate=3,BarSize=1,HBars=2,VBars=3)" \
        "AddMonitor(ScanRate=4,BarSize=3,HBars=1,VBars=2)"
    APP_LOG=timed.log
    xh_spawn_isolated "$settings" "$APP_LOG" "$E2E_APP" --wash 2 --duration 10m || return 1
    APP_PID=$XH_PID
    xh_poll "$XH_TIMEOUT" e2e__main_window_up || fail "main window" "never shown"
    wait_wash_windows "--wash 2 covers monitor 2" "$(monitors_expected 1)"
    xh_unplug_monitor 1 || return 1
    xh_wait_exit "$APP_PID" || status=$?
    check "a timed wash whose monitor is unplugged ends the program with status 0" 0 "$status"
    check_saved "settings saved for the monitor still there" "$settings" 0 3,1,2,3
}

e2e_run all_monitors_follow
xh_stop_server
e2e_run timed_wash_loses_its_monitor
e2e_finish
