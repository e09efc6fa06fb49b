// The headless backend's user: clicks reach the window or the control under
// the point, keys go to the focus, and input a person could not give is
// refused.
#include <gtest/gtest.h>

#include <algorithm>

#include "test_support.h"

namespace tessaro::test {
namespace {

using Strings = std::vector<std::string>;

class Board : public CDialog {
 public:
  Board() : CDialog(200) {}
  Strings clicks;
  BOOL OnInitDialog() override {
    CDialog::OnInitDialog();
    return FALSE;
  }
  const AFX_MSGMAP* GetMessageMap() const override { return GetThisMessageMap(); }
  static const AFX_MSGMAP* GetThisMessageMap() {
    static constexpr AFX_MSGMAP_ENTRY kEntries[] = {
        OnMessage<WM_LBUTTONDOWN, &Board::OnLButtonDown>()};
    static constexpr AFX_MSGMAP kMap = MakeMessageMap(&CDialog::GetThisMessageMap, kEntries);
    return &kMap;
  }

 protected:
  afx_msg void OnLButtonDown(UINT flags, CPoint p) {
    clicks.push_back(std::to_string(flags) + ":" + std::to_string(p.x) + "," + std::to_string(p.y));
  }
};

class HeadlessTest : public FrameworkTest {
 protected:
  void SetUp() override {
    ASSERT_TRUE(board.Create(200));
    os.RunUntilIdle();
  }
  Board board;
};

TEST_F(HeadlessTest, ClicksGoToTheWindowOrTheControlUnderThePoint) {
  ASSERT_TRUE(os.Click(board, CPoint(12, 8)));
  ASSERT_TRUE(os.Click(board, CPoint(0, 0)));
  EXPECT_EQ(board.clicks, (Strings{"1:12,8", "1:0,0"}));
  // On the chat edit: the edit takes the click and the focus.
  ASSERT_TRUE(os.Click(board, CPoint(20, 280)));
  EXPECT_EQ(board.clicks.size(), 2u);
  EXPECT_EQ(CWnd::GetFocus(), board.GetDlgItem(1008));
  // Outside the client area: nobody can click there.
  EXPECT_FALSE(os.Click(board, CPoint(522, 10)));
  EXPECT_FALSE(os.Click(board, CPoint(-1, 10)));
}

TEST_F(HeadlessTest, InputToHiddenOrDisabledWindowsIsRefused) {
  board.ShowWindow(SW_HIDE);
  EXPECT_FALSE(os.Click(board, CPoint(5, 5)));
  EXPECT_FALSE(os.KeyDown(VK_SPACE));  // the focus left with the window
  EXPECT_FALSE(os.ChooseMenu(board, 32778));
  EXPECT_FALSE(os.SysCommand(board, SC_CLOSE));
  EXPECT_FALSE(os.TypeText(board, 1008, "x"));
  board.ShowWindow(SW_SHOW);
  board.GetDlgItem(1009)->EnableWindow(FALSE);
  EXPECT_FALSE(os.PressButton(board, 1009));
  EXPECT_FALSE(os.PressButton(board, 4242));
  EXPECT_TRUE(board.clicks.empty());
}

TEST_F(HeadlessTest, ShowingAWindowActivatesItAndRestoresItsFocus) {
  // The base OnInitDialog returns TRUE: the first tab stop gets the focus.
  CDialog other;
  ASSERT_TRUE(other.Create(202));
  EXPECT_EQ(CWnd::GetFocus(), &board);  // hidden: nothing changes yet
  other.ShowWindow(SW_SHOW);
  EXPECT_EQ(CWnd::GetFocus(), other.GetDlgItem(10));
  ASSERT_TRUE(os.TypeText(board, 1008, "a"));
  other.ShowWindow(SW_SHOW);
  EXPECT_EQ(CWnd::GetFocus(), other.GetDlgItem(10));
  board.ShowWindow(SW_SHOW);
  EXPECT_EQ(CWnd::GetFocus(), board.GetDlgItem(1008));
}

// A line that reaches a pane while a box is open over its window is drawn
// greyed; once the box is gone the pane is drawn in black again.
TEST_F(HeadlessTest, ControlsPaintedUnderABoxAreNotLeftGrey) {
  CWnd* log = board.GetDlgItem(1007);
  ASSERT_NE(log, nullptr);
  // The darkest pixel of the text's first line, inside the pane's edges.
  auto darkest = [&] {
    const Image image = os.Snapshot(*log);
    uint32_t least = 0xFF;
    for (int y = 3; y < 14; ++y) {
      for (int x = 3; x < 60; ++x)
        least = std::min(least, image.pixels[static_cast<size_t>(y * image.width + x)] & 0xFF);
    }
    return least;
  };
  os.AnswerMessageBox(IDOK, [&] {
    log->SetWindowText("a line that arrived meanwhile");
    os.RunUntilIdle();
    EXPECT_EQ(darkest(), 128u) << "the pane is grey while the box is open";
  });
  EXPECT_EQ(board.MessageBox("?", "box", MB_OK), IDOK);
  os.RunUntilIdle();
  EXPECT_EQ(darkest(), 0u);
}

TEST_F(HeadlessTest, DialogScriptsWaitForTheirTemplate) {
  os.AnswerDialog(DialogScript{201, {}, IDOK, {}});
  CDialog small(202);
  EXPECT_EQ(small.DoModal(), IDCANCEL);  // not the scripted template
  EXPECT_EQ(os.driver().PendingScripts(), 1u);
  CDialog box(201);
  EXPECT_EQ(box.DoModal(), IDOK);
  EXPECT_EQ(os.driver().PendingScripts(), 0u);
  // A script naming a control the dialog lacks is not a clean answer.
  os.AnswerDialog(DialogScript{201, {{55, "x"}}, IDOK, {}});
  EXPECT_EQ(box.DoModal(), IDOK);
  EXPECT_FALSE(os.driver().Shown().back().answered);
}

TEST_F(HeadlessTest, ClockOnlyMovesWhenTold) {
  EXPECT_EQ(os.Now(), 0u);
  int ticks = 0;
  struct Ticker : CWnd {
    int* ticks = nullptr;
    const AFX_MSGMAP* GetMessageMap() const override { return GetThisMessageMap(); }
    static const AFX_MSGMAP* GetThisMessageMap() {
      static constexpr AFX_MSGMAP_ENTRY kEntries[] = {OnMessage<WM_TIMER, &Ticker::OnTimer>()};
      static constexpr AFX_MSGMAP kMap = MakeMessageMap(&CWnd::GetThisMessageMap, kEntries);
      return &kMap;
    }
    void OnTimer(UINT_PTR) {
      ++*ticks;
      SetTimer(0, 1000);  // restarted at every tick, as the game's clock is
    }
  } ticker;
  ticker.ticks = &ticks;
  ASSERT_TRUE(ticker.CreateEx(0, "T", "", WS_POPUP, CRect(0, 0, 1, 1), nullptr, 0));
  ticker.SetTimer(0, 1000);
  os.RunUntilIdle();
  EXPECT_EQ(ticks, 0);
  os.AdvanceClock(10'500);
  EXPECT_EQ(ticks, 10);
  EXPECT_EQ(os.Now(), 10'500u);
}

}  // namespace
}  // namespace tessaro::test
