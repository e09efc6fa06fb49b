#!/usr/bin/env bash
# Builds Tessaro and runs its main job: the messenger host loads the game
# plug-in and plays a whole game between two windows (headless), then prints
# both players' logs.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$(nproc 2>/dev/null || echo 2)" --target tessaro-host >/dev/null
mkdir -p build/run
cd build/run
../apps/tessaro-host --headless --script ../../samples/whole_game.script
echo "(a picture of the final board: build/run/whole_game.png)"
