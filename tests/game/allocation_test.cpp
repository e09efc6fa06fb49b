// The judge runs on every stone and over every point after each move; it must
// work on the stack alone. This test counts every heap allocation of the
// process while the judge runs.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>

#include "game/judge.h"
#include "game/line_pattern.h"
#include "game/position.h"
#include "test_boards.h"

namespace {
std::atomic<long> allocations{0};
}

void* operator new(std::size_t size) {
  allocations.fetch_add(1, std::memory_order_relaxed);
  if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
  throw std::bad_alloc();
}
void* operator new[](std::size_t size) {
  return operator new(size);
}
void operator delete(void* p) noexcept {
  std::free(p);
}
void operator delete[](void* p) noexcept {
  std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
  std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept {
  std::free(p);
}

namespace tessaro {
namespace {

TEST(Allocation, JudgeAllocatesNothing) {
  // A busy position with threes, fours, overlines and recursion.
  Board board = testing::BoardWith(
      {{5, 7}, {6, 7}, {7, 5},  {7, 6},  {1, 2},   {1, 3},   {1, 4}, {1, 6}, {1, 7}, {5, 5},
       {8, 8}, {9, 7}, {10, 7}, {10, 9}, {11, 10}, {12, 11}, {2, 5}, {4, 5}, {3, 6}, {4, 6}},
      {{6, 6}, {9, 9}, {3, 3}, {12, 3}});
  MatchLine(board, 7, 7, Horizontal);  // builds the lookup outside the count

  const long before = allocations.load();
  for (int16_t x = 0; x < kBoardSize; ++x) {
    for (int16_t y = 0; y < kBoardSize; ++y) {
      for (int d = 0; d < kDirectionCount; ++d)
        MatchLine(board, x, y, d);
      IsRealThree(board, x, y, Horizontal);
      WhiteFiveAt(board, x, y);
    }
  }
  Board judged = board;
  JudgePoint(judged, 7, 7);
  JudgeAllPoints(judged);
  RefreshBoardMarks(judged, 30);
  EXPECT_EQ(allocations.load() - before, 0);
  int marks = 0;
  for (uint32_t cell : judged.cells)
    marks += cell == ForbiddenMark;
  EXPECT_GT(marks, 0);
}

TEST(Allocation, RefreshMarksOfTheWindowAllocatesNothing) {
  GamePosition position;
  position.moveList.reserve(16);
  for (int i = 0; i < 10; ++i) {
    position.PlaceMove(static_cast<int16_t>(i), static_cast<int16_t>(i % 3 + 5), Black);
  }
  const long before = allocations.load();
  position.RefreshMarks();
  EXPECT_EQ(allocations.load() - before, 0);
}

}  // namespace
}  // namespace tessaro
