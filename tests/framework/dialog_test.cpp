// Dialogs from templates: controls and their pixel rectangles, the dialog
// manager's keys, closing a modeless dialog, data exchange, the system menu,
// icons and flashing.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "framework/edit_layout.h"
#include "framework/scroll_bar.h"
#include "test_support.h"

namespace tessaro::test {
namespace {

using Strings = std::vector<std::string>;

// Shaped like the game window: a modeless dialog on template 200 whose OK
// does not close it and whose keys and system commands are recorded.
class GameLike : public CDialog {
 public:
  GameLike() : CDialog(200) {}
  Strings log;
  std::string chat;  // exchanged with edit 1008
  std::string pane;  // exchanged with the rich edit 1007

  BOOL OnInitDialog() override {
    log.push_back("init");
    CDialog::OnInitDialog();
    if (CMenu* menu = GetSystemMenu(FALSE)) {
      menu->AppendMenu(MF_SEPARATOR);
      menu->AppendMenu(MF_STRING, 0x0010, LoadString(101).c_str());
    }
    return FALSE;
  }
  void DoDataExchange(CDataExchange* pDX) override {
    CDialog::DoDataExchange(pDX);
    DDX_Text(pDX, 1008, chat);
    DDX_Text(pDX, 1007, pane);
  }
  void OnOK() override { log.push_back("ok"); }

  const AFX_MSGMAP* GetMessageMap() const override { return GetThisMessageMap(); }
  static const AFX_MSGMAP* GetThisMessageMap() {
    static constexpr AFX_MSGMAP_ENTRY kEntries[] = {
        OnMessage<WM_SYSCOMMAND, &GameLike::OnSysCommand>(),
        OnMessage<WM_KEYDOWN, &GameLike::OnKeyDown>(),
        OnMessage<WM_CLOSE, &GameLike::OnClose>(),
        OnNotify<BN_CLICKED, 1009, &GameLike::OnSim>(),
        OnCommand<32773, &GameLike::OnExit>(),
    };
    static constexpr AFX_MSGMAP kMap = MakeMessageMap(&CDialog::GetThisMessageMap, kEntries);
    return &kMap;
  }

 protected:
  afx_msg void OnSysCommand(UINT id, LPARAM l) {
    if ((id & 0xFFF0) == 0x0010) {
      log.push_back("about");
    } else {
      CDialog::OnSysCommand(id, l);
    }
  }
  afx_msg void OnKeyDown(UINT key, UINT repeat, UINT flags) {
    log.push_back("key " + std::to_string(key));
    CDialog::OnKeyDown(key, repeat, flags);
  }
  afx_msg void OnClose() {
    log.push_back("close");
    CDialog::OnClose();
  }
  afx_msg void OnSim() { log.push_back("sim"); }
  afx_msg void OnExit() { SendMessage(WM_CLOSE); }
};

class DialogTest : public FrameworkTest {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dlg.Create(200));
    os.RunUntilIdle();
  }
  CRect RectOf(int id) {
    CWnd* c = dlg.GetDlgItem(id);
    EXPECT_NE(c, nullptr) << id;
    return c ? os.platform().Find(c->m_hWnd)->rect : CRect();
  }
  // A left click at `at` in `w`'s client area, dragged by `drag` before the
  // button comes up.
  static void Press(CWnd& w, CPoint at, CPoint drag = CPoint()) {
    const CPoint up(at.x + drag.x, at.y + drag.y);
    w.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(at.x, at.y));
    if (drag.x != 0 || drag.y != 0) w.SendMessage(WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(up.x, up.y));
    w.SendMessage(WM_LBUTTONUP, 0, MAKELPARAM(up.x, up.y));
  }

  GameLike dlg;
};

