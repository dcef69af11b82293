# shellcheck shell=bash disable=SC2034 # the lists are for the scripts that source this file
# The Debian packages the project needs, and their installation. Sourced by build.sh and the
# scripts in tools/.

# What building and running the program needs.
run_packages=(
    cmake g++ make pkg-config
    qt6-base-dev qt6-base-dev-tools qt6-qpa-plugins libgl-dev libxcb1-dev libxcb-screensaver0-dev
    libxcb-sync-dev
    qt6-wayland
    libwayland-dev libwayland-bin wayland-protocols plasma-wayland-protocols qt6-base-private-dev
)
# What the tests and benchmarks need on top: their frameworks, a real X server with several
# monitors and the tools that drive it and read its screen saver (xssstate), Wayland compositors
# that run inside it, a private D-Bus session (dbus-daemon: test_screensaverinhibitor fails
# without it), the accessibility bus and a client of it, the Orca screen reader with a voice that
# speaks into no sound card, a real screen locker (xscreensaver), clang's fuzzer, and the
# validators of the installed desktop files and icons.
test_packages=(
    libgtest-dev libgmock-dev libbenchmark-dev
    xvfb xserver-xorg-core xserver-xorg-video-dummy x11-xserver-utils x11-utils xcvt xauth
    xdotool suckless-tools imagemagick librsvg2-bin weston sway dbus-daemon dbus-bin
    at-spi2-core python3-pyatspi orca speech-dispatcher speech-dispatcher-espeak-ng
    xscreensaver
    clang libclang-rt-dev
    desktop-file-utils appstream
    dpkg-dev file
)
# What testing the Windows release needs, only where the Qt for Windows is built: Wine with the
# fonts Windows programs expect, and wrestool to read the executable's icon.
windows_test_packages=(wine wine64 fonts-wine icoutils)
# What building the Debian package needs on top of the program's packages.
package_packages=(dpkg-dev file)
# What builds the program for Windows on top of the program's packages.
windows_packages=(g++-mingw-w64-x86-64-posix)
# What checks the style of the shell scripts and the C++ files.
style_packages=(shellcheck clang-format)

# install_missing PACKAGE...: installs those of the Debian packages that are not installed, with
# apt-get (through sudo when not run as root).
install_missing() {
    local me=${0##*/} missing=() p
    for p in "$@"; do
        if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
            missing+=("$p")
        fi
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    if ! command -v apt-get >/dev/null; then
        echo "$me: apt-get not found; install these packages by hand: ${missing[*]}" >&2
        exit 1
    fi
    local sudo=()
    if [ "$(id -u)" -ne 0 ]; then
        if ! command -v sudo >/dev/null; then
            echo "$me: not root and no sudo; install as root: ${missing[*]}" >&2
            exit 1
        fi
        sudo=(sudo)
    fi
    echo "$me: installing ${missing[*]}" >&2
    # Another apt-get at work (an unattended upgrade) is waited for rather than failed on.
    local apt=(apt-get -o DPkg::Lock::Timeout=600)
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive "${apt[@]}" update -qq
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive "${apt[@]}" install -y -qq \
        --no-install-recommends "${missing[@]}"
}
