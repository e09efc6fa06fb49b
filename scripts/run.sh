#!/usr/bin/env bash
# Builds Tessaro and runs its main job: a throwaway XMPP server on this machine
# (state in build/run/xmpp), then two players, Alice and Bob, each a host
# process of its own connected through it.
# With a display: they play in real windows; play with the mouse.
# Without one: they play samples/network_game.script headless and print the game.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/packages.sh
tessaro_ensure_packages build run
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$(nproc 2>/dev/null || echo 2)" --target tessaro-host >/dev/null
mkdir -p build/run
cd build/run
exec ../apps/tessaro-host --state .
