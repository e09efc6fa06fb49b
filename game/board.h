// The position of one game: the 15 x 15 board of cell codes and the record
// of every placement in the order it happened.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace tessaro {

// ---- Sizes and coordinates -------------------------------------------------

inline constexpr int kBoardSize = 15;
inline constexpr int kCellCount = kBoardSize * kBoardSize;

// x is the column (0..14, left to right), y the row (0..14, top to bottom).
// Move records and the wire hold them as signed 16-bit numbers.
constexpr bool OnBoard(int x, int y) {
  return x >= 0 && x < kBoardSize && y >= 0 && y < kBoardSize;
}

// The cell of (x, y) is element x * 15 + y: the column is the major index.
// Every place that turns an index back into a point relies on this order.
constexpr int CellIndex(int x, int y) {
  return x * kBoardSize + y;
}

// ---- Cell codes ------------------------------------------------------------

// The codes 0, 1 and 2 double as side codes (`myColor`). A cell may hold any
// 32-bit value a peer sent; the line rules read everything but 1 and 2 as empty.
enum StoneColor : uint32_t {
  Empty = 0,
  Black = 1,
  White = 2,
  Proposal = 3,       // a fifth-move offer of black during the opening
  ForbiddenMark = 4,  // black may not play here, or the reset filler
};

// ---- Board -----------------------------------------------------------------

struct Board {
  std::array<uint32_t, kCellCount> cells{};

  uint32_t& at(int x, int y) { return cells[static_cast<std::size_t>(CellIndex(x, y))]; }
  uint32_t at(int x, int y) const { return cells[static_cast<std::size_t>(CellIndex(x, y))]; }
  // The cell of a point that may lie off the board; off-board reads as -1.
  int64_t read(int x, int y) const { return OnBoard(x, y) ? int64_t{at(x, y)} : -1; }

  bool operator==(const Board&) const = default;
};

// ---- Move record -----------------------------------------------------------

// One record of a MoveList, 8 bytes on the wire in this order. `value` is the
// code written into the cell: 1 or 2 for a stone, 3 for a proposal, 0 for the
// removal of a proposal that was not chosen.
struct Move {
  int16_t x = 0;
  int16_t y = 0;
  uint32_t value = 0;

  bool operator==(const Move&) const = default;
};
static_assert(sizeof(Move) == 8);

// Oldest first; records are only appended at the end and only the last one is
// ever removed. Its count is of records, not stones.
using MoveList = std::vector<Move>;

// Rebuilds a Board from a MoveList: every cell 0, then each record's value in
// list order, so a later record overrides an earlier one at the same point.
// Records off the board are skipped; they never come from a checked source.
void Replay(Board& board, const MoveList& moves);

}  // namespace tessaro
