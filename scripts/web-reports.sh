#!/usr/bin/env bash
# Runs quadrun and linrun of the WebAssembly build under Node.js with the batch renderer, and
# checks that each writes the native build's report byte for byte.
#   scripts/web-reports.sh <web build> <native build>
# Reports go to <web build>/reports.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/reports.sh
web=$1
native=$2

# The Node.js that the toolchain file found.
node=$(sed -n 's/^CMAKE_CROSSCOMPILING_EMULATOR:[A-Z]*=//p' "$web/CMakeCache.txt")
mkdir -p "$web/reports"
failed=0
for program in quadrun linrun; do
    expected=$web/reports/$program.native.txt
    batch_report "$program" "$expected" "$native/$program/$program" || exit 1
    if REFERENCE=$expected batch_report "$program" "$web/reports/$program.node.txt" "$node" "$web/site/$program.js"; then
        echo "web-reports: $program.js under Node.js writes the native report, ${report_lines[$program]} lines"
    else
        failed=1
    fi
done
exit $failed
