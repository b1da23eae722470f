#!/usr/bin/env bash
# Every artefact that scripts/sign.sh signed verifies against the build's test certificate, and
# none does once one byte of it has changed. One line per row; the failing rows are named.
set -uo pipefail
build="$1" signed="$2"
cert="$build/signing/test-certificate.pem"
source "${BASH_SOURCE%/*}/../support/rows.sh"
verifies() { osslsigncode verify -CAfile "$cert" -in "$1"; }
fails_to_verify() { ! verifies "$1"; }

row "the test certificate says it is one" sh -c "openssl x509 -noout -subject -in '$cert' | grep -q 'test signing certificate'"
# What must have been signed: the DLL, each program of build/bin, the cabinet, and the 32-bit
# DLL and the Windows Installer package where the build made them.
expected=("$signed/bin/OVCustInstSrv.dll" "$signed/OVCustInstSrv.cab")
for f in "$build"/bin/*.exe; do expected+=("$signed/bin/${f##*/}"); done
for f in "${OV_MSI:-$build/package/OVCustInstSrv.msi}" "${OV_X86_DLL:-$build/x86/bin/OVCustInstSrv.dll}"; do
    if [ -f "$f" ]; then expected+=("$signed/${f#"$build"/}"); fi
done
for f in "${expected[@]}"; do row "${f#"$signed"/} verifies" verifies "$f"; done

# One byte changed after signing, in the middle of each kind of file, breaks the signature.
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
for f in "${expected[@]}"; do
    kind="${f##*.}"
    [ -e "$work/$kind" ] && continue
    cp "$f" "$work/$kind"
    at=$(( $(stat -c %s "$f") / 2 ))
    byte=$(od -An -tu1 -j "$at" -N1 "$f" | tr -d ' ')
    printf "$(printf '\\%03o' $(( (byte + 1) % 256 )))" | dd of="$work/$kind" bs=1 seek="$at" conv=notrunc 2>/dev/null
    row "a .$kind with one byte changed after signing fails" fails_to_verify "$work/$kind"
done
row "an unsigned DLL fails" fails_to_verify "$build/bin/OVCustInstSrv.dll"

# What ships carries no debug information: it lies beside each module, and the signed package
# holds the stripped, signed modules themselves.
no_debug() { ! x86_64-w64-mingw32-objdump -h "$1" | grep -q '[.]debug_'; }
for f in "${expected[@]}"; do
    case "$f" in *.dll|*.exe) row "${f#"$signed"/} carries no debug information" no_debug "$f" ;; esac
done
row "the DLL's debug information lies beside it" test -s "$signed/bin/OVCustInstSrv.dll.debug"
if [ -f "${OV_MSI:-}" ] && msiextract -C "$work/msi" "$signed/package/${OV_MSI##*/}" >/dev/null; then
    for dll in "$signed/bin/OVCustInstSrv.dll" "$signed/x86/bin/OVCustInstSrv.dll"; do
        row "the signed package holds ${dll#"$signed"/}" sh -c 'find "$1" -name OVCustInstSrv.dll -exec cmp -s "$2" {} \; -print | grep -q .' \
            sh "$work/msi" "$dll"
    done
fi

# The signed DLL registers, and the class is then served from it; the build's DLL again after.
source "$(dirname "$0")/../../scripts/wine-env.sh"
signed_dll="$(winepath -w "$signed/bin/OVCustInstSrv.dll")"
serves() {
    local clsid
    clsid=$(wine reg query 'HKCR\OVCustInstSrv.OVCustInst\CLSID' /ve | tr -d '\r' | grep -o '{[^}]*}') &&
        wine reg query "HKCR\\CLSID\\$clsid\\InprocServer32" /ve | tr -d '\r' | grep -qiF "$1"
}
row "the signed DLL registers" wine regsvr32 /s "$signed_dll"
row "the class is served from the signed DLL" serves "$signed_dll"
wine regsvr32 /s "$(winepath -w "$build/bin/OVCustInstSrv.dll")"
rows_end
