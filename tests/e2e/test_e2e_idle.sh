#!/usr/bin/env bash
# Washing by itself while the desktop is idle, on a real X server whose idle time xdotool's input
# resets: with "--wash all --when-idle 3s --duration 20s" the program shows no window until the
# desktop has had no input for 3 s, then washes the monitor with the settings as last saved; a
# mouse move ends the wash and the program waits again, and the next idle period washes again.
# The wash never asks the screen saver to hold back (the stand-in on the private session bus logs
# every call). Every lock ends it, and none starts while one holds: the screen saver service, the
# login manager's lock hint and its Lock signal (stand-ins on private buses), the X server's own
# screen saver, and xscreensaver locking; an unlock counts as input. SIGTERM ends the program
# without writing the settings file. No wash starts while a lock source has not answered, nor
# while another instance washes. Last, a stand-in for GNOME's idle monitor is asked before the X
# server, through its watches.
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

# ask_lock true|false: the stand-in login manager sends Lock or Unlock, as loginctl would.
ask_lock() {
    dbus-send --system --print-reply --dest=org.freedesktop.login1 \
        /org/freedesktop/login1/session/_1 org.freedesktop.login1.Session.AskLock "boolean:$1" \
        >/dev/null
}

saver_state() { xssstate -s; }
saver_on() { [ "$(saver_state)" = on ]; }

# no_wash_for SECONDS WHAT: no wash window shows for that long.
no_wash_for() {
    local until seen=""
    until=$(($(xh__now_us) + $(awk -v s="$1" 'BEGIN { printf "%d", s * 1000000 }')))
    while [ -z "$seen" ] && [ "$(xh__now_us)" -lt "$until" ]; do
        seen=$(wash_windows)
        sleep 0.2
    done
    check "$2" "" "$seen"
}

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
    no_wash_for 1.5 "no window before the desktop is idle"
    wait_wash_windows "once idle, a wash covers the monitor, unasked" "$monitor" || return 1
    wait_match "the wash shows the monitor's stored settings" "$washed"

    # Saved meanwhile, as the main window would at its close.
    write_settings "$settings" "Config(Activate=1)" \
        "AddMonitor(ScanRate=1,BarSize=3,HBars=5,VBars=7)"
    mkdir -p "$XH_TMP/saved"
    cp "$settings/lumenrun.config" "$XH_TMP/saved/"
    xh_move 500 400
    ends_soon "a mouse move ends the wash" || return 1
    check "the program keeps running" running "$(alive)"
    no_wash_for 1.5 "no wash before a new idle period"
    wait_wash_windows "the next idle period washes again" "$monitor" || return 1
    wait_match "the wash shows what was saved since the start" "$monitor:5,7,1,3"
    check "the wash holds nothing back: no Inhibit" 0 "$(grep -c '^Inhibit' "$XH_TMP/$SAVER_LOG" || true)"

    saver_active true
    ends_soon "the screen saver engaging ends the wash" || return 1
    xh_move 600 500
    no_wash_for 4.5 "no wash while the screen saver runs, however idle"
    saver_active false
    no_wash_for 2 "the screen saver letting go counts as input: no wash at once"
    wait_wash_windows "an idle period after it washes again" "$monitor" || return 1
    session_locked true
    ends_soon "the session's lock hint ends the wash" || return 1
    session_locked false
    wait_wash_windows "the lock hint let go: an idle period washes again" "$monitor" || return 1
    ask_lock true
    ends_soon "the login manager's Lock signal ends the wash" || return 1
    no_wash_for 4.5 "no wash after Lock, however idle"
    xh_move 650 550
    wait_wash_windows "input after Lock and an idle period: a wash again" "$monitor" || return 1

    # The X server's own screen saver, 5 s after the last input: it comes on over the wash.
    xset s 5 0
    xh_move 700 600
    wait_wash_windows "a wash before the X server's saver" "$monitor" || return 1
    xh_poll 6 saver_on
    check "the X server's saver comes on" on "$(saver_state)"
    ends_soon "the X server's saver ends the wash" || return 1
    no_wash_for 4 "no wash while the X server's saver is on"
    xset s off
    xh_move 100 100

    kill -s TERM "$APP_PID"
    local status=0
    xh_wait_exit "$APP_PID" 10 || status=$?
    check "SIGTERM ends the program by the signal" 143 "$status"
    if cmp -s "$XH_TMP/saved/lumenrun.config" "$settings/lumenrun.config"; then
        check "SIGTERM leaves the settings file as the user saved it" same same
    else
        check "SIGTERM leaves the settings file as the user saved it" \
            "$(saved_lines "$XH_TMP/saved")" "$(saved_lines "$settings" || true)"
    fi
    check "never an Inhibit" 0 "$(grep -c '^Inhibit' "$XH_TMP/$SAVER_LOG" || true)"
}

