#!/usr/bin/env bash
# Builds Tessaro and runs its main job: the renju judge marks every point where
# black may not play in the sample positions.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$(nproc 2>/dev/null || echo 2)" --target tessaro-judge >/dev/null
echo "Forbidden points (#) of samples/positions.txt:"
./build/apps/tessaro-judge marks < samples/positions.txt
