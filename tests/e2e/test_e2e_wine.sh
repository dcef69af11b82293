#!/usr/bin/env bash
# The Windows program under Wine, on one monitor of the Xorg dummy server. Its release .zip is
# unpacked into C:\Program Files of a fresh Wine prefix that has nothing else installed. Then:
# the executable carries the program's icon; the main window shows with its title; the first
# close creates C:\ProgramData\Glowsweep Wizard\ and writes the settings file there; the next
# run loads a file written by the settings codec, a wash covers the monitor and shows the
# renderer's pattern edge to edge, Esc and a click each stop it, every wash keeps the display on
# through SetThreadExecutionState and releases it at its end, and the close writes the file byte
# for byte as the codec does. Then the idle washer: the release's command puts it into the
# Startup folder, from where it starts as at a logon; its washes come once per idle period with
# the renderer's pattern and the settings saved last, a mouse move ends one, and it writes
# nothing.
#
#   test_e2e_wine.sh RELEASE_FOLDER E2E_MATCHFRAME E2E_SETTINGSBYTES
#
# Exit 77 (skipped): not root (the Xorg dummy server), no Qt for Windows or no release .zip,
# no Wine or no wrestool.
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source_dir=$(cd "$here/../.." && pwd)
release=${1:?test_e2e_wine.sh RELEASE_FOLDER E2E_MATCHFRAME E2E_SETTINGSBYTES}
matchframe=$(realpath -- "${2:?}")
settingsbytes=$(realpath -- "${3:?}")
release=$(realpath -m -- "$release")

how_to_build="build the Qt for Windows once with tools/build-windows-qt.sh (half an hour to an \
hour on 2 cores); then ./build.sh test builds the Windows release with ./build.sh windows, installs \
Wine and runs this test"
if [ "$(id -u)" -ne 0 ]; then
    echo "skipped: the Xorg dummy server needs root"
    exit 77
fi
if ! "$source_dir/tools/build-windows-qt.sh" --check; then
    echo "skipped: no current Qt for Windows in $("$source_dir/tools/build-windows-qt.sh" --print);" \
        "$how_to_build"
    exit 77
fi
if [ ! -f "$release.zip" ]; then
    echo "skipped: no Windows release $release.zip; $how_to_build"
    exit 77
fi
if ! command -v wine >/dev/null || ! command -v wineserver >/dev/null ||
    ! command -v wrestool >/dev/null; then
    echo "skipped: Wine or wrestool (icoutils) is not installed; $how_to_build"
    exit 77
fi

# shellcheck source=e2elib.sh
source "$here/e2elib.sh"
# shellcheck disable=SC2034 # read by e2elib.sh
E2E_MATCH=$matchframe
xh__init

# A Wine prefix of its own, with a home of its own, so that nothing of the machine's is used or
# changed. No Mono or Gecko install prompts, no menu entries for the desktop.
export WINEPREFIX=$XH_TMP/wine
export HOME=$XH_TMP/home
export WINEARCH=win64
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
export WINEDEBUG=-all
unset XDG_CONFIG_HOME XDG_DATA_HOME XDG_CACHE_HOME
mkdir -p "$HOME"

# Wine's server and the services it starts outlive the program; they go before the prefix does.
wine_stop() {
    [ -d "$WINEPREFIX" ] || return 0
    wineserver -k 2>/dev/null || true
    timeout 30 wineserver -w 2>/dev/null || true
}
trap '[ "$BASHPID" != "$XH__OWNER" ] || { wine_stop; xh_cleanup; }' EXIT

monitor=1280x1024+0+0
program_folder="$WINEPREFIX/drive_c/Program Files/$(basename "$release")"
program='C:\Program Files\'"$(basename "$release")"'\glowsweep-wizard.exe'
settings_folder="$WINEPREFIX/drive_c/ProgramData/Glowsweep Wizard"

# wine_run LOG TIMEOUT COMMAND...: a Wine command in the foreground of the test, bounded.
wine_run() {
    local log=$1 limit=$2 status=0
    shift 2
    xh_spawn "$log" "$@"
    xh_wait_exit "$XH_PID" "$limit" || status=$?
    [ "$status" -eq 0 ] || xh_show_log "$log"
    return "$status"
}

# wine_app_start: starts the program from its folder in the prefix and waits for its main window.
# The trace shows the program's calls of SetThreadExecutionState, and only those.
wine_app_start() {
    APP_LOG=app-$RANDOM$RANDOM.log
    APP_WIN=
    # shellcheck disable=SC2034 # read by e2elib.sh
    APP_START_US=$(xh__now_us)
    xh_spawn "$APP_LOG" env WINEDEBUG=+relay wine "$program"
    APP_PID=$XH_PID
    if ! xh_poll 120 e2e__main_window_up || [ -z "$APP_WIN" ]; then
        xh_show_log "$APP_LOG"
        return 1
    fi
}

# execution_states: the states the program has asked for, in order, one a line (hexadecimal).
execution_states() {
    sed -n 's/^[0-9a-f]*:Call KERNEL32\.SetThreadExecutionState(\([0-9a-f]*\)).*/\1/p' \
        "$XH_TMP/$APP_LOG"
}

