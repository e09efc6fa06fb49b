// The message queue: posted against sent, synthesized paints, hidden windows,
// destroyed windows, timers on virtual time, and posting from other threads.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "test_support.h"

namespace tessaro::test {
namespace {

constexpr UINT kNote = WM_USER + 7;

// Records what reaches it; its paint handler paints (validating) like a real one.
class Probe : public CWnd {
 public:
  std::vector<std::string> seen;
  std::function<void()> onNote;
  std::function<void(UINT_PTR)> onTimer;

  bool Make(bool visible) {
    return CreateEx(0, "Probe", "probe", WS_POPUP | (visible ? WS_VISIBLE : 0), CRect(0, 0, 40, 30),
                    nullptr, 0) != FALSE;
  }

  const AFX_MSGMAP* GetMessageMap() const override { return GetThisMessageMap(); }
  static const AFX_MSGMAP* GetThisMessageMap() {
    static constexpr AFX_MSGMAP_ENTRY kEntries[] = {
        OnMessageRaw<kNote, &Probe::OnNote>(),
        OnMessage<WM_PAINT, &Probe::OnPaint>(),
        OnMessage<WM_TIMER, &Probe::OnTimer>(),
    };
    static constexpr AFX_MSGMAP kMap = MakeMessageMap(&CWnd::GetThisMessageMap, kEntries);
    return &kMap;
  }

 protected:
  LRESULT OnNote(WPARAM w, LPARAM) {
    seen.push_back("note " + std::to_string(w));
    // A copy, since the callback may delete this object.
    if (auto f = onNote) f();
    return static_cast<LRESULT>(w * 2);
  }
  afx_msg void OnPaint() {
    seen.push_back("paint");
    CPaintDC dc(this);
  }
  afx_msg void OnTimer(UINT_PTR id) {
    seen.push_back("timer " + std::to_string(id));
    if (onTimer) onTimer(id);
  }
};

using Strings = std::vector<std::string>;

class QueueTest : public FrameworkTest {};

TEST_F(QueueTest, PostedMessagesAndTasksKeepTheirOrderAndSendIsImmediate) {
  Probe w;
  ASSERT_TRUE(w.Make(false));
  w.PostMessage(kNote, 1);
  os.platform().PostTask([&] { w.seen.push_back("task"); });
  w.PostMessage(kNote, 2);
  EXPECT_EQ(w.SendMessage(kNote, 21), 42);
  EXPECT_EQ(w.seen, Strings{"note 21"});
  os.RunUntilIdle();
  EXPECT_EQ(w.seen, (Strings{"note 21", "note 1", "task", "note 2"}));
}

TEST_F(QueueTest, PaintIsSynthesizedOnlyForVisibleWindowsWithAnInvalidRegion) {
  Probe hidden, shown;
  ASSERT_TRUE(hidden.Make(false));
  ASSERT_TRUE(shown.Make(true));
  os.RunUntilIdle();
  EXPECT_EQ(shown.seen, Strings{"paint"});  // shown: the whole window was invalid
  EXPECT_TRUE(hidden.seen.empty());

  hidden.Invalidate();
  os.RunUntilIdle();
  EXPECT_TRUE(hidden.seen.empty());  // invalid but hidden: no paint
  os.RunUntilIdle();
  EXPECT_EQ(shown.seen.size(), 1u);  // valid and visible: no paint either

  hidden.ShowWindow(SW_SHOW);
  os.RunUntilIdle();
  EXPECT_EQ(hidden.seen, Strings{"paint"});
  RECT r;
  EXPECT_FALSE(hidden.GetUpdateRect(&r));
}

TEST_F(QueueTest, PostedMessagesComeBeforeASynthesizedPaint) {
  Probe w;
  ASSERT_TRUE(w.Make(true));
  os.RunUntilIdle();
  w.seen.clear();
  w.Invalidate();
  w.PostMessage(kNote, 1);
  os.RunUntilIdle();
  EXPECT_EQ(w.seen, (Strings{"note 1", "paint"}));
}

TEST_F(QueueTest, PostedPaintReachesAHiddenWindow) {
  Probe w;
  ASSERT_TRUE(w.Make(false));
  w.PostMessage(WM_PAINT);
  w.PostMessage(WM_PAINT);
  os.RunUntilIdle();
  EXPECT_EQ(w.seen, (Strings{"paint", "paint"}));
}

TEST_F(QueueTest, MessagesForADestroyedWindowAreDropped) {
  Probe w;
  ASSERT_TRUE(w.Make(true));
  const HWND h = w.m_hWnd;
  w.PostMessage(kNote, 1);
  w.SetTimer(3, 100);
  w.DestroyWindow();
  os.RunUntilIdle();
  os.AdvanceClock(500);
  EXPECT_TRUE(w.seen.empty());
  EXPECT_FALSE(::PostMessage(h, kNote, 2, 0));  // known dead on the UI thread
  EXPECT_FALSE(IsWindow(h));
}

TEST_F(QueueTest, AWindowDeletedInsideItsHandlerIsSafe) {
  auto* w = new Probe;
  ASSERT_TRUE(w->Make(true));
  const HWND h = w->m_hWnd;
  int deleted = 0;
  w->onNote = [w, &deleted] {
    ++deleted;
    delete w;
  };
  w->PostMessage(kNote, 1);
  ::PostMessage(h, kNote, 2, 0);
  w->SetTimer(1, 10);
  os.AdvanceClock(100);  // the second note and the timer find no window
  EXPECT_FALSE(IsWindow(h));
  EXPECT_EQ(deleted, 1);
}

TEST_F(QueueTest, TimersRunOnVirtualTime) {
  Probe w;
  ASSERT_TRUE(w.Make(false));  // hidden windows get their timers too
  EXPECT_NE(w.SetTimer(0, 1000), 0u);
  os.AdvanceClock(999);
  EXPECT_TRUE(w.seen.empty());
  os.AdvanceClock(1);
  EXPECT_EQ(w.seen, Strings{"timer 0"});
  os.AdvanceClock(3000);
  EXPECT_EQ(w.seen.size(), 4u);

  // Setting it again restarts the period.
  w.seen.clear();
  os.AdvanceClock(600);
  w.SetTimer(0, 1000);
  os.AdvanceClock(600);
  EXPECT_TRUE(w.seen.empty());
  os.AdvanceClock(400);
  EXPECT_EQ(w.seen, Strings{"timer 0"});

  EXPECT_TRUE(w.KillTimer(0));
  EXPECT_FALSE(w.KillTimer(0));
  os.AdvanceClock(5000);
  EXPECT_EQ(w.seen.size(), 1u);
}

TEST_F(QueueTest, TimersFireInDueOrderAndOnlyWhenNoPostedMessageWaits) {
  Probe w;
  ASSERT_TRUE(w.Make(false));
  w.SetTimer(1, 300);
  w.SetTimer(2, 200);
  os.AdvanceClock(300);
  EXPECT_EQ(w.seen, (Strings{"timer 2", "timer 1"}));

  // Timers 1 and 2 both due at 500: the note timer 1 posts goes before timer 2.
  w.seen.clear();
  w.SetTimer(1, 200);
  w.SetTimer(2, 200);
  w.onTimer = [&](UINT_PTR id) {
    if (id == 1) w.PostMessage(kNote, 9);
  };
  os.AdvanceClock(200);
  EXPECT_EQ(w.seen, (Strings{"timer 1", "note 9", "timer 2"}));
}

TEST_F(QueueTest, TasksPostedFromOtherThreadsArriveInOrderPerThread) {
  constexpr int kThreads = 4;
  constexpr int kEach = 200;
  std::vector<std::vector<int>> got(kThreads);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < kEach; ++i)
        os.platform().PostTask([&, t, i] { got[t].push_back(i); });
    });
  }
  int total = 0;
  ASSERT_TRUE(os.platform().RunUntil([&] {
    total = 0;
    for (const auto& g : got)
      total += static_cast<int>(g.size());
    return total == kThreads * kEach;
  }));
  for (auto& th : threads)
    th.join();
  for (const auto& g : got) {
    ASSERT_EQ(g.size(), static_cast<size_t>(kEach));
    for (int i = 0; i < kEach; ++i)
      ASSERT_EQ(g[static_cast<size_t>(i)], i);
  }
}