TEST_F(DialogTest, TemplateGivesControlsAtTheirPixelRectangles) {
  EXPECT_EQ(dlg.log, Strings{"init"});  // OnInitDialog ran inside Create
  RECT client;
  dlg.GetClientRect(&client);
  EXPECT_EQ(CRect(client), CRect(0, 0, 522, 300));
  EXPECT_TRUE(dlg.IsWindowVisible());  // WS_VISIBLE in the template
  std::string caption;
  dlg.GetWindowText(caption);
  EXPECT_EQ(caption, "test");
  // Dialog units 6 x 13 per 4 x 8: each edge converted and cut to a pixel.
  EXPECT_EQ(RectOf(1008), CRect(10, 273, 421, 295));
  EXPECT_EQ(RectOf(1007), CRect(271, 6, 511, 266));
  EXPECT_EQ(RectOf(1009), CRect(481, 269, 511, 297));
  EXPECT_EQ(RectOf(1000), CRect(430, 269, 474, 284));
  EXPECT_EQ(RectOf(1001), CRect(430, 282, 474, 297));
  // Each control is an object of its class.
  EXPECT_NE(dynamic_cast<CEdit*>(dlg.GetDlgItem(1008)), nullptr);
  EXPECT_NE(dynamic_cast<CRichEditCtrl*>(dlg.GetDlgItem(1007)), nullptr);
  EXPECT_NE(dynamic_cast<CButton*>(dlg.GetDlgItem(1009)), nullptr);
  EXPECT_NE(dynamic_cast<CStatic*>(dlg.GetDlgItem(1000)), nullptr);
  EXPECT_EQ(dlg.GetDlgItem(4242), nullptr);
  std::string sec;
  dlg.GetDlgItemText(1000, sec);
  EXPECT_EQ(sec, "sec");
  EXPECT_EQ(dlg.GetDlgItem(1001)->GetExStyle(), WS_EX_RIGHT);
  ASSERT_NE(dlg.GetMenu(), nullptr);
  EXPECT_EQ(dlg.GetMenu()->Items().at(0).text, "&Game");
}

TEST_F(DialogTest, TemplatesThatCannotBeMadeGiveFalse) {
  const UINT ids[] = {999, 203, 204};  // missing; missing menu; unknown class
  for (UINT id : ids) {
    CDialog d;
    EXPECT_FALSE(d.Create(id)) << id;
    EXPECT_EQ(d.m_hWnd, nullptr) << id;
  }
  os.driver().SetRichEditAvailable(false);
  EXPECT_FALSE(AfxInitRichEdit());
  GameLike other;
  EXPECT_FALSE(other.Create(200));
  os.driver().SetRichEditAvailable(true);
  EXPECT_TRUE(AfxInitRichEdit());
}

TEST_F(DialogTest, EscapeCloseAndExitHideTheModelessDialogWhichStaysAlive) {
  struct Way {
    const char* name;
    std::function<void()> close;
  };
  const Way ways[] = {
      {"Escape", [&] { ASSERT_TRUE(os.KeyDown(VK_ESCAPE)); }},
      {"WM_CLOSE", [&] { dlg.SendMessage(WM_CLOSE); }},
      {"close box", [&] { ASSERT_TRUE(os.SysCommand(dlg, SC_CLOSE)); }},
      {"Exit", [&] { ASSERT_TRUE(os.ChooseMenu(dlg, 32773)); }},
  };
  for (const Way& way : ways) {
    SCOPED_TRACE(way.name);
    dlg.ShowWindow(SW_SHOW);
    os.RunUntilIdle();
    ASSERT_TRUE(dlg.IsWindowVisible());
    way.close();
    os.RunUntilIdle();
    EXPECT_FALSE(dlg.IsWindowVisible());
    EXPECT_TRUE(IsWindow(dlg.m_hWnd));
  }
  // The hidden dialog still exchanges data and takes posted messages.
  dlg.PostMessage(WM_INITDIALOG);
  os.RunUntilIdle();
  EXPECT_EQ(dlg.log.back(), "init");
}

TEST_F(DialogTest, EnterCallsOnOKAndSpaceReachesTheDialogWhenItHasTheFocus) {
  // OnInitDialog returned FALSE: the dialog itself has the focus.
  EXPECT_EQ(CWnd::GetFocus(), &dlg);
  ASSERT_TRUE(os.KeyDown(VK_SPACE));
  ASSERT_TRUE(os.KeyDown(VK_RETURN));
  EXPECT_EQ(dlg.log, (Strings{"init", "key 32", "ok"}));
  EXPECT_TRUE(dlg.IsWindowVisible());

  // In the chat edit, Space types a blank and Enter still means OK.
  ASSERT_TRUE(os.TypeText(dlg, 1008, "hi"));
  ASSERT_TRUE(os.KeyDown(VK_SPACE));
  ASSERT_TRUE(os.KeyDown(VK_RETURN));
  std::string chat;
  dlg.GetDlgItemText(1008, chat);
  EXPECT_EQ(chat, "hi ");
  EXPECT_EQ(dlg.log, (Strings{"init", "key 32", "ok", "ok"}));
}

