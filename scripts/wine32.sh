# Sourced by setup.sh: a 32-bit Wine (wine32:i386) runs the x86 server under a 32-bit cscript.
# It is tried once per machine and the outcome kept in a marker file, so later runs neither pay
# for a new attempt nor fail for a missing one; the tests print the reason when it is missing.
OV_WINE32_MARKER="${OV_WINE32_MARKER:-${XDG_CACHE_HOME:-$HOME/.cache}/ovcustinstsrv/wine32-attempt}"
export OV_WINE32_MARKER

ov_have_wine32() {
    dpkg -s wine32:i386 >/dev/null 2>&1
}

ov_try_wine32() {
    ov_have_wine32 && return 0
    [ -f "$OV_WINE32_MARKER" ] && return 0
    mkdir -p "$(dirname "$OV_WINE32_MARKER")"
    local sudo="" log reason=""
    [ "$(id -u)" -eq 0 ] || sudo=sudo
    log="$(mktemp)"
    echo "trying once to install a 32-bit Wine (wine32:i386); the outcome is kept in $OV_WINE32_MARKER"
    local added=0
    if ! dpkg --print-foreign-architectures | grep -qx i386; then
        $sudo dpkg --add-architecture i386 && added=1
    fi
    if ! $sudo apt-get update -qq >"$log" 2>&1; then
        reason="apt-get update with i386 failed: $(grep -m1 -E '^(E|W):' "$log" || tail -n1 "$log")"
    fi
    if ! DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends wine32:i386 >>"$log" 2>&1; then
        [ -n "$reason" ] || reason="apt-get install wine32:i386 failed: $(grep -m1 -E '^E:' "$log" || tail -n1 "$log")"
    fi
    if ov_have_wine32; then
        echo "installed $(date -u +%F): wine32:i386 $(dpkg-query -W -f='${Version}' wine32:i386)" >"$OV_WINE32_MARKER"
    else
        [ -n "$reason" ] || reason="wine32:i386 is not installed after apt-get"
        # Without the architecture removed again every later apt-get update fails the same way.
        if [ "$added" = 1 ]; then
            $sudo dpkg --remove-architecture i386 || true
            $sudo apt-get update -qq >/dev/null 2>&1 || true
        fi
        reason="$(printf '%s' "$reason" | sed -e 's/ *\[IP: [^]]*\]//' -e 's#[a-z]*://[^ ]*#the i386 index#')"
        echo "failed $(date -u +%F): $reason" >"$OV_WINE32_MARKER"
        echo "no 32-bit Wine: $reason (not tried again while $OV_WINE32_MARKER exists)"
    fi
    rm -f "$log"
    return 0
}

# One line for the test run: why the x86 server does not run here, or nothing when it can.
ov_wine32_missing_reason() {
    ov_have_wine32 && return 0
    if [ -f "$OV_WINE32_MARKER" ]; then cat "$OV_WINE32_MARKER"; else echo "not tried yet"; fi
}
