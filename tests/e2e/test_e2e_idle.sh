#!/usr/bin/env bash
# Washing by itself while the desktop is idle, on a real X server whose idle time xdotool's input
# resets: with "--wash all --when-idle 3s --duration 20s" the program shows no window until the
# desktop has had no input for 3 s, then washes the monitor with its stored settings; a mouse move
# ends the wash and the program waits again, and the next idle period washes again. The wash never
# asks the screen saver to hold back (the stand-in on the private session bus logs every call), and
# the screen saver engaging ends it; none starts while the screen saver runs. The login manager's
# lock hint on the session (a stand-in on a private system bus) ends a wash as well. SIGTERM then
# ends the program with the settings saved. Last, a stand-in for GNOME's idle monitor is asked
# before the X server.
#
#   test_e2e_idle.sh PROGRAM E2E_MATCHFRAME FAKESCREENSAVER   (exit 77: skipped, not root)
set -euo pipefail

# shellcheck source=e2elib.sh
source "$(dirname "${BASH_SOURCE[0]}")/e2elib.sh"
e2e_begin "$@"
saver=${3:?the stand-in screen saver}

monitor=1024x768+0+0
washed="$monitor:2,3,3,1"

# saver_active true|false: the stand-in screen saver engages or lets go.
saver_active() {
    dbus-send --session --print-reply --dest=org.freedesktop.ScreenSaver \
        /org/freedesktop/ScreenSaver org.freedesktop.ScreenSaver.SetActive "boolean:$1" >/dev/null
}

# session_locked true|false: the stand-in login manager's session is locked or unlocked.
session_locked() {
    dbus-send --system --print-reply --dest=org.freedesktop.login1 \
        /org/freedesktop/login1/session/_1 org.freedesktop.login1.Session.SetLockedHint \
        "boolean:$1" >/dev/null
}

# ends_soon WHAT: the wash windows go within 3 s, long before the wash's own time is up.
ends_soon() { XH_TIMEOUT=3 wait_wash_windows "$1" ""; }

alive() { xh__alive "$APP_PID" && echo running || echo ended; }

idle_washes() {
    local settings
    settings=$(xh_tempdir settings)
    write_settings "$settings" "Config(Activate=0)" \
        "AddMonitor(ScanRate=3,BarSize=1,HBars=2,VBars=3)"
    xh_move 100 100 # input now: the idle period begins
    APP_LOG=idle.log APP_START_US=$(xh__now_us)
    xh_spawn_isolated "$settings" "$APP_LOG" "$E2E_APP" --wash all --when-idle 3s --duration 20s ||
        return 1
    APP_PID=$XH_PID
    sleep 1.5
    check "no window before the desktop is idle" "" "$(wash_windows)"
    wait_wash_windows "once idle, a wash covers the monitor, unasked" "$monitor" || return 1
    wait_match "the wash shows the monitor's stored settings" "$washed"

    xh_move 500 400
    ends_soon "a mouse move ends the wash" || return 1
    check "the program keeps running" running "$(alive)"
    sleep 1.5
    check "no wash before a new idle period" "" "$(wash_windows)"
    wait_wash_windows "the next idle period washes again" "$monitor" || return 1
    wait_match "the second wash matches the renderer" "$washed"
    check "the wash holds nothing back: no Inhibit" 0 "$(grep -c '^Inhibit' "$XH_TMP/$SAVER_LOG" || true)"

    saver_active true
    ends_soon "the screen saver engaging ends the wash" || return 1
    xh_move 600 500
    sleep 4.5
    check "no wash while the screen saver runs, however idle" "" "$(wash_windows)"
    saver_active false
    wait_wash_windows "once it lets go, an idle period washes again" "$monitor" || return 1
    session_locked true
    ends_soon "the session's lock hint ends the wash" || return 1

    kill -s TERM "$APP_PID"
    local status=0
    xh_wait_exit "$APP_PID" 10 || status=$?
    check "SIGTERM ends the program by the signal" 143 "$status"
    check_saved "the settings are saved" "$settings" 0 "3,1,2,3"
    check "never an Inhibit" 0 "$(grep -c '^Inhibit' "$XH_TMP/$SAVER_LOG" || true)"
}

# GNOME's idle monitor, where one answers on the session bus, is asked before the X server: no
# wash while it says there was input, though the X server's count says idle; a wash once it says
# idle, ended when it says input again.
gnome_idle() {
    local settings
    settings=$(xh_tempdir settings-gnome)
    write_settings "$settings" "Config(Activate=0)" \
        "AddMonitor(ScanRate=3,BarSize=1,HBars=2,VBars=3)"
    session_locked false
    xh_spawn gnome.log "$saver" mutter
    local gnome=$XH_PID
    xh_wait_output gnome.log "^ready$" || {
        fail "the stand-in idle monitor serves" "$(cat "$XH_TMP/gnome.log")"
        return 1
    }
    APP_LOG=idle-gnome.log
    xh_spawn_isolated "$settings" "$APP_LOG" "$E2E_APP" --wash all --when-idle 2s --duration 20s ||
        return 1
    APP_PID=$XH_PID
    sleep 3.5
    check "GNOME's count comes first: no wash while it says input" "" "$(wash_windows)"
    idle_monitor 5000
    wait_wash_windows "GNOME's count says idle: a wash" "$monitor" || return 1
    idle_monitor 0
    ends_soon "GNOME's count says input: the wash ends" || return 1
    kill -s TERM "$APP_PID"
    xh_wait_exit "$APP_PID" 10 || true
    xh_stop "$gnome"
}

# idle_monitor MS: the stand-in idle monitor's count from now on.
idle_monitor() {
    dbus-send --session --print-reply --dest=org.gnome.Mutter.IdleMonitor \
        /org/gnome/Mutter/IdleMonitor/Core org.gnome.Mutter.IdleMonitor.SetIdletime "uint64:$1" \
        >/dev/null
}

xh_start_xvfb 1024x768 || exit 1
saver_start "$saver"
# The system bus, private too, with the stand-in login manager on it.
SYSTEM_BUS_LOG=system-bus.log
xh_spawn "$SYSTEM_BUS_LOG" dbus-daemon --session --nofork --nopidfile --print-address=1
xh_wait_output "$SYSTEM_BUS_LOG" "^unix:" || exit 1
DBUS_SYSTEM_BUS_ADDRESS=$(head -n 1 "$XH_TMP/$SYSTEM_BUS_LOG")
export DBUS_SYSTEM_BUS_ADDRESS
LOGIN_LOG=login.log
xh_spawn "$LOGIN_LOG" "$saver" login1
xh_wait_output "$LOGIN_LOG" "^ready$" || {
    fail "the stand-in login manager serves" "$(cat "$XH_TMP/$LOGIN_LOG")"
    e2e_finish
    exit 1
}
e2e_run idle_washes
e2e_run gnome_idle
e2e_finish
