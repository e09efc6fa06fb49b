// The parts of the desktop backend that need no display: how menus, keys and
// box answers are translated between the platform and the toolkit.
#include <FL/Enumerations.H>
#include <gtest/gtest.h>

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

}  // namespace
}  // namespace tessaro
