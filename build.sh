#!/usr/bin/env bash
# Glowsweep Wizard: set up, build, run and test.
#
#   ./build.sh run       install what is missing, build only the program (in build-run/), start it
#   ./build.sh test      install what is missing, build everything (in build/), run every test
#                        (further arguments go to cmake, e.g. -DGSW_SANITIZE=ON); where the Qt
#                        for Windows is built (tools/build-windows-qt.sh), also the Windows release,
#                        which then runs under Wine
#   ./build.sh package   build a Debian package in build-package/
#
# For maintainers and CI:
#   ./build.sh check-package   build the Debian package and hold it to lintian's pedantic checks
#   ./build.sh check-windows   compile and link the program for Windows with MinGW-w64 (build-windows/)
#   ./build.sh windows         build the Windows release folder and its .zip in build-windows-release/,
#                              against the Qt for Windows that tools/build-windows-qt.sh builds once
#
# Debian 12 (bookworm) and Debian 13 (trixie). Missing Debian packages are installed with apt-get
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
    qt6-wayland
    libwayland-dev libwayland-bin wayland-protocols qt6-base-private-dev
)
# What the tests and benchmarks need on top: their frameworks, a real X server with several
# monitors and the tools that drive it, Wayland compositors that run inside it, a private
# D-Bus session, clang's fuzzer, and the validators of the installed desktop files and icons.
test_packages=(
    libgtest-dev libgmock-dev libbenchmark-dev
    xvfb xserver-xorg-core xserver-xorg-video-dummy x11-xserver-utils x11-utils xcvt xauth
    xdotool imagemagick librsvg2-bin weston sway dbus-daemon dbus-bin
    clang libclang-rt-dev
    desktop-file-utils appstream
    dpkg-dev file
)
# What testing the Windows release needs, only where the Qt for Windows is built: Wine with the
# fonts Windows programs expect, and wrestool to read the executable's icon.
windows_test_packages=(wine wine64 fonts-wine icoutils)
# What building the Debian package needs on top of the program's packages.
package_packages=(dpkg-dev file)

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
    # Another apt-get at work (an unattended upgrade) is waited for rather than failed on.
    local apt=(apt-get -o DPkg::Lock::Timeout=600)
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive "${apt[@]}" update -qq
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive "${apt[@]}" install -y -qq \
        --no-install-recommends "${missing[@]}"
}

configure() {
    cmake -S "$here" -B "$build_dir" -DCMAKE_BUILD_TYPE="$build_type" "$@"
}

configure_and_build() {
    configure "$@"
    cmake --build "$build_dir" --parallel "$jobs"
}

# Builds the Debian package in build-package/ with the distribution's hardening flags, and
# prints the package's path last.
build_package() {
    install_missing "${run_packages[@]}" "${package_packages[@]}" >&2
    # A folder of its own, so that packaging never reconfigures the test build.
    build_dir=${BUILD_DIR:-$here/build-package}
    build_type=${BUILD_TYPE:-Release}
    local cxxflags ldflags
    buildflag() { DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --get "$1"; }
    cxxflags="$(buildflag CPPFLAGS) $(buildflag CXXFLAGS)"
    ldflags=$(buildflag LDFLAGS)
    configure -DCMAKE_INSTALL_PREFIX=/usr -DGSW_TESTS=OFF -DGSW_BENCH=OFF \
        -DCMAKE_CXX_FLAGS="$cxxflags" -DCMAKE_EXE_LINKER_FLAGS="$ldflags" >&2
    cmake --build "$build_dir" --parallel "$jobs" >&2
    (cd "$build_dir" && cpack -G DEB >&2)
    ls -t "$build_dir"/glowsweep-wizard_*.deb | head -1
}

