// The list of commands at the top of apps/script_runner.h is the runner's own
// table: a command added, renamed or dropped there shows up here until the
// list says the same.
#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "apps/script_runner.h"

namespace {

// The command lines of the header's first comment: from "//   user " up to the
// blank comment line after the list, without their "//   ".
std::string ListInHeader(const std::string& path) {
  std::ifstream in(path);
  std::string list;
  bool inList = false;
  for (std::string line; std::getline(in, line);) {
    if (line.rfind("//   user ", 0) == 0) inList = true;
    if (!inList) continue;
    if (line == "//") break;
    list += line.substr(line.size() < 5 ? line.size() : 5) + "\n";
  }
  return list;
}

TEST(ScriptCommandsTest, TheHeaderListsEveryCommandOfTheTableAsItsHelpSays) {
  const std::string listed = ListInHeader(TESSARO_SCRIPT_RUNNER_HEADER);
  ASSERT_FALSE(listed.empty()) << "no command list in " << TESSARO_SCRIPT_RUNNER_HEADER;
  EXPECT_EQ(listed, tessaro::ScriptCommandHelp());
}

}  // namespace
