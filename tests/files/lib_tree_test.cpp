// The library read as a tree and shown to a player: branches, passes, texts
// on moves and on empty points, escaping, and files that end too early.
#include "files/lib_tree.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <string>
#include <vector>

#include "files/lib_file.h"

namespace tessaro {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes WithHeader(const Bytes& body) {
  // The magic and version, then ten bytes of 0xFF.
  Bytes content(20 + body.size(), 0xFF);
  const uint8_t magic[] = {0xFF, 'R', 'e', 'n', 'L', 'i', 'b', 0xFF, 0x03, 0x00};
  std::copy(std::begin(magic), std::end(magic), content.begin());
  std::copy(body.begin(), body.end(), content.begin() + 20);
  return content;
}

Bytes Concat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& part : parts)
    out.insert(out.end(), part.begin(), part.end());
  return out;
}

Bytes Text(const std::string& text) {
  return Bytes(text.begin(), text.end());
}

struct TreeCase {
  const char* name;
  Bytes content;
  std::string shown;
};

TEST(LibTree, ShowsTheMainLineVariationsAndTexts) {
  const TreeCase cases[] = {
      {"a file Save Game writes: the title is the last move's comment, unpadded",
       EncodeLibFile({{7, 7, Black}, {8, 7, White}}, "A vs B"),
       "RenLib 3.0: 2 moves, 0 variations\n"
       "main line: 1. h8 2. i8\n"
       "  2. i8, comment: A vs B\n"},
      {"the no-stone form: a root, and a pass carrying the title", EncodeLibFile({}, "A vs B"),
       "RenLib 3.0: 1 move, 0 variations\n"
       "main line: 1. pass\n"
       "  1. pass, comment: A vs B\n"},
      // h8; a text X on the empty j8 (no move, sibling, no child, extension);
      // h9 with a sibling, i9 with a comment and no child; then g8, h9's
      // sibling, with a board text.
      {"branches, a text on an empty point, a board text on a move",
       WithHeader(Concat({{0x78, 0x00},
                          {0x7A, 0xC3, 0x00, 0x01, 'X', 0x00},
                          {0x68, 0x80},
                          {0x69, 0x48, 'c', 0x00},
                          {0x77, 0x41, 0x00, 0x01, 'A', 0x00}})),
       "RenLib 3.0: 4 moves, 1 variation\n"
       "main line: 1. h8 2. h9 3. i9\n"
       "  after 1. h8 on j8, board text: X\n"
       "  3. i9, comment: c\n"
       "variation 1, after 1. h8 of the main line: 2. g8\n"
       "  2. g8, board text: A\n"},
      // A variation inside a variation is named by the line it leaves.
      {"nested variations",
       WithHeader({0x78, 0x80, 0x79, 0x40, 0x88, 0x00, 0x89, 0x80, 0x8A, 0x40, 0x8B, 0x40}),
       "RenLib 3.0: 6 moves, 2 variations\n"
       "main line: 1. h8 2. i8\n"
       "variation 1, from the start: 1. h7 2. i7 3. j7\n"
       "variation 2, after 1. h7 of variation 1: 2. k7\n"},
      {"a root record with a comment and no move",
       WithHeader(Concat({{0x00, 0x48}, Text("lib"), {0x00}})),
       "RenLib 3.0: 0 moves, 0 variations\n"
       "main line: no moves\n"
       "  start, comment: lib\n"},
      {"one-line and multi-line parts, padded",
       WithHeader(Concat({{0x78, 0x48}, Text("one\x08two\r\nthree"), {0x00, 0x00}})),
       "RenLib 3.0: 1 move, 0 variations\n"
       "main line: 1. h8\n"
       "  1. h8, comment: one\n"
       "  1. h8, multi-line comment: two\n"
       "    three\n"},
      // UTF-8 stays, controls and the backslash are escaped; a text that is
      // not UTF-8 is escaped byte by byte.
      {"texts shown safely",
       WithHeader(Concat({{0x78, 0x08},
                          Text("\xC3\xA9\x1B\\\xC2\x9B"),
                          {0x00, 0x00},
                          {0x79, 0x48},
                          Text("\xE9t"),
                          {0x00, 0x00}})),
       "RenLib 3.0: 2 moves, 0 variations\n"
       "main line: 1. h8 2. i8\n"
       "  1. h8, comment: \xC3\xA9\\x1B\\\\\\xC2\\x9B\n"
       "  2. i8, comment: \\xE9t\n"},
      {"a point off the board is named by its byte", WithHeader({0x78, 0x00, 0xF1, 0x40}),
       "RenLib 3.0: 2 moves, 0 variations\n"
       "main line: 1. h8 2. ?F1\n"},
      {"without the header", Concat({Bytes(20, 0x00), {0x78, 0x40}}),
       "no RenLib header: 1 move, 0 variations\n"
       "main line: 1. h8\n"},
      {"a text the file cuts off", WithHeader({0x78, 0x08, 'a', 'b'}),
       "RenLib 3.0: 1 move, 0 variations\n"
       "main line: 1. h8\n"
       "  1. h8, comment: ab\n"
       "note: the file ends inside the comment of the record at byte 20\n"},
      {"an extension the file cuts off", WithHeader({0x78, 0x00, 0x79, 0x01, 0x00}),
       "RenLib 3.0: 2 moves, 0 variations\n"
       "main line: 1. h8 2. i8\n"
       "note: the file ends inside the record at byte 22\n"},
      {"bytes after the complete tree", WithHeader({0x78, 0x40, 0x79, 0x40}),
       "RenLib 3.0: 1 move, 0 variations\n"
       "main line: 1. h8\n"
       "note: 2 bytes follow the end of the tree at byte 22\n"},
  };
  for (const TreeCase& c : cases) {
    EXPECT_EQ(FormatLibTree(ReadLibTree(c.content)), c.shown) << c.name;
  }
}

}  // namespace
}  // namespace tessaro
