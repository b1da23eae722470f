#!/usr/bin/env bash
# The main job: builds the server and its Windows Installer package, installs the package with
# msiexec in a fresh Wine prefix, as on a new workstation, and drives the control from a script,
# as a web page would.
set -euo pipefail
here="$(dirname "$0")"
"$here/setup.sh"
source "$here/wine-env.sh"
source "$here/wine-session.sh"
source "$here/wine-prefix.sh"
"$here/build.sh" >/dev/null

export WINEPREFIX="$OV_ROOT/.wine-demo"
echo "creating a fresh Wine prefix $WINEPREFIX"
rm -rf "$WINEPREFIX"
ov_make_prefix
ov_wine_start
trap ov_wine_stop EXIT
msi="$OV_BUILD/package/OVCustInstSrv-$(python3 "$OV_ROOT/packaging/make_package.py" --print-version).msi"
install='C:\OVDemo\Orvanta' dos='C:\OVDemo\Local\'
echo "msiexec /i $(basename "$msi") /qn INSTALLPATH=$install DOSINSTALLPATH=$dos /l*v C:\\install.log"
if ! wine msiexec /i "$(winepath -w "$msi")" /qn "INSTALLPATH=$install" "DOSINSTALLPATH=$dos" \
        /l*v 'C:\install.log' </dev/null; then
    echo "the installation failed; see $WINEPREFIX/drive_c/install.log" >&2
    exit 1
fi
echo "installed: $(cd "$WINEPREFIX/drive_c" && ls -d 'Program Files/Orvanta/OVCustInstSrv/'* 'Program Files (x86)/Orvanta/OVCustInstSrv/'* | tr '\n' ' ')"
wine cscript //nologo "$(winepath -w "$OV_ROOT/examples/demo.js")"
# The set-up page: the artefacts signed, then the sample page's steps through setup.wsf.
"$here/demo-setup-page.sh"
