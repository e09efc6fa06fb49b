// A plain, literal reading of the line rules, kept in the tests to check the
// fast matcher against: the 11-character window with the black count, the two
// shortcuts, then every table record in order, character by character.
#pragma once

#include <string>

#include "game/board.h"
#include "game/line_pattern.h"

namespace tessaro::testing {

// The window and black count of a line, scanned as the rules describe.
struct ScannedLine {
  std::string window;  // 11 characters
  int blacks = 0;
};
ScannedLine ScanLine(const Board& board, int x, int y, int direction);

// Shortcuts, then the first matching record of LinePatternTable.
LineKind ReferenceMatch(const ScannedLine& line);

inline LineKind ReferenceMatchLine(const Board& board, int x, int y, int direction) {
  return ReferenceMatch(ScanLine(board, x, y, direction));
}

}  // namespace tessaro::testing
