// The platform: the "operating system" state that windows live in. One
// Platform object is the current platform of the process at a time; a test or
// the host creates it (with a backend driver) and destroys it. It owns the
// window list, the message queue, the timers, the loaded icons and the
// reference to the current resource module.
//
// Threads: the thread that creates the platform is its UI thread. PostMessage,
// PostTask, PostQuit and Current may be called from any thread; everything
// else belongs to the UI thread. Other threads must have stopped posting before
// the platform is destroyed.
//
// The queue works as on the original platform: posted messages and tasks in
// FIFO order; when none is waiting, WM_PAINT for a visible window with an
// invalid region; then WM_TIMER for a due timer. A posted WM_PAINT is delivered
// like any posted message, also to a hidden window. Messages for a destroyed
// window are dropped.
#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "framework/driver.h"
#include "framework/resources.h"
#include "framework/window_object.h"
#include "framework/window_record.h"

class CDC;

namespace tessaro {

// What a new window is made with.
struct WindowSpec {
  WindowKind kind = WindowKind::Plain;
  std::string className;
  std::string text;
  DWORD style = 0;
  DWORD exStyle = 0;
  CRect rect;  // see WindowRecord::rect
  HWND parent = nullptr;
  int id = 0;
};

class Platform {
 public:
  explicit Platform(std::unique_ptr<Driver> driver);
  ~Platform();
  Platform(const Platform&) = delete;
  Platform& operator=(const Platform&) = delete;

  static Platform* Current();
  Driver& GetDriver() const { return *driver_; }
  bool IsUiThread() const { return std::this_thread::get_id() == uiThread_; }

  // ---- Posting (any thread) ----
  bool PostMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  void PostTask(std::function<void()> task);
  void PostQuit(int exitCode);

  // ---- The message loop (UI thread) ----
  // Handles one unit of work; false when there was none.
  bool PumpOne();
  // Pumps until idle. False when maxSteps units ran without reaching idle.
  bool RunUntilIdle(size_t maxSteps = kStepLimit);
  // Pumps, and waits through the driver when idle, until done() holds. False
  // when a quit is pending or the driver says no more work can come.
  bool RunUntil(const std::function<bool()>& done);
  // The main loop: until PostQuit; returns its exit code (-1 if the driver gave up).
  int Run();
  bool QuitPending() const;
  // Calls the window's procedure at once; 0 for a window that does not exist.
  LRESULT SendMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  // The message being handled right now (innermost), or null.
  const MSG* CurrentMessage() const;

  static constexpr size_t kStepLimit = 200000;

  // ---- Time and timers ----
  uint64_t NowMs() const { return driver_->NowMs(); }
  UINT_PTR SetTimer(HWND hwnd, UINT_PTR id, UINT elapseMs, TIMERPROC proc);
  bool KillTimer(HWND hwnd, UINT_PTR id);
  std::optional<uint64_t> NextTimerDue() const;
  bool HasTimer(HWND hwnd, UINT_PTR id) const;

  // ---- Resources ----
  // Makes `module` the one dialogs, menus, strings, bitmaps and icons come
  // from (like setting the resource handle); returns the previous one. The
  // module must outlive its use.
  const ResourceModule* SetResourceModule(const ResourceModule* module);
  const ResourceModule* GetResourceModule() const { return resources_; }
  HICON LoadIcon(UINT id);
  UINT IconResourceId(HICON icon) const;  // 0 for an unknown handle
  const IconImages* IconImagesOf(HICON icon) const;

  // ---- Windows (for the framework's classes and backends) ----
  // `object` receives the window's messages (WindowObject is the platform's
  // view of a CWnd).
  HWND CreateWindowRecord(WindowObject* object, const WindowSpec& desc);
  // Destroys a window and its children: WM_DESTROY to each (children after
  // their parent) unless the object is already going, then the records.
  void DestroyWindow(HWND hwnd);
  WindowRecord* Find(HWND hwnd) const;
  std::vector<HWND> Windows() const;  // creation order
  HWND TopLevelOf(HWND hwnd) const;
  bool IsVisible(HWND hwnd) const;  // the window and all its parents
  bool IsEnabled(HWND hwnd) const;
  // A window's client origin in its top-level window's canvas.
  CPoint CanvasOrigin(HWND hwnd) const;
  // The visible child under a client point of hwnd (the deepest), or hwnd.
  HWND ChildAt(HWND hwnd, CPoint client) const;
  // A copy of the window's client area as its canvas holds it.
  Image Snapshot(HWND hwnd) const;

  void Invalidate(HWND hwnd, const CRect* rect, bool erase);
  // Every visible descendant of `hwnd`, whole.
  void InvalidateChildren(HWND hwnd);
  void Validate(HWND hwnd, const CRect* rect);
  // The canvas pixels a device context of hwnd may touch for a client region.
  Region CanvasClip(HWND hwnd, const Region& client) const;
  bool Show(HWND hwnd, int cmdShow);
  void SetText(HWND hwnd, const std::string& text);
  void SetEnabled(HWND hwnd, bool enabled);
  // A child control's notification: WM_COMMAND to its parent with the
  // control's id and `code`, and the control as lParam.
  void NotifyParent(HWND control, UINT code);

  HWND Focus() const { return focus_; }
  void SetFocus(HWND hwnd);  // null clears it
  // Brings a top-level window forward: the focus goes to its last focused child
  // or to itself.
  void Activate(HWND hwnd);

  // Every live device context, so that a handle can be checked.
  void RegisterDc(CDC* dc);
  void UnregisterDc(CDC* dc);
  bool IsLiveDc(const CDC* dc) const;

 private:
  struct Posted {
    MSG msg;
    std::function<void()> task;
  };
  struct Timer {
    HWND hwnd;
    UINT_PTR id;
    UINT period;
    uint64_t due;
    TIMERPROC proc;
    uint64_t seq;
  };
  struct LoadedIcon {
    const ResourceModule* module;
    UINT id;
    IconImages images;
  };

  void Deliver(const MSG& msg);
  LRESULT Dispatch(const MSG& msg);
  HWND FindPaintTarget() const;
  void ForgetWindow(HWND hwnd);

  std::unique_ptr<Driver> driver_;
  std::thread::id uiThread_;

  mutable std::mutex queueMutex_;
  std::deque<Posted> queue_;
  std::optional<int> quit_;

  std::map<uintptr_t, std::unique_ptr<WindowRecord>> windows_;
  uintptr_t nextHandle_ = 0x100;
  HWND focus_ = nullptr;
  std::vector<MSG> current_;
  std::vector<Timer> timers_;
  uint64_t timerSeq_ = 0;
  const ResourceModule* resources_ = nullptr;
  std::deque<LoadedIcon> icons_;  // stable addresses
  std::vector<CDC*> dcs_;
};

}  // namespace tessaro
