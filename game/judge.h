// The renju judge: black may not make an overline, two fours or two real
// threes, unless the same stone makes exactly five, which always wins.
//
// The verdict for a black stone on an empty point (JudgePoint):
//   1. Match the four lines through the point (MatchLine).
//   2. Any line with exactly five: the stone wins; nothing else counts.
//   3. Any overline, or two fours in one line: forbidden.
//   4. Two or more fours over the four lines: forbidden.
//   5. Two or more threes that are real (IsRealThree): forbidden.
// Both players' programs must reach the same verdict on every stone, so these
// functions follow the rules literally, quirks included.
#pragma once

#include <cstddef>
#include <cstdint>

#include "game/board.h"

namespace tessaro {

// True when a black stone on (x, y) makes exactly five in some line. Leaves
// ForbiddenMark in the cell when black may not play there, otherwise leaves it
// empty (an old mark is removed). A cell holding a stone or a proposal is left
// alone and gives false. Writes no other cell.
bool JudgePoint(Board& board, int16_t x, int16_t y);

// True when the black three that a stone on (x, y) makes in `direction` is a
// real three: one of its completion points is playable for black and then
// gives a four open at its far end. Works on a private copy; `board` is left
// unchanged. Meant for directions where MatchLine found a Three.
bool IsRealThree(const Board& board, int16_t x, int16_t y, int direction);

// JudgePoint on every cell, x in the outer loop and y in the inner one.
void JudgeAllPoints(Board& board);

// The marks of a board whose MoveList holds `recordCount` records: old marks
// go; no record resets the board (every cell ForbiddenMark but the centre,
// which is emptied); more than 6 records judge every point. With 1 to 6
// records the board keeps no marks at all.
void RefreshBoardMarks(Board& board, size_t recordCount);

// True when a white stone on (x, y) gives five or more white stones in a row
// in some line of `board`. The cell (x, y) itself is not read.
bool WhiteFiveAt(const Board& board, int16_t x, int16_t y);

}  // namespace tessaro
