# Sourced by the scripts that compare reports: the one batch-and-compare step, the report's
# length and where Wine is.

# The lines each program's report has.
declare -A report_lines=([quadrun]=211 [linrun]=138)

# Debian keeps wine64 outside PATH.
wine64=$(command -v wine64 || echo /usr/lib/wine/wine64)

# batch_report PROGRAM OUT COMMAND...: runs COMMAND (the program, after any emulator words)
# with the batch renderer and writes its report to OUT; then checks that the report has
# PROGRAM's number of lines and, where REFERENCE is set, is REFERENCE byte for byte. Says what
# differs on standard error and returns 1 when it does not hold.
batch_report() {
    local program=$1 out=$2
    shift 2
    QUIL_RENDERER=batch "$@" >"$out" </dev/null
    local lines
    lines=$(wc -l <"$out")
    if [[ $lines -ne ${report_lines[$program]} ]]; then
        echo "$program ($*) wrote $lines lines, not ${report_lines[$program]}" >&2
        return 1
    fi
    if [[ -n ${REFERENCE:-} ]] && ! cmp -s "$REFERENCE" "$out"; then
        echo "$program ($*) differs from $REFERENCE:" >&2
        diff "$REFERENCE" "$out" | head -n 20 >&2 || true
        return 1
    fi
}
