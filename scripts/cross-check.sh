#!/usr/bin/env bash
# Builds the library, both programs and the library's tests for other targets, each with its
# toolchain file cmake/toolchains/TRIPLE.cmake, runs the tests under the target's emulator, and
# checks that quadrun's and linrun's batch reports there are byte-identical to the native ones.
#   scripts/cross-check.sh TRIPLE...    e.g. i686-linux-gnu aarch64-linux-gnu
# The native programs must be built in $BUILD (default build); the targets are built in
# $CROSS_BUILD/TRIPLE (default build-cross), the reports go to $CROSS_BUILD/reports.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/reports.sh

native=${BUILD:-build}
root=${CROSS_BUILD:-build-cross}
jobs=${JOBS:-$(nproc)}
programs=(quadrun linrun)

mkdir -p "$root/reports"
for program in "${programs[@]}"; do
    batch_report "$program" "$root/reports/native.$program.txt" "$native/$program/$program" || exit 1
done

summary=()
for triple in "$@"; do
    toolchain=cmake/toolchains/$triple.cmake
    [[ -f $toolchain ]] || { echo "cross-check: no toolchain file $toolchain" >&2; exit 2; }
    dir=$root/$triple
    start=$SECONDS
    echo "cross-check: $triple: building"
    cmake -G Ninja --toolchain "$toolchain" -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DQUIL_WERROR=ON >"$dir.configure.log" 2>&1 || { cat "$dir.configure.log"; exit 1; }
    cmake --build "$dir" -j "$jobs"
    echo "cross-check: $triple: testing"
    (cd "$dir" && ctest --output-on-failure --timeout 900 -j "$jobs") | tee "$dir.ctest.log"
    passed=$(sed -n 's/^100% tests passed, 0 tests failed out of \([0-9]*\)$/\1/p' "$dir.ctest.log")

    # The emulator the toolchain file chose (a CMake list), or none where programs run natively.
    emulator=$(sed -n 's/^CMAKE_CROSSCOMPILING_EMULATOR:[A-Z]*=//p' "$dir/CMakeCache.txt")
    IFS=';' read -r -a run_with <<<"$emulator"
    runner=${run_with[0]:-natively}
    for program in "${programs[@]}"; do
        REFERENCE=$root/reports/native.$program.txt batch_report "$program" \
            "$root/reports/$triple.$program.txt" "${run_with[@]}" "$dir/$program/$program" || exit 1
    done
    summary+=("$triple (run by ${runner##*/}): ${passed:-?} tests passed; quadrun's and linrun's reports byte-identical to the native ones; $((SECONDS - start)) s")
done

printf 'cross-check: %s\n' "${summary[@]}"
