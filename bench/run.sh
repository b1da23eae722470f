#!/usr/bin/env bash
# Builds the server and the benchmarks, registers the server in the project's prefix and runs
# every benchmark; each prints its own timings and ratio.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
"$here/../scripts/setup.sh"
source "$here/../scripts/wine-env.sh"
source "$here/../scripts/wine-session.sh"
"$here/../scripts/build.sh" >/dev/null
ov_wine_start
trap ov_wine_stop EXIT
wine regsvr32 /s "$(winepath -w "$OV_BUILD/bin/OVCustInstSrv.dll")"
echo "== INF-driven copy"
wine "$OV_BUILD/bench/ov_bench_inf_copy.exe"
