#!/usr/bin/env bash
# The set-up page's steps, run through setup.wsf under cscript against the registered control,
# on a workstation of the test's own: install path, local path and script server in a sandbox
# folder, the QuietUI policy set so that failures are logged without boxes. The packages are
# built by ovpack and signed; the download folder gets what the signed cabinet holds. Each row
# names the step and what it must print or leave; the registry is put back at the end.
set -uo pipefail
src="$1" build="$2" signed="$3"
source "$src/scripts/wine-env.sh"
root='C:\ovtest\setup-steps'
root_unix="$WINEPREFIX/drive_c/ovtest/setup-steps"
key='HKLM\SOFTWARE\Orvanta'
work="$(mktemp -d)"
source "${BASH_SOURCE%/*}/../support/rows.sh"
printed() { grep -qF -- "$1" <<<"$out"; }
step() {  # runs setup.wsf with the arguments: its output in $out, its exit code in $rc
    # Through a file: the editor that a step starts keeps the output open.
    bash "$src/scripts/run-wsf.sh" "$src/examples/setup/setup.wsf" "$@" >"$work/step.txt" 2>&1
    rc=$?
    out="$(tr -d '\r' <"$work/step.txt")"
    printf '%s\n' "$out" | sed 's/^/    | /'
}
ovpack() { wine "$build/bin/ovpack.exe" "$@" >/dev/null; }
in_file() { grep -qF -- "$2" "$1"; }

cleanup() {
    wine reg delete "$key" /f >/dev/null 2>&1
    [ -s "$work/orvanta.reg" ] && wine reg import "$(winepath -w "$work/orvanta.reg")" >/dev/null 2>&1
    if [ -n "${download:-}" ]; then
        rm -f "$download/OVCustInstSrv.inf" "$download/OVCustInstSrv.dll" "$download/Z4SetupCheck.asl"
        [ -n "${made_download:-}" ] && rmdir "$download"
    fi
    rm -rf "$root_unix" "$work"
}
trap cleanup EXIT
trap "exit 1" INT TERM
wine reg export "$key" "$(winepath -w "$work/orvanta.reg")" /y >/dev/null 2>&1 || rm -f "$work/orvanta.reg"
rm -rf "$root_unix"
mkdir -p "$root_unix/Orvanta/Pellar"
wine reg add "$key" /v InstallPath /d "$root\\Orvanta" /f >/dev/null
wine reg add "$key" /v DOSInstallPath /d "$root\\Local\\" /f >/dev/null
wine reg add "$key" /v QuietUI /t REG_DWORD /d 1 /f >/dev/null
pellar="$root_unix/Orvanta/Pellar" server="$root_unix/Server"

step /step:discover "/server:$root\\Server"
row "discover: S_OK" test "$rc" -eq 0
row "discover: prints the server it set up" printed "ServerPath         = $root\\Server"
row "discover: wrote Wkstn.ini" test -f "$root_unix/Orvanta/Wkstn.ini"
download="$(winepath -u "$(sed -n 's/^ *DownloadPath *= //p' <<<"$out")")"

printf '[ORVAN]\r\nMLVer=3.1\r\n' >"$pellar/OVMLSInstall.inf"
step /step:install-scripts
row "install-scripts without SEE: exit 1" test "$rc" -eq 1
row "install-scripts without SEE: E_FAIL in words" printed "result: 0x80004005 E_FAIL"
row "install-scripts without SEE: names the log" printed "log: $root\\Orvanta\\OVCILog.txt"
row "install-scripts without SEE: shows the record" printed "HRESULT: 80040201"
row "install-scripts without SEE: shows its reason" printed "Could not find ORVAN data."

ovpack scripts 3.1 "Z:$src/examples/scripts" "$root\\Orvanta\\Pellar"
bash "$src/scripts/sign.sh" "$pellar/MLS3.1.exe" >/dev/null
row "the signed package verifies" osslsigncode verify -CAfile "$build/signing/test-certificate.pem" -in "$pellar/MLS3.1.exe"
step /step:install-scripts
row "install-scripts, signed package: S_OK" test "$rc" -eq 0
row "install-scripts, signed package: unpacked its files" test -f "$server/Scripts/Library/Text Tools.asl"
row "install-scripts, signed package: recorded its version" in_file "$server/Orvan.ini" "MLVer=3.1"

ovpack dev 3.2 "Z:$src/examples/scripts/Library" "$root\\Orvanta\\Pellar"
bash "$src/scripts/sign.sh" "$pellar/MLD3.2.exe" >/dev/null
step /step:install-dev
row "install-dev, signed package: S_OK" test "$rc" -eq 0
row "install-dev, signed package: recorded its version" in_file "$server/Orvan.ini" "MLDVer=3.2"

# What the browser leaves in its download folder after the code download.
[ -d "$download" ] || { mkdir -p "$download" && made_download=1; }
cabextract -q -d "$download" "$signed/OVCustInstSrv.cab" 2>/dev/null
step /step:copy-custom
row "copy-custom: S_OK" test "$rc" -eq 0
row "copy-custom: the custom file is in the production scripts" \
    cmp "$src/examples/setup/Z4SetupCheck.asl" "$server/Scripts/Prod/Z4SetupCheck.asl"

mkdir -p "$work/editor" "$work/help"
cp "$build/bin/seditor.exe" "$work/editor/"
echo "How to edit scripts." >"$work/help/scrpedtr.txt"
ovpack editor1 1.0 "Z:$work/editor" "$root\\Orvanta\\Pellar"
ovpack editor2 1.0 "Z:$work/help" "$root\\Orvanta\\Pellar"
printf 'UpdatedFromThisWorkstation=no\r\n' >>"$pellar/OVMLEInstall.inf"
step /step:editor
row "editor: S_OK" test "$rc" -eq 0
row "editor: the editor's window was open" wine "$root_unix/Local/Pellar/Apps/seditor.exe" /close

rows_end
