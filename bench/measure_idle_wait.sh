#!/usr/bin/env bash
# What the idle washer costs while it waits: glowsweep-wizard --wash all --when-idle 2m on Xvfb
# with a private session bus, nothing washed, measured over SECONDS (default 60) after a few
# seconds to settle. Gives its wake-ups (context switches of all its threads, voluntary and not,
# per second), its CPU share of one core, and its resident size. Needs root.
#
#   bench/measure_idle_wait.sh BUILD_DIR [SECONDS]
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
build=${1:?usage: measure_idle_wait.sh BUILD_DIR [SECONDS]}
seconds=${2:-60}

# shellcheck source=benchlib.sh
source "$here/benchlib.sh"
# shellcheck source=../tests/e2e/e2elib.sh
source "$here/../tests/e2e/e2elib.sh"
e2e_init "$build/glowsweep-wizard" "$build/tests/e2e/e2e_matchframe"

xh_start_xvfb 1280x1024
settings=$(xh_tempdir settings)
write_settings "$settings" "Config(Activate=1)"
xh_move 10 10 # input now: the idle period of two minutes begins
xh_spawn_isolated "$settings" idle.log "$E2E_APP" --wash all --when-idle 2m
pid=$XH_PID
program=$(readlink -f "$E2E_APP")
started() { [ "$(readlink "/proc/$pid/exe" 2>/dev/null)" = "$program" ]; }
xh_poll 10 started || {
    echo "measure_idle_wait: the program did not start" >&2
    exit 1
}

# switches: the context switches of every thread of the program so far.
switches() {
    cat /proc/"$pid"/task/*/status 2>/dev/null |
        awk '/^(non)?voluntary_ctxt_switches:/ { n += $2 } END { print n + 0 }'
}
cpu_ticks() { awk '{ print $14 + $15 }' "/proc/$pid/stat"; }

sleep 5 # start-up settles
threads=$(find "/proc/$pid/task" -mindepth 1 -maxdepth 1 | wc -l)
switches_before=$(switches)
ticks_before=$(cpu_ticks)
start=$(xh__now_us)
sleep "$seconds"
wall_us=$(($(xh__now_us) - start))
switches_after=$(switches)
ticks_after=$(cpu_ticks)
resident=$(awk '/^VmRSS:/ { print $2 }' "/proc/$pid/status")
xh__alive "$pid" || {
    echo "measure_idle_wait: the program ended while it should wait" >&2
    exit 1
}
[ -z "$(wash_windows)" ] || {
    echo "measure_idle_wait: a wash started; the measurement is void" >&2
    exit 1
}
awk -v s=$((switches_after - switches_before)) -v t=$((ticks_after - ticks_before)) \
    -v hz="$(getconf CLK_TCK)" -v w="$wall_us" -v rss="$resident" -v threads="$threads" 'BEGIN {
    secs = w / 1e6
    printf "waiting %.1f s (%d threads): %.2f wake-ups a second, %.4f %% of one core (%.2f s CPU), resident %.1f MiB\n", secs, threads, s / secs, 100 * t / hz / secs, t / hz, rss / 1024
}'
kill -s TERM "$pid"
xh_wait_exit "$pid" 10 >/dev/null || true
