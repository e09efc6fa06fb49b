// Message maps: entry order, the base class's map as fallback, command and
// notification matching, the handler argument cracking and default processing.
#include <gtest/gtest.h>

#include "test_support.h"

namespace tessaro::test {
namespace {

constexpr UINT kPing = WM_USER + 1;
constexpr UINT kBaseOnly = WM_USER + 2;

class BaseWnd : public CWnd {
 public:
  std::vector<std::string> calls;

  const AFX_MSGMAP* GetMessageMap() const override { return GetThisMessageMap(); }
  static const AFX_MSGMAP* GetThisMessageMap() {
    static constexpr AFX_MSGMAP_ENTRY kEntries[] = {
        OnMessageRaw<kBaseOnly, &BaseWnd::OnBaseOnly>(),
        OnMessage<WM_TIMER, &BaseWnd::OnTimer>(),
        OnCommand<7, &BaseWnd::OnSeven>(),
    };
    static constexpr AFX_MSGMAP kMap = MakeMessageMap(&CWnd::GetThisMessageMap, kEntries);
    return &kMap;
  }

 protected:
  LRESULT OnBaseOnly(WPARAM w, LPARAM) {
    calls.push_back("base-only " + std::to_string(w));
    return 11;
  }
  afx_msg void OnTimer(UINT_PTR id) { calls.push_back("base timer " + std::to_string(id)); }
  afx_msg void OnSeven() { calls.push_back("base seven"); }
};

class DerivedWnd : public BaseWnd {
 public:
  const AFX_MSGMAP* GetMessageMap() const override { return GetThisMessageMap(); }
  static const AFX_MSGMAP* GetThisMessageMap() {
    static constexpr AFX_MSGMAP_ENTRY kEntries[] = {
        OnMessageRaw<kPing, &DerivedWnd::OnPingFirst>(),
        OnMessageRaw<kPing, &DerivedWnd::OnPingSecond>(),
        OnMessage<WM_TIMER, &DerivedWnd::OnTimer>(),
        OnMessage<WM_KEYDOWN, &DerivedWnd::OnKeyDown>(),
        OnMessage<WM_LBUTTONDOWN, &DerivedWnd::OnLButtonDown>(),
        OnMessage<WM_SYSCOMMAND, &DerivedWnd::OnSysCommand>(),
        OnMessage<WM_QUERYDRAGICON, &DerivedWnd::OnQueryDragIcon>(),
        OnCommand<5, &DerivedWnd::OnFive>(),
        OnNotify<EN_CHANGE, 5, &DerivedWnd::OnFiveChanged>(),
    };
    static constexpr AFX_MSGMAP kMap = MakeMessageMap(&BaseWnd::GetThisMessageMap, kEntries);
    return &kMap;
  }

  HICON dragIcon = reinterpret_cast<HICON>(0x1234);

 protected:
  LRESULT OnPingFirst(WPARAM, LPARAM) {
    calls.push_back("first");
    return 1;
  }
  LRESULT OnPingSecond(WPARAM, LPARAM) {
    calls.push_back("second");
    return 2;
  }
  afx_msg void OnTimer(UINT_PTR id) { calls.push_back("derived timer " + std::to_string(id)); }
  afx_msg void OnKeyDown(UINT key, UINT repeat, UINT flags) {
    calls.push_back("key " + std::to_string(key) + " " + std::to_string(repeat) + " " +
                    std::to_string(flags));
  }
  afx_msg void OnLButtonDown(UINT flags, CPoint p) {
    calls.push_back("click " + std::to_string(flags) + " " + std::to_string(p.x) + "," +
                    std::to_string(p.y));
  }
  afx_msg void OnSysCommand(UINT id, LPARAM l) {
    calls.push_back("syscommand " + std::to_string(id) + " " + std::to_string(l));
    CWnd::OnSysCommand(id, l);  // default processing
  }
  afx_msg HCURSOR OnQueryDragIcon() { return dragIcon; }
  afx_msg void OnFive() { calls.push_back("five"); }
  afx_msg void OnFiveChanged() { calls.push_back("five changed"); }
};

class MessageMapTest : public FrameworkTest {
 protected:
  void SetUp() override {
    ASSERT_TRUE(wnd.CreateEx(0, "TestWindow", "w",
                             WS_POPUP | WS_VISIBLE | WS_SYSMENU | WS_MINIMIZEBOX,
                             CRect(0, 0, 100, 80), nullptr, 0));
    os.RunUntilIdle();
  }
  LRESULT Send(UINT m, WPARAM w = 0, LPARAM l = 0) { return wnd.SendMessage(m, w, l); }