# Holds the package to lintian's pedantic checks: no error or warning and no hardening tag may
# stay. Tags kept on purpose are overridden in the package, each with its reason.
check_package() {
    install_missing lintian
    local deb report
    deb=$(build_package)
    report=$(lintian -I --pedantic --fail-on none "$deb" 2>&1 |
        { grep -v '^running with root privileges' || true; })
    [ -z "$report" ] || echo "$report"
    if echo "$report" | grep -qE '^[EW]: |: hardening-'; then
        die "lintian: $(basename "$deb") has error, warning or hardening tags"
    fi
    echo "build.sh: lintian passes $(basename "$deb")"
}

# Compiles the whole program for Windows with MinGW-w64, with the project's warnings as errors,
# against the Linux Qt 6 headers (their dllimport declarations in effect), and links it with
# Qt's libraries left empty: every symbol that stays unresolved must be Qt's.
check_windows() {
    install_missing "${run_packages[@]}" g++-mingw-w64-x86-64-posix
    build_dir=${BUILD_DIR:-$here/build-windows}
    build_type=${BUILD_TYPE:-Release}
    # Qt's optional Vulkan headers would put the Linux /usr/include on every compile line.
    configure -DCMAKE_TOOLCHAIN_FILE="$here/cmake/mingw-w64-x86_64.cmake" \
        -DCMAKE_PROJECT_INCLUDE="$here/cmake/windows-check-qt.cmake" \
        -DCMAKE_DISABLE_FIND_PACKAGE_WrapVulkanHeaders=ON \
        -DCMAKE_COMPILE_WARNING_AS_ERROR=ON -DGSW_TESTS=OFF -DGSW_BENCH=OFF
    # Everything but the program's entry compiles into the two libraries.
    cmake --build "$build_dir" --parallel "$jobs" --target gsw_gui
    # The link is expected to fail, on Qt's symbols only.
    local log=$build_dir/check-windows.log
    rm -f "$build_dir/glowsweep-wizard.exe"
    cmake --build "$build_dir" --target glowsweep-wizard >"$log" 2>&1 || true
    if ! grep -q 'Linking CXX executable glowsweep-wizard.exe' "$log"; then
        cat "$log"
        die "the program's entry does not compile for Windows"
    fi
    local other
    other=$(grep -e '-ld: ' "$log" | grep -vE "undefined references? to \`" || true)
    if [ -n "$other" ]; then
        echo "$other" >&2
        die "the Windows link fails for other reasons than Qt's missing libraries (above)"
    fi
    local unresolved foreign
    unresolved=$(grep -o "undefined reference to \`[^']*'" "$log" |
        sed "s/^undefined reference to \`//; s/'\$//; s/^__imp_//" | LC_ALL=C sort -u |
        x86_64-w64-mingw32-c++filt | LC_ALL=C sort -u)
    foreign=$(echo "$unresolved" | qt_symbols -v || true)
    if [ -n "$foreign" ]; then
        echo "$foreign" >&2
        die "the Windows link leaves symbols unresolved that Qt does not provide (above)"
    fi
    echo "build.sh: the program compiles and links for Windows;" \
        "$(echo "$unresolved" | grep -c .) symbols are left to Qt's DLLs"
}

# The Windows release: a folder that runs on a Windows machine with nothing installed, and the
# same as a .zip beside it.
windows_release_name() {
    local version
    version=$(sed -n 's/^ *VERSION \([0-9][0-9.]*\)$/\1/p' "$here/CMakeLists.txt" | head -n 1)
    echo "glowsweep-wizard-$version-windows-x64"
}

# DLLs that every Windows installation has; anything else the program needs goes in its folder.
windows_system_dll() {
    local name=${1,,}
    case $name in
    api-ms-win-* | ext-ms-win-*) return 0 ;;
    esac
    case ${name%.dll} in
    advapi32 | authz | bcrypt | cfgmgr32 | comctl32 | comdlg32 | crypt32 | d2d1 | d3d9 | d3d11 | \
        d3d12 | dcomp | dwmapi | dwrite | dxgi | gdi32 | imm32 | iphlpapi | kernel32 | mpr | \
        msvcrt | netapi32 | ntdll | ole32 | oleaut32 | opengl32 | rpcrt4 | secur32 | setupapi | \
        shcore | shell32 | shlwapi | user32 | userenv | uxtheme | version | winmm | winspool | \
        ws2_32 | wtsapi32)
        return 0
        ;;
    esac
    return 1
}

