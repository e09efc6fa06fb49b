#include "game/judge.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "game/line_pattern.h"
#include "game/text_board.h"
#include "reference_judge.h"
#include "test_boards.h"

namespace tessaro {
namespace {

using testing::BoardWith;
using testing::Fours;
using testing::ReferenceVerdict;
using testing::Verdict;

Verdict Judge(Board board, int x, int y) {
  const bool five = JudgePoint(board, static_cast<int16_t>(x), static_cast<int16_t>(y));
  if (five) {
    EXPECT_EQ(board.at(x, y), Empty) << "a five leaves no mark";
    return Verdict::Five;
  }
  switch (board.at(x, y)) {
    case ForbiddenMark:
      return Verdict::Forbidden;
    case Empty:
      return Verdict::Ok;
    default:
      return Verdict::Occupied;
  }
}

std::string PositionText(const Board& board, size_t moves) {
  return "moves " + std::to_string(moves) + "\n" + FormatBoard(board);
}

// Every point of the position judged by both judges, for black and for
// white, then the marks the game would show after `moves` records.
::testing::AssertionResult AgreesWithReference(const Board& board, size_t moves) {
  for (int y = 0; y < kBoardSize; ++y) {
    for (int x = 0; x < kBoardSize; ++x) {
      const Verdict judge = Judge(board, x, y);
      const Verdict reference = ReferenceVerdict(board, x, y, Fours::AsTheTable);
      const bool white = WhiteFiveAt(board, static_cast<int16_t>(x), static_cast<int16_t>(y));
      const bool referenceWhite = testing::ReferenceWhiteFive(board, x, y);
      if (judge != reference || white != referenceWhite) {
        return ::testing::AssertionFailure()
               << "at X " << x << ", Y " << y << ": black " << VerdictName(judge) << " (reference "
               << VerdictName(reference) << "), white five " << white << " (reference "
               << referenceWhite << ") in\n"
               << PositionText(board, moves);
      }
    }
  }
  Board marked = board;
  RefreshBoardMarks(marked, moves);
  const Board expected = testing::ReferenceMarks(board, moves, Fours::AsTheTable);
  if (marked != expected) {
    return ::testing::AssertionFailure() << "marks differ in\n"
                                         << PositionText(board, moves) << "judge:\n"
                                         << FormatBoard(marked) << "reference:\n"
                                         << FormatBoard(expected);
  }
  return ::testing::AssertionSuccess();
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
  for (const JudgeCase& c : cases) {
    EXPECT_EQ(Judge(c.board, c.x, c.y), c.verdict) << c.name;
    EXPECT_EQ(ReferenceVerdict(c.board, c.x, c.y), c.verdict) << c.name;
    // After 7 records the game marks every forbidden point.
    EXPECT_TRUE(AgreesWithReference(c.board, 7)) << c.name;
  }
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

// The diagonal three of (7, 5), (8, 4) and a stone on (9, 3) becomes a
// straight four only on (10, 2), which is forbidden (a four in column 10 as
// well). On (6, 6) the four is not straight: a stone on its far end (5, 7)
// meets (4, 8) and makes six. So only the three in column 9 is real.
TEST(IsRealThree, AFourWhoseFarEndMakesSixIsNotStraight) {
  const TextPosition position = ParsePosition(
      "moves 33\n"
      ".....x.xx......\n"
      "o.........x....\n"
      "o..oo..x.x.....\n"
      "o....x..x......\n"
      "xoo..x..xxx.x..\n"
      ".x....ox..x....\n"
      "....o...ooo....\n"
      "...x...x.......\n"
      "....x..........\n"
      ".......x.......\n"
      "...............\n"
      "...............\n"
      "...............\n"
      "...............\n"
      "...............\n");
  EXPECT_TRUE(IsRealThree(position.board, 9, 3, Vertical));
  EXPECT_FALSE(IsRealThree(position.board, 9, 3, DiagonalUp));
  EXPECT_EQ(Judge(position.board, 9, 3), Verdict::Ok);
  EXPECT_TRUE(AgreesWithReference(position.board, position.moves));
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

// ---- The judge against the reference judge ---------------------------------

// The seed of the positions below; TESSARO_JUDGE_SEED=N runs other ones.
uint64_t JudgeSeed() {
  const char* text = std::getenv("TESSARO_JUDGE_SEED");
  return text != nullptr ? std::strtoull(text, nullptr, 10) : 20250611;
}

using Random = std::mt19937_64;

int Below(Random& random, int n) {
  return static_cast<int>(random() % static_cast<uint64_t>(n));
}

// Stones scattered over the whole board, from a few to nearly full, with now
// and then a forbidden mark left from an earlier move and a record count that
// does not match the stones.
size_t ScatteredPosition(Random& random, Board& board) {
  board = Board{};
  const int blackShare = 4 + Below(random, 42), whiteShare = Below(random, 36);
  const int markShare = Below(random, 4) == 0 ? 4 : 0;
  size_t stones = 0;
  for (uint32_t& cell : board.cells) {
    const int roll = Below(random, 100);
    cell = roll < blackShare                            ? uint32_t{Black}
           : roll < blackShare + whiteShare             ? uint32_t{White}
           : roll < blackShare + whiteShare + markShare ? uint32_t{ForbiddenMark}
                                                        : uint32_t{Empty};
    if (cell == Black || cell == White) ++stones;
  }
  return Below(random, 8) == 0 ? static_cast<size_t>(Below(random, 9)) : stones;
}

// True when a stone lies within two points of (x, y).
bool NearAStone(const Board& board, int x, int y) {
  for (int dx = -2; dx <= 2; ++dx) {
    for (int dy = -2; dy <= 2; ++dy) {
      const int64_t cell = board.read(x + dx, y + dy);
      if (cell == Black || cell == White) return true;
    }
  }
  return false;
}

// A game of random legal moves, each stone near an earlier one, from the
// centre until a five or until no legal move is found: every position along
// the way with the marks the game shows, and its record count.
std::vector<std::pair<Board, size_t>> PlayRandomGame(Random& random) {
  std::vector<std::pair<Board, size_t>> positions;
  Board board;
  board.at(7, 7) = Black;
  for (size_t moves = 1;; ++moves) {
    RefreshBoardMarks(board, moves);
    positions.push_back({board, moves});
    const uint32_t colour = moves % 2 == 0 ? Black : White;
    std::vector<std::pair<int, int>> near;
    for (int x = 0; x < kBoardSize; ++x) {
      for (int y = 0; y < kBoardSize; ++y) {
        if (board.at(x, y) != Black && board.at(x, y) != White && NearAStone(board, x, y))
          near.push_back({x, y});
      }
    }
    for (int tries = 0;; ++tries) {
      if (near.empty() || tries == 20) return positions;
      const auto [x, y] = near[static_cast<size_t>(Below(random, static_cast<int>(near.size())))];
      if (colour == White) {
        if (testing::ReferenceWhiteFive(board, x, y)) return positions;
      } else {
        const Verdict verdict = ReferenceVerdict(board, x, y, Fours::AsTheTable);
        if (verdict == Verdict::Five) return positions;
        if (verdict == Verdict::Forbidden) continue;
      }
      board.at(x, y) = colour;
      break;
    }
  }
}

// Both judges on every point of thousands of positions: half scattered, half
// from played games (one position in four, for more games). A failure names
// the seed, the point and the position.
TEST(JudgeAgainstReference, EveryPointOfRandomAndPlayedPositions) {
  const uint64_t seed = JudgeSeed();
  Random random(seed);
  constexpr int kEach = 1100;
  for (int n = 0; n < kEach; ++n) {
    Board board;
    const size_t moves = ScatteredPosition(random, board);
    ASSERT_TRUE(AgreesWithReference(board, moves)) << "seed " << seed << ", scattered " << n;
  }
  for (int played = 0; played < kEach;) {
    for (const auto& [board, moves] : PlayRandomGame(random)) {
      if (Below(random, 4) != 0) continue;
      ASSERT_TRUE(AgreesWithReference(board, moves)) << "seed " << seed << ", played " << played;
      ++played;
    }
  }
}

// Two shapes of one line that the judge's pattern table counts otherwise than
// the rule text does. The table is shared with the peer's program, so the
// judge keeps them, and the positions above compare it with the reference's
// reading of the table.
TEST(JudgeAgainstReference, FoursTheTableCountsOtherwise) {
  struct Case {
    const char* name;
    Board board;
    Verdict asWritten, asTheTable;
  };
  const Case cases[] = {
      {"xx.x*x.x: a stone on the left gap makes six, so one four",
       BoardWith({{3, 7}, {4, 7}, {6, 7}, {8, 7}, {10, 7}}), Verdict::Ok, Verdict::Forbidden},
      {"xx.x*.xx: both gaps make exactly five, so two fours",
       BoardWith({{3, 7}, {4, 7}, {6, 7}, {9, 7}, {10, 7}}), Verdict::Forbidden, Verdict::Ok},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ReferenceVerdict(c.board, 7, 7), c.asWritten) << c.name;
    EXPECT_EQ(ReferenceVerdict(c.board, 7, 7, Fours::AsTheTable), c.asTheTable) << c.name;
    EXPECT_EQ(Judge(c.board, 7, 7), c.asTheTable) << c.name;
  }
}

// The positions of the judge tool's own tests and of the samples.
TEST(JudgeAgainstReference, ToolAndSamplePositions) {
  int count = 0;
  for (const char* file : {"judge_tool/positions.txt", "judge_tool/double_three.txt",
                           "judge_tool/five.txt", "judge_tool/whitefive.txt",
                           "judge_tool/trailing_blank.txt", "../../samples/positions.txt"}) {
    std::ifstream in(std::string(TESSARO_GAME_TEST_DIR) + "/" + file);
    ASSERT_TRUE(in) << file;
    TextPositionReader reader(in);
    TextPosition position;
    while (reader.Next(position)) {
      ++count;
      EXPECT_TRUE(AgreesWithReference(position.board, position.moves)) << file;
    }
    EXPECT_EQ(reader.error(), "") << file;
  }
  EXPECT_GE(count, 10);
}

}  // namespace
}  // namespace tessaro
