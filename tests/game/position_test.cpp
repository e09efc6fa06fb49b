#include "game/position.h"

#include <gtest/gtest.h>

#include "game/judge.h"
#include "test_boards.h"

namespace tessaro {
namespace {

// A position that counts its repaints, as the window's would.
class CountingPosition : public GamePosition {
 public:
  int repaints = 0;

 protected:
  void InvalidateBoard() override { ++repaints; }
};

// The double-three example; (7,7) is forbidden once marks are computed.
void PlayDoubleThreeSetup(GamePosition& position) {
  position.PlaceMove(5, 7, Black);
  position.PlaceMove(0, 0, White);
  position.PlaceMove(6, 7, Black);
  position.PlaceMove(0, 1, White);
  position.PlaceMove(7, 5, Black);
  position.PlaceMove(0, 2, White);
}

TEST(Board, CellsAreColumnMajor) {
  Board board;
  board.at(3, 10) = Black;
  EXPECT_EQ(board.cells[55], Black);
  EXPECT_EQ(board.cells[153], Empty);
  EXPECT_TRUE(OnBoard(0, 0));
  EXPECT_TRUE(OnBoard(14, 14));
  EXPECT_FALSE(OnBoard(-1, 0));
  EXPECT_FALSE(OnBoard(0, 15));
}

TEST(GamePosition, ResetFillsEveryCellButTheCentreWithMarks) {
  CountingPosition position;
  position.board.cells.fill(White);
  position.RefreshMarks();
  EXPECT_EQ(position.board.at(7, 7), Empty);
  int marks = 0;
  for (uint32_t cell : position.board.cells)
    marks += cell == ForbiddenMark;
  EXPECT_EQ(marks, 224);
  EXPECT_EQ(position.repaints, 1);
}

TEST(GamePosition, PlaceMoveOverwritesAppendsAndRepaints) {
  CountingPosition position;
  position.RefreshMarks();
  position.PlaceMove(3, 3, Black);
  position.PlaceMove(3, 3, White);
  EXPECT_EQ(position.board.at(3, 3), White);
  ASSERT_EQ(position.moveList.size(), 2u);
  EXPECT_EQ(position.moveList[1], (Move{3, 3, White}));
  EXPECT_GE(position.repaints, 3);
  // With 1 to 6 records no mark is left, not even the reset filler.
  for (uint32_t cell : position.board.cells)
    EXPECT_NE(cell, ForbiddenMark);
}

TEST(GamePosition, MarksAppearOnlyPastSixRecords) {
  CountingPosition position;
  PlayDoubleThreeSetup(position);
  EXPECT_EQ(position.moveList.size(), 6u);
  position.PlaceMove(7, 6, Black);  // the seventh record makes (7,7) a double three
  EXPECT_EQ(position.board.at(7, 7), ForbiddenMark);
  position.TakeBack();
  EXPECT_EQ(position.board.at(7, 6), Empty);
  EXPECT_EQ(position.board.at(7, 7), Empty);
  EXPECT_EQ(position.moveList.size(), 6u);
}

TEST(GamePosition, TakeBackOnAnEmptyListDoesNothing) {
  CountingPosition position;
  position.RefreshMarks();
  const Board before = position.board;
  const int repaints = position.repaints;
  position.TakeBack();
  EXPECT_EQ(position.board, before);
  EXPECT_EQ(position.repaints, repaints);
}

TEST(Replay, LaterRecordsOverrideEarlierOnes) {
  const MoveList moves = {{7, 7, Black}, {8, 8, Proposal}, {9, 9, Proposal},
                          {9, 9, Black}, {8, 8, Empty},    {20, 3, White}};
  Board board;
  board.cells.fill(ForbiddenMark);
  Replay(board, moves);
  EXPECT_EQ(board.at(7, 7), Black);
  EXPECT_EQ(board.at(8, 8), Empty);
  EXPECT_EQ(board.at(9, 9), Black);
  EXPECT_EQ(board.at(0, 0), Empty);
}

TEST(GamePosition, SimulationCopiesTheRealPairAsItStands) {
  CountingPosition position;
  PlayDoubleThreeSetup(position);
  position.PlaceMove(7, 6, Black);
  position.simulationMode = 1;
  position.CopyToSimulation();
  EXPECT_EQ(position.simBoard, position.board);  // marks included
  EXPECT_EQ(position.simMoveList, position.moveList);

  // In simulation mode the marks follow the simulation pair.
  position.simBoard.at(7, 7) = Black;
  position.simMoveList.push_back({7, 7, Black});
  position.RefreshMarks();
  EXPECT_EQ(position.simBoard.at(7, 7), Black);
  EXPECT_EQ(position.board.at(7, 7), ForbiddenMark);

  // A stone from the peer still goes to the real pair, whose marks are renewed.
  position.PlaceMove(5, 5, White);
  EXPECT_EQ(position.board.at(5, 5), White);
  EXPECT_EQ(position.simBoard.at(5, 5), Empty);
  EXPECT_EQ(position.moveList.size(), 8u);
  Board expected = position.board;
  RefreshBoardMarks(expected, position.moveList.size());
  EXPECT_EQ(position.board, expected);

  // Nothing is copied back when the simulation ends.
  position.simulationMode = 0;
  EXPECT_EQ(position.board.at(7, 7), ForbiddenMark);
}

TEST(GamePosition, ResetPositionEmptiesTheCurrentPair) {
  CountingPosition position;
  PlayDoubleThreeSetup(position);
  position.ResetPosition();
  EXPECT_TRUE(position.moveList.empty());
  EXPECT_EQ(position.board.at(5, 7), ForbiddenMark);
  EXPECT_EQ(position.board.at(7, 7), Empty);
}

}  // namespace
}  // namespace tessaro
