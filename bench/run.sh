#!/usr/bin/env bash
# Times the package program against Wine's extrac32 on the same cabinet of about 50 MB in
# 1,000 files and prints both times and their ratio. Optional argument: the number of runs
# (default 5). The work folder is $OV_BENCH_WORK, else bench-work/ in the build folder.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
"$here/../scripts/setup.sh"
source "$here/../scripts/wine-env.sh"
source "$here/../scripts/wine-session.sh"
"$here/../scripts/build.sh" >/dev/null
ov_wine_start
trap ov_wine_stop EXIT
work="${OV_BENCH_WORK:-$OV_BUILD/bench-work}"
mkdir -p "$work"
wine "$OV_BUILD/bench/see_bench.exe" "$(winepath -w "$OV_BUILD/bin/ovpack.exe")" "$(winepath -w "$work")" "${1:-5}"
