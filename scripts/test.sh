#!/usr/bin/env bash
# Builds everything with warnings as errors and runs the whole test suite.
#   scripts/test.sh             the normal build, in build/
#   scripts/test.sh --sanitize  the same under AddressSanitizer and UBSan, in build-asan/
set -euo pipefail
cd "$(dirname "$0")/.."

dir=build
flags=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DTESSARO_WERROR=ON)
if [ "${1:-}" = "--sanitize" ]; then
  dir=build-asan
  flags=(-DCMAKE_BUILD_TYPE=Debug -DTESSARO_WERROR=ON -DTESSARO_SANITIZE=ON -DTESSARO_BENCH=OFF)
fi
jobs=$(nproc 2>/dev/null || echo 2)

cmake -S . -B "$dir" "${flags[@]}" >/dev/null
cmake --build "$dir" -j "$jobs"
ctest --test-dir "$dir" --output-on-failure -j "$jobs"
