#!/usr/bin/env bash
# Builds the server and the benchmarks and runs ov_bench, which registers the server in the
# project's prefix and prints one table: each measure, our time, the reference's, and their ratio
# (medians of the runs, taken in turns). Optional argument: the number of runs (default and
# least 5). The package extraction works in $OV_BENCH_WORK, else bench-work/ in the build folder
# (about 100 MB, kept between runs).
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
wine "$OV_BUILD/bench/ov_bench.exe" --runs "${1:-5}" \
    --scripts "$(winepath -w "$here/scripts")" \
    --see-bench "$(winepath -w "$OV_BUILD/bench/see_bench.exe")" \
    --ovpack "$(winepath -w "$OV_BUILD/bin/ovpack.exe")" \
    --work "$(winepath -w "$work")"
