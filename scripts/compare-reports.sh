#!/usr/bin/env bash
# Builds quadrun and linrun with each compiler and optimisation level, runs each once with the
# batch renderer, and checks that every build writes the same two reports, byte for byte.
#   scripts/compare-reports.sh                          g++ and clang++ at -O0, -O2 and
#                                                       -O3 -march=native (six builds)
#   scripts/compare-reports.sh g++:-O0 'clang++:-O2'    the builds named, compiler:flags
# Builds go to $CMP_BUILD/<name> (default build-cmp), reports to $CMP_BUILD/reports.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/reports.sh

root=${CMP_BUILD:-build-cmp}
jobs=${JOBS:-$(nproc)}
variants=("$@")
if [[ ${#variants[@]} -eq 0 ]]; then
    variants=("g++:-O0" "g++:-O2" "g++:-O3 -march=native"
              "clang++:-O0" "clang++:-O2" "clang++:-O3 -march=native")
fi

mkdir -p "$root/reports"
reference=""
failed=0
for variant in "${variants[@]}"; do
    cxx=${variant%%:*}
    flags=${variant#*:}
    name=$(printf '%s%s' "$cxx" "$flags" | tr -c 'A-Za-z0-9+=\n' '_')
    dir=$root/$name
    log=$root/$name.log
    echo "compare-reports: building with $cxx $flags"
    # No build type: the flags given are the only optimisation flags; a warning fails the build,
    # at every level, as in the make test builds.
    # Only the batch renderer is built: the report is the programs' and the library's, and the
    # Qt and terminal windows are built and tested by make test.
    if ! { cmake -G Ninja -S . -B "$dir" -DCMAKE_CXX_COMPILER="$cxx" -DCMAKE_BUILD_TYPE= \
               -DCMAKE_CXX_FLAGS="$flags" -DQUIL_WERROR=ON -DQUIL_BUILD_TESTS=OFF \
               -DQUIL_BUILD_EXAMPLES=OFF -DQUIL_BUILD_PYTHON=OFF -DQUIL_INSTALL=OFF \
               -DCMAKE_DISABLE_FIND_PACKAGE_Qt6=ON -DCMAKE_DISABLE_FIND_PACKAGE_Curses=ON &&
           cmake --build "$dir" -j "$jobs" --target quadrun linrun; } >"$log" 2>&1; then
        tail -n 40 "$log"
        echo "compare-reports: the build with $cxx $flags failed (log: $log)" >&2
        exit 1
    fi
    for program in quadrun linrun; do
        out=$root/reports/$name.$program.txt
        REFERENCE=${reference:+$root/reports/$reference.$program.txt} \
            batch_report "$program" "$out" "$dir/$program/$program" || failed=1
    done
    [[ -n $reference ]] || reference=$name
done

if [[ $failed -ne 0 ]]; then
    echo "compare-reports: the reports differ between builds" >&2
    exit 1
fi
echo "compare-reports: ${#variants[@]} builds compared; quadrun's and linrun's reports are" \
     "byte-identical in all of them"
