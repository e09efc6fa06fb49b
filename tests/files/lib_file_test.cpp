#include "files/lib_file.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace tessaro {
namespace {

using Bytes = std::vector<uint8_t>;

const Bytes kHeader = {0xFF, 'R',  'e',  'n',  'L',  'i',  'b',  0xFF, 0x03, 0x00,
                       0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};

// A file body after the standard header.
Bytes WithHeader(const Bytes& body, const Bytes& header = kHeader) {
  Bytes content = header;
  content.insert(content.end(), body.begin(), body.end());
  return content;
}

Move Stone(int x, int y, uint32_t value) {
  return {static_cast<int16_t>(x), static_cast<int16_t>(y), value};
}

LibMove At(int x, int y, uint32_t colour) {
  return {static_cast<int16_t>(x), static_cast<int16_t>(y), colour};
}

// ---- Encoding: the bytes ---------------------------------------------------

TEST(EncodeLibFile, WritesTheTwoMoveExampleByteForByte) {
  const Bytes expected = WithHeader({0x78, 0x00, 0x79, 0x48, 'A', ' ', 'v', 's', ' ', 'B', 0x00});
  const Bytes content = EncodeLibFile({Stone(7, 7, Black), Stone(8, 7, White)}, "A vs B");
  EXPECT_EQ(content, expected);
  EXPECT_EQ(content.size(), 31u);
}

TEST(EncodeLibFile, PositionByteHoldsRowHighAndColumnPlusOneLow) {
  struct Case {
    int x, y;
    uint8_t position;
  };
  const Case cases[] = {{7, 7, 0x78},  {0, 0, 0x01},  {14, 14, 0xEF},
                        {14, 0, 0x0F}, {0, 14, 0xE1}, {3, 10, 0xA4}};
  for (const Case& c : cases) {
    const Bytes content = EncodeLibFile({Stone(c.x, c.y, Black)}, "");
    ASSERT_EQ(content.size(), 23u) << c.x << "," << c.y;
    EXPECT_EQ(content[20], c.position) << c.x << "," << c.y;
    EXPECT_EQ(content[21], 0x48) << c.x << "," << c.y;
    EXPECT_EQ(content[22], 0x00);
  }
}

TEST(EncodeLibFile, FlagsOnlyTheLastRecordAndSizesAsTwentyPlusRecordsPlusTitle) {
  const MoveList line = {Stone(7, 7, Black), Stone(8, 8, White), Stone(6, 6, Black),
                         Stone(9, 9, White), Stone(5, 5, Black)};
  const std::string title = "Ann vs Bob";
  const Bytes content = EncodeLibFile(line, title);
  ASSERT_EQ(content.size(), 20u + 2 * line.size() + title.size() + 1);
  EXPECT_EQ(Bytes(content.begin(), content.begin() + 20), kHeader);
  for (size_t i = 0; i < line.size(); ++i) {
    EXPECT_EQ(content[21 + 2 * i], i + 1 == line.size() ? 0x48 : 0x00) << "record " << i;
  }
  EXPECT_EQ(std::string(content.end() - 11, content.end() - 1), title);
  EXPECT_EQ(content.back(), 0x00);
}

TEST(EncodeLibFile, ZeroLengthTitleStillEndsWithOneZeroByte) {
  const Bytes content = EncodeLibFile({Stone(7, 7, Black), Stone(8, 7, White)}, "");
  EXPECT_EQ(content, WithHeader({0x78, 0x00, 0x79, 0x48, 0x00}));
}

TEST(EncodeLibFile, TitleStopsAtItsFirstZeroByte) {
  const Bytes content = EncodeLibFile({Stone(7, 7, Black)}, std::string("ab\0cd", 5));
  EXPECT_EQ(content, WithHeader({0x78, 0x48, 'a', 'b', 0x00}));
}

TEST(EncodeLibFile, LineWithoutStonesIsARootAndAPassCarryingThePaddedTitle) {
  // A title at offset 20 would read back as stones ("A " is a11 black); a lone
  // root, or no record at all, is refused by tree readers.
  struct Case {
    MoveList line;
    std::string title;
    Bytes body;
  };
  const Case cases[] = {
      {{}, "A vs B", {0x00, 0x00, 0x00, 0x48, 'A', ' ', 'v', 's', ' ', 'B', 0x00, 0x00}},
      {{Stone(7, 7, Proposal), Stone(7, 7, Empty)},
       "abc",
       {0x00, 0x00, 0x00, 0x48, 'a', 'b', 'c', 0x00}},
      {{}, "", {0x00, 0x00, 0x00, 0x48, 0x00, 0x00}},
  };
  for (const Case& c : cases) {
    const Bytes content = EncodeLibFile(c.line, c.title);
    EXPECT_EQ(content, WithHeader(c.body)) << c.title;
    const LibLine decoded = DecodeLibFile(content);
    EXPECT_TRUE(decoded.moves.empty()) << c.title;
    EXPECT_EQ(decoded.title, c.title);
    EXPECT_EQ(decoded.offBoardRecord, 1u) << "the line ends at the pass";
  }
}

TEST(EncodeLibFile, StoneOffTheBoardEndsTheWrittenLine) {
  const MoveList line = {Stone(7, 7, Black), Stone(8, 7, White), Stone(15, 3, Black),
                         Stone(9, 9, White)};
  EXPECT_EQ(EncodeLibFile(line, "t"), WithHeader({0x78, 0x00, 0x79, 0x48, 't', 0x00}));
  EXPECT_EQ(EncodeLibFile({Stone(-1, 0, Black), Stone(7, 7, White)}, "t"),
            WithHeader({0x00, 0x00, 0x00, 0x48, 't', 0x00}));
  EXPECT_EQ(EncodeLibFile({Stone(2, -1, Black)}, ""),
            WithHeader({0x00, 0x00, 0x00, 0x48, 0x00, 0x00}));
}

// ---- Round trips -----------------------------------------------------------

TEST(LibFileRoundTrip, KeepsStonesInOrderWithAlternatingColours) {
  struct Case {
    const char* name;
    MoveList line;
    std::vector<LibMove> expected;
  };
  const Case cases[] = {
      {"one stone", {Stone(7, 7, Black)}, {At(7, 7, Black)}},
      {"corners",
       {Stone(0, 0, Black), Stone(14, 0, White), Stone(0, 14, Black), Stone(14, 14, White)},
       {At(0, 0, Black), At(14, 0, White), At(0, 14, Black), At(14, 14, White)}},
      // The fifth-move opening: two proposals, the unchosen one removed, the
      // chosen one played as black.
      {"proposals and removal left out",
       {Stone(7, 7, Black), Stone(8, 7, White), Stone(8, 8, Black), Stone(6, 6, White),
        Stone(5, 5, Proposal), Stone(9, 9, Proposal), Stone(9, 9, Empty), Stone(5, 5, Black)},
       {At(7, 7, Black), At(8, 7, White), At(8, 8, Black), At(6, 6, White), At(5, 5, Black)}},
      {"values are not stored",
       {Stone(7, 7, White), Stone(8, 8, White), Stone(9, 9, Black)},
       {At(7, 7, Black), At(8, 8, White), At(9, 9, Black)}},
      {"other codes left out",
       {Stone(7, 7, Black), Stone(1, 1, ForbiddenMark), Stone(2, 2, 77), Stone(8, 8, White)},
       {At(7, 7, Black), At(8, 8, White)}},
  };
  for (const Case& c : cases) {
    const LibLine decoded = DecodeLibFile(EncodeLibFile(c.line, "X vs Y"));
    EXPECT_EQ(decoded.moves, c.expected) << c.name;
    EXPECT_EQ(decoded.title, "X vs Y") << c.name;
    EXPECT_FALSE(decoded.endedOffBoard) << c.name;
  }
}

TEST(LibFileRoundTrip, EveryPointOfTheBoard) {
  MoveList line;
  std::vector<LibMove> expected;
  for (int y = 0; y < kBoardSize; ++y) {
    for (int x = 0; x < kBoardSize; ++x) {
      const uint32_t colour = line.size() % 2 == 0 ? Black : White;
      line.push_back(Stone(x, y, colour));
      expected.push_back(At(x, y, colour));
    }
  }
  const Bytes content = EncodeLibFile(line, "");
  EXPECT_EQ(content.size(), 20u + 2 * 225 + 1);
  EXPECT_EQ(DecodeLibFile(content).moves, expected);
}

// ---- Decoding --------------------------------------------------------------

TEST(DecodeLibFile, ShortContentYieldsNoMove) {
  for (const size_t size : {0u, 1u, 19u, 20u, 21u}) {
    Bytes content = WithHeader({0x78, 0x48});
    content.resize(size);
    const LibLine line = DecodeLibFile(content);
    EXPECT_TRUE(line.moves.empty()) << size << " bytes";
    EXPECT_FALSE(line.endedOffBoard) << size << " bytes";
  }
  Bytes content = WithHeader({0x78, 0x48});
  EXPECT_EQ(DecodeLibFile(content).moves, std::vector<LibMove>{At(7, 7, Black)});
}

TEST(DecodeLibFile, AnyNonZeroFlagEndsTheLineWithThatRecord) {
  for (const int flags : {0x01, 0x02, 0x04, 0x08, 0x10, 0x20, 0x40, 0x80, 0x48, 0xC0, 0xFF}) {
    const LibLine line =
        DecodeLibFile(WithHeader({0x78, 0x00, 0x79, static_cast<uint8_t>(flags), 0x7A, 0x48}));
    EXPECT_EQ(line.moves, (std::vector<LibMove>{At(7, 7, Black), At(8, 7, White)}))
        << "flags " << flags;
  }
}

TEST(DecodeLibFile, RecordsWithoutALastFlagAreReadToTheEndOfTheContent) {
  const LibLine line = DecodeLibFile(WithHeader({0x78, 0x00, 0x79, 0x00, 0x7A, 0x00, 'q'}));
  EXPECT_EQ(line.moves, (std::vector<LibMove>{At(7, 7, Black), At(8, 7, White), At(9, 7, Black)}));
  EXPECT_EQ(line.title, "q");
}

TEST(DecodeLibFile, ReadsAnyHeader) {
  Bytes foreign(20, 0x00);
  Bytes newer = kHeader;
  newer[9] = 0x04;
  Bytes text(20, 'z');
  Bytes cutSignature = kHeader;
  cutSignature[7] = 0x00;
  for (const Bytes& header : {foreign, newer, text, cutSignature}) {
    const LibLine line = DecodeLibFile(WithHeader({0x78, 0x00, 0x79, 0x48, 'T', 0x00}, header));
    EXPECT_EQ(line.moves, (std::vector<LibMove>{At(7, 7, Black), At(8, 7, White)}));
    EXPECT_EQ(line.title, "T");
  }
  // Only the signature is asked for, whatever the version.
  EXPECT_TRUE(HasLibSignature(kHeader));
  EXPECT_TRUE(HasLibSignature(newer));
  EXPECT_TRUE(HasLibSignature(Bytes(kHeader.begin(), kHeader.begin() + 8)));
  EXPECT_FALSE(HasLibSignature(Bytes(kHeader.begin(), kHeader.begin() + 7)));
  // Seven bytes of a longer buffer: the eighth, though there, is not read.
  const Bytes eight(kHeader.begin(), kHeader.begin() + 8);
  EXPECT_FALSE(HasLibSignature(std::span(eight).first(7)));
  for (const Bytes& header : {foreign, text, cutSignature})
    EXPECT_FALSE(HasLibSignature(header));
}

TEST(DecodeLibFile, RootRecordIsSkippedAndDoesNotCountForTheColours) {
  const LibLine line = DecodeLibFile(WithHeader({0x00, 0x00, 0x78, 0x00, 0x79, 0x48}));
  EXPECT_EQ(line.moves, (std::vector<LibMove>{At(7, 7, Black), At(8, 7, White)}));
  EXPECT_FALSE(line.endedOffBoard);
}

// Any flag on the root, whichever bit (no child, a sibling, a comment, an
// extension...), ends the line at the root: the bytes after it are no move,
// only text.
TEST(DecodeLibFile, EveryFlagBitOnTheRootLeavesTheLineEmpty) {
  struct Case {
    uint8_t flags;
    std::vector<LibMove> moves;
    size_t textOffset;
  };
  const Case cases[] = {
      {0x00, {At(7, 7, Black)}, 24},
      {0x01, {}, 22},
      {0x02, {}, 22},
      {0x04, {}, 22},
      {0x08, {}, 22},
      {0x10, {}, 22},
      {0x20, {}, 22},
      {0x40, {}, 22},
      {0x80, {}, 22},
  };
  for (const Case& c : cases) {
    const LibLine line = DecodeLibFile(WithHeader({0x00, c.flags, 0x78, 0x48}));
    EXPECT_EQ(line.moves, c.moves) << "flags " << int{c.flags};
    EXPECT_EQ(line.textOffset, c.textOffset) << "flags " << int{c.flags};
    EXPECT_FALSE(line.endedOffBoard) << "flags " << int{c.flags};
  }
}

TEST(DecodeLibFile, RecordOffTheBoardEndsTheLineBeforeIt) {
  struct Case {
    const char* name;
    Bytes body;
    std::vector<LibMove> moves;
    size_t record;
  };
  const Case cases[] = {
      {"pass in the middle",
       {0x78, 0x00, 0x79, 0x00, 0x00, 0x00, 0x7A, 0x48},
       {At(7, 7, Black), At(8, 7, White)},
       2},
      {"column nibble 0", {0x78, 0x00, 0x50, 0x00, 0x7A, 0x48}, {At(7, 7, Black)}, 1},
      {"row 15",
       {0x78, 0x00, 0x79, 0x00, 0xF1, 0x00, 0x7A, 0x48},
       {At(7, 7, Black), At(8, 7, White)},
       2},
      {"flagged record off the board", {0x78, 0x00, 0xF8, 0x48}, {At(7, 7, Black)}, 1},
      {"first record", {0xF0, 0x00, 0x78, 0x48}, {}, 0},
      {"pass after the root", {0x00, 0x00, 0x78, 0x00, 0x00, 0x08}, {At(7, 7, Black)}, 2},
  };
  for (const Case& c : cases) {
    const LibLine line = DecodeLibFile(WithHeader(c.body));
    EXPECT_EQ(line.moves, c.moves) << c.name;
    EXPECT_TRUE(line.endedOffBoard) << c.name;
    EXPECT_EQ(line.offBoardRecord, c.record) << c.name;
  }
}

TEST(DecodeLibFile, NeverReturnsAPointOffTheBoard) {
  // Every position byte in every slot of a short line, flags set and not.
  for (int position = 0; position < 256; ++position) {
    for (const uint8_t flags : {uint8_t{0x00}, uint8_t{0x48}}) {
      const auto p = static_cast<uint8_t>(position);
      for (const Bytes& body :
           {Bytes{p, flags, 0x78, 0x48}, Bytes{0x78, 0x00, p, flags, 0x79, 0}}) {
        for (const LibMove& move : DecodeLibFile(WithHeader(body)).moves) {
          EXPECT_TRUE(OnBoard(move.x, move.y)) << "position " << position;
        }
      }
    }
  }
}

TEST(DecodeLibFile, TitleIsWhatFollowsTheLastRecordReadUpToAZeroByte) {
  struct Case {
    const char* name;
    Bytes body;
    std::string title;
  };
  const Case cases[] = {
      {"ours", {0x78, 0x48, 'H', 'i', 0x00, 'x'}, "Hi"},
      {"no zero byte", {0x78, 0x48, 'H', 'i'}, "Hi"},
      {"nothing after", {0x78, 0x48}, ""},
      {"comment after a flagged record",
       {0x78, 0x08, 0x08, 'c', 0x00, 0x79, 0x48},
       "\x08"
       "c"},
      {"after the record off the board", {0x78, 0x00, 0x00, 0x08, 'P', 0x00}, "P"},
      {"empty ours", {0x00}, ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(DecodeLibFile(WithHeader(c.body)).title, c.title) << c.name;
  }
}

}  // namespace
}  // namespace tessaro
