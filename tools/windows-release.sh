#!/usr/bin/env bash
# Builds the Windows release: the program built with MinGW-w64 against the Qt for Windows that
# tools/build-windows-qt.sh keeps in its cache, in a folder that runs on a Windows machine with
# nothing installed (the executable, Qt's and MinGW-w64's DLLs, the help page, the licences, a
# command that starts the idle washer at logon), and
# the same folder as a .zip beside it.
#
#   tools/windows-release.sh [BUILD_DIR]    (default build-windows-release/; ./build.sh windows)
#
# BUILD_TYPE overrides the build type (default Release).
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
# shellcheck source=lib/packages.sh
source "$here/tools/lib/packages.sh"
jobs=$(nproc 2>/dev/null || echo 2)

die() {
    echo "windows-release.sh: $*" >&2
    exit 1
}

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
                echo "windows-release.sh: ${file#"$folder"/} needs $dll, which the folder lacks" >&2
                bad=1
            fi
        done < <(windows_imports "$file")
    done < <(find "$folder" -type f \( -iname '*.exe' -o -iname '*.dll' \) | LC_ALL=C sort)
    [ "$bad" -eq 0 ] || die "the Windows folder does not run on its own (above)"
    echo "windows-release.sh: the $count executables and DLLs in $(basename "$folder") need nothing beyond it but Windows' own DLLs"
}

# Builds the program for Windows against the Qt for Windows in the cache and makes the release
# folder and its .zip in the build folder $1.
build_windows() {
    local build_dir=$1
    install_missing "${run_packages[@]}" "${windows_packages[@]}"
    local qt
    qt=$("$here/tools/build-windows-qt.sh" --print)
    "$here/tools/build-windows-qt.sh" --check ||
        die "no current Qt for Windows in $qt; build it once with tools/build-windows-qt.sh (half an hour to an hour on 2 cores)"
    cmake -S "$here" -B "$build_dir" -DCMAKE_BUILD_TYPE="${BUILD_TYPE:-Release}" \
        -DCMAKE_TOOLCHAIN_FILE="$here/cmake/mingw-w64-x86_64.cmake" -DGSW_WINDOWS_QT="$qt" \
        -DCMAKE_COMPILE_WARNING_AS_ERROR=ON -DGSW_TESTS=OFF -DGSW_BENCH=OFF
    cmake --build "$build_dir" --parallel "$jobs" --target glowsweep-wizard

    local name folder
    name=$(windows_release_name)
    folder=$build_dir/$name
    rm -rf "$folder" "$folder.zip"
    mkdir -p "$folder/platforms" "$folder/styles" "$folder/licenses/qt"
    windows_copy_stripped "$build_dir/glowsweep-wizard.exe" "$folder/"
    cp "$here/ui/help/help.html" "$folder/"
    # Puts the idle washer into the user's Startup folder.
    cp "$here/packaging/glowsweep-wizard-idle-at-logon.cmd" "$folder/"
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
    echo "windows-release.sh: Windows release folder $folder"
    echo "windows-release.sh: and as a .zip: $folder.zip"
}

build_windows "${1:-$here/build-windows-release}"
