#!/usr/bin/env bash
# Stages `cmake --install` of a build folder into a temporary DESTDIR and checks what lands there:
# exactly the expected files, the desktop entry and the AppStream metainfo valid and naming each
# other and the icons, icons of the sizes their folders claim, a help page that needs nothing from
# the network, and a shared settings folder outside the prefix that every user can write.
#
#   test_install.sh BUILD_DIR
set -euo pipefail

build=${1:?usage: test_install.sh BUILD_DIR}
id=org.example.kestrion.GlowsweepWizard
prefix=/usr/local
stage=$(mktemp -d "${TMPDIR:-/tmp}/gsw-install.XXXXXX")
trap 'rm -rf -- "$stage"' EXIT

# shellcheck source=checks.sh
source "$(dirname "${BASH_SOURCE[0]}")/checks.sh"

if ! DESTDIR=$stage cmake --install "$build" --prefix "$prefix" >"$stage.log" 2>&1; then
    cat "$stage.log"
    rm -f "$stage.log"
    echo "FAIL cmake --install"
    exit 1
fi
rm -f "$stage.log"
root=$stage$prefix
share=$root/share

icon_sizes=(16 24 32 48 64 128 256)
expected=(
    "$prefix/bin/glowsweep-wizard"
    "$prefix/share/applications/$id.desktop"
    "$prefix/share/doc/glowsweep-wizard/changelog.gz"
    "$prefix/share/doc/glowsweep-wizard/copyright"
    "$prefix/share/man/man1/glowsweep-wizard.1.gz"
    "$prefix/share/glowsweep-wizard/help.html"
    "$prefix/share/glowsweep-wizard/glowsweep-wizard-idle.desktop"
    "$prefix/share/icons/hicolor/scalable/apps/$id.svg"
    "$prefix/share/metainfo/$id.metainfo.xml"
    "/var/lib/Glowsweep Wizard/"
)
for size in "${icon_sizes[@]}"; do
    expected+=("$prefix/share/icons/hicolor/${size}x$size/apps/$id.png")
done
# Files, and folders that are empty: what the package would carry.
actual=$(cd "$stage" && find . \( -type f -o -type d -empty \) -printf '/%P%y\n' |
    sed 's/d$/\//; s/f$//' | LC_ALL=C sort)
check "installed files" "$(printf '%s\n' "${expected[@]}" | LC_ALL=C sort)" "$actual"

check "program is executable" yes "$([ -x "$root/bin/glowsweep-wizard" ] && echo yes || echo no)"
check "settings folder mode: every user writes, no sticky bit" 777 \
    "$(stat -c %a "$stage/var/lib/Glowsweep Wizard" 2>&1)"

desktop=$share/applications/$id.desktop
metainfo=$share/metainfo/$id.metainfo.xml
idle_desktop=$share/glowsweep-wizard/glowsweep-wizard-idle.desktop
check "desktop-file-validate" "" "$(desktop-file-validate "$desktop" "$idle_desktop" 2>&1)"
check "appstreamcli validate" 0 "$(appstreamcli validate --no-net "$metainfo" >/dev/null 2>&1; echo $?)"
tree_log=$(appstreamcli validate-tree --no-net "$stage$prefix" 2>&1) && tree_status=0 || tree_status=$?
check "appstreamcli validate-tree" 0 "$tree_status"
[ "$tree_status" -eq 0 ] || echo "$tree_log"

# key NAME [GROUP]: a key of the main group, or of a group such as "Desktop Action wash-all".
key() { sed -n "/^\[${2:-Desktop Entry}\]/,/^\[/ s/^$1=//p" "$desktop"; }
check "desktop entry runs the installed program" glowsweep-wizard "$(key Exec)"
check "desktop actions wash every monitor, the second for 30 minutes" \
    "glowsweep-wizard --wash all|glowsweep-wizard --wash all --duration 30m" \
    "$(key Exec "Desktop Action wash-all")|$(key Exec "Desktop Action wash-all-30-minutes")"
check "desktop entry icon is the application id" "$id" "$(key Icon)"
check "metainfo id" "$id" "$(sed -n 's:.*<id>\(.*\)</id>.*:\1:p' "$metainfo")"
check "metainfo launches the desktop entry" "$id.desktop" \
    "$(sed -n 's:.*<launchable type="desktop-id">\(.*\)</launchable>.*:\1:p' "$metainfo")"

for size in "${icon_sizes[@]}"; do
    icon=$share/icons/hicolor/${size}x$size/apps/$id.png
    check "icon ${size}x$size" "PNG ${size}x$size" "$(identify -format '%m %wx%h' "$icon" 2>&1)"
done
svg=$share/icons/hicolor/scalable/apps/$id.svg
# ImageMagick reads SVG only through an optional delegate; librsvg is the SVG reader itself.
check "scalable icon is an SVG that renders at its 256 px size" "PNG 256x256" \
    "$(rsvg-convert "$svg" 2>&1 | identify -format '%m %wx%h' - 2>&1)"

help=$share/glowsweep-wizard/help.html
check "help page found where the program looks (bin/../share)" yes \
    "$([ -f "$root/bin/../share/glowsweep-wizard/help.html" ] && echo yes || echo no)"
external=$(grep -noiE '(src|href)[[:space:]]*=[[:space:]]*"?(https?:)?//|<link|@import|url\(' "$help" ||
    true)
check "help page loads nothing from elsewhere" "" "$external"
for topic in "Glowsweep scan rate" "Glowsweep bar size" "Vertical bar(s)" "Horizontal bar(s)" \
    "Selected Monitor" "All Monitors" "Activate Glowsweep" "Deactivate Glowsweep" "Esc" \
    "lumenrun.config" "/var/lib/Glowsweep Wizard/"; do
    check "help page covers '$topic'" 1 "$(grep -cF -- "$topic" "$help" | sed 's/^[1-9][0-9]*$/1/')"
done

e2e_finish
