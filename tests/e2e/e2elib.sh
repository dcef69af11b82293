# shellcheck shell=bash disable=SC2034 # the constants are for the scripts that source this file
# What the end-to-end tests of the program share, on top of xharness.sh: starting the program with a
# settings folder of its own, finding its windows, pressing its buttons, comparing what the screen
# shows with the renderer (through e2e_matchframe), and reading the settings file it writes.
#
#   source "$(dirname "${BASH_SOURCE[0]}")/e2elib.sh"
#   e2e_begin "$@"          # PROGRAM MATCHFRAME: exits 77 (skipped) when not run as root
#
# The program keeps its settings in a private mount namespace (xh_spawn_isolated), so the machine's
# real settings folder is never read or written. Every wait is bounded polling.

E2E_DIR=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=checks.sh
source "$E2E_DIR/checks.sh"
# Scripts that source xharness.sh themselves first keep their harness state.
if ! declare -F xh__init >/dev/null; then
    # shellcheck source=xharness.sh
    source "$E2E_DIR/xharness.sh"
fi

E2E_APP=
E2E_MATCH=
# The running program: its pid, its main window, when it was started, its settings folder.
APP_PID=
APP_WIN=
APP_START_US=
APP_SETTINGS=
APP_LOG=
# The screenshot of the last successful match.
MATCH_SHOT=

# The main window's client area, and its parts in client coordinates.
readonly E2E_MAIN_POS="253 161"
readonly E2E_MAIN_SIZE="463 410"
readonly E2E_TITLE="Kestrion's Glowsweep Wizard v1.00"
readonly E2E_PREVIEW_AT="41 48"  # PreviewGB at 10,6; MonitorImage at 31,42 within it
readonly E2E_APPLY_AT="364 370"  # the middle of ApplyButton (MonitorsGB 274,6; button 10,344)
readonly E2E_LIST_AT="284 54"    # MonitorList's top-left (MonitorsGB 274,6; list 10,48)
readonly E2E_LIST_ITEM=113       # height of one monitor item
readonly E2E_VUP_AT="238 336"    # the up half of VUpDown (PreviewGB 10,6; VUpDown 218,326)

e2e_init() {
    E2E_APP=${1:?e2e_init PROGRAM MATCHFRAME}
    E2E_MATCH=${2:?e2e_init PROGRAM MATCHFRAME}
    if [ ! -x "$E2E_APP" ] || [ ! -x "$E2E_MATCH" ]; then
        echo "e2e: $E2E_APP or $E2E_MATCH is not an executable" >&2
        exit 2
    fi
    xh__init
}

# e2e_begin PROGRAM MATCHFRAME: the opening of a test of the program on real X servers, which
# Xorg's dummy driver and the isolated settings folder's mount namespace both need root for.
e2e_begin() {
    if [ "$(id -u)" -ne 0 ]; then
        echo "skipped: Xorg with the dummy driver and mount namespaces need root"
        exit 77
    fi
    e2e_init "${1:-}" "${2:-}"
}

# saver_start PROGRAM: starts the stand-in screen saver (fakescreensaver.cpp) on the session bus,
# logging to SAVER_LOG; a stand-in that does not serve ends the script as a failure.
saver_start() {
    SAVER_LOG=saver.log
    xh_spawn "$SAVER_LOG" "$1"
    xh_wait_output "$SAVER_LOG" "^ready$" || {
        fail "the stand-in screen saver serves" "$(cat "$XH_TMP/$SAVER_LOG")"
        e2e_finish
        exit 1
    }
}

# --- settings files ------------------------------------------------------------------------------

# write_settings FOLDER LINE...: the settings file as the program writes it: FF FE, then UTF-16LE
# lines each ending in CR LF.
write_settings() {
    local folder=$1
    shift
    {
        printf '\xff\xfe'
        printf '%s\r\n' "$@" | iconv -f UTF-8 -t UTF-16LE
    } >"$folder/lumenrun.config"
}

# saved_lines FOLDER: the lines of the settings file the program wrote, decoded and without the
# line ends. Fails unless the file is UTF-16LE with its mark and every line ends in CR LF.
saved_lines() {
    local file=$1/lumenrun.config head tail
    [ -f "$file" ] || {
        echo "(no settings file)"
        return 1
    }
    head=$(od -An -tx1 -N2 "$file" | tr -d ' \n')
    tail=$(tail -c 4 "$file" | od -An -tx1 | tr -d ' \n')
    if [ "$head" != fffe ] || [ "$tail" != 0d000a00 ]; then
        echo "(starts with $head, ends with $tail)"
        return 1
    fi
    tail -c +3 "$file" | iconv -f UTF-16LE -t UTF-8 | sed 's/\r$//'
}

