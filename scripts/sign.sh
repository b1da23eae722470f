#!/usr/bin/env bash
# Signs what the project ships with Authenticode (SHA-256) through osslsigncode.
#
#   scripts/sign.sh            stripped, signed copies of every artefact of the build in $OV_SIGN_OUT
#                              (default build/signed), at their paths in the build: bin/OVCustInstSrv.dll,
#                              the x86 module (OV_X86_DLL, default x86/bin/OVCustInstSrv.dll) where the
#                              build made one, the programs of tools/ (bin/*.exe), the Windows Installer
#                              package (OV_MSI, default package/*.msi) where there is one, and the
#                              code-download cabinet OVCustInstSrv.cab made from the signed DLL
#   scripts/sign.sh FILE...    signs the named files in place (the package programs ovpack wrote)
#
# The certificate: OV_SIGN_CERT (PEM certificate, or a .pfx/.p12 file holding certificate and
# key), OV_SIGN_KEY (PEM private key, with a .pem certificate), OV_SIGN_PASS_FILE (the key's
# password, when it has one), OV_SIGN_TIMESTAMP (an RFC 3161 time-stamp server's URL).
# Without OV_SIGN_CERT the build's test certificate is used, made once with openssl in
# build/signing/ (its subject says it is a test certificate).
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
source "$here/wine-env.sh"
source "$here/apt-need.sh"
ov_apt_need osslsigncode openssl gcab

# The build's own certificate, made again when missing or about to expire.
ov_test_certificate() {
    local dir="$OV_BUILD/signing"
    OV_TEST_CERT="$dir/test-certificate.pem"
    OV_TEST_KEY="$dir/test-key.pem"
    if [ -s "$OV_TEST_CERT" ] && [ -s "$OV_TEST_KEY" ] &&
       openssl x509 -checkend 86400 -noout -in "$OV_TEST_CERT" >/dev/null 2>&1; then
        return 0
    fi
    mkdir -p "$dir"
    openssl req -x509 -newkey rsa:2048 -nodes -sha256 -days 365 \
        -subj "/O=OVCustInstSrv/CN=OVCustInstSrv test signing certificate - not for release" \
        -addext "extendedKeyUsage=codeSigning" -addext "keyUsage=digitalSignature" \
        -keyout "$OV_TEST_KEY" -out "$OV_TEST_CERT" 2>/dev/null
    echo "made a test certificate: $OV_TEST_CERT"
}

if [ -n "${OV_SIGN_CERT:-}" ]; then
    case "$OV_SIGN_CERT" in
        *.pfx|*.p12) cert_args=(-pkcs12 "$OV_SIGN_CERT") ;;
        *) cert_args=(-certs "$OV_SIGN_CERT" -key "${OV_SIGN_KEY:?OV_SIGN_KEY names the key of OV_SIGN_CERT}") ;;
    esac
else
    ov_test_certificate
    cert_args=(-certs "$OV_TEST_CERT" -key "$OV_TEST_KEY")
fi
if [ -n "${OV_SIGN_PASS_FILE:-}" ]; then cert_args+=(-readpass "$OV_SIGN_PASS_FILE"); fi
if [ -n "${OV_SIGN_TIMESTAMP:-}" ]; then cert_args+=(-ts "$OV_SIGN_TIMESTAMP"); fi

# Signs $1 into $2 (the same file is fine); a file signed before gets the new signature instead.
ov_sign() {
    local tmp="$2.signing"
    rm -f "$tmp"
    if ! osslsigncode sign "${cert_args[@]}" -h sha256 -n "OVCustInstSrv" -in "$1" -out "$tmp" >"$tmp.log" 2>&1; then
        cat "$tmp.log" >&2
        rm -f "$tmp" "$tmp.log"
        echo "sign: cannot sign $1" >&2
        return 1
    fi
    rm -f "$tmp.log"
    mv -f "$tmp" "$2"
    echo "signed $2"
}

if [ $# -gt 0 ]; then
    for f in "$@"; do ov_sign "$f" "$f"; done
    exit 0
fi

out="${OV_SIGN_OUT:-$OV_BUILD/signed}"
x86_dll="${OV_X86_DLL:-$OV_BUILD/x86/bin/OVCustInstSrv.dll}"
if [ -n "${OV_MSI:-}" ]; then msis=("$OV_MSI"); else msis=("$OV_BUILD"/package/*.msi); fi
[ -f "$OV_BUILD/bin/OVCustInstSrv.dll" ] || { echo "sign: build first (scripts/build.sh)" >&2; exit 1; }
case "$(cd "$out" 2>/dev/null && pwd)" in
    /|"$OV_ROOT"|"$OV_BUILD") echo "sign: OV_SIGN_OUT must name a folder of its own, not $out" >&2; exit 1 ;;
esac
rm -rf "$out"  # nothing left from an earlier build
# What ships carries no debug information: it goes into a file of its own beside the copy
# (NAME.debug, linked from the program so a debugger finds it) and stays out of the packages.
ov_strip_into() {
    local arch objcopy
    arch=$(x86_64-w64-mingw32-objdump -f "$1" 2>/dev/null | sed -n 's/.*file format //p')
    case "$arch" in
        pei-x86-64) objcopy=x86_64-w64-mingw32-objcopy ;;
        pei-i386) objcopy=i686-w64-mingw32-objcopy ;;
        *) cp "$1" "$2"; return 0 ;;
    esac
    if ! x86_64-w64-mingw32-objdump -h "$1" | grep -q '\.debug_info'; then cp "$1" "$2"; return 0; fi
    "$objcopy" --only-keep-debug "$1" "$2.debug"
    "$objcopy" --strip-all --add-gnu-debuglink="$2.debug" "$1" "$2"
}
# A stripped, signed copy at the file's path in the build (its name alone for a file from elsewhere).
ov_sign_copy() {
    local rel="${1#"$OV_BUILD"/}"
    [ "$rel" != "$1" ] || rel="${1##*/}"
    mkdir -p "$(dirname "$out/$rel")"
    ov_strip_into "$1" "$out/$rel"
    ov_sign "$out/$rel" "$out/$rel"
    signed_copy="$out/$rel"
}
ov_sign_copy "$OV_BUILD/bin/OVCustInstSrv.dll"
cab_dll="$signed_copy"
if [ -f "$x86_dll" ]; then
    ov_sign_copy "$x86_dll"
    cab_dll="$signed_copy"
fi
for program in "$OV_BUILD"/bin/*.exe; do ov_sign_copy "$program"; done
# The Windows Installer package made again from the stripped, signed modules, then signed itself.
for package in "${msis[@]}"; do
    [ -f "$package" ] || continue
    [ -f "$out/x86/bin/OVCustInstSrv.dll" ] || { echo "sign: the package needs the x86 module" >&2; exit 1; }
    python3 "$OV_ROOT/packaging/make_package.py" --x64 "$out/bin/OVCustInstSrv.dll" \
        --x86 "$out/x86/bin/OVCustInstSrv.dll" --ovlog "$out/bin/ovlog.exe" --out-dir "$out/package" >/dev/null
    ov_sign "$out/package/${package##*/}" "$out/package/${package##*/}"
done
# The browser's code download: the signed DLL (the x86 one where there is one) in a signed cabinet.
"$here/cabinet.sh" "$cab_dll" "$out/OVCustInstSrv.cab"
ov_sign "$out/OVCustInstSrv.cab" "$out/OVCustInstSrv.cab"