# expected_file NAME ACTIVATE RECORD...: the settings file the codec writes, as a file to compare.
expected_file() {
    local file=$XH_TMP/$1
    shift
    if ! "$settingsbytes" "$file" "$@" >&2; then
        echo "the codec's file for $* could not be made with $settingsbytes" >&2
        return 1
    fi
    echo "$file"
}

# check_file WHAT EXPECTED ACTUAL: the two files are the same bytes.
check_file() {
    if cmp -s -- "$2" "$3"; then
        check "$1" same same
    else
        fail "$1" "$(cmp -- "$2" "$3" 2>&1 | head -n 1)"
    fi
}

# wine_prepare: makes the prefix (Wine's first start in it takes a while), sets up the trace of
# SetThreadExecutionState, and unpacks the release .zip into C:\Program Files, as a user would.
wine_prepare() {
    wine_run wineboot.log 300 wine wineboot --init || {
        fail "Wine prefix" "wineboot --init failed"
        return 1
    }
    wine_run reg.log 60 wine reg add 'HKCU\Software\Wine\Debug' /v RelayInclude \
        /d KERNEL32.SetThreadExecutionState /f || {
        fail "Wine prefix" "the trace of SetThreadExecutionState cannot be set up"
        return 1
    }
    # Unpacked from the .zip, as a user would.
    mkdir -p "$(dirname "$program_folder")"
    (cd "$(dirname "$program_folder")" && cmake -E tar xf "$release.zip") || {
        fail "release .zip unpacks" "$release.zip"
        return 1
    }
}

run() {
    xh_start_xorg "$monitor" || return 1

    wine_prepare || return 1
    # The icon Explorer shows for the file: the program's icon, every image of it (wrestool
    # pads what it extracts with zeros).
    local icon=$source_dir/ui/images/glowsweep-wizard.ico size
    size=$(stat -c %s "$icon")
    if ! wrestool -x -t 14 "$program_folder/glowsweep-wizard.exe" >"$XH_TMP/exe-icon.ico"; then
        fail "the executable's icon resource" "wrestool finds no group icon in it"
    elif cmp -s -n "$size" "$icon" "$XH_TMP/exe-icon.ico" &&
        [ -z "$(tail -c +$((size + 1)) "$XH_TMP/exe-icon.ico" | tr -d '\0')" ]; then
        check "the executable's icon resource is glowsweep-wizard.ico" same same
    else
        fail "the executable's icon resource is glowsweep-wizard.ico" \
            "$(cmp "$icon" "$XH_TMP/exe-icon.ico" 2>&1 | head -n 1)"
    fi
    check "the settings folder is not there before the first run" absent \
        "$([ -e "$settings_folder" ] && echo present || echo absent)"

    # First run: a fresh record, saved at close into the all-users application-data folder.
    wine_app_start || {
        fail "program starts under Wine" "no main window with the title '$E2E_TITLE'"
        return 1
    }
    check "main window: title" "$E2E_TITLE" "$(xh_window_title "$APP_WIN")"
    local width height
    read -r _ _ width height <<<"$(xh_window_geometry "$APP_WIN")"
    check "main window: client area size" "$E2E_MAIN_SIZE" "$width $height"
    local status=0
    app_close || status=$?
    check "first run: Esc while idle ends the program" 0 "$status"
    local expected
    expected=$(expected_file fresh.config 0 2,2,1,0) || return 1
    check_file "first run: C:\\ProgramData\\Glowsweep Wizard\\lumenrun.config as the codec writes it" \
        "$expected" "$settings_folder/lumenrun.config"
    check "the program writes no other settings file" "$settings_folder/lumenrun.config" \
        "$(find "$WINEPREFIX/drive_c" -name lumenrun.config)"

    # Second run: the file of another run is loaded, a control changes it, washes run and stop.
    "$settingsbytes" "$settings_folder/lumenrun.config" 0 3,1,2,1
    wine_app_start || {
        fail "program starts again under Wine" "no main window"
        return 1
    }
    local preview
    preview=$(preview_rect)
    wait_moves "preview of the loaded record" "$preview" "$preview:2,1,3,1"
    # shellcheck disable=SC2086 # two numbers
    app_click $E2E_VUP_AT # VBars 1 -> 2
    local settings=2,2,3,1
    wait_moves "preview after VBars up" "$preview" "$preview:$settings"

    local how washes=0
    for how in "Esc on the wash window" "a click on the wash window"; do
        press_activate Return || {
            fail "$how: confirmation answered with Return"
            continue
        }
        washes=$((washes + 1))
        wait_wash_windows "$how: the wash covers the monitor" "$monitor" || continue
        wait_match "$how: the wash shows the pattern edge to edge" "$monitor:$settings"
        case $how in
        "Esc on the wash window")
            xh_focus "$(wash_window_at 640 512)" && xh_key Escape
            ;;
        "a click on the wash window")
            xh_click 1279 1023
            ;;
        esac
        wait_wash_windows "$how stops the wash" ""
        check "$how: the program runs on" running "$(xh__alive "$APP_PID" && echo running)"
        wait_match "$how: the preview is back" "$preview:$settings"
    done
    # Display and system required while washing (ES_CONTINUOUS | ES_DISPLAY_REQUIRED |
    # ES_SYSTEM_REQUIRED), then back to normal (ES_CONTINUOUS).
    local states=
    for ((; washes > 0; washes--)); do
        states+="80000003 80000000 "
    done
    check "SetThreadExecutionState at the start and end of each wash" "${states% }" \
        "$(execution_states | tr '\n' ' ' | sed 's/ $//')"

    status=0
    app_close || status=$?
    check "second run: Esc while idle ends the program" 0 "$status"
    expected=$(expected_file changed.config 0 3,1,2,2) || return 1
    check_file "second run: the settings file as the codec writes the changed record" \
        "$expected" "$settings_folder/lumenrun.config"

    idle_washer
}

