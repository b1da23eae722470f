#!/usr/bin/env bash
# The demo's second half: signs what the build ships (build/signed), then runs the sample set-up
# page's steps through setup.wsf on the workstation that examples/demo.js left set up, as an
# administrator's script would: with the QuietUI policy, so no box waits for an answer.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
# In the demo's prefix: scripts/demo.sh exports it with the rest of the Wine settings.
[ -n "${WINEPREFIX:-}" ] || source "$here/wine-env.sh"
key='HKLM\SOFTWARE\Orvanta'

echo
echo "== signing the artefacts (scripts/sign.sh)"
"$here/sign.sh"
pellar="$(winepath -u "$(wine reg query "$key" /v InstallPath | tr -d '\r' | sed -n 's/.*REG_SZ *//p')\\Pellar")"
for package in "$pellar"/MLS*.exe; do "$here/sign.sh" "$package"; done

step() {
    echo
    echo "== cscript //nologo setup.wsf $*"
    # Through a file, not a pipe: the editor that a step starts keeps its output open.
    "$here/run-wsf.sh" "$OV_ROOT/examples/setup/setup.wsf" "$@" >"$OV_BUILD/setup-step.txt" || true
    tr -d '\r' <"$OV_BUILD/setup-step.txt"
}
wine reg add "$key" /v QuietUI /t REG_DWORD /d 1 /f >/dev/null
trap 'wine reg delete "$key" /v QuietUI /f >/dev/null 2>&1' EXIT
step /step:discover
layout() { winepath -u "$(tr -d '\r' <"$OV_BUILD/setup-step.txt" | sed -n "s/^ *$1 *= //p")"; }
download="$(layout DownloadPath)" editor="$(layout LocalPLORVANPath)/Apps/seditor.exe"
# What the browser leaves in its download folder once it has installed the control.
mkdir -p "$download"
cabextract -q -d "$download" "$OV_BUILD/signed/OVCustInstSrv.cab" 2>/dev/null
echo "extracted the signed OVCustInstSrv.cab into $download: $(ls "$download" | tr '\n' ' ')"
step /step:install-scripts
step /step:install-dev  # no development package in this install: fails, and shows why
step /step:copy-custom
step /step:editor
if wine "$editor" /close; then echo "the editor's window was open: closed it"; fi
