// The game window's shell as a player meets it: hiding and reopening, the
// menu's Clear Log and About, the clock labels, the write test, the icon and
// the caption flash.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "link/log_text.h"
#include "two_players.h"

namespace tessaro::testing {
namespace {

std::string ControlText(const CWnd& window, int id) {
  std::string text;
  window.GetDlgItemText(id, text);
  return text;
}

std::vector<ShownRecord> DialogsShown(const HeadlessDriver& driver) {
  std::vector<ShownRecord> dialogs;
  for (const ShownRecord& shown : driver.Shown()) {
    if (shown.kind == ShownKind::Dialog) dialogs.push_back(shown);
  }
  return dialogs;
}

class Window : public TwoPlayers {
 protected:
  // Types a chat line into a window and sends it with Enter.
  void Chat(GameWindow& window, const std::string& text) {
    ASSERT_TRUE(ui.TypeText(window, kChatLine, text));
    ASSERT_TRUE(ui.KeyDown(VK_RETURN));
    Settle();
  }
  UINT SmallIconId(const GameWindow& window) {
    return ui.platform().IconResourceId(window.GetIcon(FALSE));
  }
};

// ---- Hiding and reopening ----

struct HideCase {
  const char* name;
  std::function<bool(Headless&, GameWindow&)> hide;
};
void PrintTo(const HideCase& c, std::ostream* os) {
  *os << c.name;
}

class Hiding : public Window, public ::testing::WithParamInterface<HideCase> {};

TEST_P(Hiding, HidesTheWindowAndReopeningShowsTheSameGame) {
  OpenBoth();
  ClickPoint(*black, 7, 7);
  ASSERT_TRUE(GetParam().hide(ui, *black));
  Settle();
  EXPECT_FALSE(black->IsWindowVisible());
  EXPECT_TRUE(white->IsWindowVisible());
  ASSERT_EQ(app->registry().size(), 2u);

  // The hidden window still takes part in the game.
  Chat(*white, "still there?");
  app->OpenGameWindow(bob);
  Settle();
  EXPECT_TRUE(black->IsWindowVisible());
  EXPECT_EQ(&WindowFor(bob), black);
  EXPECT_EQ(app->registry().size(), 2u);
  EXPECT_EQ(black->game.moveList, (MoveList{{7, 7, Black}}));
  EXPECT_EQ(black->game.myColor, Black);
  EXPECT_EQ(LogLines(*black).back(), "Me: still there?");
  EXPECT_EQ(ControlText(*black, kLogPane), black->LogText());
  EXPECT_TRUE(ui.driver().MessageBoxes().empty());
}

INSTANTIATE_TEST_SUITE_P(
    EveryWay, Hiding,
    ::testing::Values(
        HideCase{"Exit", [](Headless& ui, GameWindow& w) { return ui.ChooseMenu(w, kCmdExit); }},
        HideCase{"CloseCommand",
                 [](Headless& ui, GameWindow& w) { return ui.SysCommand(w, SC_CLOSE); }},
        HideCase{"Escape",
                 [](Headless& ui, GameWindow& w) { return ui.Focus(w) && ui.KeyDown(VK_ESCAPE); }},
        HideCase{"CloseMessage",
                 [](Headless&, GameWindow& w) { return w.PostMessage(WM_CLOSE) != FALSE; }}),
    [](const ::testing::TestParamInfo<HideCase>& param) { return param.param.name; });

// ---- Menu commands ----

TEST_F(Window, ClearLogEmptiesThePaneAndLaterLinesStartAfresh) {
  OpenBoth();
  ClickPoint(*black, 7, 7);
  Chat(*white, "hello");
  ASSERT_FALSE(black->LogText().empty());

  ASSERT_TRUE(ui.ChooseMenu(*black, kCmdClearLog));
  EXPECT_TRUE(black->LogText().empty());
  EXPECT_EQ(ControlText(*black, kLogPane), "");
  EXPECT_FALSE(white->LogText().empty());  // only this side's log

  Chat(*white, "again");
  EXPECT_EQ(black->LogText(), WrapLogEntry("Me: again"));
  EXPECT_EQ(ControlText(*black, kLogPane), black->LogText());
}

TEST_F(Window, AboutBoxFromTheMenuAndFromTheSystemMenu) {
  OpenBoth();
  ASSERT_TRUE(ui.ChooseMenu(*black, kCmdAbout));
  ASSERT_TRUE(ui.SysCommand(*black, kSysCmdAbout));
  // The low four bits of a system command are the platform's own.
  black->SendMessage(WM_SYSCOMMAND, kSysCmdAbout | 0x3, 0);
  Settle();
  const auto dialogs = DialogsShown(ui.driver());
  ASSERT_EQ(dialogs.size(), 3u);
  for (const ShownRecord& about : dialogs) {
    EXPECT_EQ(about.templateId, kAboutDialogId);
    EXPECT_EQ(about.caption, "About Tessaro");
  }
  // Only the About box: the game window stays as it was.
  EXPECT_TRUE(black->IsWindowVisible());
  EXPECT_TRUE(ui.driver().MessageBoxes().empty());
}

TEST_F(Window, OtherSystemCommandsOpenNoAboutBox) {
  OpenBoth();
  ASSERT_TRUE(ui.SysCommand(*black, SC_MINIMIZE));
  EXPECT_TRUE(black->IsIconic());
  EXPECT_TRUE(DialogsShown(ui.driver()).empty());
}

TEST_F(Window, MinimisedWindowPaintsItsIconInsteadOfTheBoard) {
  OpenBoth();
  ClickPoint(*black, 7, 7);
  ASSERT_TRUE(ui.SysCommand(*black, SC_MINIMIZE));
  Settle();
  ASSERT_TRUE(black->IsIconic());
  const IconImages* icon = ui.platform().IconImagesOf(black->hIcon);
  ASSERT_NE(icon, nullptr);
  const Image* image = icon->Pick(GetSystemMetrics(SM_CXICON));
  ASSERT_NE(image, nullptr);

  const Image shot = ui.Snapshot(*black);
  const int left = (shot.width - GetSystemMetrics(SM_CXICON) + 1) / 2;
  const int top = (shot.height - GetSystemMetrics(SM_CYICON) + 1) / 2;
  int opaque = 0;
  // The client's centre lies by the log pane, which covers the icon's right half.
  for (int y = 0; y < image->height; ++y) {
    for (int x = 0; x < image->width / 2; ++x) {
      if ((image->At(x, y) & kOpaque) == 0) continue;  // the icon's mask shows the ground
      ++opaque;
      ASSERT_EQ(shot.At(left + x, top + y), image->At(x, y)) << x << ", " << y;
    }
  }
  EXPECT_GT(opaque, 0);
  // The stone at the centre was painted over, not drawn again.
  EXPECT_NE(ui.Pixel(*black, 19 + 17 * 7, 15 + 17 * 7), RGB(0, 0, 0));
}

// ---- Clock labels ----

TEST_F(Window, ClockLabelsShowSecondsFromTheFirstPaint) {
  GameWindow& window = WindowFor(bob);  // made hidden, not painted yet
  EXPECT_EQ(ControlText(window, kOwnClockLabel), "sec");
  EXPECT_EQ(ControlText(window, kPeerClockLabel), "sec");
  app->OpenGameWindow(bob);
  Settle();
  EXPECT_EQ(ControlText(window, kOwnClockLabel), "0");
  EXPECT_EQ(ControlText(window, kPeerClockLabel), "0");

  window.game.myClock = 75;
  window.game.peerClock = -3;
  window.Invalidate();
  Settle();
  EXPECT_EQ(ControlText(window, kOwnClockLabel), "75");
  EXPECT_EQ(ControlText(window, kPeerClockLabel), "-3");
}

// ---- The write test ----

TEST_F(Window, WritableFolderLeavesNoTestFile) {
  OpenBoth();
  EXPECT_TRUE(ui.driver().MessageBoxes().empty());
  EXPECT_FALSE(std::filesystem::exists("duvex.tmp"));
}

TEST_F(Window, FailedWriteTestWarnsAndHides) {
  // A folder of that name makes the file unopenable, even for root.
  ASSERT_TRUE(std::filesystem::create_directory("duvex.tmp"));

  GameWindow& hidden = WindowFor(bob);  // the path of an incoming message
  Settle();
  auto boxes = ui.driver().MessageBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "ERROR: no write permission");
  EXPECT_EQ(boxes[0].type & MB_TYPEMASK, static_cast<UINT>(MB_OK));
  EXPECT_FALSE(hidden.IsWindowVisible());
  // The set-up went on all the same.
  EXPECT_EQ(hidden.saveFile, "SaveFile");
  EXPECT_EQ(hidden.game.myTurn, 1u);
  EXPECT_EQ(hidden.game.board.at(7, 7), Empty);
  EXPECT_EQ(hidden.game.board.at(0, 0), ForbiddenMark);

