#!/usr/bin/env bash
# Draws a picture of a Windows program's window after a Run: the program under Wine on an
# Xvfb display of its own, Run pressed with the Enter key, the window (with the frame and
# caption that Wine draws) saved as PNG, and the program closed with Escape.
#   scripts/windows-screenshot.sh <windows build> <program> <picture.png>
set -euo pipefail
build=$(cd "$1" && pwd)
program=$2
picture=$3
caption="QUIL Library Test Platform"

if [[ -z ${QUIL_SCREENSHOT_DISPLAY:-} ]]; then
    # A display of our own, from :175 up.
    exec xvfb-run --auto-servernum --server-num=175 --server-args="-screen 0 1024x768x24" \
        env QUIL_SCREENSHOT_DISPLAY=1 "$0" "$@"
fi

# The prefix the build set up for its window test, which these settings do not disturb.
export WINEPREFIX=$build/wineprefix-display WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
source "$(dirname "$0")/reports.sh"
# Wine draws the frame itself, as Windows would, since no window manager runs here, with
# its own fonts (Marlett for the caption buttons), which Debian's Wine does not find by itself.
"$wine64" reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d N /f >/dev/null 2>&1
cp /usr/share/wine/fonts/*.ttf "$WINEPREFIX/drive_c/windows/Fonts/"
"$wine64" "$build/$program/$program.exe" >/dev/null 2>&1 &
pid=$!
trap '"${wine64%/*}/wineserver" -k 2>/dev/null || true' EXIT
window=$(timeout 60 xdotool search --sync --name "^$caption\$" | head -n 1)
xdotool windowfocus --sync "$window"
xdotool key Return
sleep 3   # the Run, and Wine drawing its result
xwd -silent -id "$window" | xwdtopnm 2>/dev/null | pnmtopng >"$picture"
xdotool key Escape
for _ in $(seq 30); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 1
done
if kill -0 "$pid" 2>/dev/null; then
    echo "windows-screenshot: $program.exe did not close on Escape" >&2
    exit 1
fi
echo "windows-screenshot: wrote $picture"