  DerivedWnd wnd;
};

TEST_F(MessageMapTest, FirstMatchingEntryWins) {
  EXPECT_EQ(Send(kPing), 1);
  EXPECT_EQ(wnd.calls, std::vector<std::string>{"first"});
}

TEST_F(MessageMapTest, DerivedEntryHidesTheBaseOneAndTheBaseMapServesTheRest) {
  Send(WM_TIMER, 4);
  EXPECT_EQ(Send(kBaseOnly, 9), 11);
  Send(WM_COMMAND, MAKEWPARAM(7, 0));
  EXPECT_EQ(wnd.calls, (std::vector<std::string>{"derived timer 4", "base-only 9", "base seven"}));
}

TEST_F(MessageMapTest, CommandsMatchIdAndNotificationCode) {
  Send(WM_COMMAND, MAKEWPARAM(5, 0));          // menu command or BN_CLICKED
  Send(WM_COMMAND, MAKEWPARAM(5, EN_CHANGE));  // notification of control 5
  Send(WM_COMMAND, MAKEWPARAM(6, 0));          // nobody's: default processing
  Send(WM_COMMAND, MAKEWPARAM(5, 0x0400));     // another code: nobody's
  EXPECT_EQ(wnd.calls, (std::vector<std::string>{"five", "five changed"}));
}

TEST_F(MessageMapTest, HandlersGetTheirArgumentsCracked) {
  Send(WM_KEYDOWN, VK_SPACE, MAKELPARAM(3, 0x39));
  Send(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(-5, 260));
  EXPECT_EQ(Send(WM_QUERYDRAGICON), reinterpret_cast<LRESULT>(wnd.dragIcon));
  EXPECT_EQ(wnd.calls, (std::vector<std::string>{"key 32 3 57", "click 1 -5,260"}));
}

TEST_F(MessageMapTest, DefaultProcessingRunsForTheCurrentMessage) {
  EXPECT_FALSE(wnd.IsIconic());
  Send(WM_SYSCOMMAND, SC_MINIMIZE, 77);
  EXPECT_EQ(wnd.calls, std::vector<std::string>{"syscommand 61472 77"});
  EXPECT_TRUE(wnd.IsIconic());
  Send(WM_SYSCOMMAND, SC_RESTORE);
  EXPECT_FALSE(wnd.IsIconic());
  // SC_CLOSE -> WM_CLOSE, whose default destroys a plain window.
  Send(WM_SYSCOMMAND, SC_CLOSE);
  EXPECT_EQ(wnd.m_hWnd, nullptr);
}

TEST_F(MessageMapTest, UnhandledMessagesAndDeadWindowsReturnZero) {
  EXPECT_EQ(Send(WM_USER + 50), 0);
  const HWND h = wnd.m_hWnd;
  wnd.DestroyWindow();
  EXPECT_EQ(::SendMessage(h, kPing, 0, 0), 0);
  EXPECT_TRUE(wnd.calls.empty());
}

// The dialog's own map: OK and Cancel commands reach the virtual overrides;
// every WM_INITDIALOG, also a posted one, runs OnInitDialog.
class CountingDialog : public CDialog {
 public:
  CountingDialog() : CDialog(202) {}
  int inits = 0, oks = 0, cancels = 0;
  BOOL OnInitDialog() override {
    ++inits;
    return CDialog::OnInitDialog();
  }
  void OnOK() override { ++oks; }
  void OnCancel() override { ++cancels; }
};

TEST_F(MessageMapTest, DialogBaseMapCallsTheVirtualOverrides) {
  CountingDialog dlg;
  ASSERT_TRUE(dlg.Create(202));
  EXPECT_EQ(dlg.inits, 1);
  dlg.PostMessage(WM_INITDIALOG);
  dlg.PostMessage(WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED));
  dlg.PostMessage(WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED));
  os.RunUntilIdle();
  EXPECT_EQ(dlg.inits, 2);
  EXPECT_EQ(dlg.oks, 1);
  EXPECT_EQ(dlg.cancels, 1);
}

}  // namespace
}  // namespace tessaro::test
