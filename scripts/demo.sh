#!/usr/bin/env bash
# The main job: builds the server, registers it in the project's Wine prefix and drives the
# control from a script, as a web page would.
set -euo pipefail
here="$(dirname "$0")"
"$here/setup.sh"
source "$here/wine-env.sh"
source "$here/wine-session.sh"
"$here/build.sh" >/dev/null

ov_wine_start
trap ov_wine_stop EXIT
dll="$(winepath -w "$OV_BUILD/bin/OVCustInstSrv.dll")"
echo "registering $dll"
wine regsvr32 /s "$dll"
wine cscript //nologo "$(winepath -w "$OV_ROOT/examples/demo.js")"
# The set-up page: the artefacts signed, then the sample page's steps through setup.wsf.
"$here/demo-setup-page.sh"