# xscreensaver, run as an ordinary user since it locks for no one else, tells its state only on
# the root window: locking ends the idle wash, and none starts while it holds.
xscreensaver_locks() {
    local settings home
    settings=$(xh_tempdir settings-xss)
    home=$(xh_tempdir xss-home)
    chown nobody "$home"
    printf 'timeout: 0:10:00\nlock: True\nlockTimeout: 0:00:00\nmode: blank\nsplash: False\n' \
        >"$home/.xscreensaver"
    xss() { runuser -u nobody -- env -u DBUS_SESSION_BUS_ADDRESS HOME="$home" "$@"; }
    xh_spawn xscreensaver.log runuser -u nobody -- env -u DBUS_SESSION_BUS_ADDRESS \
        -u DBUS_SYSTEM_BUS_ADDRESS HOME="$home" xscreensaver -no-splash
    local keeper=$XH_PID
    xh_poll "$XH_TIMEOUT" xss xscreensaver-command -time >/dev/null 2>&1 || {
        fail "xscreensaver runs" "$(cat "$XH_TMP/xscreensaver.log")"
        return 1
    }
    write_settings "$settings" "Config(Activate=0)" \
        "AddMonitor(ScanRate=3,BarSize=1,HBars=2,VBars=3)"
    xh_move 100 100
    APP_LOG=idle-xss.log
    xh_spawn_isolated "$settings" "$APP_LOG" "$E2E_APP" --wash all --when-idle 2s --duration 20s ||
        return 1
    APP_PID=$XH_PID
    wait_wash_windows "with xscreensaver running, an idle wash" "$monitor" || return 1
    xss xscreensaver-command -lock >/dev/null
    ends_soon "xscreensaver locking ends the wash" || return 1
    no_wash_for 4 "no wash while xscreensaver holds the lock"
    kill -s TERM "$APP_PID"
    xh_wait_exit "$APP_PID" 10 || true
    xh_stop "$keeper"
    xprop -root -remove _SCREENSAVER_STATUS # what a stopped xscreensaver leaves says locked
}

# A lock source that is there but slow to answer: no wash until it has answered.
lock_unknown() {
    local settings
    settings=$(xh_tempdir settings-slow)
    write_settings "$settings" "Config(Activate=0)"
    dbus-send --session --print-reply --dest=org.freedesktop.ScreenSaver \
        /org/freedesktop/ScreenSaver org.freedesktop.ScreenSaver.SetAnswerDelay uint32:4000 >/dev/null
    xh_move 100 100
    APP_LOG=idle-slow.log
    xh_spawn_isolated "$settings" "$APP_LOG" "$E2E_APP" --wash all --when-idle 1s --duration 20s ||
        return 1
    APP_PID=$XH_PID
    no_wash_for 3 "no wash while the screen saver service has not answered"
    wait_wash_windows "once it answers, the wash comes" "$monitor" || return 1
    kill -s TERM "$APP_PID"
    xh_wait_exit "$APP_PID" 10 || true
    dbus-send --session --print-reply --dest=org.freedesktop.ScreenSaver \
        /org/freedesktop/ScreenSaver org.freedesktop.ScreenSaver.SetAnswerDelay uint32:0 >/dev/null
}

# Another instance's wash: the idle washer opens no windows over it. Its end lets the X server's
# screen saver go, which restarts the X server's idle count, so the idle washer's own wash comes a
# full idle delay later.
one_wash_at_a_time() {
    local settings first
    settings=$(xh_tempdir settings-two)
    write_settings "$settings" "Config(Activate=0)"
    xh_spawn_isolated "$settings" first.log "$E2E_APP" --wash all --duration 6s || return 1
    first=$XH_PID
    APP_PID=$first APP_WIN=
    xh_poll "$XH_TIMEOUT" e2e__main_window_up || true
    wait_wash_windows "a wash of the main window's instance" "$monitor" || return 1
    xh_move 100 100
    APP_LOG=idle-second.log
    xh_spawn_isolated "$settings" "$APP_LOG" "$E2E_APP" --wash all --when-idle 1s --duration 20s ||
        return 1
    APP_PID=$XH_PID
    sleep 3
    check "no second set of wash windows over the other instance's wash" "$monitor" "$(wash_windows)"
    xh_wait_exit "$first" 15 || true
    wait_wash_windows "after it, the idle washer's own wash" "$monitor" || return 1
    kill -s TERM "$APP_PID"
    xh_wait_exit "$APP_PID" 10 || true
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
    check "GNOME is asked by its watches" "AddIdleWatch 2000 AddUserActiveWatch" \
        "$(grep -E '^Add' "$XH_TMP/gnome.log" | head -2 | tr '\n' ' ' | sed 's/ $//')"
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
e2e_run lock_unknown
e2e_run one_wash_at_a_time
e2e_run gnome_idle
e2e_run xscreensaver_locks
e2e_finish
