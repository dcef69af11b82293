#!/usr/bin/env bash
# Builds Qt for 64-bit Windows (Core, Gui, Widgets and the windows platform plugin) from Debian's
# qt6-base source package with Debian's MinGW-w64, into a cache folder that ./build.sh windows
# builds against. The version is the one of the Linux Qt installed here, whose host tools (moc,
# rcc, uic) the Windows build uses. Nothing is built when the cache is current: a stamp in the
# cache records the Qt version, the configure options, the toolchain and the recipe's number.
#
#   tools/build-windows-qt.sh           build the cache when it is missing or out of date
#   tools/build-windows-qt.sh --check   exit 0 when the cache is current, 1 when not; build nothing
#   tools/build-windows-qt.sh --print   print the cache folder
#
# GSW_WINDOWS_QT names the cache folder (default: /var/cache/glowsweep-wizard/qt-<version>-mingw64,
# machine-wide so that every clone and CI share it). The source and the build tree go to a work
# folder next to it, removed after a good build (GSW_WINDOWS_QT_KEEP_WORK=1 keeps them).
# The Qt build takes about 25 minutes on 2 idle cores, and about an hour on a busy machine; it
# runs under nice. Missing Debian packages, and the archive's deb-src entry, are installed
# through apt-get (root, or sudo).
set -euo pipefail
# shellcheck source=lib/packages.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib/packages.sh"

jobs=$(nproc 2>/dev/null || echo 2)

die() {
    echo "build-windows-qt: $*" >&2
    exit 1
}
say() { echo "build-windows-qt: $*" >&2; }

sudo=()
if [ "$(id -u)" -ne 0 ]; then
    sudo=(sudo)
fi

# The Linux Qt gives the version and the host tools.
qt_deb_version() {
    dpkg-query -W -f='${Version}' qt6-base-dev 2>/dev/null || true
}

multiarch=$(gcc -print-multiarch 2>/dev/null || echo "$(uname -m)-linux-gnu")

# The options Qt is configured with; any change here makes the cache out of date.
configure_options=(
    -G Ninja
    -DCMAKE_BUILD_TYPE=Release
    -DBUILD_SHARED_LIBS=ON
    -DQT_HOST_PATH=/usr
    # Debian keeps the host Qt's CMake packages in the multiarch folder.
    -DQT_HOST_PATH_CMAKE_DIR="/usr/lib/$multiarch/cmake"
    -DQT_BUILD_EXAMPLES=OFF
    -DQT_BUILD_TESTS=OFF
    -DQT_BUILD_BENCHMARKS=OFF
    -DQT_GENERATE_SBOM=OFF
    -DFEATURE_sql=OFF
    -DFEATURE_network=OFF
    -DFEATURE_dbus=OFF
    -DFEATURE_printsupport=OFF
    -DFEATURE_testlib=OFF
    -DFEATURE_concurrent=OFF
    -DFEATURE_xml=OFF
    # Debian's repacked source leaves out wintab.h.
    -DFEATURE_tabletevent=OFF
    # The windows platform plugin of Qt 6.4 does not build without OpenGL; it comes out dynamic
    # (opengl32.dll is loaded when something asks for it).
    -DFEATURE_opengl=ON
    -DINPUT_opengl=dynamic
)

# The toolchain Qt is built with: Debian's MinGW-w64 with POSIX threads.
toolchain_text='set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
'

stamp_text() {
    printf 'qt6-base %s\n' "$1"
    printf 'configure %s\n' "${configure_options[*]}"
    printf 'toolchain %s\n' "$(printf '%s' "$toolchain_text" | sha256sum | cut -d' ' -f1)"
    # Raised by hand when the steps below change what gets built; comments and messages do
    # not count, so editing them costs no rebuild.
    printf 'recipe %s\n' 1
}

