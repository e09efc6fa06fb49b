// The game's two Board pairs (the real game and the private what-if copy) and
// the operations through which every change of a position goes. The game
// window derives from GamePosition and so owns these operations and fields.
#pragma once

#include <cstddef>
#include <cstdint>

#include "game/board.h"

namespace tessaro {

// The invariant of a position: `board` holds what replaying `moves` gives,
// forbidden marks (and the reset filler) aside, and every cell a code from 0
// to 4. Checked by assertions after every change.
bool PositionAgrees(const Board& board, const MoveList& moves);

class GamePosition {
 public:
  GamePosition() = default;
  virtual ~GamePosition() = default;
  GamePosition(const GamePosition&) = delete;
  GamePosition& operator=(const GamePosition&) = delete;

  // ---- Operations ----------------------------------------------------------

  // Writes `value` into (x, y) of `board`, appends the record to `moveList`,
  // refreshes the marks and repaints. Always the real pair, also in
  // simulation mode. Checks nothing: callers have decided that the placement
  // is allowed; the point must be on the board.
  void PlaceMove(int16_t x, int16_t y, uint32_t value);

  // Removes the last record of `moveList` and gives its cell of `board` the
  // value of the latest record still on that point (a proposal a stone was
  // put on comes back), or empties it; then refreshes the marks. Nothing
  // happens on an empty list.
  void TakeBack();
  // The same for the record `fromEnd` places before the last (0: the last);
  // the later records stay. Nothing happens when the list is shorter.
  void TakeBackBefore(size_t fromEnd);

  // Recomputes the marks of the current pair (the simulation pair while
  // `simulationMode` is on): old marks go; an empty list resets the board
  // (every cell 4 but the centre 0); more than 6 records judge every point.
  // Then repaints.
  void RefreshMarks();

  // WhiteFiveAt on `board`, whatever `simulationMode` says.
  bool WhiteFiveAt(int16_t x, int16_t y) const;

  // Copies `board` (marks included) into `simBoard` and `moveList` into
  // `simMoveList`. Nothing is ever copied back.
  void CopyToSimulation();

  // Empties the list of the current pair and refreshes, which resets its board.
  void ResetPosition();

  // The pair that `simulationMode` selects.
  Board& CurrentBoard() { return simulationMode ? simBoard : board; }
  MoveList& CurrentMoveList() { return simulationMode ? simMoveList : moveList; }

 protected:
  // Called whenever the position changed and the board must be painted again
  // (the window invalidates its client area with background erase).
  virtual void InvalidateBoard() {}

 public:
  // ---- State ---------------------------------------------------------------
  Board board;
  Board simBoard;
  MoveList moveList;
  MoveList simMoveList;
  uint32_t simulationMode = 0;
};

}  // namespace tessaro
