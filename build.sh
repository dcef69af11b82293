#!/usr/bin/env bash
# Glowsweep Wizard: set up, build, run and test.
#
#   ./build.sh run       install what is missing, build, start the program
#   ./build.sh test      install what is missing, build everything, run every test
#                        (further arguments go to cmake, e.g. -DGSW_SANITIZE=ON)
#   ./build.sh package   build a Debian package in build-package/
#
# Debian 12 / Ubuntu 22.04 or later. Missing Debian packages are installed with apt-get
# (through sudo when not run as root). BUILD_DIR and BUILD_TYPE override the defaults.
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
build_dir=${BUILD_DIR:-$here/build}
build_type=${BUILD_TYPE:-RelWithDebInfo}
jobs=$(nproc 2>/dev/null || echo 2)

# What building and running the program needs.
run_packages=(
    cmake g++ make pkg-config
    qt6-base-dev qt6-base-dev-tools qt6-qpa-plugins libgl-dev
    libgtest-dev libgmock-dev libbenchmark-dev
    qt6-wayland
)
# What the tests need on top: a real X server with several monitors and the tools that
# drive it, a Wayland compositor that runs inside it, a private D-Bus session, clang's fuzzer,
# and the desktop-file validators.
test_packages=(
    xvfb xserver-xorg-core xserver-xorg-video-dummy x11-xserver-utils x11-utils xcvt xauth
    xdotool imagemagick weston dbus-daemon dbus-bin qt6-base-private-dev
    clang libclang-rt-dev
    desktop-file-utils appstream
    dpkg-dev file
)

die() {
    echo "build.sh: $*" >&2
    exit 1
}

install_missing() {
    local missing=() p
    for p in "$@"; do
        if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
            missing+=("$p")
        fi
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    command -v apt-get >/dev/null || die "apt-get not found; install these packages by hand: ${missing[*]}"
    local sudo=()
    if [ "$(id -u)" -ne 0 ]; then
        command -v sudo >/dev/null || die "not root and no sudo; install as root: ${missing[*]}"
        sudo=(sudo)
    fi
    echo "build.sh: installing ${missing[*]}"
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -qq
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
        "${missing[@]}"
}

configure_and_build() {
    cmake -S "$here" -B "$build_dir" -DCMAKE_BUILD_TYPE="$build_type" "$@" >/dev/null
    cmake --build "$build_dir" --parallel "$jobs"
}

case "${1:-}" in
run)
    install_missing "${run_packages[@]}"
    configure_and_build
    if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
        echo "build.sh: built $build_dir/glowsweep-wizard, but there is no display to show it on" >&2
        echo "build.sh: (neither DISPLAY nor WAYLAND_DISPLAY is set); start it from a desktop session." >&2
        exit 1
    fi
    exec "$build_dir/glowsweep-wizard"
    ;;
test)
    install_missing "${run_packages[@]}" "${test_packages[@]}"
    configure_and_build "${@:2}"
    cd "$build_dir"
    ctest --output-on-failure --parallel "$jobs" --timeout 600
    ;;
package)
    install_missing "${run_packages[@]}" dpkg-dev file
    # A folder of its own, so that packaging never reconfigures the test build.
    build_dir=${BUILD_DIR:-$here/build-package}
    build_type=${BUILD_TYPE:-Release}
    configure_and_build -DCMAKE_INSTALL_PREFIX=/usr -DGSW_TESTS=OFF -DGSW_BENCH=OFF
    cd "$build_dir"
    cpack -G DEB
    ;;
*)
    echo "usage: ./build.sh run | test | package" >&2
    exit 2
    ;;
esac
