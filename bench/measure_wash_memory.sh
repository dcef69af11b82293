#!/usr/bin/env bash
# The program's resident size over many washes and over one long wash, on Xorg (dummy driver) with
# two monitors of 1920x1080 and 1280x1024: bench/washmemory with the main window and "All
# Monitors". A command given after the counts wraps the run (e.g. heaptrack). Needs root.
#
#   bench/measure_wash_memory.sh BUILD_DIR [CYCLES] [TICKS] [WRAPPER...]
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
build=${1:?usage: measure_wash_memory.sh BUILD_DIR [CYCLES] [TICKS] [WRAPPER...]}
cycles=${2:-1000}
ticks=${3:-100000}
shift $(($# < 3 ? $# : 3))
# shellcheck source=benchlib.sh
source "$here/benchlib.sh"
washmemory=$(bench_tool "$build" washmemory)
bench_start_xorg
"$@" "$washmemory" "$cycles" "$ticks" # it keeps its settings in a temporary folder
