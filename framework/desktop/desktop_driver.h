// The desktop backend: every top-level window of the platform becomes a real
// toolkit window that shows its canvas pixel for pixel, with the window's menu
// bar in a strip above the client area. Mouse and keyboard input go into the
// platform as window messages; time is the real clock; other threads wake the
// loop through the toolkit's thread-safe wake-up. Message boxes, modal dialogs
// and file dialogs run the platform's own loop, so its messages and timers
// keep going while they are open. Windows are enlarged by an integer scale
// and all text is drawn in one TrueType face when one is installed.
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
  // screen can keep their windows apart (in the platform's pixels: enlarged
  // with the windows).
  int originX = 0;
  int originY = 0;
  // The factor windows are enlarged by; 0 chooses one (see ChooseScale).
  int scale = 0;
};

// The window scale: `option` when it is 1 or more, else the environment's
// TESSARO_SCALE when it holds a whole number from 1 to kMaxScale, else one
// from the screen's density (Xft.dpi when the desktop sets it, else the
// screen's physical size): 1 up to 143 dots per inch, 2 up to 239, and so
// on, 96 dots per inch a step. Densities of 0 are unknown.
constexpr int kMaxScale = 8;
int ChooseScale(int option, const char* env, double xftDpi, double physicalDpi);

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

  int Scale() const override { return scale_; }

  // ---- For the frame windows and tests ----
  Platform& platform() const { return *platform_; }
  // Draws every window whose canvas changed since it was last shown.
  void Present();
  // The toolkit window of a top-level window, or null when it is not shown.
  FrameWindow* FrameOf(HWND hwnd) const;

 private:
  FrameWindow* EnsureFrame(HWND hwnd);

  DesktopOptions options_;
  int scale_ = 1;
  std::unique_ptr<class FontRenderer> font_;
  std::chrono::steady_clock::time_point start_;
  std::map<HWND, std::unique_ptr<FrameWindow>> frames_;
  std::atomic<bool> wakePending_{false};  // a wake-up is on its way to the loop
};

}  // namespace tessaro
