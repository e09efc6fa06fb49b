#include "game/judge.h"

#include <gtest/gtest.h>

#include <random>
#include <tuple>

#include "game/line_pattern.h"
#include "game/text_board.h"
#include "test_boards.h"

namespace tessaro {
namespace {

using testing::BoardWith;

enum class Verdict { Ok, Five, Forbidden };

Verdict Judge(Board board, int x, int y) {
  const bool five = JudgePoint(board, static_cast<int16_t>(x), static_cast<int16_t>(y));
  if (five) {
    EXPECT_EQ(board.at(x, y), Empty) << "a five leaves no mark";
    return Verdict::Five;
  }
  return board.at(x, y) == ForbiddenMark ? Verdict::Forbidden : Verdict::Ok;
}

struct JudgeCase {
  const char* name;
  Board board;
  int x, y;
  Verdict verdict;
};

TEST(JudgePoint, RenjuRestrictions) {
  const JudgeCase cases[] = {
      {"two real threes", BoardWith({{5, 7}, {6, 7}, {7, 5}, {7, 6}}), 7, 7, Verdict::Forbidden},
      {"two fours", BoardWith({{4, 7}, {5, 7}, {6, 7}, {7, 4}, {7, 5}, {7, 6}}), 7, 7,
       Verdict::Forbidden},
      {"four and three", BoardWith({{4, 7}, {5, 7}, {6, 7}, {7, 5}, {7, 6}}), 7, 7, Verdict::Ok},
      {"overline", BoardWith({{3, 7}, {4, 7}, {5, 7}, {6, 7}, {8, 7}}), 7, 7, Verdict::Forbidden},
      {"two fours in one line", BoardWith({{4, 7}, {6, 7}, {8, 7}, {10, 7}}), 7, 7,
       Verdict::Forbidden},
      {"five beats overline elsewhere",
       BoardWith({{3, 7}, {4, 7}, {5, 7}, {6, 7}, {7, 3}, {7, 4}, {7, 5}, {7, 6}, {7, 8}}), 7, 7,
       Verdict::Five},
      // The overline is found first (vertical), the five later (horizontal):
      // the five still wins.
      {"five after overline in direction order",
       BoardWith({{7, 2}, {7, 3}, {7, 4}, {7, 5}, {7, 6}, {3, 7}, {4, 7}, {5, 7}, {6, 7}}), 7, 7,
       Verdict::Five},
      {"five beside a double four",
       BoardWith(
           {{3, 7}, {4, 7}, {5, 7}, {6, 7}, {7, 4}, {7, 5}, {7, 6}, {8, 8}, {9, 9}, {10, 10}}),
       7, 7, Verdict::Five},
      {"six with the point inside: overline",
       BoardWith({{2, 7}, {3, 7}, {4, 7}, {5, 7}, {6, 7}, {8, 7}}), 7, 7, Verdict::Forbidden},
      // No record has the point at the end of six ("xxxxx*"): lengthening a
      // finished five at its end matches nothing. Both sides judge alike.
      {"the end of an existing five matches no record",
       BoardWith({{2, 7}, {3, 7}, {4, 7}, {5, 7}, {6, 7}}), 7, 7, Verdict::Ok},
      {"a three whose gap makes two fours is not real",
       BoardWith({{5, 5}, {8, 8}, {9, 7}, {10, 7}, {10, 9}, {11, 10}, {12, 11}}), 7, 7,
       Verdict::Ok},
      {"double three next to a four-three",
       BoardWith({{5, 7}, {6, 7}, {7, 5}, {7, 6}, {9, 9}, {10, 10}, {11, 11}}), 7, 7,
       Verdict::Forbidden},
      {"double three blocked on one side by white is one three",
       BoardWith({{5, 7}, {6, 7}, {7, 5}, {7, 6}}, {{7, 4}, {7, 8}}), 7, 7, Verdict::Ok},
      {"first stone anywhere", Board{}, 0, 0, Verdict::Ok},
  };
  for (const JudgeCase& c : cases)
    EXPECT_EQ(Judge(c.board, c.x, c.y), c.verdict) << c.name;
}

TEST(JudgePoint, MatchesFoundForTheFalseThreeExample) {
  const Board board = BoardWith({{5, 5}, {8, 8}, {9, 7}, {10, 7}, {10, 9}, {11, 10}, {12, 11}});
  EXPECT_EQ(MatchLine(board, 7, 7, Horizontal), LineKind::Three);
  EXPECT_EQ(MatchLine(board, 7, 7, DiagonalDown), LineKind::Three);
  EXPECT_FALSE(IsRealThree(board, 7, 7, Horizontal));
  EXPECT_TRUE(IsRealThree(board, 7, 7, DiagonalDown));
}

TEST(JudgePoint, OccupiedCellsAreLeftAlone) {
  for (uint32_t code : {Black, White, Proposal}) {
    Board board = BoardWith({{5, 7}, {6, 7}, {7, 5}, {7, 6}});
    board.at(7, 7) = code;
    const Board before = board;
    EXPECT_FALSE(JudgePoint(board, 7, 7));
    EXPECT_EQ(board, before) << code;
  }
}

TEST(JudgePoint, RenewsTheMarkOfItsCellOnly) {
  Board board;
  board.cells.fill(ForbiddenMark);
  board.at(7, 7) = Empty;
  EXPECT_FALSE(JudgePoint(board, 3, 3));
  EXPECT_EQ(board.at(3, 3), Empty);
  EXPECT_EQ(board.at(3, 4), ForbiddenMark);

  Board forbidden = BoardWith({{5, 7}, {6, 7}, {7, 5}, {7, 6}});
  forbidden.at(0, 0) = ForbiddenMark;
  JudgePoint(forbidden, 7, 7);
  EXPECT_EQ(forbidden.at(7, 7), ForbiddenMark);
  EXPECT_EQ(forbidden.at(0, 0), ForbiddenMark);
}

TEST(IsRealThree, EdgesAndBlockedEnds) {
  // Against the edge: the backward side fails (R off the board), the forward
  // side makes it real.
  EXPECT_EQ(MatchLine(BoardWith({{2, 7}, {3, 7}}), 1, 7, Horizontal), LineKind::Three);
  EXPECT_TRUE(IsRealThree(BoardWith({{2, 7}, {3, 7}}), 1, 7, Horizontal));
  // Forward completion blocked by white two beyond: only the back is left.
  EXPECT_TRUE(IsRealThree(BoardWith({{5, 7}, {6, 7}}, {{9, 7}}), 7, 7, Horizontal));
  // Filling Q1 would make six with a black stone at Q2, and the back side is
  // cut by white at R: not real.
  EXPECT_FALSE(IsRealThree(BoardWith({{5, 7}, {6, 7}, {10, 7}}, {{3, 7}}), 7, 7, Horizontal));
  // Split three whose gap is forbidden (it would make two fours there).
  const Board gapForbidden = BoardWith({{6, 7}, {8, 7}, {7, 4}, {7, 5}, {7, 6}}, {{7, 3}, {4, 7}});
  EXPECT_EQ(MatchLine(gapForbidden, 9, 7, Horizontal), LineKind::Three);
  EXPECT_FALSE(IsRealThree(gapForbidden, 9, 7, Horizontal));
  // The same split three with a free gap is real.
  EXPECT_TRUE(IsRealThree(BoardWith({{6, 7}, {8, 7}}), 9, 7, Horizontal));
}

TEST(IsRealThree, LeavesTheBoardUnchanged) {
  const Board board = BoardWith({{5, 5}, {8, 8}, {9, 7}, {10, 7}, {10, 9}, {11, 10}, {12, 11}});
  Board copy = board;
  IsRealThree(copy, 7, 7, Horizontal);
  IsRealThree(copy, 7, 7, DiagonalDown);
  EXPECT_EQ(copy, board);
}

// The horizontal three at (7,7) completes at Q (8,7) or P (4,7). With the
// stone on (7,7), each of those points makes a four and two threes, so judging
// it asks IsRealThree one level further down; there both threes are real, so
// Q and P are forbidden as double threes and the horizontal three is not real.
TEST(IsRealThree, RecursesTwoLevelsDeep) {
  const Board board = ParsePosition(
                          "...............\n"
                          "...............\n"
                          "...............\n"
                          "...............\n"
                          "...............\n"
                          "..x.x..x..x....\n"
                          "...xx..x.x.....\n"
                          ".....xx........\n"
                          "........x......\n"
                          "........x......\n"
                          "...............\n"
                          "...............\n"
                          "...............\n"
                          "...............\n"
                          "...............\n")
                          .board;
  EXPECT_EQ(MatchLine(board, 7, 7, Horizontal), LineKind::Three);
  EXPECT_EQ(MatchLine(board, 7, 7, Vertical), LineKind::Three);

  Board withStone = board;
  withStone.at(7, 7) = Black;
  for (auto [x, y, first, second] :
       {std::tuple{8, 7, Vertical, DiagonalUp}, std::tuple{4, 7, Vertical, DiagonalDown}}) {
    const auto px = static_cast<int16_t>(x), py = static_cast<int16_t>(y);
    EXPECT_EQ(MatchLine(withStone, px, py, Horizontal), LineKind::Four);
    EXPECT_EQ(MatchLine(withStone, px, py, first), LineKind::Three);
    EXPECT_EQ(MatchLine(withStone, px, py, second), LineKind::Three);
    EXPECT_TRUE(IsRealThree(withStone, px, py, first));
    EXPECT_TRUE(IsRealThree(withStone, px, py, second));
    Board judged = withStone;
    EXPECT_FALSE(JudgePoint(judged, px, py));
    EXPECT_EQ(judged.at(x, y), ForbiddenMark) << x << "," << y;
  }

  Board copy = board;
  EXPECT_FALSE(IsRealThree(copy, 7, 7, Horizontal));
  EXPECT_EQ(copy, board);
}

TEST(JudgeAllPoints, MarksEveryForbiddenPointWhateverTheOrder) {
  Board board = BoardWith({{5, 7}, {6, 7}, {7, 5}, {7, 6}, {1, 2}, {1, 3}, {1, 4}, {1, 6}, {1, 7}});
  JudgeAllPoints(board);
  EXPECT_EQ(board.at(7, 7), ForbiddenMark);
  EXPECT_EQ(board.at(1, 5), ForbiddenMark);  // overline in column 1
  EXPECT_EQ(board.at(0, 0), Empty);
  // Marks already on the board change nothing: a second pass gives the same.
  const Board once = board;
  JudgeAllPoints(board);
  EXPECT_EQ(board, once);
}

// JudgeAllPoints matches all lines in one sweep; it must leave exactly the
// marks of JudgePoint called cell by cell in the same order.
TEST(JudgeAllPoints, AgreesWithJudgingPointByPoint) {
  std::mt19937 engine(7);
  auto random = [&engine]() { return static_cast<uint32_t>(engine()); };
  for (int round = 0; round < 400; ++round) {
    Board board;
    const uint32_t blackShare = 8 + random() % 40, whiteShare = random() % 30;
    for (uint32_t& cell : board.cells) {
      const uint32_t roll = random() % 100;
      cell = roll < blackShare                ? uint32_t{Black}
             : roll < blackShare + whiteShare ? uint32_t{White}
             : roll < 95                      ? uint32_t{Empty}
             : random() % 2                   ? uint32_t{Proposal}
                                              : uint32_t{ForbiddenMark};
    }
    Board pointByPoint = board;
    for (int16_t x = 0; x < kBoardSize; ++x) {
      for (int16_t y = 0; y < kBoardSize; ++y)
        JudgePoint(pointByPoint, x, y);
    }
    Board swept = board;
    JudgeAllPoints(swept);
    ASSERT_EQ(FormatBoard(swept), FormatBoard(pointByPoint)) << "round " << round << "\n"
                                                             << FormatBoard(board);
  }
}

TEST(RefreshBoardMarks, GoesByTheRecordCount) {
  Board board = BoardWith({{5, 7}, {6, 7}, {7, 5}, {7, 6}});
  board.at(1, 1) = ForbiddenMark;
  Board few = board;
  RefreshBoardMarks(few, 6);
  EXPECT_EQ(few.at(7, 7), Empty);
  EXPECT_EQ(few.at(1, 1), Empty);

  Board many = board;
  RefreshBoardMarks(many, 7);
  EXPECT_EQ(many.at(7, 7), ForbiddenMark);

  Board reset = board;
  RefreshBoardMarks(reset, 0);
  for (int x = 0; x < kBoardSize; ++x) {
    for (int y = 0; y < kBoardSize; ++y) {
      EXPECT_EQ(reset.at(x, y), (x == 7 && y == 7) ? Empty : ForbiddenMark);
    }
  }
  // On the reset board the first stone may go anywhere.
  EXPECT_FALSE(JudgePoint(reset, 0, 14));
  EXPECT_EQ(reset.at(0, 14), Empty);
}

TEST(WhiteFiveAt, FiveOrMore) {
  EXPECT_TRUE(WhiteFiveAt(BoardWith({}, {{3, 7}, {4, 7}, {5, 7}, {6, 7}}), 7, 7));
  EXPECT_TRUE(WhiteFiveAt(BoardWith({}, {{3, 7}, {4, 7}, {5, 7}, {6, 7}, {8, 7}}), 7, 7));
  EXPECT_FALSE(WhiteFiveAt(BoardWith({}, {{4, 7}, {5, 7}, {6, 7}}), 7, 7));
  EXPECT_TRUE(WhiteFiveAt(BoardWith({}, {{8, 6}, {9, 5}, {6, 8}, {5, 9}}), 7, 7));
  EXPECT_TRUE(WhiteFiveAt(BoardWith({}, {{0, 1}, {0, 2}, {0, 3}, {0, 4}}), 0, 0));
  // Black stones do not count, and the cell itself is not read.
  Board board = BoardWith({{7, 7}}, {{3, 7}, {4, 7}, {5, 7}, {6, 7}});
  EXPECT_TRUE(WhiteFiveAt(board, 7, 7));
  EXPECT_FALSE(WhiteFiveAt(BoardWith({{3, 7}, {4, 7}, {5, 7}, {6, 7}}), 7, 7));
}

}  // namespace
}  // namespace tessaro
