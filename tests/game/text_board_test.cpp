#include "game/text_board.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <string_view>

namespace tessaro {
namespace {

const std::string kEmptyRows = std::string(14 * 16, '.');

// Fifteen board lines, the first one given, after `before`.
std::string Rows(const std::string& first, std::string_view before = {}) {
  std::string text(before);
  text += first;
  text += '\n';
  for (int i = 0; i < 14; ++i)
    text += "...............\n";
  return text;
}

TEST(TextPositionReader, ReadsPositionsWithAndWithoutMovesLine) {
  std::istringstream in("moves 9\n" + Rows("xo.p#..........") + "\n" + Rows("x.............o"));
  TextPositionReader reader(in);
  TextPosition position;
  ASSERT_TRUE(reader.Next(position));
  EXPECT_EQ(position.moves, 9u);
  EXPECT_EQ(position.board.at(0, 0), Black);
  EXPECT_EQ(position.board.at(1, 0), White);
  EXPECT_EQ(position.board.at(3, 0), Proposal);
  EXPECT_EQ(position.board.at(4, 0), ForbiddenMark);
  ASSERT_TRUE(reader.Next(position));
  EXPECT_EQ(position.moves, 2u);  // the stones on the board
  EXPECT_EQ(position.board.at(14, 0), White);
  EXPECT_FALSE(reader.Next(position));
  EXPECT_EQ(reader.error(), "");
}

TEST(TextPositionReader, NamesThePositionAndLineOfAnError) {
  struct Case {
    std::string text;
    std::string error;
  };
  const Case cases[] = {
      {Rows("..............."), ""},
      {Rows("...............").substr(0, 16 * 10),
       "position 1, line 10: missing board line 11 of 15"},
      {Rows("......"), "position 1, line 1: board line of 6 characters, expected 15"},
      {Rows("......z........"), "position 1, line 1: unknown character 'z' in column 6"},
      {Rows("...............", "moves x\n"), "position 1, line 1: bad moves line: \"moves x\""},
      {Rows("...............", "moves -1\n"), "position 1, line 1: bad moves line: \"moves -1\""},
      // A 16th board line is the first position's fault, not a second one's.
      {Rows("...............") + Rows("..............."),
       "position 1, line 16: expected a blank line or the end of the input after board line 15"},
      {Rows("...............") + "\n", ""},
      {Rows("...............") + "\n\r\n\n", ""},
      {Rows("...............") + "\n\n" + Rows("..............."),
       "position 2, line 18: more than one blank line between positions"},
      {Rows("...............", "\n"), "position 1, line 2: a blank line before the first position"},
      {"", ""},
  };
  for (const Case& c : cases) {
    std::istringstream in(c.text);
    TextPositionReader reader(in);
    TextPosition position;
    while (reader.Next(position)) {
    }
    EXPECT_EQ(reader.error(), c.error);
  }
}

TEST(FormatBoard, WritesTheReadFormat) {
  const std::string text = Rows("xo.p#..........");
  const TextPosition position = ParsePosition(text);
  EXPECT_EQ(FormatBoard(position.board), text);
}

}  // namespace
}  // namespace tessaro
