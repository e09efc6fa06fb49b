// The seam between the framework and a backend. The framework keeps all window
// state, the message queue, timers and canvases; a backend supplies time,
// waiting and waking, shows windows and their canvases, and runs the modal
// boxes. headless/ has the backend for tests and scripts; a desktop backend
// puts the same windows on screen.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "framework/win_const.h"
#include "framework/win_types.h"

class CDialog;
class CMenu;

namespace tessaro {

class Platform;

struct MessageBoxRequest {
  std::string text;
  std::string caption;
  UINT type = 0;         // MB_* flags
  HWND owner = nullptr;  // null for none
};

// The answer of a message box of this type that is closed without a choice
// (Escape, the close box, or no one there to answer).
inline int DismissedAnswer(UINT type) {
  switch (type & MB_TYPEMASK) {
    case MB_OK:
      return IDOK;
    case MB_YESNO:
      return IDNO;
    case MB_ABORTRETRYIGNORE:
      return IDABORT;
    default:
      return IDCANCEL;
  }
}

struct FileDialogRequest {
  bool open = true;                                          // false: a save dialog
  std::string defExt;                                        // without the dot; may be empty
  std::string fileName;                                      // the name proposed first
  DWORD flags = 0;                                           // OFN_*
  std::string filter;                                        // as given, e.g. "LIB files|*.lib||"
  std::vector<std::pair<std::string, std::string>> filters;  // (name, patterns)
  HWND owner = nullptr;
};

class Driver {
 public:
  virtual ~Driver() = default;

  // Called once by the platform that takes this driver.
  virtual void Attach(Platform& platform) { platform_ = &platform; }

  // ---- Windows: told after the framework changed a window ----
  virtual void WindowCreated(HWND) {}
  virtual void WindowDestroyed(HWND) {}
  virtual void WindowShown(HWND, bool /*visible*/) {}
  virtual void WindowTextChanged(HWND) {}
  virtual void WindowIconChanged(HWND, bool /*big*/, HICON) {}
  virtual void WindowFlashed(HWND, bool /*invert*/) {}
  // Pixels of a top-level window's canvas changed within `area`.
  virtual void CanvasChanged(HWND, const CRect& /*area*/) {}

  // ---- Time, waiting and waking ----
  virtual uint64_t NowMs() const = 0;
  // Blocks until Wake() is called or the clock reaches `until`. Returns false
  // when no more work can come, so that a loop waiting for a condition ends.
  virtual bool WaitForWork(std::optional<uint64_t> until) = 0;
  // Thread-safe: ends a WaitForWork in progress (or the next one).
  virtual void Wake() = 0;

  // ---- Modal UI: each runs the platform's nested loop until it closes ----
  // Returns the button chosen (IDOK, IDYES, ...).
  virtual int RunMessageBox(const MessageBoxRequest& request) = 0;
  // The dialog exists (and is visible) when this is called; returns when
  // dialog.IsModalEnded() (the backend may end it, e.g. with IDCANCEL).
  virtual void RunModalDialog(CDialog& dialog) = 0;
  // True with `path` set when the user chose a file; false when cancelled.
  virtual bool RunFileDialog(const FileDialogRequest& request, std::string& path) = 0;
  // A pop-up menu at a client point of `owner`; returns the command chosen, or
  // 0 when the user dismissed it or the backend cannot show one.
  virtual UINT RunPopupMenu(const CMenu& /*menu*/, HWND /*owner*/, CPoint /*client*/) { return 0; }

  // Whether the rich edit control can be offered.
  virtual bool RichEditAvailable() const { return true; }

  // The integer factor by which top-level windows are shown enlarged. Above 1,
  // each top-level window gets a fine canvas of that many times its pixels,
  // drawn along with its canvas (see Surface). Fixed for the driver's life.
  virtual int Scale() const { return 1; }

 protected:
  Platform* platform_ = nullptr;
};

}  // namespace tessaro
