#!/usr/bin/env bash
# Builds the server and the benchmarks, registers the server in the project's prefix and runs
# each benchmark; each prints its times and their ratio.
#   extraction: the package program against Wine's extrac32 on the same cabinet of about 50 MB
#     in 1,000 files. Optional argument: the number of runs (default 5). The work folder is
#     $OV_BENCH_WORK, else bench-work/ in the build folder.
#   INF copy: CopyOVCustomFilesFromINF over 1,000 files of 4 KiB against a bare
#     CreateDirectoryA + CopyFileA loop.
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
echo "== Package extraction"
wine "$OV_BUILD/bench/see_bench.exe" "$(winepath -w "$OV_BUILD/bin/ovpack.exe")" "$(winepath -w "$work")" "${1:-5}"
echo "== INF-driven copy"
wine regsvr32 /s "$(winepath -w "$OV_BUILD/bin/OVCustInstSrv.dll")"
wine "$OV_BUILD/bench/ov_bench_inf_copy.exe"
