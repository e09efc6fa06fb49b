#include "files/file_io.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

namespace tessaro {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

// Each test gets a fresh folder of its own, removed afterwards.
class FileIoTest : public testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "tessaro-files-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
  }
  void TearDown() override {
    std::error_code ignored;
    fs::permissions(dir_, fs::perms::owner_all, fs::perm_options::add, ignored);
    fs::remove_all(dir_, ignored);
  }

  std::string PathOf(const std::string& name) const { return (dir_ / name).string(); }

  static void Put(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
  }
  static std::string Get(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  std::set<std::string> Names() const {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir_)) {
      names.insert(entry.path().filename().string());
    }
    return names;
  }

  fs::path dir_;
};

const Bytes kNew = {'n', 'e', 'w', 0x00, 0xFF, '!'};

// ---- Reading ---------------------------------------------------------------

TEST_F(FileIoTest, ReadsTheWholeFileBinarySafe) {
  Put(PathOf("a.lib"), std::string("\xFFRenLib\x00\x01", 9));
  Put(PathOf("empty.lib"), "");
  Bytes content = {1, 2, 3};
  std::string error;
  ASSERT_TRUE(ReadLibFile(PathOf("a.lib"), content, error)) << error;
  EXPECT_EQ(content, (Bytes{0xFF, 'R', 'e', 'n', 'L', 'i', 'b', 0x00, 0x01}));
  ASSERT_TRUE(ReadLibFile(PathOf("empty.lib"), content, error)) << error;
  EXPECT_TRUE(content.empty());
}

TEST_F(FileIoTest, RefusesWhatIsNotAReadableRegularFile) {
  ASSERT_EQ(::mkfifo(PathOf("pipe").c_str(), 0600), 0);
  fs::create_directory(dir_ / "folder");
  struct Case {
    const char* name;
    const char* expected;
  };
  const Case cases[] = {{"missing.lib", "cannot open"},
                        {"folder", "not a regular file"},
                        {"pipe", "not a regular file"}};  // must not wait for a writer
  for (const Case& c : cases) {
    Bytes content = {1, 2, 3};
    std::string error;
    EXPECT_FALSE(ReadLibFile(PathOf(c.name), content, error)) << c.name;
    EXPECT_TRUE(content.empty()) << c.name;
    EXPECT_NE(error.find(c.expected), std::string::npos) << c.name << ": " << error;
    EXPECT_NE(error.find(c.name), std::string::npos) << "the message names the file: " << error;
  }
}

TEST_F(FileIoTest, SizeLimitIsInclusive) {
  Put(PathOf("limit.lib"), "");
  Put(PathOf("over.lib"), "");
  fs::resize_file(PathOf("limit.lib"), kMaxLibFileSize);
  fs::resize_file(PathOf("over.lib"), kMaxLibFileSize + 1);

  Bytes content;
  std::string error;
  EXPECT_TRUE(ReadLibFile(PathOf("limit.lib"), content, error)) << error;
  EXPECT_EQ(content.size(), kMaxLibFileSize);
  EXPECT_FALSE(ReadLibFile(PathOf("over.lib"), content, error));
  EXPECT_TRUE(content.empty());
  EXPECT_NE(error.find("larger than"), std::string::npos) << error;
}

TEST_F(FileIoTest, HugeFileIsRefusedWithoutReadingIt) {
  // Sparse, so it costs no disk; reading it whole would exhaust memory.
  Put(PathOf("huge.lib"), "");
  std::error_code code;
  fs::resize_file(PathOf("huge.lib"), uintmax_t{64} << 30, code);
  if (code) GTEST_SKIP() << "this file system cannot hold a 64 GiB sparse file: " << code.message();
  Bytes content;
  std::string error;
  EXPECT_FALSE(ReadLibFile(PathOf("huge.lib"), content, error));
  EXPECT_NE(error.find("larger than"), std::string::npos) << error;
}

// ---- Writing ---------------------------------------------------------------

TEST_F(FileIoTest, WritesANewFileAndLeavesNothingElse) {
  std::string error;
  ASSERT_TRUE(WriteFileAtomically(PathOf("game.lib"), kNew, error)) << error;
  EXPECT_EQ(Get(PathOf("game.lib")), std::string(kNew.begin(), kNew.end()));
  EXPECT_EQ(Names(), std::set<std::string>{"game.lib"});
}

