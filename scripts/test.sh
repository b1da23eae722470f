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

trap 'ov_small_drive_stop; ov_wine_stop' EXIT
ov_wine_start
ov_small_drive_start
cd "$OV_BUILD"
ctest --output-on-failure "$@"
