#!/usr/bin/env bash
# layers_test.sh TOP WORK: the layer check holds on this tree, and fails on a
# copy of it with each kind of fault planted: an include that points up, one
# that points sideways, circles among the framework's units, and a folder
# that compiles another folder's sources.
set -u
TOP=$1
WORK=$2
CHECK="$TOP/scripts/check_layers.py"
failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

python3 "$CHECK" "$TOP" >"$WORK.out" 2>&1 || fail "the tree itself: $(cat "$WORK.out")"

# A fresh copy of the product's folders, and one fault planted in it.
plant() {  # FILE LINE
  rm -rf "$WORK"
  mkdir -p "$WORK"
  (cd "$TOP" && cp -r game link files framework window plugin host sdk resources "$WORK/")
  printf '%s\n' "$2" >>"$WORK/$1"
}
expect_fault() {  # WHAT PATTERN
  if python3 "$CHECK" "$WORK" >"$WORK.out" 2>&1; then
    fail "$1 passed the check"
  elif ! grep -q -- "$2" "$WORK.out"; then
    fail "$1: the check did not name it: $(cat "$WORK.out")"
  fi
}

plant game/board.h '#include "window/game_window.h"'
expect_fault "game including window" "game/board.h:.*game includes window/game_window.h"
plant link/frame.cpp '#include "files/lib_file.h"'
expect_fault "link including files" "link/frame.cpp:.*link includes files/lib_file.h"
plant host/host.cpp '#include "plugin/plugin_app.h"'
expect_fault "host including plugin" "host includes plugin/plugin_app.h"
plant framework/win_types.h '#include "framework/afx.h"'
expect_fault "a framework circle" "framework units include each other in a circle"
# window_ops.cpp has no header: it defines Platform's calls, so it is one unit
# with platform.h, which wnd.h includes.
plant framework/window_ops.cpp '#include "framework/wnd.h"'
expect_fault "a framework circle through a source without a header" "circle: .*framework/platform"
plant plugin/CMakeLists.txt 'target_sources(tessaro_plugin_core PRIVATE ${PROJECT_SOURCE_DIR}/window/board_view.cpp)'
expect_fault "plugin compiling window's sources" "plugin compiles sources of window"

rm -rf "$WORK" "$WORK.out"
if [ "$failures" -ne 0 ]; then
  echo "$failures check(s) failed"
  exit 1
fi
echo "passed"
