#!/usr/bin/env bash
# The program with a settings file that is not what it writes itself: a folder, a FIFO, megabytes
# of garbage, other encodings and malformed lines. Each time the program starts without blocking,
# its preview and a wash show the settings the file stands for (the defaults where it stands for
# none), the wash stops, and Esc ends the program, which leaves a proper settings file behind.
#
#   test_e2e_hostile_settings.sh PROGRAM E2E_MATCHFRAME     (exit 77: skipped, not root)
# shellcheck disable=SC2016 # a $ in single quotes is text: hexadecimal values
set -euo pipefail

# shellcheck source=e2elib.sh
source "$(dirname "${BASH_SOURCE[0]}")/e2elib.sh"
e2e_begin "$@"

monitor=1024x768+0+0

# Each maker writes FOLDER/lumenrun.config.
utf16le() { printf '\xff\xfe' && printf '%s\r\n' "$@" | iconv -f UTF-8 -t UTF-16LE; }

make_folder() { mkdir "$1/lumenrun.config" && echo kept >"$1/lumenrun.config/inside"; }
make_fifo() { mkfifo "$1/lumenrun.config"; }
make_garbage() { head -c $((2 * 1024 * 1024)) /dev/urandom >"$1/lumenrun.config"; }
make_lines_then_garbage() {
    {
        utf16le "AddMonitor(ScanRate=4,BarSize=4,HBars=3,VBars=2)"
        head -c $((900 * 1024)) /dev/urandom
    } >"$1/lumenrun.config"
}
make_empty() { : >"$1/lumenrun.config"; }
make_one_byte() { printf 'A' >"$1/lumenrun.config"; }
make_bad_values() {
    utf16le 'AddMonitor(ScanRate=9,BarSize=-1,HBars=$FFFFFFFF,VBars=1.5)' >"$1/lumenrun.config"
}
make_overflow() {
    utf16le "AddMonitor(HBars=2147483648,VBars=x,ScanRate=,BarSize=+-1)" >"$1/lumenrun.config"
}
make_odd_lines() {
    utf16le "Config(Activate=7)" " AddMonitor(ScanRate=0,VBars=5)" "Foo(ScanRate=1)" "#x" "" \
        'addmonitor( SCANRATE = 3 ,barsize=0, hbars = 2 ,vbars=$A)' >"$1/lumenrun.config"
}
make_unclosed() {
    utf16le "AddMonitor(ScanRate=4,VBars=3" "AddMonitor(ScanRate=1,HBars=2)" >"$1/lumenrun.config"
}
make_huge_counts() {
    utf16le "AddMonitor(HBars=2147483647,VBars=2147483647,BarSize=0,ScanRate=4)" \
        >"$1/lumenrun.config"
}
make_utf8_lf() {
    printf '\xef\xbb\xbfConfig(Activate=1)\nAddMonitor(ScanRate=1,BarSize=3,HBars=4,VBars=2)\n' \
        >"$1/lumenrun.config"
}
make_utf16be_cr() {
    {
        printf '\xfe\xff'
        printf 'Config(Activate=1)\rAddMonitor(ScanRate=1,BarSize=3,HBars=4,VBars=2)\r' |
            iconv -f UTF-8 -t UTF-16BE
    } >"$1/lumenrun.config"
}
make_nul() {
    printf 'AddMonitor(ScanRate=1)\0\r\nConfig(Activate=1)\r\n' >"$1/lumenrun.config"
}

# name | maker | what preview and wash show (H,V,S,B) | Activate then the record (S,B,H,V) saved
rows=(
    "a folder at the file's path|make_folder|1,0,2,2|0|2,2,1,0"
    "a FIFO at the file's path|make_fifo|1,0,2,2|0|2,2,1,0"
    "2 MiB of garbage|make_garbage|1,0,2,2|0|2,2,1,0"
    "a line, then 900 KiB of garbage|make_lines_then_garbage|3,2,4,4|0|4,4,3,2"
    "an empty file|make_empty|1,0,2,2|0|2,2,1,0"
    "a file of one byte|make_one_byte|1,0,2,2|0|2,2,1,0"
    "values out of range or not integers|make_bad_values|-1,1,2,2|0|2,2,-1,1"
    "overflow, empty value, two signs|make_overflow|0,1,2,2|0|2,2,0,1"
    "odd names, blanks, case, hexadecimal, no such choice|make_odd_lines|2,10,3,0|-1|3,0,2,10"
    "no closing parenthesis, a surplus line|make_unclosed|0,1,2,2|0|2,2,0,1"
    "the largest bar counts|make_huge_counts|2147483647,2147483647,4,0|0|4,0,2147483647,2147483647"
    "UTF-8 with its mark, LF line ends|make_utf8_lf|4,2,1,3|1|1,3,4,2"
    "UTF-16 big-endian, CR line ends|make_utf16be_cr|4,2,1,3|1|1,3,4,2"
    "a NUL ends the text|make_nul|0,1,1,2|0|1,2,0,1"
)

# The program refuses to save over a folder: it says so and stays open; once the folder is gone,
# Esc ends it.
close_over_folder() {
    local name=$1 settings=$2 box
    xh_focus "$APP_WIN" && xh_key Escape
    if box=$(xh_wait_window --name '^Glowsweep Wizard$'); then
        check "$name: saving over it is refused in a message" shown shown
        xh_focus "$box" && xh_key Return
        xh_wait_window_gone "$box" || true
    else
        fail "$name: saving over it is refused in a message" "no box titled Glowsweep Wizard"
    fi
    check "$name: the program stays open" running "$(xh__alive "$APP_PID" && echo running)"
    check "$name: the folder is left alone" kept "$(cat "$settings/lumenrun.config/inside")"
    rm -rf -- "${settings:?}/lumenrun.config"
}

run_row() {
    local name maker shows activate saved
    IFS='|' read -r name maker shows activate saved <<<"$1"
    local settings
    settings=$(xh_tempdir settings)
    "$maker" "$settings"
    app_up "$name" "$settings" || return 1
    wait_match "$name: the preview" "$(preview_rect):$shows"
    press_activate Return || fail "$name: confirmation answered with Return"
    if wait_wash_windows "$name: a wash covers the monitor" "$monitor"; then
        wait_match "$name: the wash" "$monitor:$shows"
        xh_focus "$(wash_window_at 10 10)" && xh_key Escape
        wait_wash_windows "$name: Esc stops the wash" ""
    fi

    [ "$maker" = make_folder ] && close_over_folder "$name" "$settings"
    local status=0
    app_close || status=$?
    check "$name: Esc while idle ends the program" 0 "$status"
    check_saved "$name: the file written at close" "$settings" "$activate" "$saved"
}

xh_start_xvfb 1024x768 || exit 1
for row in "${rows[@]}"; do
    e2e_run run_row "$row"
done
e2e_finish
