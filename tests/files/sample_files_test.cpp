// Files saved by the renju library program itself: Load Game must take their
// first line of play and nothing off the board.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "files/file_io.h"
#include "files/lib_file.h"

namespace tessaro {
namespace {

// "h8 black": the column letter and the row label as on the board image.
std::string Describe(const LibMove& move) {
  return std::string(1, static_cast<char>('a' + move.x)) + std::to_string(15 - move.y) +
         (move.colour == Black   ? " black"
          : move.colour == White ? " white"
                                 : " ?");
}

struct Sample {
  const char* file;
  std::vector<std::string> moves;
  bool endedOffBoard;
  size_t offBoardRecord;
  std::string title;
};

const Sample kSamples[] = {
    // Two plain records, the last flagged 0x40 (no child).
    {"lib_nocomment.lib", {"h8 black", "i8 white"}, false, 0, ""},
    // The first record carries a comment (0x08); the comment is not followed.
    {"lib_comment.lib", {"h8 black"}, false, 0, "\x08This comment on 78"},
    // A tree: the second record has a sibling (0x80), which ends the line.
    {"nocomments.lib", {"h8 black", "h9 white"}, false, 0, "f"},
    {"lib_4_left_right_up_down.lib", {"h8 black", "h9 white"}, false, 0, "w\xC0y\x80z"},
    // Version 3.4: the root record 00 00 is skipped, so the stone is black.
    {"lib_single_stone_15xB.lib", {"b15 black"}, false, 0, "x@"},
    // Version 3.4: root, two stones, then a pass (00) with a comment.
    {"lib_3_is_pass.lib", {"h8 black", "i9 white"}, true, 3, "\x08Pass"},
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
