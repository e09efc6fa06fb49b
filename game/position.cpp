#include "game/position.h"

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
}

void GamePosition::TakeBack() {
  if (moveList.empty()) return;
  const Move last = moveList.back();
  moveList.pop_back();
  if (OnBoard(last.x, last.y)) board.at(last.x, last.y) = Empty;
  RefreshMarks();
  if (simulationMode) RefreshBoardMarks(board, moveList.size());
}

void GamePosition::TakeBackBefore(size_t fromEnd) {
  if (fromEnd == 0) {
    TakeBack();
    return;
  }
  if (fromEnd >= moveList.size()) return;
  const auto at = moveList.end() - 1 - static_cast<std::ptrdiff_t>(fromEnd);
  const Move gone = *at;
  moveList.erase(at);
  if (OnBoard(gone.x, gone.y)) {
    uint32_t value = Empty;
    for (const Move& move : moveList) {
      if (move.x == gone.x && move.y == gone.y) value = move.value;
    }
    board.at(gone.x, gone.y) = value;
  }
  RefreshMarks();
  if (simulationMode) RefreshBoardMarks(board, moveList.size());
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