upstream_version() {
    local v=${1#*:}
    v=${v%%-*}
    echo "${v%%+*}"
}

cache_dir() {
    local version=$1
    echo "${GSW_WINDOWS_QT:-/var/cache/glowsweep-wizard/qt-$(upstream_version "$version")-mingw64}"
}

# apt-get source needs a deb-src entry. When the machine has none, one is added for every deb
# entry of its Debian archive (the same URIs, suites, components and keys).
ensure_deb_src() {
    if grep -rqsE '^(deb-src|Types:.*deb-src)' /etc/apt/sources.list /etc/apt/sources.list.d/; then
        return 0
    fi
    local out=/etc/apt/sources.list.d/glowsweep-wizard-deb-src
    if [ -f /etc/apt/sources.list.d/debian.sources ]; then
        say "adding deb-src entries beside /etc/apt/sources.list.d/debian.sources"
        sed -E 's/^Types:.*/Types: deb-src/' /etc/apt/sources.list.d/debian.sources |
            "${sudo[@]}" tee "$out.sources" >/dev/null
    elif [ -f /etc/apt/sources.list ] && grep -qE '^deb ' /etc/apt/sources.list; then
        say "adding deb-src lines beside /etc/apt/sources.list"
        sed -nE 's/^deb /deb-src /p' /etc/apt/sources.list | "${sudo[@]}" tee "$out.list" >/dev/null
    else
        die "no Debian archive found in /etc/apt to fetch the qt6-base source from"
    fi
    "${sudo[@]}" apt-get -o DPkg::Lock::Timeout=600 update -qq
}

mode=build
case "${1:-}" in
"") ;;
--check) mode=check ;;
--print) mode=print ;;
*)
    echo "usage: tools/build-windows-qt.sh [--check | --print]" >&2
    exit 2
    ;;
esac

version=$(qt_deb_version)
if [ -z "$version" ]; then
    [ "$mode" = build ] || { [ "$mode" = print ] && cache_dir 6; exit 1; }
    install_missing qt6-base-dev
    version=$(qt_deb_version)
fi
prefix=$(cache_dir "$version")
stamp="$prefix/glowsweep-wizard-qt.stamp"

current() {
    [ -f "$stamp" ] && [ "$(cat "$stamp")" = "$(stamp_text "$version")" ]
}

case $mode in
print)
    echo "$prefix"
    exit 0
    ;;
check)
    current
    exit
    ;;
esac

if current; then
    say "Qt $(upstream_version "$version") for Windows is current in $prefix"
    exit 0
fi

install_missing qt6-base-dev qt6-base-dev-tools g++-mingw-w64-x86-64-posix cmake ninja-build \
    dpkg-dev xz-utils
ensure_deb_src

work=${prefix%/}.work
say "building Qt $(upstream_version "$version") for Windows into $prefix (work folder $work)"
# Qt's files name their install folder, so the build installs in place; the stamp goes last,
# and a cache without it counts as missing.
"${sudo[@]}" rm -rf "$work" "$prefix"
"${sudo[@]}" mkdir -p "$work" "$prefix"
if [ ${#sudo[@]} -gt 0 ]; then
    "${sudo[@]}" chown "$(id -u):$(id -g)" "$work" "$prefix"
fi

start=$(date +%s)
(cd "$work" && apt-get source -qq "qt6-base=$version") || die "apt-get source qt6-base=$version failed"
src=$(find "$work" -mindepth 1 -maxdepth 1 -type d -name 'qt6-base-*' | head -1)
[ -n "$src" ] && [ -f "$src/CMakeLists.txt" ] || die "no unpacked qt6-base source in $work"
printf '%s' "$toolchain_text" >"$work/mingw-w64.cmake"

nice -n 10 cmake -S "$src" -B "$work/build" "${configure_options[@]}" \
    -DCMAKE_TOOLCHAIN_FILE="$work/mingw-w64.cmake" -DCMAKE_INSTALL_PREFIX="$prefix"
nice -n 10 cmake --build "$work/build" --parallel "$jobs"
nice -n 10 cmake --install "$work/build"
# The license texts go with the DLLs.
mkdir -p "$prefix/share/licenses"
cp "$src"/LICENSES/* "$prefix/share/licenses/" 2>/dev/null || true
stamp_text "$version" >"$stamp"
[ "${GSW_WINDOWS_QT_KEEP_WORK:-0}" = 1 ] || rm -rf "$work"
say "built Qt for Windows in $prefix in $(($(date +%s) - start)) s"