TEST_F(QueueTest, PostMessageAndQuitFromAnotherThread) {
  Probe w;
  ASSERT_TRUE(w.Make(false));
  const HWND h = w.m_hWnd;
  std::thread network([h] {
    for (WPARAM i = 1; i <= 3; ++i)
      ::PostMessage(h, kNote, i, 0);
    PostQuitMessage(5);
  });
  const int code = os.platform().Run();
  network.join();
  os.RunUntilIdle();
  EXPECT_EQ(code, 5);
  EXPECT_EQ(w.seen, (Strings{"note 1", "note 2", "note 3"}));
}

TEST_F(QueueTest, SendMessageFromAnotherThreadIsRefused) {
  Probe w;
  ASSERT_TRUE(w.Make(false));
  LRESULT result = -1;
  std::thread other([&] { result = w.SendMessage(kNote, 4); });
  other.join();
  EXPECT_EQ(result, 0);
  EXPECT_TRUE(w.seen.empty());
}

TEST(PlatformLife, WindowObjectsMayOutliveThePlatform) {
  auto w = std::make_unique<Probe>();
  {
    Headless os;
    ASSERT_TRUE(w->Make(true));
    w->SetTimer(1, 10);
    w->PostMessage(kNote, 1);
  }
  EXPECT_EQ(Platform::Current(), nullptr);
  EXPECT_EQ(w->m_hWnd, nullptr);
  EXPECT_FALSE(w->PostMessage(kNote, 2));
  w.reset();
  Headless again;  // the next platform starts empty
  EXPECT_TRUE(again.platform().Windows().empty());
  EXPECT_TRUE(again.RunUntilIdle());
}

}  // namespace
}  // namespace tessaro::test
