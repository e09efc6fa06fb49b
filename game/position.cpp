#include "game/position.h"

#include <cassert>
#include <cstddef>

#include "game/judge.h"

namespace tessaro {

void GamePosition::PlaceMove(int16_t x, int16_t y, uint32_t value) {
  board.at(x, y) = value;
  moveList.push_back(Move{x, y, value});
  RefreshMarks();
  // A stone from the peer during a simulation changes the real board too; its
  // marks are renewed at once so the real board never shows stale marks.
  if (simulationMode) RefreshBoardMarks(board, moveList.size());
  InvalidateBoard();
  assert(PositionAgrees(board, moveList));
}

namespace {

// What the records of `moves` leave on (x, y): the value of the latest one
// there, or Empty.
uint32_t LatestValue(const MoveList& moves, int x, int y) {
  for (auto it = moves.rbegin(); it != moves.rend(); ++it) {
    if (it->x == x && it->y == y) return it->value;
  }
  return Empty;
}

}  // namespace

void GamePosition::TakeBack() {
  TakeBackBefore(0);
}

void GamePosition::TakeBackBefore(size_t fromEnd) {
  if (fromEnd >= moveList.size()) return;
  const auto at = moveList.end() - 1 - static_cast<std::ptrdiff_t>(fromEnd);
  const Move gone = *at;
  moveList.erase(at);
  if (OnBoard(gone.x, gone.y)) board.at(gone.x, gone.y) = LatestValue(moveList, gone.x, gone.y);
  RefreshMarks();
  if (simulationMode) RefreshBoardMarks(board, moveList.size());
  assert(PositionAgrees(board, moveList));
}

bool PositionAgrees(const Board& board, const MoveList& moves) {
  Board replayed;
  Replay(replayed, moves);
  for (size_t i = 0; i < board.cells.size(); ++i) {
    const uint32_t cell = board.cells[i], record = replayed.cells[i];
    if (cell > ForbiddenMark) return false;
    // A mark, or the reset filler, lies only where no record left a value.
    if (cell != record && !(record == Empty && cell == ForbiddenMark)) return false;
  }
  return true;
}

void GamePosition::RefreshMarks() {
  RefreshBoardMarks(CurrentBoard(), CurrentMoveList().size());
  InvalidateBoard();
}

bool GamePosition::WhiteFiveAt(int16_t x, int16_t y) const {
  return tessaro::WhiteFiveAt(board, x, y);
}

void GamePosition::CopyToSimulation() {
  simBoard = board;
  simMoveList = moveList;
}

void GamePosition::ResetPosition() {
  CurrentMoveList().clear();
  RefreshMarks();
}

}  // namespace tessaro
