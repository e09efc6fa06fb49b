#!/usr/bin/env bash
# Builds Tessaro and runs its main job: a throwaway XMPP server on this machine
# (state in build/run), then two players, Alice and Bob, each a host process of
# its own connected through it.
# With a display: they play in real windows; play with the mouse.
# Without one: they play samples/network_game.script headless and print the game.
# Arguments go on to tessaro-host (for example --state DIR, --scale N).
# TESSARO_BUILD_DIR names the build folder (default: build); one configured
# already keeps its own settings.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/packages.sh
tessaro_ensure_packages build run
dir=${TESSARO_BUILD_DIR:-build}
if [ ! -f "$dir/CMakeCache.txt" ]; then
  cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
cmake --build "$dir" -j "$(nproc 2>/dev/null || echo 2)" --target tessaro-host >/dev/null
exec "$dir/apps/tessaro-host" --state "$dir/run" "$@"
