#include "framework/desktop/desktop_driver.h"

#include <FL/Fl.H>
#include <FL/Fl_Native_File_Chooser.H>
#include <FL/x.H>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <filesystem>

#include "framework/desktop/frame_window.h"
#include "framework/desktop/message_box.h"
#include "framework/dialog.h"
#include "framework/menu.h"
#include "framework/platform.h"

namespace tessaro {
namespace {

// "*.lib;*.txt" as the toolkit's pattern "{*.lib,*.txt}".
std::string PatternOf(const std::string& patterns) {
  if (patterns.find(';') == std::string::npos) return patterns;
  std::string out = "{";
  for (char c : patterns)
    out += c == ';' ? ',' : c;
  return out + "}";
}

}  // namespace

// ---- Loops the driver does not own ----

class DesktopDriver::ForeignLoop {
 public:
  explicit ForeignLoop(DesktopDriver& driver) : driver_(driver) {
    if (driver_.foreignDepth_++ == 0) Fl::add_check(PumpInForeignLoop, &driver_);
    driver_.ScheduleTimerWake();
  }
  ~ForeignLoop() {
    if (--driver_.foreignDepth_ == 0) {
      Fl::remove_check(PumpInForeignLoop, &driver_);
      Fl::remove_timeout(TimerWake, &driver_);
    }
  }
  ForeignLoop(const ForeignLoop&) = delete;
  ForeignLoop& operator=(const ForeignLoop&) = delete;

 private:
  DesktopDriver& driver_;
};

void DesktopDriver::PumpInForeignLoop(void* self) {
  auto* driver = static_cast<DesktopDriver*>(self);
  driver->wakePending_ = false;
  driver->platform_->RunUntilIdle();
  driver->Present();
  driver->ScheduleTimerWake();
}

void DesktopDriver::TimerWake(void*) {
  // Nothing to do: waking the toolkit's wait lets the check deliver the timer.
}

void DesktopDriver::ScheduleTimerWake() {
  Fl::remove_timeout(TimerWake, this);
  if (const std::optional<uint64_t> due = platform_->NextTimerDue()) {
    const uint64_t now = NowMs();
    Fl::add_timeout(*due > now ? static_cast<double>(*due - now) / 1000.0 : 0.0, TimerWake, this);
  }
}

// ---- Life ----

bool DesktopDriver::OpenDisplay() {
  if (fl_display) return true;
  const char* name = std::getenv("DISPLAY");
  if (!name || !*name) return false;
  // Opened here rather than by the toolkit, which ends the process when it cannot.
  Display* display = XOpenDisplay(name);
  if (!display) return false;
  fl_open_display(display);
  return true;
}

DesktopDriver::DesktopDriver(DesktopOptions options)
    : options_(options), start_(std::chrono::steady_clock::now()) {
  Fl::lock();  // turns on waking from other threads
  Fl::visual(FL_RGB);
  Fl::option(Fl::OPTION_FNFC_USES_GTK, false);  // the toolkit's own chooser keeps our loop going
  Fl::scheme("gtk+");
}

DesktopDriver::~DesktopDriver() {
  frames_.clear();
  Fl::flush();
  Fl::unlock();
}

FrameWindow* DesktopDriver::FrameOf(HWND hwnd) const {
  const auto it = frames_.find(hwnd);
  return it == frames_.end() ? nullptr : it->second.get();
}

FrameWindow* DesktopDriver::EnsureFrame(HWND hwnd) {
  if (FrameWindow* frame = FrameOf(hwnd)) return frame;
  auto frame = std::make_unique<FrameWindow>(*platform_, hwnd, options_.originX, options_.originY);
  const WindowRecord* rec = platform_->Find(hwnd);
  // A window with an owner (a modal dialog) opens centred over the owner; so
  // does one that would open off the screen, over the window in use.
  FrameWindow* over = rec && rec->parent ? FrameOf(platform_->TopLevelOf(rec->parent)) : nullptr;
  if (!over && (frame->x() < 0 || frame->y() < 0) && platform_->Focus()) {
    over = FrameOf(platform_->TopLevelOf(platform_->Focus()));
  }
  if (over && over->shown()) {
    frame->position(over->x() + (over->w() - frame->w()) / 2,
                    over->y() + (over->h() - frame->h()) / 2);
  } else if (frame->x() < 0 || frame->y() < 0) {
    frame->position(std::max(0, (Fl::w() - frame->w()) / 2),
                    std::max(0, (Fl::h() - frame->h()) / 2));
  }
  if (rec) {
    frame->SetIcon(platform_->IconImagesOf(rec->bigIcon ? rec->bigIcon : rec->smallIcon));
  }
  return frames_.emplace(hwnd, std::move(frame)).first->second.get();
}

// ---- Windows ----

void DesktopDriver::WindowDestroyed(HWND hwnd) {
  frames_.erase(hwnd);
}

void DesktopDriver::WindowShown(HWND hwnd, bool visible) {
  const WindowRecord* rec = platform_->Find(hwnd);
  if (!rec || rec->child) return;  // a child is pixels of its top-level canvas
  if (!visible) {
    if (FrameWindow* frame = FrameOf(hwnd)) frame->hide();
    return;
  }
  FrameWindow* frame = EnsureFrame(hwnd);
  frame->Sync();
  frame->show();
  if (rec->iconic) frame->iconize();
}

void DesktopDriver::WindowTextChanged(HWND hwnd) {
  if (FrameWindow* frame = FrameOf(hwnd)) frame->Sync();
}

void DesktopDriver::WindowIconChanged(HWND hwnd, bool, HICON icon) {
  if (FrameWindow* frame = FrameOf(hwnd)) frame->SetIcon(platform_->IconImagesOf(icon));
}

void DesktopDriver::WindowFlashed(HWND hwnd, bool invert) {
  if (FrameWindow* frame = FrameOf(hwnd)) frame->Flash(invert);
}

void DesktopDriver::CanvasChanged(HWND hwnd, const CRect&) {
  if (FrameWindow* frame = FrameOf(hwnd)) frame->Sync();
}

void DesktopDriver::Present() {
  // Controls may draw outside a paint handler's context: show every canvas.
  for (auto& [hwnd, frame] : frames_) {
    if (frame->shown() && frame->visible()) frame->Sync();
  }
}

// ---- Time, waiting and waking ----

uint64_t DesktopDriver::NowMs() const {
  return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                   std::chrono::steady_clock::now() - start_)
                                   .count());
}

