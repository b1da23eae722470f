# Sourced: one persistent wineserver for the prefix while the calling script runs.
ov_wine_start() {
    wineserver -p 2>/dev/null || true  # already running for this prefix is fine
    # The first wine process starts background services that inherit its output; let them
    # start here rather than under a pipe.
    wineboot </dev/null >/dev/null 2>&1
}
ov_wine_stop() {
    wineserver -k 2>/dev/null || true
}
