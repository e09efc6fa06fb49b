#include "game/judge.h"

#include <cstring>

#include "game/line_pattern.h"

namespace tessaro {

namespace {

// Steps 3 to 5 of the verdict, for an empty point whose line kinds are known.
bool Verdict(Board& board, int16_t x, int16_t y, const LineKind (&kinds)[kDirectionCount]) {
  // 3. Five stops the walk and clears anything found before it.
  bool five = false;
  bool forbidden = false;
  int threeDirections[kDirectionCount];
  int threes = 0;
  int fours = 0;
  for (int d = 0; d < kDirectionCount && !five; ++d) {
    switch (kinds[d]) {
      case LineKind::Five:
        five = true;
        forbidden = false;
        break;
      case LineKind::Three:
        threeDirections[threes++] = d;
        break;
      case LineKind::Four:
        ++fours;
        break;
      case LineKind::Overline:
      case LineKind::DoubleFour:
        forbidden = true;
        break;
      case LineKind::None:
        break;
    }
  }

  // 4. Two fours, or else two real threes.
  if (!five && !forbidden) {
    if (fours >= 2) {
      forbidden = true;
    } else if (threes >= 2) {
      int real = 0;
      for (int i = 0; i < threes; ++i) {
        if (IsRealThree(board, x, y, threeDirections[i])) ++real;
      }
      forbidden = real >= 2;
    }
  }

  // 5. The mark is the verdict left on the board.
  if (forbidden) board.at(x, y) = ForbiddenMark;
  return five;
}

}  // namespace

bool JudgePoint(Board& board, int16_t x, int16_t y) {
  // 1. An old mark reads as empty; a stone or proposal is not judged.
  uint32_t& cell = board.at(x, y);
  if (cell == ForbiddenMark) cell = Empty;
  if (cell != Empty) return false;

  // 2. The four lines through the point.
  LineKind kinds[kDirectionCount];
  for (int d = 0; d < kDirectionCount; ++d)
    kinds[d] = MatchLine(board, x, y, d);
  return Verdict(board, x, y, kinds);
}

namespace {

// A three shape in the 7-cell window of IsRealThree, and its completion points
// as offsets from the judged point. kNone marks a point the shape lacks.
constexpr int kNone = 100;
struct ThreeShape {
  int from;
  const char* text;
  int p, q, r, s;
};
// clang-format off
constexpr ThreeShape kThreeShapes[] = {
    {3, "xxx",  -1,    +3,    -2,    -3},     // solid, point first
    {2, "xxx",  -2,    +2,    -3,    -4},     // solid, point in the middle
    {1, "xxx",  -3,    +1,    -4,    -5},     // solid, point last
    {3, "x.xx", +1,    kNone, kNone, kNone},  // split
    {1, "x.xx", -1,    kNone, kNone, kNone},
    {0, "x.xx", -2,    kNone, kNone, kNone},
    {3, "xx.x", +2,    kNone, kNone, kNone},
    {2, "xx.x", +1,    kNone, kNone, kNone},
    {0, "xx.x", -1,    kNone, kNone, kNone},
};
// clang-format on

bool IsBlack(const Board& board, int x, int y) {
  return board.read(x, y) == Black;
}
bool IsFree(const Board& board, int x, int y) {
  const int64_t cell = board.read(x, y);
  return cell == Empty || cell == ForbiddenMark;
}

}  // namespace

bool IsRealThree(const Board& board, int16_t x, int16_t y, int direction) {
  // 1. A private copy with the stone on the point.
  Board line = board;
  line.at(x, y) = Black;
  const int dx = kStepX[static_cast<size_t>(direction)];
  const int dy = kStepY[static_cast<size_t>(direction)];

  // 2. The window of offsets -3..+3; white stones and the edge read as '.'.
  char window[8] = ".......";
  window[3] = 'x';
  for (int sign = -1; sign <= 1; sign += 2) {
    for (int k = 1; k <= 3; ++k) {
      const int64_t cell = line.read(x + sign * k * dx, y + sign * k * dy);
      if (cell < 0 || cell == White) break;
      if (cell == Black) window[3 + sign * k] = 'x';
    }
  }

  // 3. The first shape that fits decides.
  const ThreeShape* shape = nullptr;
  for (const ThreeShape& candidate : kThreeShapes) {
    if (std::strncmp(window + candidate.from, candidate.text, std::strlen(candidate.text)) == 0) {
      shape = &candidate;
      break;
    }
  }
  if (shape == nullptr) return false;

  auto pointAt = [&](int offset, int16_t& px, int16_t& py) {
    px = static_cast<int16_t>(x + offset * dx);
    py = static_cast<int16_t>(y + offset * dy);
  };
  int16_t px, py;
  pointAt(shape->p, px, py);

  // 4. Split three: the gap must make a four, not a five or a forbidden point.
  if (shape->q == kNone) {
    const bool five = JudgePoint(line, px, py);
    return !five && line.at(px, py) != ForbiddenMark;
  }

  // 5. Solid three, forward side first.
  int16_t qx, qy;
  pointAt(shape->q, qx, qy);
  const bool fiveAtQ = JudgePoint(line, qx, qy);
  if (!fiveAtQ && line.at(qx, qy) != ForbiddenMark) {
    const int q1x = qx + dx, q1y = qy + dy;
    const int q2x = qx + 2 * dx, q2y = qy + 2 * dy;
    const int64_t q1 = line.read(q1x, q1y);
    if (q1 >= 0 && q1 != White) {
      if (q1 != Empty && q1 != ForbiddenMark) return true;
      if (!IsBlack(line, q2x, q2y)) return true;  // filling Q1 would not make six
    }
  }

  // 6. Backward side.
  const bool fiveAtP = JudgePoint(line, px, py);
  if (line.at(px, py) != Empty || fiveAtP) return false;
  int16_t rx, ry, sx, sy;
  pointAt(shape->r, rx, ry);
  pointAt(shape->s, sx, sy);
  return IsFree(line, rx, ry) && !IsBlack(line, sx, sy);
}

// JudgePoint on every cell in order. The lines of all points are matched in
// one sweep first: the marks this pass writes read as empty in every window,
// and a point's own cell is never read by its lines, so the kinds stay those
// JudgePoint would find at its turn.
void JudgeAllPoints(Board& board) {
  LineKinds kinds;
  MatchAllLines(board, kinds);
  for (int16_t x = 0; x < kBoardSize; ++x) {
    for (int16_t y = 0; y < kBoardSize; ++y) {
      uint32_t& cell = board.at(x, y);
      if (cell == ForbiddenMark) cell = Empty;
      if (cell != Empty) continue;
      Verdict(board, x, y, kinds[CellIndex(x, y)]);
    }
  }
}

void RefreshBoardMarks(Board& board, size_t recordCount) {
  for (uint32_t& cell : board.cells) {
    if (cell == ForbiddenMark) cell = Empty;
  }
  if (recordCount == 0) {
    constexpr int kCentre = 7;
    board.cells.fill(ForbiddenMark);
    board.at(kCentre, kCentre) = Empty;
  }
  if (recordCount > 6) JudgeAllPoints(board);
}

bool WhiteFiveAt(const Board& board, int16_t x, int16_t y) {
  for (int d = 0; d < kDirectionCount; ++d) {
    const int dx = kStepX[static_cast<size_t>(d)];
    const int dy = kStepY[static_cast<size_t>(d)];
    int n = 1;
    for (int k = 1; k <= 4 && board.read(x + k * dx, y + k * dy) == White; ++k)
      ++n;
    for (int k = 1; k <= 4 && board.read(x - k * dx, y - k * dy) == White; ++k)
      ++n;
    if (n >= 5) return true;
  }
  return false;
}

}  // namespace tessaro
