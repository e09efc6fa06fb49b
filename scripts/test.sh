#!/usr/bin/env bash
# Installs what the build needs, builds everything with warnings as errors and
# runs the whole test suite.
#   scripts/test.sh                 the normal build, in build/
#   scripts/test.sh --sanitize      the same under AddressSanitizer and UBSan, in build-asan/
#   scripts/test.sh --strict-skips  also fail when a test skipped that is not
#                                   listed in scripts/expected_skips.txt (CI)
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/packages.sh

dir=build
flags=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DTESSARO_WERROR=ON)
strict_skips=0
for arg in "$@"; do
  case "$arg" in
    --sanitize)
      dir=build-asan
      flags=(-DCMAKE_BUILD_TYPE=Debug -DTESSARO_WERROR=ON -DTESSARO_SANITIZE=ON -DTESSARO_BENCH=OFF)
      ;;
    --strict-skips) strict_skips=1 ;;
    *)
      echo "usage: scripts/test.sh [--sanitize] [--strict-skips]" >&2
      exit 2
      ;;
  esac
done
tessaro_ensure_packages build run
jobs=$(nproc 2>/dev/null || echo 2)

cmake -S . -B "$dir" "${flags[@]}" >/dev/null
cmake --build "$dir" -j "$jobs"
junit="$PWD/$dir/ctest-junit.xml"
rm -f "$junit"
ctest --test-dir "$dir" --output-on-failure -j "$jobs" --output-junit "$junit"

# Only the skips listed with their reason may happen under --strict-skips.
if [ "$strict_skips" = 1 ]; then
  bash scripts/check_skips.sh "$junit"
fi
