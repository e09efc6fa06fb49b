// Modal boxes, dialogs and file dialogs on the headless backend: their nested
// loops keep other windows going, scripted answers, the record of what was
// shown, and the platform's defaults when nobody answers.
#include <gtest/gtest.h>

#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "test_support.h"

namespace tessaro::test {
namespace {

using Strings = std::vector<std::string>;
constexpr UINT kNote = WM_USER + 3;

// A window that records notes, timers and paints and can show a box from its
// paint handler, guarded by a flag as the game's incoming-command drain is.
class Busy : public CWnd {
 public:
  Strings seen;
  bool busy = false;
  int depth = 0, maxDepth = 0;
  bool boxInPaint = false;

  bool Make() {
    return CreateEx(0, "Busy", "busy", WS_POPUP | WS_VISIBLE, CRect(0, 0, 50, 50), nullptr, 0);
  }
  const AFX_MSGMAP* GetMessageMap() const override { return GetThisMessageMap(); }
  static const AFX_MSGMAP* GetThisMessageMap() {
    static constexpr AFX_MSGMAP_ENTRY kEntries[] = {
        OnMessageRaw<kNote, &Busy::OnNote>(),
        OnMessage<WM_TIMER, &Busy::OnTimer>(),
        OnMessage<WM_PAINT, &Busy::OnPaint>(),
    };
    static constexpr AFX_MSGMAP kMap = MakeMessageMap(&CWnd::GetThisMessageMap, kEntries);
    return &kMap;
  }

 protected:
  LRESULT OnNote(WPARAM w, LPARAM) {
    seen.push_back("note " + std::to_string(w));
    return 0;
  }
  afx_msg void OnTimer(UINT_PTR) { seen.push_back("timer"); }
  afx_msg void OnPaint() {
    ++depth;
    maxDepth = std::max(maxDepth, depth);
    if (boxInPaint && !busy) {
      busy = true;
      seen.push_back("box");
      MessageBox("Unknown command received");
      busy = false;
    } else {
      seen.push_back(busy ? "paint while busy" : "paint");
    }
    CPaintDC dc(this);
    --depth;
  }
};

class ModalTest : public FrameworkTest {
 protected:
  void SetUp() override {
    ASSERT_TRUE(w.Make());
    os.RunUntilIdle();
    w.seen.clear();
  }
  Busy w;
};

TEST_F(ModalTest, MessageBoxLoopDeliversPostedMessagesAndTimers) {
  w.SetTimer(0, 1000);
  w.PostMessage(kNote, 1);  // waiting when the box opens
  os.AnswerMessageBox(IDYES, [&] {
    w.PostMessage(kNote, 2);
    os.AdvanceClock(2000);  // two ticks while the box is open
  });
  const int answer = w.MessageBox("Do you want to play as BLACK?", "Swap sides?", MB_YESNO);
  EXPECT_EQ(answer, IDYES);
  EXPECT_EQ(w.seen, (Strings{"note 1", "note 2", "timer", "timer"}));
  const std::vector<ShownRecord> boxes = os.driver().MessageBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "Do you want to play as BLACK?");
  EXPECT_EQ(boxes[0].caption, "Swap sides?");
  EXPECT_EQ(boxes[0].type, MB_YESNO);
  EXPECT_EQ(boxes[0].owner, w.m_hWnd);
  EXPECT_TRUE(boxes[0].answered);
  EXPECT_TRUE(w.IsWindowEnabled());  // disabled only while the box was open
}

TEST_F(ModalTest, NestedPaintSeesTheBusyFlag) {
  w.boxInPaint = true;
  os.AnswerMessageBox(IDOK, [&] { w.PostMessage(WM_PAINT); });
  w.PostMessage(WM_PAINT);
  os.RunUntilIdle();
  // The box's loop delivered the second paint inside the first one.
  EXPECT_EQ(w.seen, (Strings{"box", "paint while busy"}));
  EXPECT_EQ(w.maxDepth, 2);
}

TEST_F(ModalTest, UnansweredBoxesGiveThePlatformsDefaults) {
  struct Case {
    UINT type;
    int expected;
  };
  const Case cases[] = {{MB_OK, IDOK},
                        {MB_YESNO, IDNO},
                        {MB_OKCANCEL, IDCANCEL},
                        {MB_YESNOCANCEL, IDCANCEL},
                        {MB_RETRYCANCEL, IDCANCEL},
                        {MB_ABORTRETRYIGNORE, IDABORT}};
  for (const Case& c : cases)
    EXPECT_EQ(AfxMessageBox("x", c.type), c.expected) << c.type;
  EXPECT_EQ(os.driver().UnansweredCount(), std::size(cases));

  // An answer that is not one of the box's buttons is no answer.
  os.AnswerMessageBox(IDYES);
  EXPECT_EQ(AfxMessageBox("Load failed"), IDOK);
  EXPECT_FALSE(os.driver().Shown().back().answered);

  // An answer meant for another text waits for its box.
  os.AnswerMessageBox(IDYES, {}, "save the game");
  EXPECT_EQ(AfxMessageBox("Are you BLACK?", MB_YESNO), IDNO);
  EXPECT_EQ(os.driver().PendingScripts(), 1u);
  EXPECT_EQ(AfxMessageBox("Do you want to save the game?", MB_YESNO), IDYES);
  EXPECT_EQ(os.driver().PendingScripts(), 0u);
}

TEST_F(ModalTest, AfxMessageBoxUsesTheApplicationsNameAndMainWindow) {
  EXPECT_EQ(AfxMessageBox("no app"), IDOK);
  EXPECT_EQ(os.driver().Shown().back().owner, nullptr);
  {
    CWinApp app("duvex");
    EXPECT_EQ(AfxGetApp(), &app);
    app.m_pMainWnd = &w;
    AfxMessageBox(std::string("ERROR: no write permission"));
    EXPECT_EQ(os.driver().Shown().back().caption, "duvex");
    EXPECT_EQ(os.driver().Shown().back().owner, w.m_hWnd);
  }
  EXPECT_EQ(AfxGetApp(), nullptr);
}

// The input box: edit 1001 exchanged with `answer`, the prompt as title.
class InputBox : public CDialog {
 public:
  explicit InputBox(std::string prompt) : CDialog(201), prompt_(std::move(prompt)) {}
  std::string answer;
  BOOL OnInitDialog() override {
    CDialog::OnInitDialog();
    SetWindowText(prompt_);
    return TRUE;
  }
  void DoDataExchange(CDataExchange* pDX) override { DDX_Text(pDX, 1001, answer); }

