#!/usr/bin/env bash
# Builds the code that makes no platform calls natively and checks it under AddressSanitizer
# and UndefinedBehaviorSanitizer: the GoogleTest suite (g++), then a libFuzzer run of bounded
# length (clang++). OV_FUZZ_SECONDS sets the fuzzing time (default 20).
set -euo pipefail
OV_ROOT="$(cd "$(dirname "$0")/.." && pwd)"
build="${OV_NATIVE_BUILD:-${OV_BUILD:-$OV_ROOT/build}/native}"
fuzz_seconds="${OV_FUZZ_SECONDS:-20}"

source "$OV_ROOT/scripts/apt-need.sh"
ov_apt_need g++ clang libclang-rt-14-dev cmake ninja-build

echo "native checks: unit tests (g++, address and undefined-behaviour sanitizers)"
cmake -S "$OV_ROOT/tests/native" -B "$build/gcc" -G Ninja -DCMAKE_CXX_COMPILER=g++ \
    -DCMAKE_BUILD_TYPE=Debug >/dev/null
cmake --build "$build/gcc" >/dev/null
"$build/gcc/ov_native_tests" --gtest_brief=1

cmake -S "$OV_ROOT/tests/native" -B "$build/clang" -G Ninja -DCMAKE_CXX_COMPILER=clang++ \
    -DCMAKE_BUILD_TYPE=Debug -DOV_NATIVE_TESTS=OFF -DOV_NATIVE_FUZZ=ON >/dev/null
cmake --build "$build/clang" >/dev/null
for target in log_record inf_copy log_reader; do
  echo "native checks: fuzzing $target for ${fuzz_seconds} s (clang++, libFuzzer)"
  # Inputs that once failed stay as regression cases.
  for finding in "$OV_ROOT/tests/native/findings/$target"-*; do
    [ -e "$finding" ] || continue
    "$build/clang/ov_fuzz_$target" "$finding" >/dev/null 2>&1 || { echo "native checks: $finding fails again"; exit 1; }
  done
  corpus="$build/clang/corpus-$target"
  mkdir -p "$corpus"
  fuzz_log="$build/clang/fuzz-$target.log"
  if ! "$build/clang/ov_fuzz_$target" -max_total_time="$fuzz_seconds" -max_len=8192 \
          -artifact_prefix="$build/clang/$target-" "$corpus" >"$fuzz_log" 2>&1; then
    tail -n 40 "$fuzz_log"
    echo "native checks: the fuzzer found a failing input (see $build/clang/$target-crash-*)"
    exit 1
  fi
  grep -E "^Done [0-9]+ runs" "$fuzz_log" || tail -n 1 "$fuzz_log"
done
