// The resource script as the plug-in carries it: the same text as the
// committed file, inside the supported subset, complete, consistent, and
// with every file it names compiled in.
#include <set>
#include <string>

#include "gtest/gtest.h"
#include "rc_reader.h"
#include "resources/embedded.h"
#include "test_files.h"

namespace tessaro::testing {
namespace {

RcScript ReadEmbeddedScript() {
  std::string error;
  auto script = ReadScript(PluginResourceScript(), error);
  EXPECT_TRUE(script.has_value()) << error;
  return script.value_or(RcScript{});
}

TEST(EmbeddedScript, IsTheCommittedFile) {
  const auto file = ReadFileBytes(kResourceDir / "tessaro.rc");
  ASSERT_TRUE(file.has_value());
  EXPECT_EQ(PluginResourceScript(), std::string(file->begin(), file->end()));
}

TEST(EmbeddedScript, CarriesEveryFileItNamesAsCommitted) {
  const RcScript script = ReadEmbeddedScript();
  std::set<std::string> named;
  for (const auto* table : {&script.icons, &script.bitmaps}) {
    for (const auto& [id, path] : *table) {
      named.insert(path);
      const auto embedded = PluginResourceFile(path);
      ASSERT_TRUE(embedded.has_value()) << path;
      const auto file = ReadFileBytes(kResourceDir / path);
      ASSERT_TRUE(file.has_value()) << path;
      EXPECT_TRUE(std::equal(embedded->begin(), embedded->end(), file->begin(), file->end()))
          << path;
    }
  }
  // Every committed image is in use.
  for (const char* folder : {"bitmaps", "icons"}) {
    for (const auto& entry : std::filesystem::directory_iterator(kResourceDir / folder)) {
      const std::string path = std::string(folder) + "/" + entry.path().filename().string();
      EXPECT_TRUE(named.contains(path)) << path << " is not named by the script";
    }
  }
}

TEST(EmbeddedScript, FindsOnlyPathsAsTheScriptWritesThem) {
  ASSERT_TRUE(PluginResourceFile("icons/icon128.ico").has_value());
  for (const char* path :
       {"", "icons", "icons/", "ICONS/icon128.ico", "icons\\icon128.ico", "./icons/icon128.ico",
        "icons/icon128.ico ", "icons/icon128", "tessaro.rc", "bitmaps/board156.bmp/"}) {
    EXPECT_FALSE(PluginResourceFile(path).has_value()) << '"' << path << '"';
  }
}

TEST(ResourceScript, DeclaresEveryResourceOfTheModule) {
  const RcScript script = ReadEmbeddedScript();
  std::set<int64_t> icons, dialogs;
  for (const auto& [id, path] : script.icons)
    icons.insert(id);
  for (const auto& [id, dialog] : script.dialogs)
    dialogs.insert(id);
  EXPECT_EQ(icons, (std::set<int64_t>{128, 160, 161, 162}));
  EXPECT_EQ(dialogs, (std::set<int64_t>{100, 102, 131, 135}));
  EXPECT_TRUE(script.menus.contains(130));
  EXPECT_EQ(script.strings, (std::map<int64_t, std::string>{{101, "&About Tessaro..."}}));

  struct Box {
    int64_t id, cx, cy;
    const char* caption;
    int64_t menu;
  };
  for (const Box& box :
       {Box{102, 348, 197, "Tessaro", 130}, Box{100, 235, 55, "About Tessaro", -1},
        Box{131, 236, 58, "Dialog", -1}, Box{135, 400, 134, "Earlier Games", -1}}) {
    ASSERT_TRUE(script.dialogs.contains(box.id)) << box.id;
    const RcDialog& d = script.dialogs.at(box.id);
    EXPECT_EQ(d.cx, box.cx) << box.id;
    EXPECT_EQ(d.cy, box.cy) << box.id;
    EXPECT_EQ(d.caption, box.caption) << box.id;
    EXPECT_EQ(d.menu, box.menu) << box.id;
  }
}

TEST(ResourceScript, PlacesControlsInsideTheirDialogsUnderDistinctIds) {
  const RcScript script = ReadEmbeddedScript();
  for (const auto& [dialogId, dialog] : script.dialogs) {
    std::set<int64_t> ids;
    for (const RcControl& c : dialog.controls) {
      SCOPED_TRACE("dialog " + std::to_string(dialogId) + " line " + std::to_string(c.line));
      EXPECT_GE(c.x, 0);
      EXPECT_GE(c.y, 0);
      EXPECT_LE(c.x + c.cx, dialog.cx);
      EXPECT_LE(c.y + c.cy, dialog.cy);
      if (c.keyword == "ICON") {
        EXPECT_TRUE(script.icons.contains(c.iconId));
      }
      // 65535 marks statics that nothing looks up; any other id is unique.
      if (c.id != 65535) {
        EXPECT_TRUE(ids.insert(c.id).second) << "id " << c.id << " twice";
      }
    }
  }
  EXPECT_EQ(script.dialogs.at(102).controls.size(), 8u);
}

TEST(ResourceScript, ListsTheGameMenuInItsOrder) {
  const RcScript script = ReadEmbeddedScript();
  std::vector<std::string> seen;
  for (const RcMenuItem& item : script.menus.at(130)) {
    std::string entry = item.popup ? "[" : "";
    entry += item.text;
    if (item.popup) entry += ']';
    if (!item.popup) {
      entry += ' ';
      entry += std::to_string(item.id);
    }
    for (const std::string& option : item.options) {
      entry += ' ';
      entry += option;
    }
    seen.push_back(entry);
  }
  const std::vector<std::string> expected = {"[&Game]",
                                             "S&ave Game 32778",
                                             "&Load Game 32780",
                                             "&Clear Log 32781",
                                             "&Reset 32771",
                                             "Set &Timer 32775",
                                             "Re&sign 32782",
                                             "Offer &Draw 32783",
                                             "&Earlier Games... 32784",
                                             " 32772 MENUBARBREAK",
                                             "E&xit 32773",
                                             "[&View]",
                                             "&Move Numbers 32785",
                                             "&Last Stone Marker 32786",
                                             "[&Help]",
                                             "&About 32774"};
  EXPECT_EQ(seen, expected);
}

// The reader the tests use refuses what the subset lacks, so the checks
// above would fail on a script that strays from it.
TEST(ResourceScript, ReaderRefusesWhatTheSubsetLacks) {
  struct Case {
    const char* text;
    const char* error;
  };
  const Case cases[] = {
      {"#define IDD_GAME 102\n", "line 1: unexpected character #"},
      {"128 ICON \"a.ico\"\n/* old */\n", "line 2: unexpected character /"},
      {"1 DIALOGEX 0, 0, 10, 10\nSTYLE WS_THICKFRAME\n", "line 2: unsupported word WS_THICKFRAME"},
      {"IDR_MENU MENU\n", "line 1: unsupported word IDR_MENU"},
      {"STRINGTABLE\nBEGIN\n101 \"open\n", "line 3: unterminated string"},
      {"1 MENU\nBEGIN\nMENUITEM \"x\", 5, CHECKED\nEND\n", "line 3: unsupported word CHECKED"},
      {"1 MENU\nBEGIN\n", "the script ends inside a block"},
  };
  for (const Case& c : cases) {
    std::string error;
    EXPECT_FALSE(ReadScript(c.text, error).has_value()) << c.text;
    EXPECT_EQ(error, c.error) << c.text;
  }
}

}  // namespace
}  // namespace tessaro::testing