TEST_F(DialogTest, ButtonClicksAndMenuCommandsReachTheMap) {
  ASSERT_TRUE(os.PressButton(dlg, 1009));
  ASSERT_TRUE(os.ChooseMenu(dlg, 32778));   // in the menu, not in the map: nothing
  EXPECT_FALSE(os.ChooseMenu(dlg, 32790));  // grayed
  EXPECT_FALSE(os.ChooseMenu(dlg, 4711));   // no such item
  EXPECT_EQ(dlg.log, (Strings{"init", "sim"}));
}

TEST_F(DialogTest, DataExchangeGoesBothWays) {
  dlg.pane = "line 1\nline 2";
  dlg.chat = "draft";
  EXPECT_TRUE(dlg.UpdateData(FALSE));
  std::string text;
  dlg.GetDlgItemText(1007, text);
  EXPECT_EQ(text, "line 1\nline 2");
  dlg.GetDlgItemText(1008, text);
  EXPECT_EQ(text, "draft");

  dlg.SetDlgItemText(1008, "");
  ASSERT_TRUE(os.TypeText(dlg, 1008, "typed"));
  EXPECT_TRUE(dlg.UpdateData(TRUE));
  EXPECT_EQ(dlg.chat, "typed");
  EXPECT_EQ(dlg.pane, "line 1\nline 2");
}

TEST_F(DialogTest, DataExchangeWithAMissingControlFails) {
  struct Broken : CDialog {
    std::string value = "kept";
    void DoDataExchange(CDataExchange* pDX) override { DDX_Text(pDX, 77, value); }
  } broken;
  ASSERT_TRUE(broken.Create(202));
  EXPECT_FALSE(broken.UpdateData(TRUE));
  EXPECT_EQ(broken.value, "kept");
}

TEST_F(DialogTest, SystemMenuHasTheStandardItemsAndTheAppendedOnes) {
  CMenu* menu = dlg.GetSystemMenu(FALSE);
  ASSERT_NE(menu, nullptr);
  const auto& items = menu->Items();
  ASSERT_EQ(items.size(), 9u);
  EXPECT_EQ(items[6].id, SC_CLOSE);
  EXPECT_EQ(items[7].flags, MF_SEPARATOR);
  EXPECT_EQ(items[8].id, 0x0010u);
  EXPECT_EQ(items[8].text, "&About test...");
  EXPECT_EQ(menu->GetMenuState(SC_MINIMIZE, MF_BYCOMMAND) & MF_GRAYED, 0u);
  EXPECT_NE(menu->GetMenuState(SC_MAXIMIZE, MF_BYCOMMAND) & MF_GRAYED, 0u);

  ASSERT_TRUE(os.SysCommand(dlg, 0x0010));
  EXPECT_EQ(dlg.log.back(), "about");
  EXPECT_FALSE(os.SysCommand(dlg, SC_MAXIMIZE));  // grayed: nobody can choose it
  ASSERT_TRUE(os.SysCommand(dlg, SC_MINIMIZE));
  EXPECT_TRUE(dlg.IsIconic());
  EXPECT_EQ(dlg.GetSystemMenu(TRUE), nullptr);
  EXPECT_EQ(dlg.GetSystemMenu(FALSE)->Items().size(), 7u);
}

TEST_F(DialogTest, IconsAndFlashesAreRecorded) {
  const HICON icon = LoadIcon(600);
  ASSERT_NE(icon, nullptr);
  EXPECT_EQ(LoadIcon(600), icon);  // one handle per resource
  EXPECT_EQ(LoadIcon(601), nullptr);
  dlg.SetIcon(icon, TRUE);
  EXPECT_EQ(dlg.SetIcon(icon, FALSE), nullptr);
  EXPECT_EQ(dlg.GetIcon(FALSE), icon);
  const std::vector<IconRecord> icons = os.driver().Icons(dlg.m_hWnd);
  ASSERT_EQ(icons.size(), 2u);
  EXPECT_TRUE(icons[0].big);
  EXPECT_FALSE(icons[1].big);
  EXPECT_EQ(icons[1].resourceId, 600u);

  dlg.FlashWindow(TRUE);
  dlg.FlashWindow(FALSE);
  EXPECT_EQ(os.driver().Flashes(dlg.m_hWnd), (std::vector<BOOL>{TRUE, FALSE}));
}

