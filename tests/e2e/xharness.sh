# shellcheck shell=bash
# End-to-end harness: real X servers with one or several monitors, the programs under test on them,
# and the tools that drive them as a person would. Source it from a Bash test script:
#
#   source "$(dirname "$0")/xharness.sh"
#   xh_start_xorg 1920x1080+0+0 1280x1024+1920+56     # or: xh_start_xvfb 1280x1024
#   settings=$(xh_tempdir settings)
#   xh_spawn_isolated "$settings" app.log ./glowsweep-wizard; app=$XH_PID
#   win=$(xh_wait_window --classname glowsweep-wizard)
#   xh_screenshot shot.png; xh_pixel shot.png 300 200
#   xh_click 300 200; xh_focus "$win"; xh_key Escape; xh_wait_exit "$app"
#
# Every process started through the harness is killed, and every temporary file removed, when the
# script exits for any reason (an EXIT trap; INT and TERM are turned into an exit). A script that
# needs its own EXIT trap calls xh_cleanup from it.
#
# Waiting is always bounded polling: every xh_wait_* helper gives up after a timeout (seconds, the
# last optional argument, default XH_TIMEOUT) and returns 1 with a message on standard error.
# xh_spawn and xh_spawn_isolated must run in the script's own shell, not inside $(...), so that
# the processes they start stay children of the script; they hand the pid back in XH_PID.
#
# There is no window manager: windows sit exactly where their programs put them, with no frame,
# and nothing moves the keyboard focus by itself, so give a window the focus (xh_focus) before
# pressing keys. Qt programs name their windows' class after the executable (--classname).
#
# Needs: Xvfb, Xorg with the dummy video driver, xrandr, cvt, xdpyinfo, xwininfo, xdotool,
# ImageMagick (import, convert, compare), unshare and mount; Xorg and isolated runs need root.

XH_TIMEOUT=${XH_TIMEOUT:-30}
# The program's settings folder. The isolated runs put a temporary folder in its place.
XH_SETTINGS_TARGET=${XH_SETTINGS_TARGET:-/var/lib/Glowsweep Wizard}

XH_TMP=
XH__OWNER=
XH_PID=
XH_SERVER_PID=
XH_DBUS_PID=
XH_PIDS=()
# The monitors of the running server, WxH+X+Y each, in the order Qt reports them as screens.
XH_MONITORS=()

xh_error() {
    echo "xharness: $*" >&2
    return 1
}

