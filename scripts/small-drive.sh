# Sourced by test.sh: drive T: of the prefix on a small tmpfs, for the free-space tests.
# Needs root (CI has it); without it the tests that need the drive skip themselves.
ov_small_drive_start() {
    OV_SMALL_DIR="$(mktemp -d /tmp/ov-smalldrive.XXXXXX)"
    if mount -t tmpfs -o size=512k tmpfs "$OV_SMALL_DIR" 2>/dev/null; then
        ln -sfn "$OV_SMALL_DIR" "$WINEPREFIX/dosdevices/t:"
        export OV_SMALL_DRIVE="T:"
        echo "small drive T: on tmpfs $OV_SMALL_DIR"
    else
        rmdir "$OV_SMALL_DIR"
        OV_SMALL_DIR=""
        # CI runs as root: there the threshold tests must run, not skip.
        if [ -n "${CI:-}" ]; then
            echo "cannot mount the small tmpfs drive for the free-space tests" >&2
            return 1
        fi
        echo "no tmpfs mount (not root?): free-space threshold tests will skip"
    fi
}
ov_small_drive_stop() {
    if [ -n "${OV_SMALL_DIR:-}" ]; then
        rm -f "$WINEPREFIX/dosdevices/t:"
        umount "$OV_SMALL_DIR" 2>/dev/null || true
        rmdir "$OV_SMALL_DIR" 2>/dev/null || true
    fi
}