TEST_F(DialogTest, RichEditSelectionScrollsToTheCaret) {
  auto* log = static_cast<CRichEditCtrl*>(dlg.GetDlgItem(1007));
  std::string text;
  for (int i = 0; i < 40; ++i)
    text += "line " + std::to_string(i) + "\n";
  log->SetWindowText(text);
  EXPECT_EQ(log->GetFirstVisibleLine(), 0);
  const long n = log->GetTextLength();
  log->SetSel(n, n);
  long s = 0, e = 0;
  log->GetSel(s, e);
  EXPECT_EQ(s, n);
  EXPECT_EQ(e, n);
  // 260 pixels high less border, scroll bar and margin: 240 pixels, 21 lines
  // of 11; the caret on line 40 is the last one shown.
  EXPECT_EQ(log->GetFirstVisibleLine(), 40 - 240 / 11 + 1);
  // Read-only: typing does nothing.
  ASSERT_TRUE(os.TypeText(dlg, 1007, "x"));
  log->GetWindowText(text);
  EXPECT_EQ(static_cast<long>(text.size()), n);
}

// The log as the game keeps it: the whole text set again for each new line
// and the caret put at the end, which must not pull a reader back down.
TEST_F(DialogTest, TheLogScrollsByWheelKeysAndBarAndStaysWhereTheReaderPutIt) {
  auto* log = static_cast<CRichEditCtrl*>(dlg.GetDlgItem(1007));
  const HWND pane = log->m_hWnd;
  std::string text;
  auto addLines = [&](int count) {
    for (int i = 0; i < count; ++i)
      text += "line\n";
    log->SetWindowText(text);
    const long n = log->GetTextLength();
    log->SetSel(n, n);
  };
  const WindowRecord& rec = *os.platform().Find(pane);
  auto bar = [&] {
    return LayoutScrollBar(VScrollBarOf(rec), EditLineCount(rec), LayoutEdit(rec).visibleLines,
                           rec.firstLine);
  };
  auto press = [&](CPoint at, CPoint drag = CPoint()) { Press(*log, at, drag); };
  // 21 lines show (see above); 40 lines and the empty one after them: the
  // view follows the end at line 20 until the reader scrolls away.
  const struct {
    const char* what;
    std::function<void()> act;
    int first;
  } steps[] = {
      {"lines arrive", [&] { addLines(40); }, 20},
      {"wheel up a notch", [&] { log->SendMessage(WM_MOUSEWHEEL, MAKEWPARAM(0, 120), 0); }, 17},
      {"more lines arrive", [&] { addLines(10); }, 17},
      {"Page Up",
       [&] {
         os.Focus(*log);
         os.KeyDown(VK_PRIOR);
       },
       0},
      {"up arrow at the top", [&] { press(bar().up.CenterPoint()); }, 0},
      {"down arrow", [&] { press(bar().down.CenterPoint()); }, 1},
      {"track below the thumb",
       [&] { press(CPoint(bar().track.CenterPoint().x, bar().track.bottom - 1)); }, 22},
      {"Page Down past the end", [&] { os.KeyDown(VK_NEXT); }, 30},
      {"following again", [&] { addLines(2); }, 32},
      {"Ctrl+Home", [&] { os.KeyDown(VK_HOME); }, 0},
      {"wheel down two notches",
       [&] { log->SendMessage(WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(-240)), 0); }, 6},
      {"thumb dragged to the bottom", [&] { press(bar().thumb.CenterPoint(), CPoint(0, 500)); },
       32},
      {"Ctrl+End then lines",
       [&] {
         os.KeyDown(VK_END);
         addLines(3);
       },
       35},
      {"the log cleared",
       [&] {
         text.clear();
         addLines(0);
       },
       0},
  };
  for (const auto& step : steps) {
    step.act();
    os.RunUntilIdle();
    EXPECT_EQ(log->GetFirstVisibleLine(), step.first) << step.what;
  }
}

