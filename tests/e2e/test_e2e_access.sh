#!/usr/bin/env bash
# The program with the keyboard alone, as a screen reader finds it over the accessibility bus
# (AT-SPI), on two monitors (Xorg): the controls are named, Tab walks them from the monitor list
# round to it, Space and Return on "Activate Glowsweep" wash the selected monitor exactly, the
# wash window is named, Esc stops the wash and the focus is back on the button.
#
#   test_e2e_access.sh PROGRAM E2E_MATCHFRAME     (exit 77: skipped, not root)
set -euo pipefail

# shellcheck source=e2elib.sh
source "$(dirname "${BASH_SOURCE[0]}")/e2elib.sh"
e2e_begin "$@"
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
python=/usr/bin/python3 # the system's, which python3-pyatspi installs into
if ! "$python" -c 'import pyatspi' 2>/dev/null; then
    echo "FAIL: python3-pyatspi is missing (./build.sh test installs it)"
    exit 1
fi

main='frame "Kestrion'\''s Glowsweep Wizard v1.00"'
apply='push button "Activate Glowsweep" focusable'
list='list "Available Monitors" focusable'
tab_stops=( # in the order Tab reaches them from the list
    'combo box "Activate on" focusable labelled "Activate on"' "$apply"
    'combo box "Glowsweep scan rate" focusable labelled "Glowsweep scan rate"'
    'combo box "Glowsweep bar size" focusable labelled "Glowsweep bar size"'
    'spin button "Vertical bars" focusable labelled "Vertical bars" value=0 range=0..20'
    'spin button "Horizontal bars" focusable labelled "Horizontal bars" value=1 range=0..20'
    'push button "Help" focusable' 'push button "About" focusable' "$list")
others=('list item "Monitor 2, 1280x1024" focusable' 'image "Preview of Monitor 1"'
    'push button "Increase"' 'push button "Decrease"')

probe() { "$python" "$here/atspi_probe.py" "$APP_PID" "$@" 2>/dev/null; }
e2e__focus_is() { [ "$(probe focus)" = "$1" ]; }
# wait_focus WHAT EXPECTED: the reader finds the focus at EXPECTED ("window > object"); a check.
wait_focus() {
    xh_poll "$XH_TIMEOUT" e2e__focus_is "$2" || true
    check "$1" "$2" "$(probe focus)"
}

run() {
    xh_start_xorg 1280x720+0+0 1280x1024+1280+0 || return 1
    export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1
    app_start "$(xh_tempdir settings)" || {
        fail "program starts" "no main window"
        return 1
    }
    xh_poll "$XH_TIMEOUT" probe tree >/dev/null || fail "the program is on the accessibility bus"
    local tree line key box wash='filler "Glowsweep wash on Monitor 2 (Esc stops it)" focusable'
    tree=$(probe tree)
    for line in "${others[@]}"; do
        check "the reader finds: $line" yes "$(grep -Fxq -- "$line" <<<"$tree" && echo yes)"
    done
    xh_focus "$APP_WIN"
    wait_focus "the focus starts in the list" "$main > $list"
    xh_key Down # the second monitor
    for line in "${tab_stops[@]}"; do
        xh_key Tab
        wait_focus "Tab reaches $line" "$main > $line"
    done
    for key in space Return; do
        [ "$key" = Return ] || xh_key Tab Tab
        wait_focus "$key: on the button" "$main > $apply"
        xh_key "$key"
        box=$(xh_wait_window --name '^Information$') && xh_focus "$box" && xh_key Return
        wait_wash_windows "$key: the wash covers the second monitor" "$(monitors_expected 1)" &&
            wait_match "$key: the wash shows its pattern" "$(monitors_expected 1):1,0,2,2"
        wait_focus "$key: the wash window is named" "$wash > $wash"
        xh_key Escape
        wait_wash_windows "$key: Esc stops the wash" ""
        wait_focus "$key: the focus is back on the button" "$main > $apply"
    done
    app_close || fail "Esc while idle ends the program"
}

e2e_run run
e2e_finish
