#!/usr/bin/env bash
# The command line on two monitors (Xorg with the dummy driver): "--wash 2 --duration 3s" washes
# monitor 2 alone with its stored settings and no confirmation, then the program ends by itself
# with status 0, having written the settings with "Activate on" and the records as they were. A
# monitor that is not there gives status 2 and writes nothing; a timed close that cannot save gives
# status 1 instead of waiting behind a message box.
#
#   test_e2e_commandline.sh PROGRAM E2E_MATCHFRAME     (exit 77: skipped, not root)
set -euo pipefail

# shellcheck source=e2elib.sh
source "$(dirname "${BASH_SOURCE[0]}")/e2elib.sh"
e2e_begin "$@"

timed_wash() {
    xh_start_xorg 1920x1080+0+0 1280x1024+1920+56 || return 1
    check "--list-monitors" $'1: 1920x1080 at 0,0\n2: 1280x1024 at 1920,56' \
        "$("$E2E_APP" --list-monitors)"
    local settings status=0 x y w h
    settings=$(xh_tempdir settings)
    write_settings "$settings" "Config(Activate=0)" \
        "AddMonitor(ScanRate=3,BarSize=1,HBars=2,VBars=3)" \
        "AddMonitor(ScanRate=4,BarSize=3,HBars=1,VBars=2)"
    APP_LOG=timed.log APP_START_US=$(xh__now_us)
    xh_spawn_isolated "$settings" "$APP_LOG" "$E2E_APP" --wash 2 --duration 3s || return 1
    APP_PID=$XH_PID
    xh_poll "$XH_TIMEOUT" e2e__main_window_up || fail "main window" "never shown"
    read -r x y w h <<<"$(xh_monitor 1)"
    wait_wash_windows "--wash 2 covers monitor 2 alone, unasked" "${w}x$h+$x+$y"
    wait_match "monitor 2 washed with its stored settings" "${w}x$h+$x+$y:1,2,4,3"
    xh_wait_exit "$APP_PID" || status=$?
    local seconds=$((($(xh__now_us) - APP_START_US) / 1000))
    echo "timed wash: exit status $status after ${seconds} ms"
    check "the timed wash ends the program with status 0" 0 "$status"
    check "settings written, choices as they were" "$(expected_saved 0 3,1,2,3 4,3,1,2)" \
        "$(saved_lines "$settings" | sed '3s|^// .*|// ...|')"

    local empty err=$XH_TMP/bad.err
    empty=$(xh_tempdir empty)
    status=0
    xh_run_isolated "$empty" "$E2E_APP" --wash 3 2>"$err" || status=$?
    check "--wash 3 on two monitors: status 2" 2 "$status"
    check "--wash 3: one line on standard error" \
        "glowsweep-wizard: There is no monitor 3: this desktop has 2 monitors." "$(cat "$err")"
    check "--wash 3: nothing written" "" "$(ls -A "$empty")"

    # Root writes any file but leaves one without write permission alone (see SaveSettingsFile).
    chmod 444 "$settings/lumenrun.config"
    cp "$settings/lumenrun.config" "$XH_TMP/before"
    status=0
    xh_run_isolated "$settings" timeout 60 "$E2E_APP" --wash all --duration 1s 2>"$err" ||
        status=$?
    check "a timed close that cannot save: status 1" 1 "$status"
    check "it says so on standard error" 1 "$(grep -c 'settings could not be saved' "$err")"
    cmp -s "$XH_TMP/before" "$settings/lumenrun.config" || fail "the unsaved file is unchanged"
}

e2e_run timed_wash
e2e_finish
