// The desktop backend: every top-level window of the platform becomes a real
// toolkit window that shows its canvas pixel for pixel, with the window's menu
// bar in a strip above the client area. Mouse and keyboard input go into the
// platform as window messages; time is the real clock; other threads wake the
// loop through the toolkit's thread-safe wake-up. Message boxes, modal dialogs
// and file dialogs run a nested loop in which the platform's messages and
// timers keep going.
//
// Only the UI thread may make, use and destroy the driver (Wake excepted).
// Nothing of the toolkit shows in this header.
#pragma once

#include <atomic>
#include <chrono>
#include <map>
#include <memory>
#include <string>

#include "framework/driver.h"

namespace tessaro {

class FrameWindow;

struct DesktopOptions {
  // Added to every top-level window's position, so that two programs on one
  // screen can keep their windows apart.
  int originX = 0;
  int originY = 0;
};

class DesktopDriver final : public Driver {
 public:
  // Opens the display named by DISPLAY for the toolkit, once per process.
  // False when it cannot be opened (then no driver should be made).
  static bool OpenDisplay();

  explicit DesktopDriver(DesktopOptions options = {});
  ~DesktopDriver() override;
  DesktopDriver(const DesktopDriver&) = delete;
  DesktopDriver& operator=(const DesktopDriver&) = delete;

  // ---- Windows ----
  void WindowDestroyed(HWND hwnd) override;
  void WindowShown(HWND hwnd, bool visible) override;
  void WindowTextChanged(HWND hwnd) override;
  void WindowIconChanged(HWND hwnd, bool big, HICON icon) override;
  void WindowFlashed(HWND hwnd, bool invert) override;
  void CanvasChanged(HWND hwnd, const CRect& area) override;

  // ---- Time, waiting and waking ----
  uint64_t NowMs() const override;
  bool WaitForWork(std::optional<uint64_t> until) override;
  void Wake() override;

  // ---- Modal UI ----
  int RunMessageBox(const MessageBoxRequest& request) override;
  void RunModalDialog(CDialog& dialog) override;
  bool RunFileDialog(const FileDialogRequest& request, std::string& path) override;
  UINT RunPopupMenu(const CMenu& menu, HWND owner, CPoint client) override;

  // ---- For the frame windows and tests ----
  Platform& platform() const { return *platform_; }
  // Draws every window whose canvas changed since it was last shown.
  void Present();
  // The toolkit window of a top-level window, or null when it is not shown.
  FrameWindow* FrameOf(HWND hwnd) const;

 private:
  // A toolkit loop the driver does not own (a standard box or chooser) is
  // running: the platform's messages and timers are delivered from inside it.
  class ForeignLoop;
  static void PumpInForeignLoop(void* self);
  static void TimerWake(void* self);
  void ScheduleTimerWake();

  FrameWindow* EnsureFrame(HWND hwnd);

  DesktopOptions options_;
  std::chrono::steady_clock::time_point start_;
  std::map<HWND, std::unique_ptr<FrameWindow>> frames_;
  int foreignDepth_ = 0;
  std::atomic<bool> wakePending_{false};  // a wake-up is on its way to the loop
};

}  // namespace tessaro