  // From the contact menu the window is shown again at once.
  app->OpenGameWindow(alice);
  Settle();
  boxes = ui.driver().MessageBoxes();
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(boxes[1].text, "ERROR: no write permission");
  EXPECT_TRUE(WindowFor(alice).IsWindowVisible());
  EXPECT_TRUE(std::filesystem::is_directory("duvex.tmp"));  // left alone
}

// ---- Icon and caption flash ----

TEST_F(Window, IconFollowsTheSideAfterAPaint) {
  OpenBoth();
  EXPECT_EQ(SmallIconId(*black), kNoSideIconId);
  EXPECT_EQ(SmallIconId(*white), kNoSideIconId);
  ClickPoint(*black, 7, 7);
  EXPECT_EQ(SmallIconId(*black), kBlackIconId);
  EXPECT_EQ(SmallIconId(*white), kWhiteIconId);
  EXPECT_EQ(ui.platform().IconResourceId(white->hIcon), kWhiteIconId);

  // Reset: no side again on both.
  ui.AnswerMessageBox(IDNO, {}, "Do you want to save the game?");
  ui.AnswerMessageBox(IDNO, {}, "Do you want to save the game?");
  ASSERT_TRUE(ui.ChooseMenu(*black, kCmdReset));
  Settle();
  EXPECT_EQ(SmallIconId(*black), kNoSideIconId);
  EXPECT_EQ(SmallIconId(*white), kNoSideIconId);
}

TEST_F(Window, IconBeforeAnyPaintIsThePlugInsIcon) {
  GameWindow& window = WindowFor(bob);
  EXPECT_EQ(ui.platform().IconResourceId(window.hIcon), kPluginIconId);
  EXPECT_EQ(ui.platform().IconResourceId(window.GetIcon(TRUE)), kPluginIconId);
}

TEST_F(Window, CaptionFlashesForEveryReceivedCommand) {
  OpenBoth();
  ClickPoint(*black, 7, 7);
  ClickPoint(*black, 7, 8);
  Chat(*white, "nice");
  // Every frame carries one command; each side flashes once per frame that
  // the other side sent, and never for its own.
  const auto whiteFlashes = ui.driver().Flashes(white->m_hWnd);
  const auto blackFlashes = ui.driver().Flashes(black->m_hWnd);
  EXPECT_EQ(whiteFlashes.size(), SentFrames(bob).size());
  EXPECT_EQ(blackFlashes.size(), SentFrames(alice).size());
  EXPECT_GE(whiteFlashes.size(), 3u);
  for (BOOL invert : whiteFlashes)
    EXPECT_TRUE(invert);
}

}  // namespace
}  // namespace tessaro::testing
