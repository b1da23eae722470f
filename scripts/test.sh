#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test under Wine in the project's prefix.
set -euo pipefail
here="$(dirname "$0")"
"$here/setup.sh"
source "$here/wine-env.sh"
source "$here/wine-session.sh"
source "$here/small-drive.sh"
"$here/build.sh"
# The platform-free code natively, under sanitizers and a short fuzzing run.
"$here/native-checks.sh"

# The package test (WindowsInstallerPackage) runs the x86 module only under a 32-bit Wine.
source "$here/wine32.sh"
if ov_have_wine32; then
    echo "x86 module: its script tests run through the 32-bit cscript"
else
    echo "x86 module: not run (no 32-bit Wine: $(ov_wine32_missing_reason)); built, packaged and its registry rows checked"
fi

trap 'ov_small_drive_stop; ov_wine_stop' EXIT
ov_wine_start
ov_small_drive_start
cd "$OV_BUILD"
ctest --output-on-failure "$@"
