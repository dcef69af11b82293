#!/usr/bin/env bash
# The real program's CPU share and memory: glowsweep-wizard on Xorg (dummy driver) with the given
# monitors side by side (default 1920x1080 and 1280x1024). First SECONDS of the idle main window
# with its preview running, then SECONDS of an "All Monitors" wash at the start-up settings,
# confirmed as a user would. Each phase gives the CPU time of the program and of the X server over
# the wall time, and the program's resident size; the growth from idle to washing is also given
# per washed pixel. Needs root.
#
#   bench/measure_program_cpu.sh BUILD_DIR [SECONDS] [WxH...]
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
build=${1:?usage: measure_program_cpu.sh BUILD_DIR [SECONDS] [WxH...]}
seconds=${2:-30}
shift $(($# < 2 ? $# : 2))
sizes=("$@")
[ ${#sizes[@]} -gt 0 ] || sizes=(1920x1080 1280x1024)

# shellcheck source=../tests/e2e/xharness.sh
source "$here/../tests/e2e/xharness.sh"
# shellcheck source=../tests/e2e/e2elib.sh
source "$here/../tests/e2e/e2elib.sh"
e2e_init "$build/glowsweep-wizard" "$build/tests/e2e/e2e_matchframe"

monitors=()
indices=()
x=0
pixels=0
for size in "${sizes[@]}"; do
    monitors+=("$size+$x+0")
    indices+=(${#indices[@]})
    x=$((x + ${size%x*}))
    pixels=$((pixels + ${size%x*} * ${size#*x}))
done
xh_start_xorg "${monitors[@]}"
settings=$(xh_tempdir settings)
write_settings "$settings" "Config(Activate=1)"
app_start "$settings"

cpu_ticks() { awk '{ print $14 + $15 }' "/proc/$1/stat"; }
resident_kib() { awk '/^VmRSS:/ { print $2 }' "/proc/$APP_PID/status"; }
hz=$(getconf CLK_TCK)
# measure WHAT: CPU shares over SECONDS of the program running undisturbed, then its resident size.
measure() {
    local app_before server_before start wall_us app_after server_after
    app_before=$(cpu_ticks "$APP_PID")
    server_before=$(cpu_ticks "$XH_SERVER_PID")
    start=$(xh__now_us)
    sleep "$seconds" # the measurement itself
    wall_us=$(($(xh__now_us) - start))
    app_after=$(cpu_ticks "$APP_PID")
    server_after=$(cpu_ticks "$XH_SERVER_PID")
    RESIDENT=$(resident_kib)
    awk -v what="$1" -v a=$((app_after - app_before)) -v x=$((server_after - server_before)) \
        -v hz="$hz" -v w="$wall_us" -v rss="$RESIDENT" 'BEGIN {
        printf "%s: glowsweep-wizard %.2f s CPU over %.1f s = %.2f %% of one core; X server %.2f %%; resident %.1f MiB\n", what, a / hz, w / 1e6, 100 * a / hz / (w / 1e6), 100 * x / hz / (w / 1e6), rss / 1024
    }'
}

sleep 3 # start-up settles before the idle measurement
measure "idle, preview running (${sizes[*]})"
idle_kib=$RESIDENT
press_activate Return
wait_wash_windows "wash windows" "$(monitors_expected "${indices[@]}")" >/dev/null
measure "washing ${sizes[*]}"
awk -v d=$((RESIDENT - idle_kib)) -v p="$pixels" 'BEGIN {
    printf "memory growth while washing: %+.1f MiB = %.2f bytes per washed pixel\n", d / 1024, d * 1024 / p
}'
xh_focus "$APP_WIN"
xh_key Escape
wait_wash_windows "wash stopped" "" >/dev/null
app_close