// The log as the game now grows it: each line added at the end of the pane
// (its index of lines extended, not made anew). Scrolling, selecting, focus,
// clearing and setting the text whole in the middle of it must leave the pane
// where the same steps leave a pane whose text is set whole each time, pixel
// for pixel.
TEST_F(DialogTest, ALogGrownLineByLineScrollsSelectsAndClearsAsOneSetWhole) {
  auto* log = static_cast<CRichEditCtrl*>(dlg.GetDlgItem(1007));
  const WindowRecord& rec = *os.platform().Find(log->m_hWnd);
  struct Seen {
    int first, lines;
    long from, to;
    std::vector<uint32_t> pixels;
    bool operator==(const Seen&) const = default;
  };
  auto run = [&](bool append) {
    std::string text;
    int next = 0;
    auto addLines = [&](int count) {
      for (int i = 0; i < count; ++i) {
        const std::string line = "line " + std::to_string(next++) + (i % 3 ? "\r\n" : "\n");
        text += line;
        if (append) {
          const long end = log->GetTextLength();
          log->SetSel(end, end);
          log->ReplaceSel(line.c_str());
        } else {
          log->SetWindowText(text);
          const long n = log->GetTextLength();
          log->SetSel(n, n);
        }
      }
    };
    const std::function<void()> steps[] = {
        [&] { addLines(60); },
        [&] { log->SendMessage(WM_MOUSEWHEEL, MAKEWPARAM(0, 240), 0); },
        [&] { addLines(7); },
        [&] {
          os.Focus(*log);
          log->SetSel(30, 95);
        },
        [&] { addLines(2); },
        [&] { os.KeyDown(VK_PRIOR); },
        [&] { os.KeyDown(VK_END); },
        [&] { addLines(40); },
        [&] {
          text.clear();
          log->SetWindowText("");
        },
        [&] { addLines(25); },
    };
    std::vector<Seen> seen;
    for (const auto& step : steps) {
      step();
      os.RunUntilIdle();
      long from = 0, to = 0;
      log->GetSel(from, to);
      seen.push_back(
          {log->GetFirstVisibleLine(), EditLineCount(rec), from, to, os.Snapshot(*log).pixels});
      EXPECT_EQ(EditLineCount(rec), CountLineBreaks(rec.text) + 1);
    }
    std::string shown;
    log->GetWindowText(shown);
    EXPECT_EQ(shown, text);
    // Back to an empty pane, followed from its end, for the other way.
    log->SetWindowText("");
    os.KeyDown(VK_END);
    return seen;
  };
  const std::vector<Seen> whole = run(false);
  const std::vector<Seen> appended = run(true);
  ASSERT_EQ(whole.size(), appended.size());
  for (size_t i = 0; i < whole.size(); ++i) {
    EXPECT_EQ(whole[i].first, appended[i].first) << "step " << i;
    EXPECT_EQ(whole[i].lines, appended[i].lines) << "step " << i;
    EXPECT_EQ(whole[i].from, appended[i].from) << "step " << i;
    EXPECT_EQ(whole[i].to, appended[i].to) << "step " << i;
    EXPECT_TRUE(whole[i].pixels == appended[i].pixels) << "step " << i;
  }
  // The steps did move the view: not a pane that stayed at the top.
  EXPECT_GT(whole[0].first, 0);
  EXPECT_LT(whole[1].first, whole[0].first);
  // Text replaced inside the log makes the index anew.
  log->SetWindowText("a\nb\nc\nd\ne\n");
  log->SetSel(1, 7);
  log->ReplaceSel("x\ny\nz\nw\n");
  EXPECT_EQ(EditLineCount(rec), CountLineBreaks(rec.text) + 1);
  for (int line = 0; line < EditLineCount(rec); ++line)
    EXPECT_EQ(FindLineStart(rec, line).offset, FindLineStart(rec.text, line).offset) << line;
}

