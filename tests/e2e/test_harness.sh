#!/usr/bin/env bash
# Proves the end-to-end harness on the X servers it starts: Qt reports exactly the monitors that
# were laid out, a frameless window lands edge to edge on a monitor away from the origin, the
# pointer and the keyboard reach it, the settings folder of an isolated run is the given one and
# never the machine's, and every process and file is gone after the harness exits.
#
#   test_harness.sh SCREENPROBE     (exit 77: skipped, not root)
set -euo pipefail

probe=${1:?usage: test_harness.sh SCREENPROBE}
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
if [ "$(id -u)" -ne 0 ]; then
    echo "skipped: Xorg with the dummy driver and mount namespaces need root"
    exit 77
fi
# shellcheck source=xharness.sh
source "$here/xharness.sh"

# shellcheck source=checks.sh
source "$(dirname "${BASH_SOURCE[0]}")/checks.sh"

# --- monitors: server | layout (the last monitor is covered and clicked) ----------------------

layouts=(
    "xvfb|1280x1024"
    "xorg|1920x1080+0+0 1280x1024+1920+56"
    "xorg|1920x1080+0+0 1280x1024+1920+56 1024x768+3200+0"
    "xorg|1280x1024+1920+0 1920x1080+0+0"
)

for row in "${layouts[@]}"; do
    server=${row%%|*}
    read -r -a monitors <<<"${row#*|}"
    name="$server ${monitors[*]}"
    if [ "$server" = xvfb ]; then
        xh_start_xvfb "${monitors[0]}"
        monitors=("${monitors[0]}+0+0")
    else
        xh_start_xorg "${monitors[@]}"
    fi

    expected=$(for i in "${!monitors[@]}"; do echo "$i ${monitors[i]}"; done)
    actual=$(timeout 60 "$probe" 2>/dev/null | awk '$1 == "screen" { print $2, $4 }')
    check "$name: Qt's screens" "$expected" "$actual"

    width=0 height=0
    for i in "${!monitors[@]}"; do
        read -r x y w h <<<"$(xh_monitor "$i")"
        if ((x + w > width)); then width=$((x + w)); fi
        if ((y + h > height)); then height=$((y + h)); fi
    done
    check "$name: X screen size" "$width $height" "$(xh_screen_size)"

    last=$((${#monitors[@]} - 1))
    read -r x y w h <<<"$(xh_monitor "$last")"
    log=probe-$RANDOM.log
    xh_spawn "$log" "$probe" --cover "$last"
    pid=$XH_PID
    if ! window=$(xh_wait_window --classname screenprobe); then
        xh_show_log "$log"
        check "$name: cover window shown" yes no
        xh_stop_server
        continue
    fi
    check "$name: cover window geometry" "$x $y $w $h" "$(xh_window_geometry "$window")"
    check "$name: cover window frame" "$x $y $w $h" "$(xh_window_frame "$window")"
    xh_wait_output "$log" '^shown' || true
    if xh_wait_pixels '#FF00FF' "${w}x$h+$x+$y"; then
        check "$name: monitor covered" yes yes
    else
        check "$name: monitor covered" "#FF00FF" "$(xh_colours "$XH_TMP/poll.png" | head -n 3)"
    fi
    shot=$XH_TMP/shot.png
    xh_screenshot "$shot"
    if ((x > 0)); then
        check "$name: column left of the monitor" "#000000" \
            "$(xh_colours "$shot" "1x$h+$((x - 1))+$y")"
    fi
    if ((y > 0)); then
        check "$name: row above the monitor" "#000000" "$(xh_colours "$shot" "${w}x1+$x+$((y - 1))")"
    fi
    if ((x + w < width)); then
        check "$name: column right of the monitor" "#000000" \
            "$(xh_colours "$shot" "1x$h+$((x + w))+$y")"
    fi
    check "$name: corner pixel" "#FF00FF" "$(xh_pixel "$shot" $((x + w - 1)) $((y + h - 1)))"

    # The far corner of the monitor: a pointer kept inside a smaller output never gets there.
    cx=$((x + w - 2)) cy=$((y + h - 2))
    if xh_click "$cx" "$cy"; then
        xh_wait_output "$log" "^click $cx $cy\$" 5 || true
    fi
    check "$name: click at the far corner" "click $cx $cy" "$(grep '^click' "$XH_TMP/$log" | tail -n 1)"
    xh_focus "$window" || true
    if xh_key a; then
        xh_wait_output "$log" '^key a$' 5 || true
    fi
    check "$name: key" "key a" "$(grep '^key' "$XH_TMP/$log" | tail -n 1)"
    xh_key Escape
    status=0
    xh_wait_exit "$pid" || status=$?
    check "$name: Esc ends the probe" 0 "$status"
    xh_wait_window_gone "$window" 5 || true
    xh_stop_server
done

# --- isolated runs: which settings folder stands where the program looks ---------------------

listing() { ls -lA --time-style=full-iso -- "$1" 2>&1 || true; }
# The real target's parent is /var/lib, where other tests' X servers touch xkb at any time:
# what must stay the same there is which entries exist.
names() { ls -A -- "$1" 2>&1 || true; }
real_before=$(listing "$XH_SETTINGS_TARGET")
root=$(xh_tempdir targets)
mkdir "$root/existing" "$root/missing-parent"
# The program saves by writing a temporary file beside the settings file and renaming it over.
# shellcheck disable=SC2016 # expanded by the isolated shell
save='cd "$0" && echo saved >.lumenrun.tmp && mv -f .lumenrun.tmp lumenrun.config && echo "$0"'
targets=(
    "real|$XH_SETTINGS_TARGET"
    "existing folder|$root/existing"
    "missing folder|$root/missing-parent/Glowsweep Wizard"
)
for row in "${targets[@]}"; do
    what=${row%%|*}
    target=${row#*|}
    settings=$(xh_tempdir settings)
    before=$(listing "$target")
    parent_before=$(names "$(dirname "$target")")
    out=$(XH_SETTINGS_TARGET=$target xh_run_isolated "$settings" bash -c "$save" "$target" 2>&1) ||
        true
    check "isolated, $what: ran at the target" "$target" "$out"
    check "isolated, $what: file in the given folder" saved "$(cat "$settings/lumenrun.config" 2>&1)"
    check "isolated, $what: target untouched" "$before" "$(listing "$target")"
    check "isolated, $what: nothing new beside it" "$parent_before" "$(names "$(dirname "$target")")"
done
check "isolated: the machine's settings folder untouched" "$real_before" \
    "$(listing "$XH_SETTINGS_TARGET")"
mounts=$(grep -c -e xharness -e "$XH_TMP" /proc/self/mountinfo || true)
check "isolated: no mount left behind" 0 "$mounts"

# --- a private session bus, started with the first server -------------------------------------

check "session bus answers" 0 "$(dbus-send --session --print-reply --dest=org.freedesktop.DBus \
    /org/freedesktop/DBus org.freedesktop.DBus.GetId >/dev/null 2>&1; echo $?)"

# --- cleanup: every process and file is gone after the harness exits --------------------------

for ending in "exit 3" "kill -TERM \$\$"; do
    record=$(mktemp)
    # shellcheck disable=SC2016
    bash -c '
        set -euo pipefail
        source "$1/xharness.sh"
        xh_start_xorg 800x600+0+0 640x480+800+0
        echo "$XH_DBUS_PID" >>"$3"
        xh_spawn probe.log "$2" --cover 1
        echo "$XH_PID" >>"$3"
        xh_spawn tree.log bash -c "sleep 600 & echo \$! >>\"$3\"; wait"
        echo "$XH_PID" >>"$3"
        xh_spawn_isolated "$(xh_tempdir settings)" isolated.log sleep 600
        echo "$XH_PID" >>"$3"
        xh_wait_window --classname screenprobe >/dev/null
        xh_poll 10 bash -c "[ \$(wc -l <\"\$0\") -ge 5 ]" "$3"
        echo "$XH_SERVER_PID" >>"$3"
        echo "$XH_TMP" >>"$3"
        echo "${DISPLAY#:}" >>"$3"
        stat -c %i "/tmp/.X11-unix/X${DISPLAY#:}" >>"$3"
        '"$ending" _ "$here" "$probe" "$record" >/dev/null 2>&1 || true
    mapfile -t left <"$record"
    rm -f "$record"
    check "cleanup after '$ending': recorded" 9 "${#left[@]}"
    [ "${#left[@]}" -eq 9 ] || continue
    socket=${left[-1]} display=${left[-2]} tmp=${left[-3]}
    alive=()
    for pid in "${left[@]:0:${#left[@]}-3}"; do
        [[ $pid =~ ^[0-9]+$ ]] && xh__alive "$pid" && alive+=("$pid")
    done
    check "cleanup after '$ending': processes left" "" "${alive[*]}"
    check "cleanup after '$ending': temporary folder" gone "$([ -e "$tmp" ] && echo left || echo gone)"
    # The display's number is free again, and a test running beside this one may have taken it:
    # the socket left would be the same file.
    check "cleanup after '$ending': X socket" gone \
        "$([ "$(stat -c %i "/tmp/.X11-unix/X$display" 2>/dev/null)" = "$socket" ] &&
            echo left || echo gone)"
done

e2e_finish
