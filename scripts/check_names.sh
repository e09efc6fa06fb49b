#!/usr/bin/env bash
# Checks that the files listed below, and the header beside each, follow the
# naming convention of docs/architecture.md ("Names"): clang-tidy with only
# readability-identifier-naming, configured in .clang-tidy.
#
#   scripts/check_names.sh [TREE [BUILD]] [-- FILE...]
#
# TREE: the sources (default: this checkout). BUILD: the folder where TREE is
# configured for its compile_commands.json (default: TREE/build-names); nothing
# is built. FILE...: files of TREE to check instead of the list.
# Exit 0: every name follows the convention; 1: some do not (each is printed);
# 2: TREE does not configure.
set -euo pipefail

# The files held to the convention. A file joins the list once its names and
# its header's follow it. Not yet: host/'s older files (snake_case members,
# lower-case accessors), and the files with the platform's or the game's
# fixed names (sdk/, framework/, game/board.h, game/line_pattern.h).
FILES=(
  game/game.cpp game/game_snapshot.cpp game/judge.cpp game/position.cpp
  link/frame.cpp link/game_command.cpp link/game_link.cpp link/log_text.cpp
  files/file_io.cpp files/lib_file.cpp files/lib_tree.cpp
  window/board_view.cpp window/chat_log.cpp window/clocks.cpp window/dispatch.cpp
  window/game_flow.cpp window/game_window.cpp window/input_box.cpp window/kept_game.cpp
  window/save_load.cpp window/window_link.cpp
  host/sqlite.cpp host/profile_contacts.cpp host/profile_events.cpp host/profile_link.cpp
  host/profile_requests.cpp host/profile_settings.cpp
  apps/script_runner.cpp
)

here=$(cd "$(dirname "$0")/.." && pwd)
tree=$here
build=
if [ $# -gt 0 ] && [ "$1" != -- ]; then tree=$(cd "$1" && pwd); shift; fi
if [ $# -gt 0 ] && [ "$1" != -- ]; then build=$1; shift; fi
if [ $# -gt 0 ] && [ "$1" = -- ]; then
  shift
  FILES=("$@")
fi
build=${build:-$tree/build-names}

# Configured every time, so that a file added since the last run is known.
if ! configured=$(cmake -S "$tree" -B "$build" -DCMAKE_EXPORT_COMPILE_COMMANDS=ON \
  -DTESSARO_TESTS=OFF -DTESSARO_BENCH=OFF 2>&1); then
  echo "$configured"
  exit 2
fi
# clang reads GCC's command lines but not every GCC option.
db=$(mktemp -d)
trap 'rm -rf "$db"' EXIT
sed 's/ -fno-gnu-unique//g' "$build/compile_commands.json" >"$db/compile_commands.json"

# The header beside each file is checked with it; other headers are not.
headers=()
for file in "${FILES[@]}"; do
  header=${file%.cpp}.h
  if [ -f "$tree/$header" ]; then headers+=("${header//./\\.}"); fi
done
filter="^$tree/($(
  IFS='|'
  echo "${headers[*]:-none}"
))\$"

status=0
printf '%s\n' "${FILES[@]}" |
  xargs -P "$(nproc 2>/dev/null || echo 2)" -I{} \
    clang-tidy -p "$db" --quiet --checks='-*,readability-identifier-naming' \
    --warnings-as-errors='*' --header-filter="$filter" "$tree/{}" >"$db/out" 2>&1 || status=1
grep -E 'warning:|error:' "$db/out" | sort -u || true
if [ "$status" -ne 0 ]; then
  echo "names: some names in the ${#FILES[@]} file(s) checked do not follow docs/architecture.md"
  exit 1
fi
echo "names: ${#FILES[@]} file(s) and their headers follow the naming convention"