# samples COUNT: the number of wash windows, every half second, COUNT times.
samples() {
    local i seen=
    for ((i = 0; i < $1; i++)); do
        seen+="$(wash_windows | grep -c .) "
        sleep 0.5
    done
    echo "${seen% }"
}

# idle_washer: the idle washer, put into the Startup folder by the command that comes with the
# release and started from there as a logon does. Washes come once per idle period, with the
# settings saved last, end on a mouse move, and write nothing.
idle_washer() {
    local startup_cmd folder_win=${program%\\*}
    wine_run startup.log 120 wine cmd /c "$folder_win\\glowsweep-wizard-idle-at-logon.cmd" \
        --wash all --when-idle 4s --duration 60s || {
        fail "the idle washer goes into the Startup folder" "the command failed"
        return 1
    }
    startup_cmd=$(find "$WINEPREFIX/drive_c/users" -ipath '*/Start Menu/Programs/Startup/*' \
        -name 'Glowsweep Wizard When Idle.cmd' -print -quit)
    check "the Startup folder starts the idle washer" \
        "@start \"\" \"$program\" --wash all --when-idle 4s --duration 60s" \
        "$(tr -d '\r' <"${startup_cmd:-/dev/null}")"
    [ -n "$startup_cmd" ] || return 1

    local settings=$settings_folder/lumenrun.config before startup_win
    startup_win=C:${startup_cmd#"$WINEPREFIX/drive_c"}
    APP_WIN=
    APP_START_US=$(xh__now_us)
    wine_run logon.log 60 wine cmd /c "${startup_win//\//\\}" || {
        fail "the idle washer starts at logon" "the Startup folder's command failed"
        return 1
    }
    # Wine's last input is the last that reached one of its windows, long enough ago.
    wait_wash_windows "idle: a wash covers the monitor" "$monitor" || return 1
    wait_match "idle: the wash shows the renderer's pattern with the saved settings" \
        "$monitor:2,2,3,1"
    check "idle: the wash stays on screen" "1 1 1 1 1 1" "$(samples 6)"

    # A save made meanwhile, by the main window for example; the next wash uses it.
    "$settingsbytes" "$settings" 0 1,3,1,2
    before="$(cksum <"$settings") $(stat -c %.9Y "$settings")"
    xh_move 600 500
    local moved gone back
    moved=$(xh__now_us)
    wait_wash_windows "idle: a mouse move ends the wash" "" || return 1
    gone=$(xh__now_us)
    wait_wash_windows "idle: the wash comes again after the next idle period" "$monitor" ||
        return 1
    back=$(xh__now_us)
    # Wine takes up to 2 s to hide a window with no window manager (it waits for one to say the
    # window is gone); the wash came again no earlier than the delay after the move.
    echo "idle: the wash was gone $(((gone - moved) / 1000)) ms after the move and back after" \
        "$(((back - moved) / 1000)) ms"
    check "idle: the next wash waits for the idle delay after the move" yes \
        "$([ $((back - moved)) -ge 3500000 ] && echo yes || echo "no, after $(((back - moved) / 1000)) ms")"
    wait_match "idle: the next wash reads the settings saved meanwhile" "$monitor:1,2,1,3"
    check "idle: the next wash stays on screen" "1 1 1 1 1 1" "$(samples 6)"

    # The session ends, as at a logoff.
    local pid
    pid=$(pgrep -f 'glowsweep-wizard\.exe --wash' | head -n 1)
    wine_run endsession.log 60 wine wineboot --end-session --force || true
    if [ -z "$pid" ] || ! xh_poll 10 xh__dead "$pid"; then
        fail "idle: the washer ends with the session" "${pid:-no process} still running after 10 s"
        [ -z "$pid" ] || kill -9 "$pid" 2>/dev/null || true
    else
        check "idle: the washer ends with the session" ended ended
    fi
    check "idle: the washer wrote nothing to the settings file" "$before" \
        "$(cksum <"$settings") $(stat -c %.9Y "$settings")"
}

# A run cut short has said why; it must not pass on the checks made before.
run || fail "the run goes to its end" "it stopped at the failure above"
e2e_finish
