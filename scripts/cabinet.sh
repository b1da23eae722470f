#!/usr/bin/env bash
# Makes the browser's code-download cabinet: OVCustInstSrv.inf from examples/setup/OVCustInstSrv.inf.in
# (class id of the coclass OVCustInst from the IDL, FILEVERSION from the version resource) and
# every file its [Add.Code] names: the given DLL and the custom files of examples/setup/.
#
#   scripts/cabinet.sh <OVCustInstSrv.dll> <output .cab>
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
dll="$1" cab="$2"
clsid=$(awk '/uuid\(/ { match($0, /uuid\([^)]*\)/); id = substr($0, RSTART + 5, RLENGTH - 6) }
             /coclass[ \t]+OVCustInst([^A-Za-z0-9_]|$)/ { print "{" toupper(id) "}"; exit }' "$root/src/server/OVCustInstSrv.idl")
# The version as the Windows Installer package reads it from the resource script, with commas.
version=$(python3 "$root/packaging/make_package.py" --print-version | tr . ,)
[[ "$clsid" =~ ^\{[0-9A-F-]{36}\}$ && "$version" =~ ^[0-9]+,[0-9]+,[0-9]+,[0-9]+$ ]] ||
    { echo "cabinet: cannot read the class id ($clsid) or the file version ($version)" >&2; exit 1; }

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
sed -e "s/@OV_CLSID@/$clsid/" -e "s/@OV_FILE_VERSION@/$version/" -e '/^;;/d' -e 's/$/\r/' \
    "$root/examples/setup/OVCustInstSrv.inf.in" >"$work/OVCustInstSrv.inf"
files=("$work/OVCustInstSrv.inf")
while IFS= read -r name; do
    if [ "${name,,}" = "ovcustinstsrv.dll" ]; then cp "$dll" "$work/$name"; else cp "$root/examples/setup/$name" "$work/$name"; fi
    files+=("$work/$name")
done < <(awk -F= '/^\[/ { in_code = ($0 ~ /^\[Add\.Code\]/); next } in_code && NF > 1 { print $1 }' \
             "$root/examples/setup/OVCustInstSrv.inf.in")
mkdir -p "$(dirname "$cab")"
rm -f "$cab"
gcab --create --nopath --zip "$cab" "${files[@]}"
echo "made $cab: ${files[*]##*/} (class $clsid, version $version)"