 private:
  std::string prompt_;
};

TEST_F(ModalTest, ModalDialogTakesScriptedTextsAndButton) {
  w.PostMessage(kNote, 1);
  DialogScript script;
  script.templateId = 201;
  script.texts = {{1001, "60"}};
  script.whileOpen = [&] { os.AdvanceClock(10); };
  os.AnswerDialog(script);
  InputBox box("Enter number of seconds");
  EXPECT_EQ(box.DoModal(), IDOK);
  EXPECT_EQ(box.answer, "60");
  EXPECT_EQ(box.m_hWnd, nullptr);  // the window is gone, the object stays
  EXPECT_EQ(w.seen, Strings{"note 1"});
  const ShownRecord& shown = os.driver().Shown().back();
  EXPECT_EQ(shown.kind, ShownKind::Dialog);
  EXPECT_EQ(shown.templateId, 201u);
  EXPECT_EQ(shown.caption, "Enter number of seconds");
  EXPECT_EQ(shown.answer, IDOK);

  // Cancel leaves the answer as it was.
  os.AnswerDialog(DialogScript{201, {{1001, "99"}}, IDCANCEL, {}});
  EXPECT_EQ(box.DoModal(), IDCANCEL);
  EXPECT_EQ(box.answer, "60");

  // Nobody answers: cancelled, and recorded as unanswered.
  EXPECT_EQ(box.DoModal(), IDCANCEL);
  EXPECT_FALSE(os.driver().Shown().back().answered);

  // A missing template: -1 and nothing shown.
  CDialog missing(999);
  const size_t before = os.driver().Shown().size();
  EXPECT_EQ(missing.DoModal(), -1);
  EXPECT_EQ(os.driver().Shown().size(), before);
}

TEST_F(ModalTest, OwnerIsDisabledWhileAModalDialogRuns) {
  CWinApp app("t");
  app.m_pMainWnd = &w;
  bool enabledInside = true;
  bool clickAccepted = true;
  os.AnswerDialog(DialogScript{0, {}, IDOK, [&] {
                                 enabledInside = w.IsWindowEnabled() != FALSE;
                                 clickAccepted = os.Click(w, CPoint(5, 5));
                               }});
  InputBox box("p");
  EXPECT_EQ(box.DoModal(), IDOK);
  EXPECT_FALSE(enabledInside);
  EXPECT_FALSE(clickAccepted);
  EXPECT_TRUE(w.IsWindowEnabled());
  EXPECT_EQ(os.driver().Shown().back().owner, w.m_hWnd);
}

TEST_F(ModalTest, BoxesNestInsideModalDialogs) {
  InputBox box("outer");
  os.AnswerDialog(DialogScript{0, {}, IDOK, [&] {
                                 os.AnswerMessageBox(IDYES);
                                 EXPECT_EQ(box.MessageBox("inner?", "q", MB_YESNO), IDYES);
                               }});
  EXPECT_EQ(box.DoModal(), IDOK);
  const auto& shown = os.driver().Shown();
  ASSERT_EQ(shown.size(), 2u);
  EXPECT_EQ(shown[0].kind, ShownKind::Dialog);
  EXPECT_EQ(shown[1].kind, ShownKind::MessageBox);
  EXPECT_EQ(shown[1].text, "inner?");
}

TEST_F(ModalTest, AModalDialogDestroyedWhileOpenEndsItsLoop) {
  InputBox box("p");
  os.AnswerDialog(DialogScript{201, {{1001, "x"}}, IDOK, [&] { box.DestroyWindow(); }});
  EXPECT_EQ(box.DoModal(), -1);
  EXPECT_EQ(box.answer, "");
  EXPECT_FALSE(os.driver().Shown().back().answered);
}

class FileDialogTest : public ModalTest {
 protected:
  void SetUp() override {
    ModalTest::SetUp();
    // Each test its own folder: the tests of this fixture run side by side.
    std::string pattern =
        (std::filesystem::temp_directory_path() / "tessaro-file-dialog-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    dir = pattern;
  }
  void TearDown() override { std::filesystem::remove_all(dir); }
  std::filesystem::path dir;
};

TEST_F(FileDialogTest, SaveAddsTheDefaultExtensionAndRecordsTheRequest) {
  os.AnswerFileDialog((dir / "game").string());
  CFileDialog save(FALSE, "lib", "SaveFile", OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT,
                   "LIB files|*.lib||");
  ASSERT_EQ(save.DoModal(), IDOK);
  EXPECT_EQ(save.GetPathName(), (dir / "game.lib").string());
  EXPECT_EQ(save.GetFileName(), "game.lib");
  EXPECT_EQ(save.GetFileExt(), "lib");
  EXPECT_EQ(save.GetFileTitle(), "game");
  const ShownRecord& shown = os.driver().Shown().back();
  EXPECT_EQ(shown.kind, ShownKind::FileDialog);
  EXPECT_FALSE(shown.file.open);
  EXPECT_EQ(shown.file.defExt, "lib");
  EXPECT_EQ(shown.file.fileName, "SaveFile");
  EXPECT_EQ(shown.file.flags, OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT);
  ASSERT_EQ(shown.file.filters.size(), 1u);
  EXPECT_EQ(shown.file.filters[0], std::make_pair(std::string("LIB files"), std::string("*.lib")));
}

TEST_F(FileDialogTest, CancelAndRelativePaths) {
  os.AnswerFileDialog(std::nullopt);
  CFileDialog open(TRUE, "lib", "SaveFile", OFN_HIDEREADONLY, "LIB files|*.lib||");
  EXPECT_EQ(open.DoModal(), IDCANCEL);
  EXPECT_EQ(open.GetPathName(), "");
  EXPECT_EQ(CFileDialog(TRUE).DoModal(), IDCANCEL);  // unanswered
  os.AnswerFileDialog("relative/name.txt");
  ASSERT_EQ(open.DoModal(), IDOK);
  EXPECT_EQ(open.GetPathName(),
            (std::filesystem::current_path() / "relative" / "name.txt").string());
}

TEST_F(FileDialogTest, OverwritingAsksFirstAndNoChoosesAgain) {
  const std::string existing = (dir / "old.lib").string();
  std::ofstream(existing) << "x";
  CFileDialog save(FALSE, "lib", "SaveFile", OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT,
                   "LIB files|*.lib||");
  os.AnswerFileDialog(existing);
  os.AnswerMessageBox(IDNO);
  os.AnswerFileDialog((dir / "new").string());
  ASSERT_EQ(save.DoModal(), IDOK);
  EXPECT_EQ(save.GetPathName(), (dir / "new.lib").string());
  const std::vector<ShownRecord> boxes = os.driver().MessageBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, existing + " already exists.\nDo you want to replace it?");