# Copies an executable or DLL without its symbols, which only a debugger wants (MinGW-w64's
# libstdc++ carries 20 MB of them).
windows_copy_stripped() {
    local target=$2
    [ -d "$target" ] && target=$target/$(basename "$1")
    x86_64-w64-mingw32-strip --strip-all -o "$target" "$1"
}

windows_imports() {
    x86_64-w64-mingw32-objdump -p "$1" | sed -n 's/^[[:space:]]*DLL Name: //p'
}

# Copies into FOLDER every DLL that the executables and DLLs in it need, from the Qt for Windows
# and MinGW-w64's runtime, until nothing is missing; fails on a DLL found in neither that is not
# Windows' own.
windows_add_dependencies() {
    local folder=$1 qt=$2 file dll found dir
    local search=("$qt/bin"
        "$(dirname "$(x86_64-w64-mingw32-g++-posix -print-file-name=libstdc++-6.dll)")"
        /usr/x86_64-w64-mingw32/lib)
    local queue
    mapfile -t queue < <(find "$folder" -type f \( -iname '*.exe' -o -iname '*.dll' \))
    while [ ${#queue[@]} -gt 0 ]; do
        file=${queue[0]}
        queue=("${queue[@]:1}")
        while read -r dll; do
            [ -n "$dll" ] || continue
            windows_system_dll "$dll" && continue
            [ -n "$(find "$folder" -maxdepth 1 -iname "$dll" -print -quit)" ] && continue
            found=
            for dir in "${search[@]}"; do
                found=$(find "$dir" -maxdepth 1 -iname "$dll" -print -quit 2>/dev/null)
                [ -n "$found" ] && break
            done
            [ -n "$found" ] || die "$(basename "$file") needs $dll, which is neither Windows' own nor found in ${search[*]}"
            windows_copy_stripped "$found" "$folder/"
            queue+=("$folder/$(basename "$found")")
        done < <(windows_imports "$file")
    done
}

# Holds every executable and DLL in FOLDER, in every subfolder, to needing only DLLs of the
# folder itself (where Windows looks first) and Windows' own.
windows_check_imports() {
    local folder=$1 file dll bad=0 count=0
    while read -r file; do
        count=$((count + 1))
        while read -r dll; do
            [ -n "$dll" ] || continue
            windows_system_dll "$dll" && continue
            if [ -z "$(find "$folder" -maxdepth 1 -iname "$dll" -print -quit)" ]; then
                echo "build.sh: ${file#"$folder"/} needs $dll, which the folder lacks" >&2
                bad=1
            fi
        done < <(windows_imports "$file")
    done < <(find "$folder" -type f \( -iname '*.exe' -o -iname '*.dll' \) | LC_ALL=C sort)
    [ "$bad" -eq 0 ] || die "the Windows folder does not run on its own (above)"
    echo "build.sh: the $count executables and DLLs in $(basename "$folder") need nothing beyond it but Windows' own DLLs"
}

# Builds the program for Windows against the Qt for Windows in the cache and makes the release
# folder and its .zip in the build folder $1.
build_windows() {
    build_dir=$1
    install_missing "${run_packages[@]}" g++-mingw-w64-x86-64-posix
    local qt
    qt=$("$here/tools/build-windows-qt.sh" --print)
    "$here/tools/build-windows-qt.sh" --check ||
        die "no current Qt for Windows in $qt; build it once with tools/build-windows-qt.sh (half an hour to an hour on 2 cores)"
    build_type=${BUILD_TYPE:-Release}
    configure -DCMAKE_TOOLCHAIN_FILE="$here/cmake/mingw-w64-x86_64.cmake" -DGSW_WINDOWS_QT="$qt" \
        -DCMAKE_COMPILE_WARNING_AS_ERROR=ON -DGSW_TESTS=OFF -DGSW_BENCH=OFF
    cmake --build "$build_dir" --parallel "$jobs" --target glowsweep-wizard

    local name folder
    name=$(windows_release_name)
    folder=$build_dir/$name
    rm -rf "$folder" "$folder.zip"
    mkdir -p "$folder/platforms" "$folder/styles" "$folder/licenses/qt"
    windows_copy_stripped "$build_dir/glowsweep-wizard.exe" "$folder/"
    cp "$here/ui/help/help.html" "$folder/"
    windows_copy_stripped "$qt/plugins/platforms/qwindows.dll" "$folder/platforms/"
    # Qt draws its widgets with the desktop's visual styles through this plugin.
    if [ -f "$qt/plugins/styles/qwindowsvistastyle.dll" ]; then
        windows_copy_stripped "$qt/plugins/styles/qwindowsvistastyle.dll" "$folder/styles/"
    else
        rmdir "$folder/styles"
    fi
    cp "$qt"/share/licenses/* "$folder/licenses/qt/" 2>/dev/null || rmdir "$folder/licenses/qt"
    windows_add_dependencies "$folder" "$qt"
    windows_check_imports "$folder"
    (cd "$build_dir" && cmake -E tar cf "$name.zip" --format=zip "$name")
    echo "build.sh: Windows release folder $folder"
    echo "build.sh: and as a .zip: $folder.zip"
}

# Filters (grep options in "$@") demangled symbol names on whether Qt gives them: members,
# vtables and type information of Q classes and the Qt namespaces, and Qt's q/qt_ functions.
qt_symbols() {
    local member='((non-)?virtual thunk to )?(Q[A-Za-z0-9_]*(<.*>)?::|operator[^(]*\((const )?Q)'
    grep -E "$@" "^($member|(vtable|VTT|typeinfo|typeinfo name) for Q|q[A-Z][A-Za-z0-9]*\(|qt_[A-Za-z0-9_]+)"
}

case "${1:-}" in
run)
    install_missing "${run_packages[@]}"
    # Only the program: no tests or benchmarks, in a folder of its own so that it never
    # reconfigures the test build.
    build_dir=${BUILD_DIR:-$here/build-run}
    configure_and_build -DGSW_TESTS=OFF -DGSW_BENCH=OFF
    if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
        echo "build.sh: built $build_dir/glowsweep-wizard, but there is no display to show it on" >&2
        echo "build.sh: (neither DISPLAY nor WAYLAND_DISPLAY is set); start it from a desktop session." >&2
        exit 1
    fi
    exec "$build_dir/glowsweep-wizard"
    ;;
test)
    install_missing "${run_packages[@]}" "${test_packages[@]}"
    # With the Qt for Windows built on this machine, the Windows release is built too and runs
    # under Wine (e2e_wine); without it that test is skipped, and Wine is not installed.
    if "$here/tools/build-windows-qt.sh" --check; then
        install_missing "${windows_test_packages[@]}"
        (BUILD_TYPE=Release build_windows "$here/build-windows-release")
    fi
    configure_and_build "${@:2}"
    cd "$build_dir"
    ctest --output-on-failure --parallel "$jobs" --timeout 600
    ;;
package)
    echo "build.sh: built $(build_package)"
    ;;
check-package)
    check_package
    ;;
check-windows)
    check_windows
    ;;
windows)
    build_windows "${BUILD_DIR:-$here/build-windows-release}"
    ;;
*)
    echo "usage: ./build.sh run | test | package | check-package | check-windows | windows" >&2
    exit 2
    ;;
esac