xh__now_us() {
    local t=${EPOCHREALTIME//[.,]/}
    echo "$((10#$t))"
}

# xh_poll SECONDS CMD...: runs CMD until it succeeds (0) or SECONDS have passed (1).
xh_poll() {
    local limit=$1
    shift
    local deadline=$(($(xh__now_us) + limit * 1000000))
    until "$@"; do
        (($(xh__now_us) < deadline)) || return 1
        sleep 0.05
    done
}

xh__init() {
    [ -n "$XH_TMP" ] && return 0
    XH_TMP=$(mktemp -d "${TMPDIR:-/tmp}/xharness.XXXXXX") || return 1
    # A background child that is signalled before it has exec'd its program still runs these
    # traps; only the shell that owns the harness cleans up.
    XH__OWNER=$BASHPID
    trap '[ "$BASHPID" != "$XH__OWNER" ] || xh_cleanup' EXIT
    trap 'exit 130' INT
    trap 'exit 143' TERM
    # A fixed, predictable environment for Qt: the X platform, no scaling, a private runtime dir.
    mkdir -m 0700 "$XH_TMP/runtime"
    export XDG_RUNTIME_DIR=$XH_TMP/runtime
    export QT_QPA_PLATFORM=xcb
    unset QT_SCALE_FACTOR QT_SCREEN_SCALE_FACTORS QT_AUTO_SCREEN_SCALE_FACTOR QT_ENABLE_HIGHDPI_SCALING
    unset WAYLAND_DISPLAY XAUTHORITY
    # libxkbcommon-x11 passes strndup() buffers that are not NUL-terminated, which ASan's
    # strict_string_checks reports as an overflow in every Qt program on a real X server.
    if [[ ${ASAN_OPTIONS:-} == *strict_string_checks=1* ]]; then
        export ASAN_OPTIONS=${ASAN_OPTIONS//strict_string_checks=1/strict_string_checks=0}
    fi
}

# xh_tempdir NAME: prints the path of a new folder that is removed at exit.
xh_tempdir() {
    xh__init || return 1
    mktemp -d "$XH_TMP/$1.XXXXXX"
}

xh__alive() {
    local state
    [ -r "/proc/$1/stat" ] || return 1
    state=$(sed 's/.*) //' "/proc/$1/stat" 2>/dev/null) || return 1
    [[ $state != Z* ]]
}

xh__dead() { ! xh__alive "$1"; }

# A background child runs this shell's code until it has exec'd its program; a signal in that
# window runs this shell's traps in the child or is lost with them.
xh__execd() {
    local theirs
    theirs=$(tr '\0' ' ' 2>/dev/null <"/proc/$1/cmdline") || return 0
    [ "$theirs" != "$(tr '\0' ' ' <"/proc/$XH__OWNER/cmdline")" ]
}

# Ends the process group that xh_spawn made for PID: TERM, a bounded wait, then KILL; reaps it.
xh__end() {
    local pid=$1
    xh_poll 5 xh__execd "$pid" || true
    kill -TERM -- "-$pid" 2>/dev/null || kill -TERM "$pid" 2>/dev/null || true
    if ! xh_poll 10 xh__dead "$pid"; then
        echo "xharness: process $pid ignored TERM; killing it" >&2
    fi
    kill -KILL -- "-$pid" 2>/dev/null || true
    { wait "$pid"; } 2>/dev/null || true
}

xh__forget() {
    local pid=$1 kept=() p
    for p in "${XH_PIDS[@]}"; do
        [ "$p" = "$pid" ] || kept+=("$p")
    done
    XH_PIDS=("${kept[@]}")
}

# Each process gets its own session and process group (setsid execs in place: the pid stays the
# program's), so that ending it also ends whatever it started itself.
xh__launch() {
    local log=$1
    shift
    setsid "$@" </dev/null >>"$log" 2>&1 &
    XH_PID=$!
}

xh_cleanup() {
    local i
    set +e
    for ((i = ${#XH_PIDS[@]} - 1; i >= 0; i--)); do
        xh__end "${XH_PIDS[i]}"
    done
    XH_PIDS=()
    xh_stop_server
    if [ -n "$XH_DBUS_PID" ]; then
        xh__end "$XH_DBUS_PID"
        XH_DBUS_PID=
        unset DBUS_SESSION_BUS_ADDRESS
    fi
    if [ -n "$XH_TMP" ]; then
        rm -rf -- "$XH_TMP"
        XH_TMP=
    fi
}

# xh_spawn LOG CMD...: starts CMD in the background, its output appended to LOG (a path, or a bare
# name for a file in the harness's temporary folder, printed on failure by xh_show_log).
xh_spawn() {
    xh__init || return 1
    local log=$1
    shift
    [[ $log == */* ]] || log=$XH_TMP/$log
    xh__launch "$log" "$@"
    XH_PIDS+=("$XH_PID")
}

# The settings folder is isolated in a private mount namespace rather than by running as an
# unprivileged user from a copy of the program: the shared folder is writable by every user once
# the package is installed, so another user would still write into the machine's real folder, and
# the program's own folder is only its fallback when the shared one is missing, so the outcome would
# depend on the machine. In the namespace the program finds its settings exactly where it looks for
# them in production, and nothing of the mounts is visible outside. Where the folder does not exist
# the parent is overlaid with a throw-away upper layer so that the folder can be made without
# touching the real one.
# shellcheck disable=SC2016 # expanded by the shell in the namespace
XH__ISOLATE='
set -e
settings=$1 target=$2 layer=$3
shift 3
if [ ! -d "$target" ]; then
    parent=$(dirname -- "$target")
    mkdir -p "$layer/upper" "$layer/work"
    mount -t overlay xharness -o "lowerdir=$parent,upperdir=$layer/upper,workdir=$layer/work" "$parent"
    rm -rf -- "$target"
    mkdir -- "$target"
fi
mount --bind -- "$settings" "$target"
exec "$@"
'

xh__isolated_command() {
    local settings=$1
    shift
    [ "$(id -u)" -eq 0 ] || {
        xh_error "running in a private mount namespace needs root"
        return 1
    }
    [ -d "$settings" ] || {
        xh_error "no settings folder $settings"
        return 1
    }
    local layer
    layer=$(mktemp -d "$XH_TMP/layer.XXXXXX") || return 1
    XH__COMMAND=(unshare --mount --propagation private -- bash -c "$XH__ISOLATE" xharness-isolate
        "$(realpath -- "$settings")" "$XH_SETTINGS_TARGET" "$layer" "$@")
}

# xh_spawn_isolated SETTINGS_DIR LOG CMD...: xh_spawn, with SETTINGS_DIR in place of the program's
# settings folder.
xh_spawn_isolated() {
    xh__init || return 1
    local settings=$1 log=$2
    shift 2
    xh__isolated_command "$settings" "$@" || return 1
    xh_spawn "$log" "${XH__COMMAND[@]}"
}

# xh_run_isolated SETTINGS_DIR CMD...: runs CMD in the foreground the same way; its exit status.
xh_run_isolated() {
    xh__init || return 1
    local settings=$1
    shift
    xh__isolated_command "$settings" "$@" || return 1
    "${XH__COMMAND[@]}"
}

# xh_wait_exit PID [TIMEOUT]: waits for a spawned process to end; returns its exit status, or 124
# when it is still running at the timeout (it is left running; cleanup ends it).
xh_wait_exit() {
    local pid=$1 limit=${2:-$XH_TIMEOUT} status
    if ! xh_poll "$limit" xh__dead "$pid"; then
        xh_error "process $pid still running after ${limit}s"
        return 124
    fi
    wait "$pid" && status=0 || status=$?
    xh__forget "$pid"
    return "$status"
}

# xh_stop PID: ends a spawned process now.
xh_stop() {
    xh__end "$1"
    xh__forget "$1"
}

# xh_show_log NAME: prints a log written by xh_spawn (for a failing test's output).
xh_show_log() {
    local log=$1
    [[ $log == */* ]] || log=$XH_TMP/$log
    echo "---- $log" >&2
    cat -- "$log" >&2 2>/dev/null
}

# xh_wait_output LOG REGEX [TIMEOUT]: waits until a line of LOG matches REGEX (grep -E).
xh_wait_output() {
    local log=$1 regex=$2 limit=${3:-$XH_TIMEOUT}
    [[ $log == */* ]] || log=$XH_TMP/$log
    xh_poll "$limit" grep -qE -- "$regex" "$log" 2>/dev/null ||
        xh_error "no line matching '$regex' in $log after ${limit}s"
}

# --- X servers -----------------------------------------------------------------------------------

xh__read_display() {
    local content
    [ -s "$1" ] || return 1
    IFS= read -r -d '' content <"$1" || true
    [[ $content =~ ^[0-9]+$'\n'$ ]] || return 1
    XH__DISPLAY_NUMBER=${content%$'\n'}
}

xh__server_up() { xh__read_display "$1" || xh__dead "$XH_SERVER_PID"; }

# Starts an X server that picks a free display itself (-displayfd) and waits until it takes
# connections; exports DISPLAY. A program that finds no session bus has libdbus start one for the
# display (dbus-launch --autolaunch), which outlives every process the harness knows of; so there
# is always a private one.
xh__start_server() {
    local log=$1
    shift
    xh__init || return 1
    [ -z "$XH_SERVER_PID" ] || xh_stop_server
    [ -n "$XH_DBUS_PID" ] || xh_start_dbus || return 1
    local fdfile
    fdfile=$(mktemp "$XH_TMP/displayfd.XXXXXX") || return 1
    setsid "$@" -displayfd 3 3>"$fdfile" </dev/null >>"$log" 2>&1 &
    XH_SERVER_PID=$!
    if ! xh_poll "$XH_TIMEOUT" xh__server_up "$fdfile" || ! xh__read_display "$fdfile"; then
        xh_error "the X server did not start ($*)"
        tail -n 30 "$log" >&2
        xh_stop_server
        return 1
    fi
    export DISPLAY=:$XH__DISPLAY_NUMBER
}

xh_stop_server() {
    [ -n "$XH_SERVER_PID" ] || return 0
    xh__end "$XH_SERVER_PID"
    XH_SERVER_PID=
    XH_MONITORS=()
    unset DISPLAY
}

# xh_start_xvfb WxH [ARG...]: an Xvfb server with one monitor of that size; further arguments go
# to Xvfb (-extension NAME leaves an extension out).
xh_start_xvfb() {
    [[ ${1:-} =~ ^[1-9][0-9]*x[1-9][0-9]*$ ]] || {
        xh_error "xh_start_xvfb WIDTHxHEIGHT, not '${1:-}'"
        return 1
    }
    local size=$1
    shift
    xh__init || return 1
    xh__start_server "$XH_TMP/xvfb.log" Xvfb -screen 0 "${size}x24" -dpi 96 -nolisten tcp \
        -noreset "$@" || return 1
    XH_MONITORS=("$size+0+0")
}

xh__parse_monitor() {
    [[ $1 =~ ^([1-9][0-9]*)x([1-9][0-9]*)\+([0-9]+)\+([0-9]+)$ ]] || return 1
    XH__W=${BASH_REMATCH[1]} XH__H=${BASH_REMATCH[2]} XH__X=${BASH_REMATCH[3]} XH__Y=${BASH_REMATCH[4]}
}

xh__xrandr() {
    xrandr "$@" >>"$XH_TMP/xrandr.log" 2>&1 || {
        xh_error "xrandr $* failed"
        tail -n 5 "$XH_TMP/xrandr.log" >&2
        return 1
    }
}

# xh_start_xorg WxH+X+Y...: an Xorg server with the dummy video driver whose screen is the bounding
# box of the given monitors, each of which Qt then reports as a screen (the first is the primary).
# One output drives a mode that spans the whole screen, since the server keeps the pointer inside
# the outputs' area and clicks on the other monitors would miss.
xh_start_xorg() {
    [ $# -gt 0 ] || {
        xh_error "xh_start_xorg WxH+X+Y..."
        return 1
    }
    [ "$(id -u)" -eq 0 ] || {
        xh_error "Xorg with the dummy driver needs root here"
        return 1
    }
    xh__init || return 1
    local monitor width=0 height=0
    for monitor in "$@"; do
        xh__parse_monitor "$monitor" || {
            xh_error "monitor '$monitor' is not WIDTHxHEIGHT+X+Y"
            return 1
        }
        if ((XH__X + XH__W > width)); then width=$((XH__X + XH__W)); fi
        if ((XH__Y + XH__H > height)); then height=$((XH__Y + XH__H)); fi
    done

    local conf=$XH_TMP/xorg.conf
    cat >"$conf" <<'EOF'
Section "ServerFlags"
    Option "AutoAddDevices" "off"
    Option "AutoAddGPU" "off"
    Option "AutoBindGPU" "off"
    Option "DontVTSwitch" "true"
    Option "BlankTime" "0"
    Option "StandbyTime" "0"
    Option "SuspendTime" "0"
    Option "OffTime" "0"
EndSection
Section "Device"
    Identifier "dummy"
    Driver "dummy"
    VideoRam 512000
EndSection
Section "Monitor"
    Identifier "monitor"
    HorizSync 5.0 - 1000.0
    VertRefresh 5.0 - 200.0
EndSection
Section "Screen"
    Identifier "screen"
    Device "dummy"
    Monitor "monitor"
    DefaultDepth 24
EndSection
EOF
    xh__start_server "$XH_TMP/xorg.out" Xorg -noreset -nolisten tcp -dpi 96 -config "$conf" \
        -logfile "$XH_TMP/xorg.log" -novtswitch -sharevts || {
        tail -n 30 "$XH_TMP/xorg.log" >&2 2>/dev/null
        return 1
    }

    # cvt rounds the width up to a multiple of 8; its timings stay valid for the exact size.
    local timing name=gsw-span-${width}x$height
    read -r -a timing <<<"$(cvt "$width" "$height" 60 | sed -n 's/^Modeline "[^"]*" *//p')"
    if [ "${#timing[@]}" -lt 9 ]; then
        xh_error "cvt gave no mode for ${width}x$height"
        xh_stop_server
        return 1
    fi
    timing[1]=$width
    timing[5]=$height
    if ! xh__xrandr --newmode "$name" "${timing[@]}" ||
        ! xh__xrandr --addmode DUMMY0 "$name" ||
        ! xh__xrandr --output DUMMY0 --mode "$name" --pos 0x0 --fb "${width}x$height" --dpi 96; then
        xh_stop_server
        return 1
    fi

    # A monitor that names the output replaces the one the server made for it, which would span
    # everything; the others name no output.
    local i=0 output
    for monitor in "$@"; do
        xh__parse_monitor "$monitor"
        output=none
        name=GSW$((i + 1))
        if [ "$i" -eq 0 ]; then
            output=DUMMY0
            name="*$name"
        fi
        if ! xh__xrandr --setmonitor "$name" \
            "$XH__W/$((XH__W * 254 / 960))x$XH__H/$((XH__H * 254 / 960))+$XH__X+$XH__Y" "$output"; then
            xh_stop_server
            return 1
        fi
        i=$((i + 1))
    done
    XH_MONITORS=("$@")
}

# xh_start_dbus: a private session bus for the programs started afterwards (the X servers start
# one themselves). Of the machine's services it starts only the accessibility bus on demand: the
# others, desktop portals among them (whose document portal mounts a file system in the runtime
# folder), stay out of the tests.
xh_start_dbus() {
    xh__init || return 1
    [ -z "$XH_DBUS_PID" ] || return 0
    local address_file=$XH_TMP/dbus.address services=$XH_TMP/dbus-services
    mkdir -p "$services"
    [ ! -f /usr/share/dbus-1/services/org.a11y.Bus.service ] ||
        cp /usr/share/dbus-1/services/org.a11y.Bus.service "$services/"
    cat >"$XH_TMP/dbus.conf" <<CONF
<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:tmpdir=$XH_TMP</listen>
  <servicedir>$services</servicedir>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
CONF
    : >"$address_file"
    setsid dbus-daemon --config-file="$XH_TMP/dbus.conf" --nofork --nopidfile --print-address=3 \
        3>"$address_file" </dev/null >>"$XH_TMP/dbus.log" 2>&1 &
    XH_DBUS_PID=$!
    xh_poll "$XH_TIMEOUT" grep -q . "$address_file" || {
        xh_error "dbus-daemon did not start"
        return 1
    }
    DBUS_SESSION_BUS_ADDRESS=$(head -n 1 "$address_file")
    export DBUS_SESSION_BUS_ADDRESS
}

# xh_unplug_monitor INDEX: removes monitor INDEX of xh_start_xorg (GSW<INDEX+1>) from the running
# server, as an unplugged cable would; xh_plug_monitor INDEX puts it back. The X screen keeps its
# size, so a monitor can come back only where one was at the start.
xh_unplug_monitor() { xh__xrandr --delmonitor "GSW$(($1 + 1))"; }
xh_plug_monitor() {
    xh__parse_monitor "${XH_MONITORS[$1]:-}" || {
        xh_error "no monitor ${1:-}"
        return 1
    }
    xh__xrandr --setmonitor "GSW$(($1 + 1))" \
        "$XH__W/$((XH__W * 254 / 960))x$XH__H/$((XH__H * 254 / 960))+$XH__X+$XH__Y" none
}

# xh_monitor INDEX: prints monitor INDEX of the running server as "X Y WIDTH HEIGHT".
xh_monitor() {
    if ! [[ ${1:-} =~ ^[0-9]+$ ]] || ! xh__parse_monitor "${XH_MONITORS[$1]:-}"; then
        xh_error "no monitor ${1:-}"
        return 1
    fi
    echo "$XH__X $XH__Y $XH__W $XH__H"
}

# xh_screen_size: prints the X screen's size as "WIDTH HEIGHT".
xh_screen_size() {
    xdpyinfo | sed -n 's/^ *dimensions: *\([0-9]*\)x\([0-9]*\) pixels.*/\1 \2/p'
}

# --- windows -------------------------------------------------------------------------------------

# xh_find_window --name|--class|--classname PATTERN: prints the ids of visible matching windows.
xh_find_window() {
    xdotool search --onlyvisible "$1" "$2" 2>/dev/null
}

xh__found_window() {
    XH__WINDOW=$(xh_find_window "$1" "$2" | head -n 1)
    [ -n "$XH__WINDOW" ]
}

# xh_wait_window --name|--class|--classname PATTERN [TIMEOUT]: waits until a visible window
# matches and prints its id (the first one xdotool reports).
xh_wait_window() {
    local limit=${3:-$XH_TIMEOUT}
    if ! xh_poll "$limit" xh__found_window "$1" "$2"; then
        xh_error "no visible window with $1 '$2' after ${limit}s"
        return 1
    fi
    echo "$XH__WINDOW"
}

xh__window_gone() {
    local state
    state=$(xwininfo -id "$1" 2>/dev/null | sed -n 's/^ *Map State: *//p')
    [ "$state" != IsViewable ]
}

# xh_wait_window_gone WINDOW [TIMEOUT]: waits until the window is unmapped or destroyed.
xh_wait_window_gone() {
    local limit=${2:-$XH_TIMEOUT}
    xh_poll "$limit" xh__window_gone "$1" || xh_error "window $1 still shown after ${limit}s"
}

xh__xwininfo_geometry() {
    xwininfo -id "$1" | awk '
        /Absolute upper-left X:/ { x = $NF }
        /Absolute upper-left Y:/ { y = $NF }
        /^ *Width:/ { w = $NF }
        /^ *Height:/ { h = $NF }
        END { if (w == "") exit 1; print x, y, w, h }'
}

# xh_window_geometry WINDOW: prints the client area as "X Y WIDTH HEIGHT" in root coordinates.
xh_window_geometry() {
    xh__xwininfo_geometry "$1"
}

# xh_window_frame WINDOW: prints "X Y WIDTH HEIGHT" of the window's frame: the ancestor that is a
# child of the root window (a window manager's frame), or the window itself when it has none.
xh_window_frame() {
    local window=$1 parent root
    root=$(xwininfo -root | sed -n 's/.*Window id: \(0x[0-9a-f]*\).*/\1/p')
    while :; do
        parent=$(xwininfo -children -id "$window" | sed -n 's/^ *Parent window id: \(0x[0-9a-f]*\).*/\1/p')
        if [ -z "$parent" ] || [ "$parent" = "$root" ]; then
            break
        fi
        window=$parent
    done
    xh__xwininfo_geometry "$window"
}

# xh_window_title WINDOW: prints the window's title.
xh_window_title() {
    xdotool getwindowname "$1"
}

# --- screenshots and pixels ----------------------------------------------------------------------

# xh_screenshot FILE.png [WxH+X+Y]: the root window, or a rectangle of it, as a PNG file.
xh_screenshot() {
    local crop=()
    [ -n "${2:-}" ] && crop=(-crop "$2" +repage)
    import -window root "${crop[@]}" "png:$1"
}

# xh_pixel FILE X Y: prints the colour of one pixel as #RRGGBB.
xh_pixel() {
    xh_pixels "$1" "1x1+$2+$3"
}

# xh_pixels FILE [WxH+X+Y]: prints the colours of the image, or of a rectangle of it, as #RRGGBB,
# one pixel a line, row by row; a row (Wx1+X+Y) or a column (1xH+X+Y) are the usual shapes.
xh_pixels() {
    local crop=()
    [ -n "${2:-}" ] && crop=(-crop "$2" +repage)
    convert "$1" "${crop[@]}" -depth 8 -alpha off txt:- |
        sed -n 's/^[0-9]*,[0-9]*: ([^)]*) *\(#[0-9A-Fa-f]\{6\}\).*/\1/p' | tr 'a-f' 'A-F'
}

# xh_colours FILE [WxH+X+Y]: prints the distinct colours of the image, or of a rectangle of it.
xh_colours() {
    local crop=()
    [ -n "${2:-}" ] && crop=(-crop "$2" +repage)
    convert "$1" "${crop[@]}" -depth 8 -alpha off -unique-colors txt:- |
        sed -n 's/^[0-9]*,[0-9]*: ([^)]*) *\(#[0-9A-Fa-f]\{6\}\).*/\1/p' | tr 'a-f' 'A-F'
}

# xh_diff_count FILE1 FILE2: prints how many pixels differ between two images of the same size.
xh_diff_count() {
    local size1 size2
    size1=$(identify -format '%wx%h' "$1") && size2=$(identify -format '%wx%h' "$2") || return 1
    [ "$size1" = "$size2" ] || {
        xh_error "$1 is $size1, $2 is $size2"
        return 1
    }
    compare -metric AE "$1" "$2" null: 2>&1 >/dev/null | sed 's/[^0-9].*//'
}

xh__pixels_are() {
    local shot=$XH_TMP/poll.png
    xh_screenshot "$shot" "$2" 2>/dev/null || return 1
    [ "$(xh_colours "$shot")" = "$1" ]
}

# xh_wait_pixels COLOUR WxH+X+Y [TIMEOUT]: waits until every pixel of the rectangle on screen has
# the colour (#RRGGBB).
xh_wait_pixels() {
    local limit=${3:-$XH_TIMEOUT}
    xh_poll "$limit" xh__pixels_are "${1^^}" "$2" ||
        xh_error "the pixels of $2 are not all $1 after ${limit}s"
}

# --- input ---------------------------------------------------------------------------------------

xh__pointer_at() {
    [ "$(xdotool getmouselocation 2>/dev/null | sed -n 's/^x:\([0-9-]*\) y:\([0-9-]*\) .*/\1 \2/p')" = "$1 $2" ]
}

# xh_move X Y: moves the pointer and checks that it got there (it fails where the server keeps
# the pointer out, rather than clicking somewhere else).
xh_move() {
    if xdotool mousemove "$1" "$2" && xh_poll 5 xh__pointer_at "$1" "$2"; then
        return 0
    fi
    xh_error "the pointer does not reach $1,$2"
}

# xh_click X Y [BUTTON]: moves the pointer there and clicks (button 1 unless given).
xh_click() {
    xh_move "$1" "$2" && xdotool click "${3:-1}"
}

# xh_key KEY...: presses keys (xdotool names: Escape, Return, Tab, a, ctrl+q) on whatever window
# has the keyboard focus.
xh_key() {
    xdotool key --clearmodifiers "$@"
}

# xh_type TEXT: types text into the focused window.
xh_type() {
    xdotool type --clearmodifiers -- "$1"
}

xh__focused() { [ "$(xdotool getwindowfocus 2>/dev/null)" = "$(($1))" ]; }

# xh_focus WINDOW: gives the window the keyboard focus and waits until it has it.
xh_focus() {
    local limit=${2:-$XH_TIMEOUT}
    xdotool windowfocus "$1" 2>/dev/null
    xh_poll "$limit" xh__focused "$1" || xh_error "window $1 did not take the focus"
}
