#include "reference_judge.h"

#include <cstdlib>

namespace tessaro::testing {

namespace {

struct Step {
  int dx, dy;
};
// The four lines through a point; each is walked both ways.
constexpr Step kLines[] = {{0, 1}, {1, 0}, {1, 1}, {1, -1}};

bool IsBlack(const Board& board, int x, int y) {
  return OnBoard(x, y) && board.at(x, y) == Black;
}

bool IsWhite(const Board& board, int x, int y) {
  return OnBoard(x, y) && board.at(x, y) == White;
}

// A point a stone could still go on: on the board and holding no stone. A
// proposal reads as vacant, as in the judge's lines; no verdict depends on it,
// since proposals lie on the board only at the fifth move, with two black
// stones.
bool IsVacant(const Board& board, int x, int y) {
  return OnBoard(x, y) && !IsBlack(board, x, y) && !IsWhite(board, x, y);
}

// A black stone put on a point for as long as the object lives.
class TryBlack {
 public:
  TryBlack(Board& board, int x, int y) : cell_(board.at(x, y)), old_(cell_) { cell_ = Black; }
  ~TryBlack() { cell_ = old_; }
  TryBlack(const TryBlack&) = delete;
  TryBlack& operator=(const TryBlack&) = delete;

 private:
  uint32_t& cell_;
  uint32_t old_;
};

// The black stones in a row through the black stone on (x, y) along `step`:
// how many lie before it, and how many after it.
struct Row {
  int before = 0, after = 0;
  int length() const { return before + 1 + after; }
};

Row RowThrough(const Board& board, int x, int y, Step step) {
  Row row;
  while (IsBlack(board, x - (row.before + 1) * step.dx, y - (row.before + 1) * step.dy))
    ++row.before;
  while (IsBlack(board, x + (row.after + 1) * step.dx, y + (row.after + 1) * step.dy))
    ++row.after;
  return row;
}

// The length of the row through the black stone on (x, y) along `step` once
// a black stone is on (ex, ey), or 0 when that stone would not join it.
int RowWith(Board& board, int x, int y, int ex, int ey, Step step) {
  TryBlack stone(board, ex, ey);
  const Row row = RowThrough(board, x, y, step);
  const int k = step.dx != 0 ? (ex - x) * step.dx : (ey - y) * step.dy;
  return -row.before <= k && k <= row.after ? row.length() : 0;
}

// True when a black stone on (ex, ey) makes exactly five with the one on (x, y).
bool FiveWith(Board& board, int x, int y, int ex, int ey, Step step) {
  return IsVacant(board, ex, ey) && RowWith(board, x, y, ex, ey, step) == 5;
}

// True when a black stone on (ex, ey) makes a straight four with the one on
// (x, y): exactly four in a row, and a black stone on either end would make
// exactly five.
bool StraightFourWith(Board& board, int x, int y, int ex, int ey, Step step) {
  if (!IsVacant(board, ex, ey) || RowWith(board, x, y, ex, ey, step) != 4) return false;
  TryBlack stone(board, ex, ey);
  const Row row = RowThrough(board, x, y, step);
  const int bx = x - (row.before + 1) * step.dx, by = y - (row.before + 1) * step.dy;
  const int ax = x + (row.after + 1) * step.dx, ay = y + (row.after + 1) * step.dy;
  return FiveWith(board, x, y, bx, by, step) && FiveWith(board, x, y, ax, ay, step);
}

// What the black stone on (x, y) makes in one line. Only points within four
// steps can join it in a row of five, so only those are tried.
struct Line {
  bool five = false;
  bool overline = false;
  int fours = 0;
  // The points where one more black stone makes a straight four: a three.
  struct Point {
    int x, y;
  };
  Point straightFourPoints[8];
  int straightFourPointCount = 0;
};

// The black stones in a row right beyond the vacant point (gx, gy), looking
// away from (x, y) along `step`.
int StonesBeyond(const Board& board, int x, int y, int gx, int gy, Step step) {
  const int sign = (gx - x) * step.dx + (gy - y) * step.dy > 0 ? 1 : -1;
  int count = 0;
  while (IsBlack(board, gx + sign * (count + 1) * step.dx, gy + sign * (count + 1) * step.dy))
    ++count;
  return count;
}

// The fours the judge's pattern table finds in one line, given the `fours`
// the rule text finds there. The table departs from the rule text when the
// row through the stone lies between two vacant points G and H:
//  - one or three stones from G to H, with at least three or at least one
//    more stone right beyond each (xxx.x.xxx and x.xxx.x): two fours, even
//    where a stone on G or H would make six, which is no five for black;
//  - two stones from G to H and two beyond each (xx.xx.xx): one four, though
//    G and H both give exactly five.
// Elsewhere it finds a four where the rule text does, and never two.
int TableFours(const Board& board, int x, int y, Step step, int fours) {
  const Row row = RowThrough(board, x, y, step);
  const int gx = x - (row.before + 1) * step.dx, gy = y - (row.before + 1) * step.dy;
  const int hx = x + (row.after + 1) * step.dx, hy = y + (row.after + 1) * step.dy;
  const int between = row.length();
  if ((between == 1 || between == 3) && IsVacant(board, gx, gy) && IsVacant(board, hx, hy) &&
      StonesBeyond(board, x, y, gx, gy, step) >= 4 - between &&
      StonesBeyond(board, x, y, hx, hy, step) >= 4 - between)
    return 2;
  return fours > 0 ? 1 : 0;
}

Line JudgeLine(Board& board, int x, int y, Step step, Fours reading) {
  Line line;
  const Row row = RowThrough(board, x, y, step);
  if (row.length() == 5) {
    line.five = true;
    return line;
  }
  if (row.length() >= 6) {
    // A stone put at the end of a row of five or more that is already there
    // counts for nothing: the judge's pattern table has no record with the
    // point at the end of six, and both players' programs read it the same
    // way. No game reaches it (the first five ends the game).
    line.overline = row.before > 0 && row.after > 0;
    return line;
  }

  // Fours: the points that give exactly five with this stone. The two ends of
  // a straight four are one four, found twice.
  int fivePoints[8];
  for (int k = -4; k <= 4; ++k) {
    const int ex = x + k * step.dx, ey = y + k * step.dy;
    if (k != 0 && FiveWith(board, x, y, ex, ey, step)) fivePoints[line.fours++] = k;
  }
  for (int i = 0, found = line.fours; i < found; ++i) {
    for (int j = i + 1; j < found; ++j) {
      if (std::abs(fivePoints[i] - fivePoints[j]) == 5) --line.fours;
    }
  }
  if (reading == Fours::AsTheTable) line.fours = TableFours(board, x, y, step, line.fours);
  if (line.fours > 0) return line;

  // A three: the points where one more stone makes a straight four with this one.
  for (int k = -4; k <= 4; ++k) {
    const int ex = x + k * step.dx, ey = y + k * step.dy;
    if (k != 0 && StraightFourWith(board, x, y, ex, ey, step))
      line.straightFourPoints[line.straightFourPointCount++] = {ex, ey};
  }
  return line;
}

Verdict Judge(Board& board, int x, int y, Fours reading);

// A three is real when some point that turns it into a straight four may be
// played. By the rule text a point where that stone would also make five in
// another line would do (a five is never forbidden), but the judge does not
// count it ("the gap must make a four, not a five", judge.cpp), and neither do
// we: only a plain Ok counts.
bool IsReal(Board& board, const Line& line, Fours reading) {
  for (int i = 0; i < line.straightFourPointCount; ++i) {
    const auto [ex, ey] = line.straightFourPoints[i];
    if (Judge(board, ex, ey, reading) == Verdict::Ok) return true;
  }
  return false;
}

// The verdict for a black stone on the vacant point (x, y); `board` is the
// same afterwards.
Verdict Judge(Board& board, int x, int y, Fours reading) {
  TryBlack stone(board, x, y);
  Line lines[4];
  for (int d = 0; d < 4; ++d)
    lines[d] = JudgeLine(board, x, y, kLines[d], reading);

  int fours = 0, threes = 0;
  bool overline = false;
  for (const Line& line : lines) {
    if (line.five) return Verdict::Five;
    overline = overline || line.overline;
    fours += line.fours;
    if (line.straightFourPointCount > 0) ++threes;
  }
  if (overline || fours >= 2) return Verdict::Forbidden;
  if (threes < 2) return Verdict::Ok;

  // Whether each three is real is asked with this stone on the board.
  int real = 0;
  for (const Line& line : lines) {
    if (line.straightFourPointCount > 0 && IsReal(board, line, reading)) ++real;
  }
  return real >= 2 ? Verdict::Forbidden : Verdict::Ok;
}

}  // namespace

const char* VerdictName(Verdict verdict) {
  switch (verdict) {
    case Verdict::Occupied:
      return "occupied";
    case Verdict::Ok:
      return "ok";
    case Verdict::Five:
      return "five";
    case Verdict::Forbidden:
      return "forbidden";
  }
  return "?";
}

Verdict ReferenceVerdict(const Board& board, int x, int y, Fours fours) {
  const uint32_t cell = board.at(x, y);
  if (cell != Empty && cell != ForbiddenMark) return Verdict::Occupied;
  Board copy = board;
  return Judge(copy, x, y, fours);
}

bool ReferenceWhiteFive(const Board& board, int x, int y) {
  for (Step step : kLines) {
    int count = 1;
    for (int k = 1; IsWhite(board, x + k * step.dx, y + k * step.dy); ++k)
      ++count;
    for (int k = 1; IsWhite(board, x - k * step.dx, y - k * step.dy); ++k)
      ++count;
    if (count >= 5) return true;
  }
  return false;
}

Board ReferenceMarks(const Board& board, size_t moves, Fours fours) {
  Board marked = board;
  for (uint32_t& cell : marked.cells) {
    if (cell == ForbiddenMark) cell = Empty;
  }
  if (moves == 0) {
    marked.cells.fill(ForbiddenMark);
    marked.at(7, 7) = Empty;
  } else if (moves > 6) {
    const Board unmarked = marked;
    for (int x = 0; x < kBoardSize; ++x) {
      for (int y = 0; y < kBoardSize; ++y) {
        if (ReferenceVerdict(unmarked, x, y, fours) == Verdict::Forbidden)
          marked.at(x, y) = ForbiddenMark;
      }
    }
  }
  return marked;
}

}  // namespace tessaro::testing
