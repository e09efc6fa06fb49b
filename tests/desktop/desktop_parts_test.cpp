// The parts of the desktop backend that need no display: how menus, keys and
// box answers are translated between the platform and the toolkit, where boxes
// open, which scale a screen gets and which files a dialog lists.
#include <FL/Enumerations.H>
#include <gtest/gtest.h>

#include "framework/desktop/desktop_driver.h"
#include "framework/desktop/file_dialog.h"
#include "framework/desktop/frame_window.h"
#include "framework/desktop/message_box.h"
#include "framework/menu.h"
#include "framework/resources.h"

namespace tessaro {
namespace {

TEST(DesktopKeysTest, ToolkitKeysBecomeTheVirtualKeysHandlersExpect) {
  const struct {
    int key;
    UINT vk;
  } cases[] = {
      {' ', VK_SPACE},
      {FL_Enter, VK_RETURN},
      {FL_KP_Enter, VK_RETURN},
      {FL_Escape, VK_ESCAPE},
      {FL_BackSpace, VK_BACK},
      {FL_Tab, VK_TAB},
      {FL_Left, VK_LEFT},
      {FL_Down, VK_DOWN},
      {FL_Delete, VK_DELETE},
      {FL_Page_Up, VK_PRIOR},
      {FL_Page_Down, VK_NEXT},
      {FL_Home, VK_HOME},
      {FL_End, VK_END},
      {'a', 'A'},
      {'z', 'Z'},
      {'0', '0'},
      {'9', '9'},
      {FL_F + 1, 0},
      {'-', 0},
      {FL_Shift_L, 0},
  };
  for (const auto& c : cases)
    EXPECT_EQ(VirtualKeyOf(c.key), c.vk) << c.key;
}

TEST(DesktopMenuTest, TheMenuBarFollowsTheWindowsMenu) {
  MenuTemplate t;
  t.id = 1;
  MenuItemTemplate game{"&Game", 0, MF_POPUP, {}};
  game.items = {{"S&ave Game\tCtrl+S", 10, 0, {}},
                {"", 0, MF_SEPARATOR, {}},
                {"&Reset", 11, MF_GRAYED, {}},
                {"", 12, MF_MENUBARBREAK, {}},
                {"E&xit", 13, 0, {}}};
  MenuItemTemplate help{"&Help", 0, MF_POPUP, {{"&About", 14, 0, {}}}};
  t.items = {game, help};
  const std::unique_ptr<CMenu> menu = CMenu::FromTemplate(t);
  std::deque<std::string> labels;
  const std::vector<Fl_Menu_Item> items = BuildMenuItems(*menu, labels);

  // "&Game" { Save, Reset, Exit } "&Help" { About } and the end marks.
  const struct {
    const char* text;
    bool submenu;
    bool inactive;
    bool divider;
    uintptr_t id;
  } expected[] = {
      {"&Game", true, false, false, 0},    {"S&ave Game", false, false, true, 10},
      {"&Reset", false, true, true, 11},   {"E&xit", false, false, false, 13},
      {nullptr, false, false, false, 0},   {"&Help", true, false, false, 0},
      {"&About", false, false, false, 14}, {nullptr, false, false, false, 0},
      {nullptr, false, false, false, 0},
  };
  ASSERT_EQ(items.size(), std::size(expected));
  for (size_t i = 0; i < items.size(); ++i) {
    const Fl_Menu_Item& item = items[i];
    if (!expected[i].text) {
      EXPECT_EQ(item.text, nullptr) << i;
      continue;
    }
    ASSERT_NE(item.text, nullptr) << i;
    EXPECT_STREQ(item.text, expected[i].text) << i;
    EXPECT_EQ((item.flags & FL_SUBMENU) != 0, expected[i].submenu) << i;
    EXPECT_EQ((item.flags & FL_MENU_INACTIVE) != 0, expected[i].inactive) << i;
    EXPECT_EQ((item.flags & FL_MENU_DIVIDER) != 0, expected[i].divider) << i;
    if (!expected[i].submenu) {
      EXPECT_EQ(reinterpret_cast<uintptr_t>(item.user_data_), expected[i].id) << i;
      EXPECT_NE(item.callback_, nullptr) << i;
    }
  }
}

TEST(DesktopMessageBoxTest, EscapeGivesThePlatformsAnswer) {
  const struct {
    UINT type;
    int answer;
  } cases[] = {{MB_OK, IDOK},
               {MB_OKCANCEL, IDCANCEL},
               {MB_YESNO | MB_ICONQUESTION, IDNO},
               {MB_YESNOCANCEL, IDCANCEL},
               {MB_RETRYCANCEL, IDCANCEL},
               {MB_ABORTRETRYIGNORE, IDABORT}};
  for (const auto& c : cases)
    EXPECT_EQ(EscapeAnswerOf(c.type), c.answer) << c.type;
}

TEST(DesktopPlacementTest, BoxesOpenBesideTheWindowAndStayOnTheScreen) {
  const CRect screen(0, 0, 1280, 1024);
  const CSize box(240, 100);
  const struct {
    CRect owner;
    CPoint at;
    const char* where;
  } cases[] = {
      {CRect(10, 10, 532, 360), CPoint(540, 10), "right of the window"},
      {CRect(700, 10, 1222, 360), CPoint(452, 10), "left: no room on the right"},
      {CRect(100, 10, 1180, 360), CPoint(100, 368), "below: no room on either side"},
      {CRect(100, 600, 1180, 960), CPoint(100, 492), "above: no room below either"},
      // No room anywhere: over the window's right edge, where its log is.
      {CRect(0, 0, 1280, 1024), CPoint(1040, 462), "over the right edge"},
      // A window partly off the screen still gets a box wholly on it.
      {CRect(-100, 950, 422, 1300), CPoint(430, 924), "kept on the screen"},
  };
  for (const auto& c : cases) {
    const CPoint at = PlaceBeside(c.owner, box, screen);
    EXPECT_EQ(at.x, c.at.x) << c.where;
    EXPECT_EQ(at.y, c.at.y) << c.where;
    EXPECT_TRUE(at.x >= 0 && at.y >= 0 && at.x + box.cx <= 1280 && at.y + box.cy <= 1024)
        << c.where;
  }
}

TEST(DesktopScaleTest, OptionThenEnvironmentThenScreenDensity) {
  const struct {
    int option;
    const char* env;
    double xftDpi;
    double physicalDpi;
    int scale;
  } cases[] = {
      {0, nullptr, 0, 0, 1},       // nothing known
      {0, nullptr, 0, 96, 1},      // an ordinary screen
      {0, nullptr, 0, 143, 1},     // not yet dense enough to double
      {0, nullptr, 0, 144, 2},     //
      {0, nullptr, 0, 288, 3},     //
      {0, nullptr, 192, 96, 2},    // the desktop's Xft.dpi comes before the physical size
      {0, nullptr, 96, 220, 1},    //
      {0, "3", 96, 96, 3},         // the environment overrides the screen
      {2, "3", 288, 288, 2},       // the option overrides both
      {0, "0", 0, 192, 2},         // unusable settings are ignored
      {0, "two", 0, 96, 1},        //
      {0, "2x", 0, 96, 1},         //
      {0, "99", 0, 96, 1},         //
      {0, "", 0, 192, 2},          //
      {0, nullptr, 0, 100000, 8},  // a nonsense density stays bounded
      {0, nullptr, -5, 96, 1},     //
      {20, nullptr, 0, 96, kMaxScale},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ChooseScale(c.option, c.env, c.xftDpi, c.physicalDpi), c.scale)
        << c.option << " " << (c.env ? c.env : "-") << " " << c.xftDpi << " " << c.physicalDpi;
  }
}

TEST(DesktopFileDialogTest, FiltersMatchWholeNamesWhateverTheCase) {
  const struct {
    const char* name;
    const char* patterns;
    bool listed;
  } cases[] = {
      {"game1.lib", "*.lib", true},
      {"GAME1.LIB", "*.lib", true},
      {"game1.lib~", "*.lib", false},
      {"lib", "*.lib", false},
      {"notes.txt", "*.lib;*.txt", true},
      {"notes.txt", "*.lib; *.txt", true},
      {"anything", "*.*", true},
      {"anything", "*", true},
      {"a.lib", "", false},
      {"x1.lib", "x?.lib", true},
  };
  for (const auto& c : cases)
    EXPECT_EQ(MatchesPatterns(c.name, c.patterns), c.listed) << c.name << " " << c.patterns;
}

}  // namespace
}  // namespace tessaro
