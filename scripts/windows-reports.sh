#!/usr/bin/env bash
# Runs quadrun and linrun of the Windows build (.exe and .com) under Wine with the batch
# renderer, and checks that each writes the report of the Linux x86-64 build byte for byte,
# every line ending in CR LF instead of LF.
#   scripts/windows-reports.sh <windows build> <linux build>
# Reports go to <windows build>/reports.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/reports.sh
windows=$1
linux=$2

mkdir -p "$windows/reports"
failed=0
for program in quadrun linrun; do
    expected=$windows/reports/$program.linux.txt
    QUIL_RENDERER=batch "$linux/$program/$program" </dev/null | sed 's/$/\r/' >"$expected"
    for suffix in exe com; do
        if REFERENCE=$expected batch_report "$program" "$windows/reports/$program.$suffix.txt" \
               env -u DISPLAY -u WAYLAND_DISPLAY WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" \
               WINEPREFIX="$(cd "$windows" && pwd)/wineprefix" "$wine64" "$windows/$program/$program.$suffix"; then
            echo "windows-reports: $program.$suffix writes the Linux report," \
                 "${report_lines[$program]} lines ending in CR LF"
        else
            failed=1
        fi
    done
done
exit $failed
