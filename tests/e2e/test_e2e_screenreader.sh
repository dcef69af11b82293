#!/usr/bin/env bash
# What the Orca screen reader says while the program is used by keys alone, on two monitors
# (Xorg): each drop-down list's label, value and role when Tab reaches it, and its new value
# when Down changes it, each value once; the monitor list's current item at the start, when Tab
# brings the focus back and when Down moves to the next monitor; the group boxes and the bar
# counts by their words, the voice spelling out no "colon" or "paren"; the about box as a
# dialog and the maker's notice as a link. Orca's words come from its debug log, the voice's
# text from speech-dispatcher's log; the voice plays into ALSA's null device, so no sound card
# is needed. The patterns hold for Orca 43 (Debian 12) and Orca 48 (Debian 13), which phrase
# some things differently.
#
#   test_e2e_screenreader.sh PROGRAM E2E_MATCHFRAME     (exit 77: skipped, not root)
set -euo pipefail
# Under LeakSanitizer, whole allocation stacks, for the suppressions of what Qt's D-Bus side of
# the reader's bridge leaves at exit (tests/lsan.supp).
export LSAN_OPTIONS=${LSAN_OPTIONS:+$LSAN_OPTIONS:}fast_unwind_on_malloc=0

# shellcheck source=e2elib.sh
source "$(dirname "${BASH_SOURCE[0]}")/e2elib.sh"
e2e_begin "$@"
for tool in orca speech-dispatcher dbus-send; do
    command -v "$tool" >/dev/null || {
        echo "FAIL: $tool is missing (./build.sh test installs it)"
        exit 1
    }
done

ORCA_LOG=
VOICE_LOG=
TRANSCRIPT=
STEP_FROM=0 # the lines of Orca's log before the current step
VOICE_FROM=0

# orca_said FROM: what Orca said after line FROM of its debug log, one utterance a line.
orca_said() {
    tail -n +"$(($1 + 1))" "$ORCA_LOG" | grep -a "SPEECH OUTPUT: '" |
        sed -E -e "s/^.*SPEECH OUTPUT: '//" -e "s/'( voice=[^ {]*)? *(\{.*)?$//"
}

# voice_said FROM: the texts the voice got after line FROM of speech-dispatcher's log.
voice_said() {
    tail -n +"$(($1 + 1))" "$VOICE_LOG" 2>/dev/null |
        awk '/Command sent to output module: \|<speak>/ { p = 1 } p { print } /<\/speak>\|/ { p = 0 }' |
        sed -e 's/.*Command sent to output module: |//' -e 's/<[^>]*>//g' -e 's/| ([0-9]*)$//'
}

lines_of() { wc -l <"$1" 2>/dev/null || echo 0; }

e2e__says_all() {
    local said p
    said=$(orca_said "$STEP_FROM")
    for p in "$@"; do
        grep -Eq -- "$p" <<<"$said" || return 1
    done
}