# expected_saved ACTIVATE "S,B,H,V"...: the lines the program writes for these records, with the
# maker's notice on line 3 shown as "// ..." (check_saved puts it in that form).
expected_saved() {
    local activate=$1 record s b h v
    shift
    printf '%s\n' "//" "// Glowsweep Wizard v1.00." "// ..." "//" "Config(Activate=$activate)"
    for record in "$@"; do
        IFS=, read -r s b h v <<<"$record"
        echo "AddMonitor(ScanRate=$s,BarSize=$b,HBars=$h,VBars=$v)"
    done
}

# check_saved WHAT FOLDER ACTIVATE "S,B,H,V"...
check_saved() {
    local what=$1 folder=$2
    shift 2
    local actual
    actual=$(saved_lines "$folder" | sed '3s|^// .*|// ...|') || true
    check "$what" "$(expected_saved "$@")" "$actual"
}

# --- the program ---------------------------------------------------------------------------------

e2e__main_window_up() {
    local w
    for w in $(xh_find_window --classname glowsweep-wizard); do
        if [ "$(xh_window_title "$w" 2>/dev/null)" = "$E2E_TITLE" ]; then
            APP_WIN=$w
            return 0
        fi
    done
    xh__dead "$APP_PID" && return 0 # gone: no use waiting
    return 1
}

# app_start SETTINGS_DIR: starts the program with SETTINGS_DIR as its settings folder and waits for
# its main window (APP_WIN). Fails when the program ends or shows no main window.
app_start() {
    APP_SETTINGS=$1
    APP_LOG=app-$RANDOM$RANDOM.log
    APP_WIN=
    APP_START_US=$(xh__now_us)
    xh_spawn_isolated "$APP_SETTINGS" "$APP_LOG" "$E2E_APP" || return 1
    APP_PID=$XH_PID
    if ! xh_poll "$XH_TIMEOUT" e2e__main_window_up || [ -z "$APP_WIN" ]; then
        xh_show_log "$APP_LOG"
        return 1
    fi
    # No help from outside: there is no window manager, and the main window activates itself.
    # Its first activation puts the preview on the monitor picture's screen and lets the
    # controls write.
}

# app_up WHAT SETTINGS_DIR: app_start as checks: the program starts, and its main window stands
# where it belongs, at its size, with its title.
app_up() {
    app_start "$2" || {
        fail "$1: the program starts" "no main window"
        return 1
    }
    check "$1: main window: client area" "$E2E_MAIN_POS $E2E_MAIN_SIZE" \
        "$(xh_window_geometry "$APP_WIN")"
    check "$1: main window: title" "$E2E_TITLE" "$(xh_window_title "$APP_WIN")"
}

# app_close: Esc on the idle main window; waits for the program to end. Its exit status.
app_close() {
    xh_focus "$APP_WIN" || return 1
    xh_key Escape
    local status=0
    xh_wait_exit "$APP_PID" || status=$?
    [ "$status" -eq 0 ] || xh_show_log "$APP_LOG"
    return "$status"
}

# app_client X Y: prints the root position of a point of the main window's client area.
app_client() {
    local wx wy
    read -r wx wy _ <<<"$(xh_window_geometry "$APP_WIN")"
    echo "$((wx + $1)) $((wy + $2))"
}

# app_click X Y: clicks a point of the main window's client area.
app_click() {
    # shellcheck disable=SC2046 # two numbers
    xh_click $(app_client "$1" "$2")
}

# preview_rect: the preview's rectangle on the screen, WxH+X+Y.
preview_rect() {
    local x y
    # shellcheck disable=SC2086
    read -r x y <<<"$(app_client $E2E_PREVIEW_AT)"
    echo "192x108+$x+$y"
}

# select_monitor INDEX: clicks the monitor's item in the list (the first two items are in view).
select_monitor() {
    local lx ly
    read -r lx ly <<<"$E2E_LIST_AT"
    app_click $((lx + 80)) $((ly + $1 * E2E_LIST_ITEM + E2E_LIST_ITEM / 2))
}

# The highest frame counter the program can have reached: its timer ticks 4 times a second from
# start-up (a coarse timer may fire up to 5 % early), with room to spare.
frame_bound() {
    local seconds=$((($(xh__now_us) - APP_START_US) / 1000000 + 1))
    echo $(((seconds + 5) * 5))
}

# --- comparing the screen with the renderer ------------------------------------------------------

