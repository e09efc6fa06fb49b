#include "framework/desktop/desktop_driver.h"

#include <FL/Fl.H>
#include <FL/x.H>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "framework/desktop/file_dialog.h"
#include "framework/desktop/font_renderer.h"
#include "framework/desktop/frame_window.h"
#include "framework/desktop/message_box.h"
#include "framework/dialog.h"
#include "framework/menu.h"
#include "framework/platform.h"

namespace tessaro {
namespace {

double XftDpi() {
  const char* value = XGetDefault(fl_display, "Xft", "dpi");
  if (!value) return 0;
  char* end = nullptr;
  const double dpi = std::strtod(value, &end);
  return end != value && std::isfinite(dpi) && dpi > 0 ? dpi : 0;
}

double PhysicalDpi() {
  const int screen = DefaultScreen(fl_display);
  const int mm = DisplayWidthMM(fl_display, screen);
  return mm > 0 ? DisplayWidth(fl_display, screen) * 25.4 / mm : 0;
}

}  // namespace

int ChooseScale(int option, const char* env, double xftDpi, double physicalDpi) {
  if (option >= 1) return std::min(option, kMaxScale);
  if (env && *env) {
    char* end = nullptr;
    const long value = std::strtol(env, &end, 10);
    if (*end == '\0' && value >= 1 && value <= kMaxScale) return static_cast<int>(value);
  }
  const double dpi = xftDpi > 0 ? xftDpi : physicalDpi;
  if (!(dpi > 0) || !std::isfinite(dpi)) return 1;
  return std::clamp(static_cast<int>((dpi + 48) / 96), 1, kMaxScale);
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
  Fl::scheme("gtk+");
  scale_ = ChooseScale(options.scale, std::getenv("TESSARO_SCALE"), fl_display ? XftDpi() : 0,
                       fl_display ? PhysicalDpi() : 0);
  // One face for everything: the canvases' text, menus, boxes and dialogs.
  font_ = FontRenderer::Create();
  if (font_) {
    SetTextRenderer(font_.get());
    const std::string family = font_->FamilyName();
    if (!family.empty()) {
      static std::string regular, bold;  // the toolkit keeps the pointers
      regular = " " + family;
      bold = "B" + family;
      Fl::set_font(FL_HELVETICA, regular.c_str());
      Fl::set_font(FL_HELVETICA_BOLD, bold.c_str());
    }
  }
  FL_NORMAL_SIZE = static_cast<Fl_Fontsize>(kUiFontPixels * scale_);
}

DesktopDriver::~DesktopDriver() {
  if (font_) SetTextRenderer(nullptr);
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
    // Beside the window it belongs to, so that the board stays in view.
    const CPoint at = PlaceBeside(*over, CSize(frame->w(), frame->h()));
    frame->position(at.x, at.y);
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

void DesktopDriver::CanvasChanged(HWND hwnd, const CRect& area) {
  if (FrameWindow* frame = FrameOf(hwnd)) frame->Damage(area);
}

void DesktopDriver::Present() {
  // Every paint tells its area (CanvasChanged), and only that goes to the
  // screen; a window whose size changed without a paint is drawn whole.
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
  return RunDesktopMessageBox(*platform_, request, owner ? FrameOf(owner) : nullptr, scale_);
}

void DesktopDriver::RunModalDialog(CDialog& dialog) {
  if (FrameWindow* frame = FrameOf(dialog.m_hWnd)) {
    frame->show();  // brought to the front
    GiveKeyboardFocus(*frame);
  }
  // The owner is disabled by the framework while the dialog is open, so input
  // reaches only the dialog; the platform's loop runs on meanwhile.
  platform_->RunUntil([&] { return dialog.IsModalEnded(); });
  if (!dialog.IsModalEnded()) dialog.EndDialog(IDCANCEL);  // the program is quitting
}

bool DesktopDriver::RunFileDialog(const FileDialogRequest& request, std::string& path) {
  const HWND owner = request.owner ? platform_->TopLevelOf(request.owner) : nullptr;
  return RunDesktopFileDialog(*platform_, request, owner ? FrameOf(owner) : nullptr, scale_, path);
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
  const int top_strip = frame->h() - std::max(1, rec->rect.Height()) * scale_;
  // The toolkit places a pop-up relative to the window of the last event,
  // which is the click or key in this window that asked for the menu.
  // The first item opens lit, so that Enter chooses it as the arrows and
  // the mouse choose others.
  const Fl_Menu_Item* picked =
      items.front().popup((client.x + origin.x) * scale_,
                          (client.y + origin.y) * scale_ + top_strip, nullptr, &items.front());
  if (!picked || (picked->flags & FL_SUBMENU)) return 0;
  return static_cast<UINT>(reinterpret_cast<uintptr_t>(picked->user_data_));
}

}  // namespace tessaro
