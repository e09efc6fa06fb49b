#!/usr/bin/env bash
# Builds Tessaro and runs its main job.
# With a display: a local game, two players on this machine, each in a host
# process of its own with its own game window; play it with the mouse.
# Without one: the host plays a whole game between two game windows headless
# and prints both players' logs.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/packages.sh
tessaro_ensure_packages build run
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$(nproc 2>/dev/null || echo 2)" --target tessaro-host >/dev/null
if [ -n "${DISPLAY:-}" ]; then
  exec ./build/apps/tessaro-host
fi
echo "No display: playing samples/whole_game.script headless instead."
mkdir -p build/run
cd build/run
../apps/tessaro-host --headless --script ../../samples/whole_game.script
echo "(a picture of the final board: build/run/whole_game.png)"
