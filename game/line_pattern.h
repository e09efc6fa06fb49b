// What a black stone on an empty point would make in one line through it,
// decided by the fixed table of 45 line patterns.
#pragma once

#include <array>
#include <cstdint>

#include "game/board.h"

namespace tessaro {

// ---- Directions ------------------------------------------------------------

// Forward is the point plus k steps, backward the point minus k steps.
enum Direction : int {
  Vertical = 0,      // (0, +1)
  Horizontal = 1,    // (+1, 0)
  DiagonalDown = 2,  // (+1, +1)
  DiagonalUp = 3,    // (+1, -1)
};
inline constexpr int kDirectionCount = 4;
inline constexpr std::array<int, 4> kStepX = {0, 1, 1, 1};
inline constexpr std::array<int, 4> kStepY = {1, 0, 1, -1};

// ---- Line kinds ------------------------------------------------------------

enum class LineKind : int16_t {
  None = 0,
  Three = 1,       // a three that can grow into an open four
  Four = 2,        // one more black stone gives exactly five
  Five = 3,        // exactly five
  Overline = 4,    // six or more
  DoubleFour = 5,  // two fours in this one line
};

// ---- The pattern table -----------------------------------------------------

// One record: a kind byte, then the text padded with zeros to 11 bytes.
// Pattern characters: '*' the judged point, 'x' black, '.' not black and not a
// blocker, '#' anything but black (empty, white or the edge).
struct LinePattern {
  uint8_t kind;
  char text[11];
};
static_assert(sizeof(LinePattern) == 12);

inline constexpr int kLinePatternCount = 45;
extern const LinePattern LinePatternTable[kLinePatternCount];

// ---- Matching --------------------------------------------------------------

// The line window: 11 characters for the offsets -5..+5, index 5 the point.
// 'x' black, 'o' the first white stone or the first position off the board on
// that side, '.' everything else and everything beyond an 'o'.
inline constexpr int kWindowSize = 11;
inline constexpr int kWindowCentre = 5;

// The kind of the first table record matching the window, or None. This is
// the plain reading of the table; MatchLine answers the same through a
// derived lookup (the tests prove it over every window a board can produce).
LineKind MatchWindow(const char (&window)[kWindowSize]);

// What a black stone on (x, y) makes in `direction`. The point's own cell is
// not read. Pure; allocates nothing.
LineKind MatchLine(const Board& board, int16_t x, int16_t y, int direction);

// MatchLine for every cell and direction at once (cells indexed as in Board),
// for judging a whole board. Each half window is derived from its neighbour's,
// so the whole board costs a few operations a cell.
using LineKinds = LineKind[kCellCount][kDirectionCount];
void MatchAllLines(const Board& board, LineKinds& kinds);

}  // namespace tessaro
