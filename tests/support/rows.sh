# Checks as rows: each prints "ok" or "FAIL" and its name; rows_end fails when any row did.
failures=0
exec {row_fd}>/dev/null  # where a check's own output goes: set row_fd=1 to keep it
row() {  # row NAME COMMAND...: the command must succeed
    local name="$1"; shift
    if "$@" >&"$row_fd" 2>&1; then echo "ok    $name"; else echo "FAIL  $name"; failures=$((failures + 1)); fi
}
rows_end() { echo "$failures failing rows"; [ "$failures" -eq 0 ]; }
