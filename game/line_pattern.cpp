#include "game/line_pattern.h"

#include <cstring>

namespace tessaro {

// clang-format off
const LinePattern LinePatternTable[kLinePatternCount] = {
    {1, "#..*xx.#"},   //  0  Three
    {1, "#..x*x.#"},   //  1
    {1, "#..xx*.#"},   //  2
    {1, "#.*xx..#"},   //  3
    {1, "#.x*x..#"},   //  4
    {1, "#.xx*..#"},   //  5
    {1, "#.*x.x.#"},   //  6
    {1, "#.x*.x.#"},   //  7
    {1, "#.xx.*.#"},   //  8
    {1, "#.*.xx.#"},   //  9
    {1, "#.x.*x.#"},   // 10
    {1, "#.x.x*.#"},   // 11
    {5, "x.x*x.x"},    // 12  DoubleFour
    {5, "x.*xx.x"},    // 13
    {5, "x.xx*.x"},    // 14
    {5, "xxx.*.xxx"},  // 15
    {3, "#*xxxx#"},    // 16  Five
    {3, "#x*xxx#"},    // 17
    {3, "#xx*xx#"},    // 18
    {3, "#xxx*x#"},    // 19
    {3, "#xxxx*#"},    // 20
    {4, "x*xxxx"},     // 21  Overline
    {4, "xx*xxx"},     // 22
    {4, "xxx*xx"},     // 23
    {4, "xxxx*x"},     // 24
    {2, "#.*xxx#"},    // 25  Four
    {2, "#.x*xx#"},    // 26
    {2, "#.xx*x#"},    // 27
    {2, "#.xxx*#"},    // 28
    {2, "#*.xxx#"},    // 29
    {2, "#x.*xx#"},    // 30
    {2, "#x.x*x#"},    // 31
    {2, "#x.xx*#"},    // 32
    {2, "#*x.xx#"},    // 33
    {2, "#x*.xx#"},    // 34
    {2, "#xx.*x#"},    // 35
    {2, "#xx.x*#"},    // 36
    {2, "#*xx.x#"},    // 37
    {2, "#x*x.x#"},    // 38
    {2, "#xx*.x#"},    // 39
    {2, "#xxx.*#"},    // 40
    {2, "#*xxx.#"},    // 41
    {2, "#x*xx.#"},    // 42
    {2, "#xx*x.#"},    // 43
    {2, "#xxx*.#"},    // 44
};
// clang-format on

LineKind MatchWindow(const char (&window)[kWindowSize]) {
  for (const LinePattern& pattern : LinePatternTable) {
    const char* text = pattern.text;
    const int length = static_cast<int>(std::strlen(text));
    const int star = static_cast<int>(std::strchr(text, '*') - text);
    bool matches = true;
    for (int i = 0; i < length && matches; ++i) {
      if (i == star) continue;
      const char c = text[i];
      const char w = window[kWindowCentre + i - star];
      matches = c == w || (c == '#' && w != 'x');
    }
    if (matches) return static_cast<LineKind>(pattern.kind);
  }
  return LineKind::None;
}

namespace {

// The fast form. A window is fully told by its two halves of five cells, each
// cell '.', 'x' or 'o', and everything after an 'o' is '.'. A half is coded in
// base 3 (digit k-1 for offset k: 0 '.', 1 'x', 2 'o'), and one lookup of the
// two codes answers as the table does. Black stones at distance 6 count for
// the "fewer than two blacks" shortcut only; a window with fewer than two 'x'
// matches no record anyway (every record holds at least two), so the lookup
// need not know them.
constexpr int kHalfCodes = 243;  // 3^5

struct LineLookup {
  LineKind kinds[kHalfCodes][kHalfCodes];
};

void DecodeHalf(int code, char* window, int sign) {
  for (int k = 1; k <= 5; ++k, code /= 3) {
    const int digit = code % 3;
    window[kWindowCentre + sign * k] = digit == 0 ? '.' : digit == 1 ? 'x' : 'o';
  }
}

LineLookup BuildLookup() {
  LineLookup lookup{};
  char window[kWindowSize];
  for (int forward = 0; forward < kHalfCodes; ++forward) {
    for (int backward = 0; backward < kHalfCodes; ++backward) {
      window[kWindowCentre] = '*';
      DecodeHalf(forward, window, +1);
      DecodeHalf(backward, window, -1);
      lookup.kinds[forward][backward] = MatchWindow(window);
    }
  }
  return lookup;
}

const LineLookup& Lookup() {
  static const LineLookup lookup = BuildLookup();
  return lookup;
}

// Built while the program or module loads (some 59,000 table readings), so
// that the first stone of a game costs no more than any other.
[[maybe_unused]] const LineLookup& builtAtLoad = Lookup();

// Scans up to five cells from (x, y) along (dx, dy); the first white stone or
// off-board position is an 'o' and ends the scan, as in the window.
inline int HalfCode(const Board& board, int x, int y, int dx, int dy) {
  int code = 0;
  int weight = 1;
  for (int k = 1; k <= 5; ++k, weight *= 3) {
    x += dx;
    y += dy;
    if (!OnBoard(x, y)) return code + 2 * weight;
    const uint32_t cell = board.at(x, y);
    if (cell == White) return code + 2 * weight;
    if (cell == Black) code += weight;
  }
  return code;
}

// The half codes of every cell looking along (dx, dy). A cell's code is its
// neighbour's code shifted by one offset (the neighbour's offset 5 falls out)
// with the neighbour's own digit in front; a white neighbour or the edge is an
// 'o' at offset 1 and ends the half there.
void HalfCodes(const Board& board, int dx, int dy, int (&codes)[kCellCount]) {
  // Visit every cell after the neighbour it is derived from: columns against
  // the step when it moves along x, else rows against the step within each
  // column.
  const int xStep = dx != 0 ? -dx : 1;
  const int yStep = dx != 0 ? 1 : -dy;
  const int xStart = xStep < 0 ? kBoardSize - 1 : 0;
  const int yStart = yStep < 0 ? kBoardSize - 1 : 0;
  for (int i = 0, x = xStart; i < kBoardSize; ++i, x += xStep) {
    for (int j = 0, y = yStart; j < kBoardSize; ++j, y += yStep) {
      const int nx = x + dx, ny = y + dy;
      int code = 2;
      if (OnBoard(nx, ny)) {
        const uint32_t cell = board.at(nx, ny);
        if (cell != White) {
          code = (cell == Black ? 1 : 0) + 3 * (codes[CellIndex(nx, ny)] % 81);
        }
      }
      codes[CellIndex(x, y)] = code;
    }
  }
}

}  // namespace

void MatchAllLines(const Board& board, LineKinds& kinds) {
  const LineLookup& lookup = Lookup();
  int forward[kCellCount];
  int backward[kCellCount];
  for (int d = 0; d < kDirectionCount; ++d) {
    const int dx = kStepX[static_cast<size_t>(d)];
    const int dy = kStepY[static_cast<size_t>(d)];
    HalfCodes(board, dx, dy, forward);
    HalfCodes(board, -dx, -dy, backward);
    for (int i = 0; i < kCellCount; ++i)
      kinds[i][d] = lookup.kinds[forward[i]][backward[i]];
  }
}

LineKind MatchLine(const Board& board, int16_t x, int16_t y, int direction) {
  const int dx = kStepX[static_cast<size_t>(direction)];
  const int dy = kStepY[static_cast<size_t>(direction)];
  const int forward = HalfCode(board, x, y, dx, dy);
  const int backward = HalfCode(board, x, y, -dx, -dy);
  return Lookup().kinds[forward][backward];
}

}  // namespace tessaro
