#!/usr/bin/env bash
# The CPU share of a real wash: Xorg with the dummy driver and two monitors of 1920x1080 and
# 1280x1024, every monitor washed with one tick every 250 ms, first redrawing only the pixels
# that change, then redrawing whole windows for comparison. Needs root (Xorg).
#
#   bench/measure_wash_cpu.sh BUILD_DIR [SECONDS] [HBARS VBARS]
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
build=${1:?usage: measure_wash_cpu.sh BUILD_DIR [SECONDS] [HBARS VBARS]}
seconds=${2:-30}
bars=(--bars "${3:-1}" "${4:-0}")
# shellcheck source=benchlib.sh
source "$here/benchlib.sh"
washcpu=$(bench_tool "$build" washcpu)
bench_start_xorg

server_ticks() { awk '{ print $14 + $15 }' "/proc/$XH_SERVER_PID/stat"; }
hz=$(getconf CLK_TCK)
for mode in "" --full-repaint; do
    before=$(server_ticks)
    # shellcheck disable=SC2086
    "$washcpu" "$seconds" "${bars[@]}" $mode
    after=$(server_ticks)
    # The X server's share covers the whole run, one second of start-up included.
    awk -v t=$((after - before)) -v hz="$hz" -v s="$seconds" \
        'BEGIN { printf "X server: CPU %.2f s over about %d s = %.2f %% of one core\n", t / hz, s + 1, 100 * t / hz / (s + 1) }'
done
