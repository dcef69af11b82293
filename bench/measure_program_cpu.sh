#!/usr/bin/env bash
# The real program's CPU share while it washes: glowsweep-wizard on Xorg (dummy driver) with two
# monitors of 1920x1080 and 1280x1024, "All Monitors" at the start-up settings, confirmed as a
# user would; its CPU time over SECONDS of washing divided by the wall time. Needs root.
#
#   bench/measure_program_cpu.sh BUILD_DIR [SECONDS]
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
build=${1:?usage: measure_program_cpu.sh BUILD_DIR [SECONDS]}
seconds=${2:-30}

# shellcheck source=../tests/e2e/xharness.sh
source "$here/../tests/e2e/xharness.sh"
# shellcheck source=../tests/e2e/e2elib.sh
source "$here/../tests/e2e/e2elib.sh"
e2e_init "$build/glowsweep-wizard" "$build/tests/e2e/e2e_matchframe"

xh_start_xorg 1920x1080+0+0 1280x1024+1920+0
settings=$(xh_tempdir settings)
write_settings "$settings" "Config(Activate=1)"
app_start "$settings"
press_activate Return
wait_wash_windows "two wash windows" "$(monitors_expected 0 1)" >/dev/null

cpu_ticks() { awk '{ print $14 + $15 }' "/proc/$1/stat"; }
hz=$(getconf CLK_TCK)
app_before=$(cpu_ticks "$APP_PID")
server_before=$(cpu_ticks "$XH_SERVER_PID")
start=$(xh__now_us)
sleep "$seconds" # the measurement itself: the program runs undisturbed for this long
wall_us=$(($(xh__now_us) - start))
app_after=$(cpu_ticks "$APP_PID")
server_after=$(cpu_ticks "$XH_SERVER_PID")
awk -v a=$((app_after - app_before)) -v x=$((server_after - server_before)) -v hz="$hz" \
    -v w="$wall_us" 'BEGIN {
        printf "glowsweep-wizard: %.2f s CPU over %.1f s washing = %.2f %% of one core\n", a / hz, w / 1e6, 100 * a / hz / (w / 1e6)
        printf "X server:         %.2f s CPU = %.2f %% of one core\n", x / hz, 100 * x / hz / (w / 1e6)
    }'
xh_focus "$APP_WIN"
xh_key Escape
wait_wash_windows "wash stopped" "" >/dev/null
app_close
