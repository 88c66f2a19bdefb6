#!/usr/bin/env bash
# Runs quadrun.exe and linrun.exe of the Windows build under Wine with the batch renderer, and
# checks that each writes the report of the Linux x86-64 build byte for byte, every line ended
# with CR LF instead of LF.
#   scripts/windows-reports.sh <windows build> <linux build>
# Reports go to <windows build>/reports.
set -euo pipefail
cd "$(dirname "$0")/.."
windows=$1
linux=$2
wine64=/usr/lib/wine/wine64

mkdir -p "$windows/reports"
failed=0
for program in quadrun linrun; do
    expected=$windows/reports/$program.linux.txt
    actual=$windows/reports/$program.windows.txt
    QUIL_RENDERER=batch "$linux/$program/$program" </dev/null | sed 's/$/\r/' >"$expected"
    env -u DISPLAY -u WAYLAND_DISPLAY WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" \
        WINEPREFIX="$(cd "$windows" && pwd)/wineprefix" QUIL_RENDERER=batch \
        "$wine64" "$windows/$program/$program.exe" </dev/null >"$actual"
    if cmp -s "$expected" "$actual"; then
        echo "windows-reports: $program.exe writes the Linux report, $(wc -l <"$actual") lines ending in CR LF"
    else
        echo "windows-reports: $program.exe differs from the Linux build's $program:" >&2
        diff "$expected" "$actual" | head -n 20 >&2 || true
        failed=1
    fi
done
exit $failed
