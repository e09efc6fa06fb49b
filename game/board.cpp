#include "game/board.h"

namespace tessaro {

void Replay(Board& board, const MoveList& moves) {
  board.cells.fill(Empty);
  for (const Move& move : moves) {
    if (OnBoard(move.x, move.y)) board.at(move.x, move.y) = move.value;
  }
}

}  // namespace tessaro
