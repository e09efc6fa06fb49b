// A reading of the resource script good enough for the tests: it relies on
// one statement per line (as tessaro.rc is written) and keeps what the tests
// cross-check. It refuses anything outside the supported subset, naming the
// line, so a test fails when the script strays from it.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tessaro::testing {

struct RcControl {
  std::string keyword;  // CONTROL, EDITTEXT, LTEXT, ICON, ...
  int64_t id = 0;
  int64_t x = 0, y = 0, cx = 0, cy = 0;  // cx, cy 0 when an ICON leaves them out
  int64_t iconId = -1;                   // ICON controls only
  int line = 0;
};

struct RcDialog {
  int64_t cx = 0, cy = 0;
  int64_t menu = -1;
  std::string caption;
  std::vector<RcControl> controls;
};

struct RcMenuItem {
  std::string text;
  int64_t id = -1;  // -1 for POPUP and SEPARATOR entries
  bool popup = false;
  std::vector<std::string> options;
};

struct RcScript {
  std::map<int64_t, std::string> icons;    // id -> path
  std::map<int64_t, std::string> bitmaps;  // id -> path
  std::map<int64_t, std::string> strings;
  std::map<int64_t, RcDialog> dialogs;
  std::map<int64_t, std::vector<RcMenuItem>> menus;  // items in script order
};

std::optional<RcScript> ReadScript(std::string_view text, std::string& error);

}  // namespace tessaro::testing
