#!/usr/bin/env bash
# The end of a session on a real X server: SIGTERM (logout, systemctl, kill), SIGINT (Ctrl+C) and
# SIGHUP end the program as a close does. The wash ends, the screen saver's inhibition is handed
# back (a stand-in screen saver on the private session bus logs the calls), the settings are saved,
# and the program ends promptly, by the signal, also when the save fails. When the X server dies
# instead, the settings are saved all the same and the program ends with status 3. (SIGINT is not sent here:
# a background job of a script starts with it ignored, and the program keeps it so, as nohup
# would; the unit tests cover it.)
#
#   test_e2e_session_end.sh PROGRAM E2E_MATCHFRAME FAKESCREENSAVER   (exit 77: skipped, not root)
set -euo pipefail

# shellcheck source=e2elib.sh
source "$(dirname "${BASH_SOURCE[0]}")/e2elib.sh"
e2e_begin "$@"
saver=${3:?the stand-in screen saver}

monitor=1024x768+0+0

# name | signal (or xserver: the X server is killed) | wash running | settings file read-only |
# VBars saved
rows=(
    "SIGTERM during a wash|TERM|yes|no|1"
    "SIGHUP while idle|HUP|no|no|1"
    "SIGTERM during a wash, the save fails|TERM|yes|yes|-"
    "the X server dies during a wash|xserver|yes|no|1"
)

run_row() {
    local name signal washing read_only vbars
    IFS='|' read -r name signal washing read_only vbars <<<"$1"
    local settings
    settings=$(xh_tempdir settings)
    if [ "$read_only" = yes ]; then
        write_settings "$settings" "Config(Activate=0)"
        chmod 0444 "$settings/lumenrun.config"
    fi
    local before
    before=$(md5sum 2>/dev/null <"$settings/lumenrun.config" || true)
    app_up "$name" "$settings" || return 1
    # One step up on VBars: the controls write once the window has activated itself.
    wait_match "$name: the preview" "$(preview_rect):1,0,2,2"
    # shellcheck disable=SC2086
    app_click $E2E_VUP_AT
    wait_match "$name: the preview shows the step" "$(preview_rect):1,1,2,2"
    if [ "$washing" = yes ]; then
        press_activate Return || fail "$name: confirmation answered with Return"
        wait_wash_windows "$name: a wash covers the monitor" "$monitor" || true
        xh_wait_output "$SAVER_LOG" "^Inhibit " || fail "$name: the wash asks the screen to stay on"
    fi
    local lines_before
    lines_before=$(grep -c . "$XH_TMP/$SAVER_LOG" || true)

    local status=0 expected
    if [ "$signal" = xserver ]; then
        # The display is gone: the program ends with a status of its own, the settings saved.
        xh_stop_server
        xh_wait_exit "$APP_PID" 10 || status=$?
        check "$name: the program ends with status 3, within 10 s" 3 "$status"
        check "$name: it says so" 1 \
            "$(grep -c '^glowsweep-wizard: the display connection was lost$' "$XH_TMP/$APP_LOG")"
        xh_start_xvfb 1024x768 || return 1
    else
        kill -s "$signal" "$APP_PID"
        xh_wait_exit "$APP_PID" 10 || status=$?
        expected=$((128 + $(kill -l "$signal")))
        check "$name: the program ends by the signal, within 10 s" "$expected" "$status"
    fi
    if [ "$washing" = yes ]; then
        local cookie
        cookie=$(sed -n 's/^Inhibit //p' "$XH_TMP/$SAVER_LOG" | tail -n 1)
        xh_wait_output "$SAVER_LOG" "^UnInhibit $cookie\$" 5 || true
        check "$name: the screen may sleep again" "UnInhibit $cookie" \
            "$(tail -n +"$((lines_before + 1))" "$XH_TMP/$SAVER_LOG" | grep '^UnInhibit' || true)"
    fi
    if [ "$vbars" = - ]; then
        check "$name: the file is left as it was" "$before" "$(md5sum <"$settings/lumenrun.config")"
    else
        check_saved "$name: the settings are saved" "$settings" 0 "2,2,1,$vbars"
    fi
}

xh_start_xvfb 1024x768 || exit 1
saver_start "$saver"
for row in "${rows[@]}"; do
    e2e_run run_row "$row"
done
e2e_finish
