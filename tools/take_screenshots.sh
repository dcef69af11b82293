#!/usr/bin/env bash
# Takes the README's screenshots with the end-to-end harness: the program on an X server with two
# monitors (Xorg with the dummy driver), its settings in a private folder.
#
#   tools/take_screenshots.sh [PROGRAM [E2E_MATCHFRAME [OUTPUT_FOLDER]]]
#
# Defaults: build/glowsweep-wizard, build/tests/e2e/e2e_matchframe, docs/. Writes
# main-window.png (the main window) and wash.png (a wash of the second monitor beside the main
# window, scaled to half size). Needs root, like the end-to-end tests.
# shellcheck source-path=SCRIPTDIR
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
program=${1:-$root/build/glowsweep-wizard}
matchframe=${2:-$root/build/tests/e2e/e2e_matchframe}
out=${3:-$root/docs}
[ "$(id -u)" -eq 0 ] || {
    echo "take_screenshots.sh: Xorg with the dummy driver and mount namespaces need root" >&2
    exit 1
}
# shellcheck source=../tests/e2e/xharness.sh
source "$root/tests/e2e/xharness.sh"
# shellcheck source=../tests/e2e/e2elib.sh
source "$root/tests/e2e/e2elib.sh"
e2e_init "$program" "$matchframe"
mkdir -p "$out"

die() {
    echo "take_screenshots.sh: $*" >&2
    exit 1
}

xh_start_xorg 1920x1080+0+0 1920x1080+1920+0 || die "no X server"
# A desktop colour, so that the washed monitor stands out from the other one.
xsetroot -solid '#3b6e8f'
settings=$(xh_tempdir settings)
write_settings "$settings" "Config(Activate=0)" \
    "AddMonitor(ScanRate=2,BarSize=2,HBars=2,VBars=3)" \
    "AddMonitor(ScanRate=2,BarSize=2,HBars=2,VBars=4)"
app_start "$settings" || die "the program shows no main window"

read -r x y w h <<<"$(xh_window_geometry "$APP_WIN")"
preview=$(preview_rect)
xh_poll 60 matches_now "$preview:2,3,2,2" || die "the preview never matched"
convert "$MATCH_SHOT" -crop "${w}x$h+$x+$y" +repage "png:$out/main-window.png"

select_monitor 1
press_activate Return || die "no confirmation"
read -r mx my mw mh <<<"$(xh_monitor 1)"
xh_poll 30 matches_now "${mw}x$mh+$mx+$my:2,4,2,2" || die "the wash never matched"
convert "$MATCH_SHOT" -resize 50% -strip "png:$out/wash.png"

xh_focus "$(wash_window_at $((mx + 10)) $((my + 10)))" && xh_key Escape
xh_poll 30 e2e__wash_windows_are "" || die "the wash did not stop"
app_close || die "the program did not end"
echo "take_screenshots.sh: wrote $out/main-window.png and $out/wash.png"
