#include "reference_matcher.h"

namespace tessaro::testing {

ScannedLine ScanLine(const Board& board, int x, int y, int direction) {
  ScannedLine line{std::string(11, '.'), 0};
  line.window[5] = '*';
  const int dx = kStepX[static_cast<size_t>(direction)];
  const int dy = kStepY[static_cast<size_t>(direction)];
  for (int sign : {+1, -1}) {
    for (int k = 1; k <= 6; ++k) {
      const int px = x + sign * k * dx, py = y + sign * k * dy;
      const size_t index = static_cast<size_t>(5 + sign * k);
      if (!OnBoard(px, py) || board.at(px, py) == White) {
        if (k <= 5) line.window[index] = 'o';
        break;
      }
      if (board.at(px, py) == Black) {
        if (k <= 5) line.window[index] = 'x';
        ++line.blacks;
      }
    }
  }
  return line;
}

LineKind ReferenceMatch(const ScannedLine& line) {
  if (line.window.substr(3, 5) == "..*.." || line.blacks < 2) return LineKind::None;
  for (const LinePattern& record : LinePatternTable) {
    const std::string text = record.text;
    const size_t star = text.find('*');
    bool all = true;
    for (size_t i = 0; i < text.size(); ++i) {
      if (i == star) continue;
      const char c = text[i];
      const char w = line.window[5 + i - star];
      if (!(c == w || (c == '#' && w != 'x'))) all = false;
    }
    if (all) return static_cast<LineKind>(record.kind);
  }
  return LineKind::None;
}

}  // namespace tessaro::testing