# matches_now TARGET...: one screenshot, compared with the renderer; sets MATCH_SHOT on success, leaves the reason in $XH_TMP/match.err on failure. TARGET is
# WxH+X+Y:HBARS,VBARS,SCANRATE,BARSIZE.
matches_now() {
    local shot
    shot=$XH_TMP/match-$RANDOM$RANDOM.png
    xh_screenshot "$shot" 2>"$XH_TMP/match.err" || return 1
    if "$E2E_MATCH" "$shot" 0 "$(frame_bound)" "$@" >/dev/null 2>"$XH_TMP/match.err"; then
        MATCH_SHOT=$shot
        return 0
    fi
    rm -f "$shot"
    return 1
}

# wait_match WHAT TARGET...: waits until the screen matches the renderer; a check. A screenshot
# can catch a frame half drawn, so a mismatch only counts once the time is up.
wait_match() {
    local what=$1
    shift
    if xh_poll "$XH_TIMEOUT" matches_now "$@"; then
        check "$what" match match
        return 0
    fi
    fail "$what" "the screen never matched the renderer for $*"
    cat "$XH_TMP/match.err" >&2
    return 1
}

e2e__moved() {
    local rect=$1 before=$2
    shift 2
    matches_now "$@" || return 1
    local after=$XH_TMP/moved-after.png
    convert "$MATCH_SHOT" -crop "$rect" +repage "png:$after" || return 1
    [ "$(xh_diff_count "$before" "$after")" != 0 ]
}

# wait_moves WHAT RECT TARGET...: the pattern in RECT matches the renderer, and later matches it
# again with other pixels.
wait_moves() {
    local what=$1 rect=$2
    shift 2
    wait_match "$what: matches the renderer" "$@" || return 1
    local before=$XH_TMP/moved-before.png
    convert "$MATCH_SHOT" -crop "$rect" +repage "png:$before"
    if xh_poll "$XH_TIMEOUT" e2e__moved "$rect" "$before" "$@"; then
        check "$what: moves" moved moved
    else
        fail "$what: moves" "no later screenshot of $rect both differs and matches the renderer"
        cat "$XH_TMP/match.err" >&2
        return 1
    fi
}

# --- washing -------------------------------------------------------------------------------------

# The program's visible windows other than its main window: "ID X Y W H" each.
e2e__wash_window_list() {
    local w x y width height
    for w in $(xh_find_window --classname glowsweep-wizard); do
        [ "$((w))" = "$((APP_WIN))" ] && continue
        read -r x y width height <<<"$(xh_window_geometry "$w" 2>/dev/null)" || continue
        [ -n "$height" ] && echo "$w $x $y $width $height"
    done
}

# wash_windows: the program's visible windows other than its main window, "WxH+X+Y" each,
# sorted.
wash_windows() {
    local w x y width height
    e2e__wash_window_list | while read -r w x y width height; do
        echo "${width}x$height+$x+$y"
    done | sort
}

e2e__wash_windows_are() { [ "$(wash_windows)" = "$1" ]; }

# wait_wash_windows EXPECTED: waits until the visible wash windows are exactly EXPECTED (a
# newline-separated, sorted list of WxH+X+Y; empty for none). A check.
wait_wash_windows() {
    local what=$1 expected=$2
    if xh_poll "$XH_TIMEOUT" e2e__wash_windows_are "$expected"; then
        check "$what" "$expected" "$expected"
        return 0
    fi
    check "$what" "$expected" "$(wash_windows)"
    return 1
}

# wash_window_at X Y: the id of the wash window whose rectangle holds the point.
wash_window_at() {
    local w x y width height
    while read -r w x y width height; do
        if (($1 >= x && $1 < x + width && $2 >= y && $2 < y + height)); then
            echo "$w"
            return 0
        fi
    done < <(e2e__wash_window_list)
    return 1
}

# press_activate ANSWER: clicks "Activate Glowsweep" and answers the confirmation with a key:
# Return (its default button, OK) or Escape (Cancel).
press_activate() {
    local box
    # shellcheck disable=SC2086
    app_click $E2E_APPLY_AT || return 1
    box=$(xh_wait_window --name '^Information$') || return 1
    xh_focus "$box" || return 1
    xh_key "$1"
    xh_wait_window_gone "$box"
}

# monitor_target INDEX "H,V,S,B": a monitor's rectangle with the settings its wash should show,
# as wait_match takes it.
monitor_target() {
    local x y w h
    read -r x y w h <<<"$(xh_monitor "$1")"
    echo "${w}x$h+$x+$y:$2"
}

# monitors_expected INDEX...: the rectangles of these monitors, as wash_windows prints them.
monitors_expected() {
    local i x y w h
    for i in "$@"; do
        read -r x y w h <<<"$(xh_monitor "$i")"
        echo "${w}x$h+$x+$y"
    done | sort
}