// A long log scrolled down shows, from the top of its text area, the lines
// from its first visible one on: the same pixels as a log holding only those.
TEST_F(DialogTest, AScrolledLogShowsTheLinesFromItsFirstVisibleOne) {
  auto* log = static_cast<CRichEditCtrl*>(dlg.GetDlgItem(1007));
  const WindowRecord& rec = *os.platform().Find(log->m_hWnd);
  auto lines = [](int from) {
    std::string text;
    for (int i = from; i < 40; ++i)
      text += "line " + std::to_string(i) + "\n";
    return text;
  };
  auto textPixels = [&] {
    os.RunUntilIdle();
    const Image shot = os.Snapshot(*log);
    const CRect area = LayoutEdit(rec).text;
    std::vector<uint32_t> out;
    for (int y = area.top; y < area.bottom; ++y) {
      for (int x = area.left; x < area.right; ++x)
        out.push_back(shot.At(x, y));
    }
    return out;
  };
  // Followed to the end (line 20 first), then one wheel notch up (line 17).
  for (const int notches : {0, 1}) {
    SCOPED_TRACE(notches);
    log->SetWindowText(lines(0));
    const long n = log->GetTextLength();
    log->SetSel(n, n);
    for (int k = 0; k < notches; ++k)
      log->SendMessage(WM_MOUSEWHEEL, MAKEWPARAM(0, 120), 0);
    const int first = log->GetFirstVisibleLine();
    ASSERT_EQ(first, 20 - 3 * notches);
    const std::vector<uint32_t> scrolled = textPixels();
    log->SetWindowText("");  // back at the top, following again
    log->SetWindowText(lines(first));
    ASSERT_EQ(log->GetFirstVisibleLine(), 0);
    EXPECT_EQ(scrolled, textPixels());
  }
}

// A word longer than the pane is never split: the horizontal bar and the
// arrow keys bring the rest of it into view, as far as the widest line in
// view needs and no further.
TEST_F(DialogTest, TheLogScrollsSidewaysToShowALineWiderThanThePane) {
  auto* log = static_cast<CRichEditCtrl*>(dlg.GetDlgItem(1007));
  std::string text = "short\n" + std::string(80, 'w') + "\n";
  for (int i = 0; i < 40; ++i)
    text += "line\n";
  log->SetWindowText(text);
  const WindowRecord& rec = *os.platform().Find(log->m_hWnd);
  const int most = MaxFirstX(rec);
  ASSERT_GT(most, 0) << "the long line fits the pane";
  const int arrow = LayoutEdit(rec).lineHeight;  // one arrow press or key
  const int page = LayoutEdit(rec).text.Width();
  ASSERT_GT(most, 2 * arrow + page);
  auto bar = [&] { return LayoutHScrollBar(rec); };
  auto press = [&](CPoint at, int dragX = 0) { Press(*log, at, CPoint(dragX, 0)); };
  const struct {
    const char* what;
    std::function<void()> act;
    int firstX;
  } steps[] = {
      {"right arrow", [&] { press(bar().down.CenterPoint()); }, arrow},
      {"Right key",
       [&] {
         os.Focus(*log);
         os.KeyDown(VK_RIGHT);
       },
       2 * arrow},
      {"Left key", [&] { os.KeyDown(VK_LEFT); }, arrow},
      {"track right of the thumb",
       [&] { press(CPoint(bar().track.right - 1, bar().track.CenterPoint().y)); }, arrow + page},
      {"thumb dragged past the right end", [&] { press(bar().thumb.CenterPoint(), 500); }, most},
      {"right arrow at the end", [&] { press(bar().down.CenterPoint()); }, most},
      {"track left of the thumb",
       [&] { press(CPoint(bar().track.left, bar().track.CenterPoint().y)); }, most - page},
      {"thumb dragged past the left end", [&] { press(bar().thumb.CenterPoint(), -500); }, 0},
      {"wheel tilted right a notch",
       [&] { log->SendMessage(WM_MOUSEHWHEEL, MAKEWPARAM(0, 120), 0); }, 3 * arrow},
  };
  for (const auto& step : steps) {
    step.act();
    os.RunUntilIdle();
    EXPECT_EQ(rec.firstX, step.firstX) << step.what;
  }
  // Scrolled down to lines that all fit, the bar has nowhere to go.
  os.KeyDown(VK_END);
  os.RunUntilIdle();
  EXPECT_EQ(MaxFirstX(rec), 0);
  EXPECT_EQ(bar().thumb, bar().track);
}

