#!/usr/bin/env bash
# The command line on two monitors (Xorg with the dummy driver): "--wash 2 --duration 3s" washes
# monitor 2 alone with its stored settings and no confirmation, then the program ends by itself
# with status 0, having written the settings with "Activate on" and the records as they were. A
# monitor that is not there gives status 2 and writes nothing; a timed close that cannot save gives
# status 1 instead of waiting behind a message box. Without a display the program says so in one
# line and ends with status 1. The X server's own screen saver (no screen-saver service on the
# session bus) is held back during a wash and comes on again after it, also after kill -9, but not
# during a wash of --when-idle; a server that cannot hold it back gets one line on standard error.
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
    status=0
    "$E2E_APP" --wash 99 --list-monitors >/dev/null 2>"$err" || status=$?
    check "--wash 99 --list-monitors: checked as without --list-monitors" 2 "$status"

    # No display at all, as from cron without DISPLAY, or one that cannot be reached: one line
    # and status 1, never Qt's abort, and no setting touched.
    local unused=4000 row environment args expected
    while [ -e "/tmp/.X11-unix/X$unused" ]; do unused=$((unused + 1)); done
    # environment | arguments | the reason given
    for row in "-u DISPLAY||neither DISPLAY nor WAYLAND_DISPLAY is set" \
        "-u DISPLAY|--list-monitors|neither DISPLAY nor WAYLAND_DISPLAY is set" \
        "-u DISPLAY|--wash all --duration 1m|neither DISPLAY nor WAYLAND_DISPLAY is set" \
        "DISPLAY=:$unused||cannot connect to DISPLAY=:$unused"; do
        IFS='|' read -r environment args expected <<<"$row"
        status=0
        # shellcheck disable=SC2086 # both are lists of words
        xh_run_isolated "$empty" env -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM $environment \
            timeout 30 "$E2E_APP" $args 2>"$err" || status=$?
        check "no display ($environment $args): status 1" 1 "$status"
        check "no display ($environment $args): one line on standard error" \
            "glowsweep-wizard: no display: $expected" "$(cat "$err")"
    done
    check "no display: nothing written" "" "$(ls -A "$empty")"

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

saver_state() { xssstate -s; }
saver_on() { [ "$(saver_state)" = on ]; }

# The X server's screen saver with a 3 s timeout, read through MIT-SCREEN-SAVER. Suspending it does
# not end a saver already on, so its count is restarted (xset s reset, as input would) once the
# wash shows, whatever the start-up took.
x_screen_saver() {
    xh_start_xorg 1024x768+0+0 || return 1
    xset s 3 3
    local settings row name ending status
    settings=$(xh_tempdir settings-saver)
    # name | how the wash ends (the program keeps running after a click)
    for row in "a wash stopped by a click|click" "a wash killed|kill -9"; do
        IFS='|' read -r name ending <<<"$row"
        APP_LOG=saver.log APP_WIN=
        xh_spawn_isolated "$settings" "$APP_LOG" "$E2E_APP" --wash all --duration 1m || return 1
        APP_PID=$XH_PID
        xh_poll "$XH_TIMEOUT" e2e__main_window_up || fail "$name: main window" "never shown"
        wait_wash_windows "$name: a wash covers the monitor" 1024x768+0+0 || return 1
        xset s reset
        sleep 4.5
        check "$name: the X server's saver held back past its timeout" off "$(saver_state)"
        if [ "$ending" = click ]; then
            xh_click 900 700
            wait_wash_windows "$name: the wash ends" "" || return 1
        else
            # The shell's note of the killed job is noise.
            { kill -9 "$APP_PID" && xh_wait_exit "$APP_PID" 10; } 2>/dev/null
        fi
        xh_poll 6 saver_on
        check "$name: the saver comes on again within 6 s" on "$(saver_state)"
        if [ "$ending" = click ]; then
            check "$name: the program still runs" yes "$(xh__alive "$APP_PID" && echo yes)"
            xh_stop "$APP_PID"
        fi
    done

    # A wash of --when-idle holds nothing back: the saver comes on over it as if nothing ran.
    APP_LOG=saver-idle.log APP_WIN=
    xset s reset
    xh_spawn_isolated "$settings" "$APP_LOG" "$E2E_APP" --wash all --when-idle 1s --duration 1m ||
        return 1
    APP_PID=$XH_PID
    wait_wash_windows "--when-idle: a wash once idle" 1024x768+0+0 || return 1
    xh_poll 6 saver_on
    check "--when-idle: the saver comes on during the wash" on "$(saver_state)"
    kill "$APP_PID"
    xh_wait_exit "$APP_PID" 10 || true

    xh_start_xvfb 1024x768 -extension MIT-SCREEN-SAVER || return 1
    status=0
    xh_run_isolated "$settings" timeout 60 "$E2E_APP" --wash all --duration 2s \
        2>"$XH_TMP/saver.err" || status=$?
    check "no MIT-SCREEN-SAVER: the wash runs to its end" 0 "$status"
    check "no MIT-SCREEN-SAVER: one line on standard error" \
        "glowsweep-wizard: the X server's screen saver could not be held back; the screen may blank during the wash" \
        "$(cat "$XH_TMP/saver.err")"
}

e2e_run timed_wash
e2e_run x_screen_saver
e2e_finish
