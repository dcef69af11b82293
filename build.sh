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
#                              (tools/windows-release.sh)
#   ./build.sh check-style     hold every shell script to shellcheck -S warning and every C++ file
#                              to .clang-format (tools/check-style.sh)
#
# Debian 12 (bookworm) and Debian 13 (trixie). Missing Debian packages (tools/lib/packages.sh)
# are installed with apt-get (through sudo when not run as root). BUILD_DIR and BUILD_TYPE
# override the defaults.
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
build_dir=${BUILD_DIR:-$here/build}
build_type=${BUILD_TYPE:-RelWithDebInfo}
jobs=$(nproc 2>/dev/null || echo 2)

# shellcheck source=tools/lib/packages.sh
source "$here/tools/lib/packages.sh"

die() {
    echo "build.sh: $*" >&2
    exit 1
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
    install_missing "${run_packages[@]}" "${windows_packages[@]}"
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
        BUILD_TYPE=Release "$here/tools/windows-release.sh" "$here/build-windows-release"
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
    "$here/tools/windows-release.sh" "${BUILD_DIR:-$here/build-windows-release}"
    ;;
check-style)
    install_missing "${style_packages[@]}"
    "$here/tools/check-style.sh"
    ;;
*)
    echo "usage: ./build.sh run | test | package | check-package | check-windows | windows |" \
        "check-style" >&2
    exit 2
    ;;
esac