TEST(ScrollBarLayoutTest, ThumbShowsTheVisiblePartAndFollowsTheFirstLine) {
  const CRect bar(0, 0, 16, 216);  // arrows 16 high: a track of 184 pixels
  const struct {
    int lines, visible, first;
    int thumbTop, thumbBottom;
  } cases[] = {
      {10, 21, 0, 16, 200},    // everything shows: the thumb fills the track
      {42, 21, 0, 16, 108},    // half shows: half the track, at the top
      {42, 21, 21, 108, 200},  // at the end
      {42, 21, 7, 46, 138},    // a third of the way
      {2000, 21, 0, 16, 24},   // a long log keeps a thumb that can be grabbed
      {2000, 21, 1979, 192, 200},
  };
  for (const auto& c : cases) {
    const ScrollBarLayout l = LayoutScrollBar(bar, c.lines, c.visible, c.first);
    EXPECT_EQ(l.up, CRect(0, 0, 16, 16));
    EXPECT_EQ(l.down, CRect(0, 200, 16, 216));
    EXPECT_EQ(l.thumb.top, c.thumbTop) << c.lines << " " << c.first;
    EXPECT_EQ(l.thumb.bottom, c.thumbBottom) << c.lines << " " << c.first;
    // Dragging the thumb to where it is drawn gives the same first line.
    EXPECT_EQ(FirstLineAtThumb(bar, c.lines, c.visible, l.thumb.top),
              std::min(c.first, MaxFirstLine(c.lines, c.visible)))
        << c.lines << " " << c.first;
  }
}

// The log's lines are counted and found eight bytes at a time: breaks on
// either side of a word's edge, runs of them and a text's tail all count.
TEST(LineBreaksTest, CountAndFindAgreeWithAWalkByteByByte) {
  std::mt19937 random(7);
  for (int round = 0; round < 2000; ++round) {
    std::string text(random() % 40, 'a');
    for (char& c : text)
      if (random() % 4 == 0) c = '\n';
    std::vector<size_t> starts{0};  // where each line starts
    for (size_t i = 0; i < text.size(); ++i)
      if (text[i] == '\n') starts.push_back(i + 1);
    ASSERT_EQ(CountLineBreaks(text), static_cast<int>(starts.size()) - 1) << text;
    for (int line = 0; line <= static_cast<int>(starts.size()) + 1; ++line) {
      const int reached = std::min(line, static_cast<int>(starts.size()) - 1);
      const LineStart found = FindLineStart(text, line);
      ASSERT_EQ(found.line, reached) << line << " in \"" << text << '"';
      ASSERT_EQ(found.offset, starts[static_cast<size_t>(reached)])
          << line << " in \"" << text << '"';
    }
  }
}

TEST_F(DialogTest, EditTypingReplacesTheSelectionAndNotifiesTheParent) {
  auto* edit = static_cast<CEdit*>(dlg.GetDlgItem(1008));
  edit->SetWindowText("hello world");
  edit->SetSel(0, 5);
  ASSERT_TRUE(os.TypeText(dlg, 1008, "howdy"));
  std::string text;
  edit->GetWindowText(text);
  EXPECT_EQ(text, "howdy world");
  ASSERT_TRUE(os.KeyDown(VK_BACK));
  edit->GetWindowText(text);
  EXPECT_EQ(text, "howd world");
  edit->SetSel(-1, -1);
  edit->ReplaceSel("!");
  edit->GetWindowText(text);
  EXPECT_EQ(text, "howd world!");
}

TEST_F(DialogTest, DestroyingTheDialogTakesItsControlsAlong) {
  CWnd* edit = dlg.GetDlgItem(1008);
  const HWND editHandle = edit->m_hWnd;
  dlg.SetTimer(0, 1000);
  EXPECT_TRUE(dlg.DestroyWindow());
  EXPECT_FALSE(IsWindow(editHandle));
  EXPECT_EQ(dlg.m_hWnd, nullptr);
  EXPECT_FALSE(dlg.DestroyWindow());
  os.AdvanceClock(2000);
  // The object can make its window again.
  EXPECT_TRUE(dlg.Create(200));
}

}  // namespace
}  // namespace tessaro::test