TEST_F(FileIoTest, ReplacesAnOldFileAndKeepsItsPermissions) {
  Put(PathOf("game.lib"), "an older and much longer content");
  fs::permissions(PathOf("game.lib"),
                  fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  std::string error;
  ASSERT_TRUE(WriteFileAtomically(PathOf("game.lib"), kNew, error)) << error;
  EXPECT_EQ(Get(PathOf("game.lib")), std::string(kNew.begin(), kNew.end()));
  EXPECT_EQ(fs::status(PathOf("game.lib")).permissions(),
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  EXPECT_EQ(Names(), std::set<std::string>{"game.lib"});
}

TEST_F(FileIoTest, RelativePathWritesIntoTheCurrentFolder) {
  const fs::path before = fs::current_path();
  fs::current_path(dir_);
  std::string error;
  const bool written = WriteFileAtomically("here.lib", kNew, error);
  fs::current_path(before);
  ASSERT_TRUE(written) << error;
  EXPECT_EQ(Names(), std::set<std::string>{"here.lib"});
}

TEST_F(FileIoTest, FailuresBeforeWritingLeaveEverythingAsItWas) {
  Put(PathOf("plain"), "a regular file, not a folder");
  fs::create_directory(dir_ / "target");
  Put(PathOf("target/inside"), "kept");
  struct Case {
    std::string path;
    const char* expected;
  };
  const Case cases[] = {
      {PathOf("plain/game.lib"), "cannot create"},  // parent is a file, even for root
      {PathOf("missing/game.lib"), "cannot create"},
      {PathOf("target"), "cannot replace"},  // a folder cannot be renamed over
      {"", "no file name"},
      {PathOf("target/"), "no file name"},
  };
  for (const Case& c : cases) {
    std::string error;
    EXPECT_FALSE(WriteFileAtomically(c.path, kNew, error)) << c.path;
    EXPECT_NE(error.find(c.expected), std::string::npos) << c.path << ": " << error;
  }
  EXPECT_EQ(Names(), (std::set<std::string>{"plain", "target"}));
  EXPECT_EQ(Get(PathOf("plain")), "a regular file, not a folder");
  EXPECT_EQ(Get(PathOf("target/inside")), "kept");
}

TEST_F(FileIoTest, ReadOnlyFolderKeepsTheOldFile) {
  Put(PathOf("game.lib"), "old");
  fs::permissions(dir_, fs::perms::owner_read | fs::perms::owner_exec);
  {
    // Root writes through the permission bits; nothing to test then.
    std::ofstream probe(PathOf("probe"));
    if (probe.is_open()) {
      fs::permissions(dir_, fs::perms::owner_all);
      GTEST_SKIP() << "running with rights that ignore a read-only folder";
    }
  }
  std::string error;
  EXPECT_FALSE(WriteFileAtomically(PathOf("game.lib"), kNew, error));
  EXPECT_NE(error.find("cannot create"), std::string::npos) << error;
  fs::permissions(dir_, fs::perms::owner_all);
  EXPECT_EQ(Get(PathOf("game.lib")), "old");
  EXPECT_EQ(Names(), std::set<std::string>{"game.lib"});
}

TEST_F(FileIoTest, FailureWhileWritingKeepsTheOldFileAndRemovesTheTemporary) {
  Put(PathOf("game.lib"), "old");
  // A file size limit stops write() part-way, for root too. The signal it
  // raises is ignored so that write() reports EFBIG instead.
  rlimit saved{};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
  rlimit small = saved;
  small.rlim_cur = 1000;
  const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);

  std::string error;
  const bool written = WriteFileAtomically(PathOf("game.lib"), Bytes(5000, 'x'), error);

  ::setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, oldHandler);
  EXPECT_FALSE(written);
  EXPECT_NE(error.find("cannot write"), std::string::npos) << error;
  EXPECT_EQ(Get(PathOf("game.lib")), "old");
  EXPECT_EQ(Names(), std::set<std::string>{"game.lib"});
}

}  // namespace
}  // namespace tessaro
