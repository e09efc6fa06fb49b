// Files saved by the renju library program itself: Load Game must take their
// first line of play and nothing off the board, and the tree reader all of
// their branches, passes and comments.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "files/file_io.h"
#include "files/lib_file.h"
#include "files/lib_tree.h"

namespace tessaro {
namespace {

// "h8 black": the column letter and the row label as on the board image.
std::string Describe(const LibMove& move) {
  std::string text(1, static_cast<char>('a' + move.x));
  text += std::to_string(15 - move.y);
  text += move.colour == Black ? " black" : move.colour == White ? " white" : " ?";
  return text;
}

struct Sample {
  const char* file;
  std::vector<std::string> moves;
  bool endedOffBoard;
  size_t offBoardRecord;
  std::string title;
  std::string tree;  // FormatLibTree
};

const Sample kSamples[] = {
    // Two plain records, the last flagged 0x40 (no child).
    {"lib_nocomment.lib",
     {"h8 black", "i8 white"},
     false,
     0,
     "",
     "RenLib 3.0: 2 moves, 0 variations\n"
     "main line: 1. h8 2. i8\n"},
    // The first record carries a comment (0x08); the comment is not followed.
    {"lib_comment.lib",
     {"h8 black"},
     false,
     0,
     "\x08This comment on 78",
     // Both comments are multi-line ones; a stray byte ends the file.
     "RenLib 3.0: 2 moves, 0 variations\n"
     "main line: 1. h8 2. g7\n"
     "  1. h8, multi-line comment: This comment on 78\n"
     "  2. g7, multi-line comment: Im from 87\n"
     "note: 1 byte follows the end of the tree at byte 56\n"},
    // A tree: the second record has a sibling (0x80), which ends the line.
    {"nocomments.lib",
     {"h8 black", "h9 white"},
     false,
     0,
     "f",
     "RenLib 3.0: 21 moves, 3 variations\n"
     "main line: 1. h8 2. h9 3. f9 4. i11 5. h10 6. i8 7. i9 8. j8 9. i10 10. j11 11. j10\n"
     "variation 1, after 9. i10 of the main line: 10. j10\n"
     "variation 2, after 1. h8 of the main line: 2. i9\n"
     "variation 3, after 1. h8 of the main line: 2. j7 3. i9 4. k7 5. h9 6. k8 7. j8 8. k9 9. "
     "h10\n"},
    {"lib_4_left_right_up_down.lib",
     {"h8 black", "h9 white"},
     false,
     0,
     "w\xC0y\x80z",
     "RenLib 3.0: 7 moves, 3 variations\n"
     "main line: 1. h8 2. h9\n"
     "variation 1, after 1. h8 of the main line: 2. g8\n"
     "variation 2, after 1. h8 of the main line: 2. i8 3. j8 4. k8\n"
     "variation 3, after 1. h8 of the main line: 2. h7\n"},
    // Version 3.4: the root record 00 00 is skipped, so the stone is black.
    {"lib_single_stone_15xB.lib",
     {"b15 black"},
     false,
     0,
     "x@",
     "RenLib 3.4: 2 moves, 1 variation\n"
     "main line: 1. b15\n"
     "variation 1, from the start: 1. h8\n"},
    // Version 3.4: root, two stones, then a pass (00) with a comment.
    {"lib_3_is_pass.lib",
     {"h8 black", "i9 white"},
     true,
     3,
     "\x08Pass",
     "RenLib 3.4: 4 moves, 0 variations\n"
     "main line: 1. h8 2. i9 3. pass 4. k8\n"
     "  3. pass, multi-line comment: Pass\n"},
};

TEST(RenlibSamples, EachYieldsItsFirstLineOfPlay) {
  const std::filesystem::path folder = TESSARO_RENLIB_DIR;
  ASSERT_TRUE(std::filesystem::is_directory(folder)) << "sample folder " << folder << " is missing";
  for (const Sample& sample : kSamples) {
    SCOPED_TRACE(sample.file);
    std::vector<uint8_t> content;
    std::string error;
    ASSERT_TRUE(ReadLibFile((folder / sample.file).string(), content, error)) << error;

    const LibLine line = DecodeLibFile(content);
    std::vector<std::string> moves;
    for (const LibMove& move : line.moves)
      moves.push_back(Describe(move));
    EXPECT_EQ(moves, sample.moves);
    EXPECT_EQ(line.endedOffBoard, sample.endedOffBoard);
    if (sample.endedOffBoard) {
      EXPECT_EQ(line.offBoardRecord, sample.offBoardRecord);
    }
    EXPECT_EQ(line.title, sample.title);
    EXPECT_EQ(FormatLibTree(ReadLibTree(content)), sample.tree);
  }
}

TEST(RenlibSamples, EveryFileInTheFolderIsCovered) {
  const std::filesystem::path folder = TESSARO_RENLIB_DIR;
  ASSERT_TRUE(std::filesystem::is_directory(folder)) << "sample folder " << folder << " is missing";
  size_t found = 0;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    if (entry.path().extension() != ".lib") continue;
    ++found;
    bool listed = false;
    for (const Sample& sample : kSamples)
      listed = listed || entry.path().filename() == sample.file;
    EXPECT_TRUE(listed) << entry.path() << " has no expected line here";
  }
  EXPECT_EQ(found, std::size(kSamples));
}

}  // namespace
}  // namespace tessaro
