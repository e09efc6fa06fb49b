// Building positions for the game tests.
#pragma once

#include <initializer_list>
#include <utility>

#include "game/board.h"

namespace tessaro::testing {

using Points = std::initializer_list<std::pair<int, int>>;

inline Board BoardWith(Points blacks, Points whites = {}) {
  Board board;
  for (auto [x, y] : blacks)
    board.at(x, y) = Black;
  for (auto [x, y] : whites)
    board.at(x, y) = White;
  return board;
}

}  // namespace tessaro::testing
