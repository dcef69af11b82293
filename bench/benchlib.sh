# shellcheck shell=bash
# What the benchmark scripts that drive a real X server share. Sourced.

# shellcheck source=../tests/e2e/xharness.sh
source "$(dirname "${BASH_SOURCE[0]}")/../tests/e2e/xharness.sh"

# bench_tool BUILD_DIR NAME: the path of a built benchmark program; ends the script if it is not
# built.
bench_tool() {
    local tool=$1/bench/$2
    [ -x "$tool" ] || {
        echo "$(basename "$0"): $tool is not built" >&2
        exit 1
    }
    echo "$tool"
}

# bench_start_xorg: Xorg with the dummy driver and the two monitors the benchmarks measure on,
# 1920x1080 and 1280x1024 side by side.
bench_start_xorg() { xh_start_xorg 1920x1080+0+0 1280x1024+1920+0; }