  os.AnswerFileDialog(existing);
  os.AnswerMessageBox(IDYES);
  ASSERT_EQ(save.DoModal(), IDOK);
  EXPECT_EQ(save.GetPathName(), existing);

  // An open dialog never asks.
  CFileDialog open(TRUE, "lib", nullptr, OFN_OVERWRITEPROMPT, "LIB files|*.lib||");
  os.AnswerFileDialog(existing);
  ASSERT_EQ(open.DoModal(), IDOK);
  EXPECT_EQ(os.driver().MessageBoxes().size(), 2u);
}

TEST(FileDialogFilter, ParsesNamePatternPairs) {
  using Pairs = std::vector<std::pair<std::string, std::string>>;
  EXPECT_EQ(CFileDialog::ParseFilter("LIB files|*.lib||"), (Pairs{{"LIB files", "*.lib"}}));
  EXPECT_EQ(CFileDialog::ParseFilter("A|*.a|B|*.b;*.c||"), (Pairs{{"A", "*.a"}, {"B", "*.b;*.c"}}));
  EXPECT_EQ(CFileDialog::ParseFilter(""), Pairs{});
  EXPECT_EQ(CFileDialog::ParseFilter("no bars"), Pairs{});
  EXPECT_EQ(CFileDialog::ParseFilter("X|*.x"), (Pairs{{"X", "*.x"}}));
}

}  // namespace
}  // namespace tessaro::test
