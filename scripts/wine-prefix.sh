# Sourced: creates the headless Wine prefix $WINEPREFIX (about 6 s).
ov_make_prefix() {
    mkdir -p "$WINEPREFIX"
    wineboot -i </dev/null >/dev/null 2>&1
    # Null graphics driver: windows, dialogs and message boxes work without a display.
    wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f </dev/null >/dev/null 2>&1
    # A crash prints a backtrace and exits instead of waiting on winedbg's dialog.
    wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f </dev/null >/dev/null 2>&1
    # Both settings take effect from the next wineserver session.
    wineserver -k || true
}
