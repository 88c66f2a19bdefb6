#!/usr/bin/env bash
# Builds the library, both programs and the library's tests for other targets, each with its
# toolchain file cmake/toolchains/TRIPLE.cmake, runs the tests under the target's emulator, and
# checks that quadrun's and linrun's batch reports there are byte-identical to the native ones.
#   scripts/cross-check.sh TRIPLE...    e.g. i686-linux-gnu aarch64-linux-gnu
# The native programs must be built in $BUILD (default build); the targets are built in
# $CROSS_BUILD/TRIPLE (default build-cross), the reports go to $CROSS_BUILD/reports.
set -euo pipefail
cd "$(dirname "$0")/.."

native=${BUILD:-build}
root=${CROSS_BUILD:-build-cross}
jobs=${JOBS:-$(nproc)}
declare -A expected_lines=([quadrun]=211 [linrun]=138)
programs=(quadrun linrun)

# Runs program (a path) with the batch renderer, through the emulator words that follow it;
# its report goes to out.
report() {
    local program=$1 out=$2
    shift 2
    QUIL_RENDERER=batch "$@" "$program" >"$out" </dev/null
}

mkdir -p "$root/reports"
for program in "${programs[@]}"; do
    out=$root/reports/native.$program.txt
    report "$native/$program/$program" "$out"
    lines=$(wc -l <"$out")
    if [[ $lines -ne ${expected_lines[$program]} ]]; then
        echo "cross-check: the native $program wrote $lines lines, not ${expected_lines[$program]}" >&2
        exit 1
    fi
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
    for program in "${programs[@]}"; do
        out=$root/reports/$triple.$program.txt
        exe=$dir/$program/$program
        report "$exe" "$out" "${run_with[@]}"
        if ! cmp -s "$root/reports/native.$program.txt" "$out"; then
            echo "cross-check: $triple: $program's report differs from the native one:" >&2
            diff "$root/reports/native.$program.txt" "$out" | head -n 20 >&2 || true
            exit 1
        fi
    done
    summary+=("$triple: ${passed:-?} tests passed; quadrun's and linrun's reports byte-identical to the native ones; $((SECONDS - start)) s")
done

printf 'cross-check: %s\n' "${summary[@]}"