# step_begin [KEY]: what Orca says from now on belongs to the next step; presses KEY (xdotool's
# name) if given.
step_begin() {
    STEP_FROM=$(lines_of "$ORCA_LOG") VOICE_FROM=$(lines_of "$VOICE_LOG")
    [ $# -eq 0 ] || xh_key "$1"
}

# step_end WHAT PATTERN...: waits until what Orca said since step_begin matches every PATTERN
# (extended regular expressions, against one utterance a line); a check each. Speech is given
# a moment to settle first, so that a value said twice shows, and the step is written to the
# transcript.
STEP_SAID=
step_end() {
    local what=$1 p
    shift
    xh_poll "$XH_TIMEOUT" e2e__says_all "$@" || true
    sleep 1
    STEP_SAID=$(orca_said "$STEP_FROM")
    {
        echo "== $what"
        sed 's/^/  orca: /' <<<"$STEP_SAID"
        voice_said "$VOICE_FROM" | sed 's/^/  voice: /'
    } >>"$TRANSCRIPT"
    local before=$E2E_FAILED
    for p in "$@"; do
        check "$what: Orca says /$p/" yes "$(grep -Eq -- "$p" <<<"$STEP_SAID" && echo yes)"
    done
    [ "$E2E_FAILED" -eq "$before" ]
}

# step WHAT KEY PATTERN...: step_begin KEY, step_end WHAT PATTERN...
step() {
    local what=$1 key=$2
    shift 2
    step_begin "$key"
    step_end "$what" "$@"
}

# said_once WHAT WORDS: the step's speech holds WORDS exactly once.
said_once() {
    check "$1: \"$2\" said once" 1 "$(grep -oF -- "$2" <<<"$STEP_SAID" | grep -c . || true)"
}

# reader_switch Get|Set [VALUE]: the accessibility bus's screen-reader switch, which Qt reads.
reader_switch() {
    dbus-send --session --print-reply --dest=org.a11y.Bus /org/a11y/bus \
        "org.freedesktop.DBus.Properties.$1" string:org.a11y.Status string:ScreenReaderEnabled \
        "${@:2}"
}

# Orca and the voice as a desktop's screen-reader switch starts them, in the harness's private
# home, runtime folder and session bus.
start_reader() {
    local home
    home=$(xh_tempdir home)
    export HOME=$home XDG_CONFIG_HOME=$home/.config XDG_DATA_HOME=$home/.local/share
    export XDG_CACHE_HOME=$home/.cache
    unset QT_LINUX_ACCESSIBILITY_ALWAYS_ON
    mkdir -p "$XDG_DATA_HOME/orca" "$XDG_CONFIG_HOME/speech-dispatcher"
    # Orca's debug file is block-buffered unless told otherwise.
    printf '%s\n' 'import orca.debug' 'if orca.debug.debugFile:' \
        '    orca.debug.debugFile.reconfigure(line_buffering=True)' \
        >"$XDG_DATA_HOME/orca/orca-customizations.py"
    # The machine's speech-dispatcher set-up with espeak-ng over ALSA, and a log of what it says.
    local conf=$XDG_CONFIG_HOME/speech-dispatcher/speechd.conf
    sed -e 's/^# *AudioOutputMethod "[a-z]*"/AudioOutputMethod "alsa"/' \
        -e 's/^# *AddModule "espeak-ng" /AddModule "espeak-ng" /' \
        -e 's/^# *DefaultModule .*/DefaultModule espeak-ng/' -e 's/^ *LogLevel .*/LogLevel 5/' \
        /etc/speech-dispatcher/speechd.conf >"$conf"
    for line in '^AudioOutputMethod "alsa"' '^AddModule "espeak-ng"' '^DefaultModule espeak-ng' \
        '^LogLevel 5'; do
        grep -q "$line" "$conf" || {
            fail "speech-dispatcher is set up" "no line /$line/ in $conf"
            return 1
        }
    done
    printf 'pcm.!default { type null }\n' >"$HOME/.asoundrc"
    VOICE_LOG=$XDG_RUNTIME_DIR/speech-dispatcher/log/speech-dispatcher.log
    xh_spawn speechd.log speech-dispatcher --run-single --timeout 0
    xh_poll "$XH_TIMEOUT" test -S "$XDG_RUNTIME_DIR/speech-dispatcher/speechd.sock" || {
        fail "speech-dispatcher starts" "$(cat "$XH_TMP/speechd.log")"
        return 1
    }
    reader_switch Set variant:boolean:true >/dev/null
    reader_switch Get | grep -q 'boolean true' || {
        fail "the accessibility bus says a screen reader is on" "ScreenReaderEnabled stays false"
        return 1
    }
    # Orca will not start beside another Orca of the same user, and --replace would end every
    # other one on the machine: in a process namespace of its own it sees none. (A shell is the
    # namespace's first process, which ignores the harness's TERM; Orca then takes it.)
    ORCA_LOG=$XH_TMP/orca-debug.log
    xh_spawn orca.log unshare --pid --fork --mount-proc \
        sh -c 'orca --debug --debug-file="$1" & wait' orca-namespace "$ORCA_LOG"
    xh_wait_output "$ORCA_LOG" "SPEECH OUTPUT: 'Screen reader on" 60 || {
        fail "Orca starts" "$(tail -n 20 "$XH_TMP/orca.log")"
        return 1
    }
}

run() {
    # The accessibility bus keeps the screen-reader switch in GSettings, whose machine's store
    # the private session bus does not start.
    export GSETTINGS_BACKEND=memory
    xh_start_xorg 1280x720+0+0 1280x1024+1280+0 || return 1
    TRANSCRIPT=$XH_TMP/transcript.txt
    start_reader || return 1
    step_begin
    app_start "$(xh_tempdir settings)" || {
        fail "program starts" "no main window"
        return 1
    }
    xh_focus "$APP_WIN"
    local item1='Monitor 1, 1280x720' item2='Monitor 2, 1280x1024'
    step_end "the start: the list's item" "$item1" || return 1
    said_once "the start" "$item1"

    step 'Tab to "Activate on"' Tab 'Activate on' 'combo box' 'Selected Monitor'
    said_once 'Tab to "Activate on"' 'Selected Monitor'
    step 'Tab to "Activate Glowsweep"' Tab 'Activate Glowsweep'
    step "Tab to the scan rate" Tab 'Glowsweep scan rate' 'combo box' 'Normal'
    said_once "Tab to the scan rate" Normal
    step "Down on the scan rate" Down 'Fast'
    said_once "Down on the scan rate" Fast
    step "Tab to the bar size" Tab 'Glowsweep bar size' 'combo box' 'Normal'
    said_once "Tab to the bar size" Normal
    step "Tab to the vertical bars" Tab 'Vertical bars'
    step "Tab to the horizontal bars" Tab 'Horizontal bars'
    step "Tab to Help" Tab 'Available Monitors' 'Help'
    step "Tab to About" Tab 'About'
    step "Tab back to the list" Tab "$item1"
    said_once "Tab back to the list" "$item1"
    step "Down in the list" Down "$item2"
    said_once "Down in the list" "$item2"

    # Return only once Orca is done with the button: a focus event it handles late would take
    # it back to the main window after the box has come up.
    step "Shift+Tab back to About" shift+Tab 'About.*button'
    local box
    step_begin Return
    box=$(xh_wait_window --name '^About$') && xh_focus "$box"
    step_end "Return on About: the about box" 'About.*dialog'
    check "Return on About: the main window is not announced again" "" \
        "$(grep -F "$E2E_TITLE" <<<"$STEP_SAID" || true)"
    # Orca 48 may take the notice's first focus in silence when the box comes up while it still
    # handles the Return: Tab goes round to it again.
    step "Tab to the home page button" Tab 'Visit our Home Page'
    step "Tab to the maker's notice" Tab 'rights reserved.*link'
    xh_key Escape

    local voice
    voice=$(voice_said 0)
    check "the voice says the group boxes' and labels' words" yes \
        "$(grep -q 'Available Monitors panel' <<<"$voice" && grep -q 'Vertical bars' <<<"$voice" &&
            echo yes)"
    check "the voice spells out no colon or paren" "" "$(grep -Ei 'colon|paren' <<<"$voice" || true)"
    app_close || fail "Esc while idle ends the program"
}

e2e_run run
echo "---- what Orca said (voice: the text the voice got)"
cat "$TRANSCRIPT" 2>/dev/null || true
e2e_finish