bool DesktopDriver::WaitForWork(std::optional<uint64_t> until) {
  Present();
  double seconds = 1e6;
  if (until) {
    const uint64_t now = NowMs();
    seconds = *until > now ? static_cast<double>(*until - now) / 1000.0 : 0.0;
  }
  Fl::wait(seconds);
  // Cleared after the wait: a post that found it set was queued before this
  // point, so the pumping that follows sees it.
  wakePending_ = false;
  return true;
}

void DesktopDriver::Wake() {
  // One wake-up in flight is enough; this keeps the toolkit's pipe from filling
  // when a handler posts many messages.
  if (!wakePending_.exchange(true)) Fl::awake(static_cast<void*>(nullptr));
}

// ---- Modal UI ----

int DesktopDriver::RunMessageBox(const MessageBoxRequest& request) {
  const HWND owner = request.owner ? platform_->TopLevelOf(request.owner) : nullptr;
  return RunDesktopMessageBox(*platform_, request, owner ? FrameOf(owner) : nullptr);
}

void DesktopDriver::RunModalDialog(CDialog& dialog) {
  if (FrameWindow* frame = FrameOf(dialog.m_hWnd)) frame->show();  // brought to the front
  // The owner is disabled by the framework while the dialog is open, so input
  // reaches only the dialog; the platform's loop runs on meanwhile.
  platform_->RunUntil([&] { return dialog.IsModalEnded(); });
  if (!dialog.IsModalEnded()) dialog.EndDialog(IDCANCEL);  // the program is quitting
}

bool DesktopDriver::RunFileDialog(const FileDialogRequest& request, std::string& path) {
  ForeignLoop loop(*this);
  Fl_Native_File_Chooser chooser;
  chooser.type(request.open ? Fl_Native_File_Chooser::BROWSE_FILE
                            : Fl_Native_File_Chooser::BROWSE_SAVE_FILE);
  chooser.title(request.open ? "Open" : "Save As");
  std::string filter;
  for (const auto& [name, patterns] : request.filters) {
    if (!filter.empty()) filter += '\n';
    filter += name + '\t' + PatternOf(patterns);
  }
  if (!filter.empty()) chooser.filter(filter.c_str());
  std::error_code ec;
  const std::filesystem::path proposed(request.fileName);
  const std::filesystem::path folder =
      proposed.has_parent_path() ? proposed.parent_path() : std::filesystem::current_path(ec);
  if (!folder.empty()) chooser.directory(folder.string().c_str());
  if (!proposed.filename().empty()) chooser.preset_file(proposed.filename().string().c_str());
  // The framework asks about replacing a file itself, as the platform's dialog does.
  chooser.options(Fl_Native_File_Chooser::NO_OPTIONS);
  if (chooser.show() != 0) return false;
  const char* chosen = chooser.filename();
  if (!chosen || !*chosen) return false;
  path = chosen;
  return true;
}

UINT DesktopDriver::RunPopupMenu(const CMenu& menu, HWND owner, CPoint client) {
  const HWND top = platform_->TopLevelOf(owner);
  FrameWindow* frame = FrameOf(top);
  if (!frame || !frame->shown()) return 0;
  std::deque<std::string> labels;
  const std::vector<Fl_Menu_Item> items = BuildMenuItems(menu, labels);
  if (items.size() < 2) return 0;
  const CPoint origin = platform_->CanvasOrigin(owner);
  const WindowRecord* rec = platform_->Find(top);
  if (!rec) return 0;
  const int top_strip = frame->h() - std::max(1, rec->rect.Height());
  // The toolkit places a pop-up relative to the window of the last event,
  // which is the click or key in this window that asked for the menu.
  const Fl_Menu_Item* picked =
      items.front().popup(client.x + origin.x, client.y + origin.y + top_strip);
  if (!picked || (picked->flags & FL_SUBMENU)) return 0;
  return static_cast<UINT>(reinterpret_cast<uintptr_t>(picked->user_data_));
}

}  // namespace tessaro
