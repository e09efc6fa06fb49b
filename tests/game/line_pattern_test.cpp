#include "game/line_pattern.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>

#include "reference_matcher.h"
#include "test_boards.h"

namespace tessaro {
namespace {

using testing::BoardWith;
using testing::ReferenceMatchLine;

TEST(LinePatternTable, RecordsAreWellFormedAndMirrorClosed) {
  for (const LinePattern& record : LinePatternTable) {
    const std::string text = record.text;
    SCOPED_TRACE(text);
    EXPECT_EQ(std::count(text.begin(), text.end(), '*'), 1);
    EXPECT_GE(std::count(text.begin(), text.end(), 'x'), 2);
    const size_t star = text.find('*');
    EXPECT_LE(star, 5u);
    EXPECT_LE(text.size() - star - 1, 5u);
    // Every record has a black stone within two cells of the point; the
    // matcher's shortcut depends on it.
    bool near = false;
    for (size_t i = 0; i < text.size(); ++i) {
      if (text[i] == 'x' && (i + 2 >= star && i <= star + 2)) near = true;
    }
    EXPECT_TRUE(near);
    std::string mirror(text.rbegin(), text.rend());
    const bool mirrored = std::any_of(std::begin(LinePatternTable), std::end(LinePatternTable),
                                      [&](const LinePattern& other) {
                                        return mirror == other.text && other.kind == record.kind;
                                      });
    EXPECT_TRUE(mirrored);
  }
  // The order decides: threes, double fours, fives, overlines, fours.
  const int expectedKinds[] = {1, 5, 3, 4, 2};
  const int firstIndex[] = {0, 12, 16, 21, 25};
  for (int group = 0; group < 5; ++group) {
    const int end = group == 4 ? kLinePatternCount : firstIndex[group + 1];
    for (int i = firstIndex[group]; i < end; ++i) {
      EXPECT_EQ(LinePatternTable[i].kind, expectedKinds[group]) << "record " << i;
    }
  }
  EXPECT_STREQ(LinePatternTable[0].text, "#..*xx.#");
  EXPECT_STREQ(LinePatternTable[15].text, "xxx.*.xxx");
  EXPECT_STREQ(LinePatternTable[44].text, "#xxx*.#");
}

// The documented lines, each with the kind it must give.
TEST(MatchLine, DocumentedLines) {
  struct Case {
    const char* name;
    Board board;
    int x, y, direction;
    LineKind kind;
  };
  const Case cases[] = {
      {"solid three", BoardWith({{5, 7}, {6, 7}}), 7, 7, Horizontal, LineKind::Three},
      {"five", BoardWith({{3, 7}, {4, 7}, {5, 7}, {6, 7}}), 7, 7, Horizontal, LineKind::Five},
      {"overline", BoardWith({{3, 7}, {4, 7}, {5, 7}, {6, 7}, {8, 7}}), 7, 7, Horizontal,
       LineKind::Overline},
      {"two fours in a line", BoardWith({{4, 7}, {6, 7}, {8, 7}, {10, 7}}), 7, 7, Horizontal,
       LineKind::DoubleFour},
      {"five against the edge", BoardWith({{1, 7}, {2, 7}, {3, 7}, {4, 7}}), 0, 7, Horizontal,
       LineKind::Five},
      {"white blocks", BoardWith({{8, 7}, {9, 7}}, {{6, 7}}), 7, 7, Horizontal, LineKind::None},
      {"single black", BoardWith({{8, 7}}), 7, 7, Horizontal, LineKind::None},
      {"other direction", BoardWith({{5, 7}, {6, 7}}), 7, 7, Vertical, LineKind::None},
      {"vertical four", BoardWith({{7, 3}, {7, 4}, {7, 5}}), 7, 6, Vertical, LineKind::Four},
      {"diagonal down three", BoardWith({{5, 5}, {6, 6}}), 7, 7, DiagonalDown, LineKind::Three},
      {"diagonal up three", BoardWith({{8, 6}, {9, 5}}), 7, 7, DiagonalUp, LineKind::Three},
      {"corner five", BoardWith({{1, 13}, {2, 12}, {3, 11}, {4, 10}}), 0, 14, DiagonalUp,
       LineKind::Five},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(MatchLine(c.board, static_cast<int16_t>(c.x), static_cast<int16_t>(c.y), c.direction),
              c.kind)
        << c.name;
  }
}

TEST(MatchLine, ProposalsAndMarksReadAsEmptyAndNeverBlock) {
  Board board = BoardWith({{5, 7}, {6, 7}});
  board.at(8, 7) = Proposal;
  board.at(4, 7) = ForbiddenMark;
  board.at(9, 7) = 77;  // any other code a peer may have sent
  EXPECT_EQ(MatchLine(board, 7, 7, Horizontal), LineKind::Three);
}

TEST(MatchLine, TheJudgedCellIsNotRead) {
  Board board = BoardWith({{3, 7}, {4, 7}, {5, 7}, {6, 7}});
  for (uint32_t code : {0u, 1u, 2u, 3u, 4u}) {
    board.at(7, 7) = code;
    EXPECT_EQ(MatchLine(board, 7, 7, Horizontal), LineKind::Five) << code;
  }
}

TEST(MatchLine, BlackAtDistanceSixCountsButHasNoPlace) {
  // One black stone in the window and one six cells away: the count is 2, so
  // the table is consulted, but no record fits a single 'x'.
  const Board board = BoardWith({{8, 7}, {1, 7}});
  EXPECT_EQ(testing::ScanLine(board, 7, 7, Horizontal).blacks, 2);
  EXPECT_EQ(MatchLine(board, 7, 7, Horizontal), LineKind::None);
  EXPECT_EQ(ReferenceMatchLine(board, 7, 7, Horizontal), LineKind::None);
}

// Every distinct window the scan can produce: on each side, up to six cells of
// empty / black, cut by a white stone at any distance. Cells behind the white
// stone are filled at random to show they are never read.
TEST(MatchLine, AgreesWithThePlainTableOnEveryWindow) {
  std::vector<std::vector<int>> sides;  // 0 empty, 1 black, 2 white (ends the side)
  for (int length = 0; length <= 6; ++length) {
    for (int bits = 0; bits < (1 << length); ++bits) {
      std::vector<int> side;
      for (int k = 0; k < length; ++k)
        side.push_back((bits >> k) & 1);
      if (length < 6) side.push_back(2);
      sides.push_back(side);
    }
  }
  ASSERT_EQ(sides.size(), 127u);
  std::mt19937 random(1234);
  const uint32_t fillers[] = {Empty, Black, White, Proposal, ForbiddenMark};
  int checked = 0;
  for (const auto& forward : sides) {
    for (const auto& backward : sides) {
      Board board;
      for (int x = 0; x < kBoardSize; ++x)
        board.at(x, 7) = fillers[random() % 5];
      auto lay = [&](const std::vector<int>& side, int sign) {
        for (size_t k = 0; k < side.size(); ++k) {
          const int x = 7 + sign * static_cast<int>(k + 1);
          const uint32_t empty = random() % 2 ? Empty : (random() % 2 ? Proposal : ForbiddenMark);
          board.at(x, 7) = side[k] == 0 ? empty : side[k] == 1 ? Black : White;
        }
      };
      lay(forward, +1);
      lay(backward, -1);
      ASSERT_EQ(MatchLine(board, 7, 7, Horizontal), ReferenceMatchLine(board, 7, 7, Horizontal))
          << testing::ScanLine(board, 7, 7, Horizontal).window;
      ++checked;
    }
  }
  EXPECT_EQ(checked, 127 * 127);
}

// Whole boards, every point and direction: edges, corners and diagonals.
TEST(MatchLine, AgreesWithThePlainTableOnRandomBoards) {
  std::mt19937 engine(99);
  auto random = [&engine]() { return static_cast<uint32_t>(engine()); };
  for (int round = 0; round < 300; ++round) {
    Board board;
    const uint32_t blackShare = 20 + random() % 50, whiteShare = random() % 25;
    const uint32_t others[] = {Empty, Proposal, ForbiddenMark, 9};
    for (uint32_t& cell : board.cells) {
      const uint32_t roll = random() % 100;
      cell = roll < blackShare                ? uint32_t{Black}
             : roll < blackShare + whiteShare ? uint32_t{White}
                                              : others[random() % 4];
    }
    LineKinds all;
    MatchAllLines(board, all);
    for (int16_t x = 0; x < kBoardSize; ++x) {
      for (int16_t y = 0; y < kBoardSize; ++y) {
        for (int d = 0; d < kDirectionCount; ++d) {
          const LineKind expected = ReferenceMatchLine(board, x, y, d);
          ASSERT_EQ(MatchLine(board, x, y, d), expected)
              << "round " << round << " point " << x << "," << y << " direction " << d;
          ASSERT_EQ(all[CellIndex(x, y)][d], expected)
              << "sweep, round " << round << " point " << x << "," << y << " direction " << d;
        }
      }
    }
  }
}

}  // namespace
}  // namespace tessaro
