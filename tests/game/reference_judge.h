// A second renju judge, kept in the tests to check game/judge.h against. It is
// written to be read, not to be fast: every line is counted stone by stone on
// the board itself, with no pattern table and no list of shapes, following the
// rule text one step at a time:
//   - black wins with exactly five in a row, and only then; a five wins even
//     where the same stone would otherwise be forbidden;
//   - black may not make six or more in a row (overline), two or more fours
//     (double four) or two or more real threes (double three);
//   - a four is a line that one more black stone turns into exactly five;
//   - a three is a line that one more black stone turns into a straight four
//     (four in a row whose both ends give exactly five); it is real when that
//     stone may be played: the point is not itself forbidden;
//   - white wins with five or more in a row.
// Where the judge reads the rules its own way on purpose, the reference does
// the same and says so at that place.
#pragma once

#include <cstddef>
#include <ostream>

#include "game/board.h"

namespace tessaro::testing {

// What a black stone on a point would do. Occupied: the cell holds a stone,
// a proposal or any other code, and is not judged.
enum class Verdict { Occupied, Ok, Five, Forbidden };

const char* VerdictName(Verdict verdict);
inline void PrintTo(Verdict verdict, std::ostream* out) {
  *out << VerdictName(verdict);
}

// How the fours of one line are counted. AsWritten: every point where one more
// stone gives exactly five is a four (the two ends of a straight four are one).
// AsTheTable: as the judge's pattern table counts them, which departs from the
// rule text in two shapes (see TableFours in reference_judge.cpp). The table
// is shared with the peer's program, and both sides must judge alike.
enum class Fours { AsWritten, AsTheTable };

// The verdict for a black stone on (x, y) of `board`. Forbidden marks already
// on the board are only notes of earlier verdicts: they read as empty points.
Verdict ReferenceVerdict(const Board& board, int x, int y, Fours fours = Fours::AsWritten);

// True when a white stone on (x, y) gives five or more white stones in a row.
// The cell (x, y) itself is not read.
bool ReferenceWhiteFive(const Board& board, int x, int y);

// The board as the game shows it after `moves` records: the old marks go; no
// record at all resets the board (every cell marked but the centre, where the
// first stone must go); after more than 6 records every forbidden point is
// marked; with 1 to 6 records no point can be forbidden yet, and none is marked.
Board ReferenceMarks(const Board& board, size_t moves, Fours fours = Fours::AsWritten);

}  // namespace tessaro::testing
