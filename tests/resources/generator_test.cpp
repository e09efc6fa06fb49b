// The image generator: its output does not change from run to run, and the
// committed images are exactly that output.
#include <sys/wait.h>

#include <cstdlib>
#include <map>
#include <string>

#include "gtest/gtest.h"
#include "test_files.h"

namespace tessaro::testing {
namespace {

using FileSet = std::map<std::string, std::vector<uint8_t>>;

// The exit status of the generator run with `arguments` (already quoted).
int RunGenerator(const std::string& arguments) {
  const std::string command =
      std::string("'") + TESSARO_GEN_RESOURCES + "' " + arguments + " 2>/dev/null";
  const int status = std::system(command.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// A path in single quotes, for the shell.
std::string Quoted(const std::filesystem::path& path) {
  std::string quoted = "'";
  quoted += path.string();
  quoted += '\'';
  return quoted;
}

// Every regular file under `root`, by its path relative to `root`.
FileSet FilesUnder(const std::filesystem::path& root) {
  FileSet files;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
    if (!entry.is_regular_file()) continue;
    files[entry.path().lexically_relative(root).generic_string()] =
        ReadFileBytes(entry.path()).value_or(std::vector<uint8_t>{});
  }
  return files;
}

class GeneratorOutput : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    for (int run = 0; run < 2; ++run) {
      ScratchDir dir;
      ASSERT_FALSE(dir.path().empty());
      ASSERT_EQ(RunGenerator(Quoted(dir.path() / "out")), 0);
      runs_[run] = FilesUnder(dir.path() / "out");
    }
  }
  static inline FileSet runs_[2];
};

TEST_F(GeneratorOutput, IsTheSameOnEveryRun) {
  ASSERT_FALSE(runs_[0].empty());
  EXPECT_EQ(runs_[0], runs_[1]);
}

TEST_F(GeneratorOutput, IsWhatIsCommitted) {
  for (const auto& [path, bytes] : runs_[0]) {
    const auto committed = ReadFileBytes(kResourceDir / path);
    ASSERT_TRUE(committed.has_value()) << path << " is not committed";
    EXPECT_TRUE(*committed == bytes) << path << " differs from a fresh run: run the generator";
  }
  // And nothing is committed that the generator no longer makes.
  for (const char* folder : {"bitmaps", "icons"}) {
    for (const auto& [path, bytes] : FilesUnder(kResourceDir / folder)) {
      EXPECT_TRUE(runs_[0].contains(std::string(folder) + "/" + path)) << path << " is stale";
    }
  }
}

TEST(Generator, FailsLoudlyOnBadUsage) {
  EXPECT_EQ(RunGenerator(""), 2);
  EXPECT_EQ(RunGenerator("a b"), 2);
  EXPECT_EQ(RunGenerator("''"), 2);
  // An output folder that cannot be made: a file stands in its way.
  ScratchDir dir;
  ASSERT_FALSE(dir.path().empty());
  std::ofstream(dir.path() / "blocker") << "x";
  EXPECT_EQ(RunGenerator(Quoted(dir.path() / "blocker")), 1);
}

}  // namespace
}  // namespace tessaro::testing
