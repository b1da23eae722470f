#!/usr/bin/env bash
# Configures and builds the server module and the tests into $OV_BUILD (default build/).
set -euo pipefail
source "$(dirname "$0")/wine-env.sh"
cmake -S "$OV_ROOT" -B "$OV_BUILD" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$OV_ROOT/cmake/mingw-w64-x86_64.cmake" \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$OV_BUILD"
