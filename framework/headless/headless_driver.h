// The headless backend: no display. Time is virtual and moves only when told;
// modal boxes, modal dialogs and file dialogs take their answers from scripts
// and are all recorded, with a nested message loop while each is "open".
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "framework/driver.h"
#include "framework/win_const.h"

namespace tessaro {

// ---- Scripts ----
// Each scripted answer serves the next box of its kind. `whileOpen` runs
// inside the box's nested loop, after the messages already waiting were
// delivered, so a test can deliver more (post, advance the clock) while the
// box is open.

struct MessageBoxScript {
  int answer = IDOK;
  std::string expectText;  // when not empty, the box's text must contain it
  std::function<void()> whileOpen;
};

struct DialogScript {
  UINT templateId = 0;                             // 0: any dialog
  std::vector<std::pair<int, std::string>> texts;  // control texts to set first
  int pressButton = IDOK;                          // then this button is pressed
  std::function<void()> whileOpen;                 // runs before the texts are set
};

struct FileDialogScript {
  std::optional<std::string> path;  // nothing: the user cancels
  std::function<void()> whileOpen;
};

// ---- Records ----

enum class ShownKind { MessageBox, Dialog, FileDialog };

struct ShownRecord {
  ShownKind kind = ShownKind::MessageBox;
  std::string text;     // message box text
  std::string caption;  // message box caption; a dialog's title after OnInitDialog
  UINT type = 0;        // MB_* of a message box
  HWND owner = nullptr;
  UINT templateId = 0;     // dialogs
  FileDialogRequest file;  // file dialogs
  bool answered = false;   // false: no script served it (or its answer did not fit)
  int answer = 0;          // the button returned (IDOK, IDYES, ...; IDCANCEL for a cancel)
  std::string path;        // a file dialog's chosen path
};

struct IconRecord {
  bool big = false;
  HICON icon = nullptr;
  UINT resourceId = 0;  // the icon resource it was loaded from, 0 if unknown
};

// ---- The driver ----

class HeadlessDriver final : public Driver {
 public:
  HeadlessDriver() = default;

  // Virtual clock, in milliseconds since the driver was made.
  uint64_t NowMs() const override { return now_; }
  // Moves the clock forward by `ms`, stopping at each timer that falls due on
  // the way to deliver it (and everything that follows from it).
  void AdvanceClock(uint64_t ms);
  // How long WaitForWork waits, in real time, for another thread to post.
  void SetIdleWait(uint64_t realMs) { idleWaitMs_ = realMs; }

  bool WaitForWork(std::optional<uint64_t> until) override;
  void Wake() override;

  int RunMessageBox(const MessageBoxRequest& request) override;
  void RunModalDialog(CDialog& dialog) override;
  bool RunFileDialog(const FileDialogRequest& request, std::string& path) override;
  bool RichEditAvailable() const override { return richEdit_; }
  void SetRichEditAvailable(bool available) { richEdit_ = available; }

  void WindowIconChanged(HWND hwnd, bool big, HICON icon) override;
  void WindowFlashed(HWND hwnd, bool invert) override;

  // ---- Scripts ----
  void Script(MessageBoxScript s) { boxScripts_.push_back(std::move(s)); }
  void Script(DialogScript s) { dialogScripts_.push_back(std::move(s)); }
  void Script(FileDialogScript s) { fileScripts_.push_back(std::move(s)); }
  size_t PendingScripts() const;
  void ClearScripts();

  // ---- Records ----
  const std::vector<ShownRecord>& Shown() const { return shown_; }
  std::vector<ShownRecord> MessageBoxes() const;
  size_t UnansweredCount() const;
  void ClearShown() { shown_.clear(); }
  std::vector<BOOL> Flashes(HWND hwnd) const;      // each FlashWindow's bInvert, in order
  std::vector<IconRecord> Icons(HWND hwnd) const;  // each WM_SETICON, in order

 private:
  // The nested loop of an open box: deliver what is waiting, run the script's
  // callback, deliver what followed.
  void RunOpenBox(const std::function<void()>& whileOpen);

  uint64_t now_ = 0;
  uint64_t idleWaitMs_ = 2000;
  bool richEdit_ = true;

  std::mutex wakeMutex_;
  std::condition_variable wakeCv_;
  bool woken_ = false;

  std::deque<MessageBoxScript> boxScripts_;
  std::deque<DialogScript> dialogScripts_;
  std::deque<FileDialogScript> fileScripts_;
  std::vector<ShownRecord> shown_;
  std::map<HWND, std::vector<BOOL>> flashes_;
  std::map<HWND, std::vector<IconRecord>> icons_;
};

}  // namespace tessaro
