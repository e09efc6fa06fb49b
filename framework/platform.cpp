#include "framework/platform.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace tessaro {
namespace {

std::atomic<Platform*> gCurrent{nullptr};

// The platform's shortest timer period.
constexpr UINT kMinTimerPeriod = 10;
constexpr uintptr_t kIconBase = 0x7100;

bool IsKeyboardMessage(UINT m) {
  return m == WM_KEYDOWN || m == WM_KEYUP || m == WM_CHAR;
}

}  // namespace

// ---- Life ----

Platform::Platform(std::unique_ptr<Driver> driver)
    : driver_(std::move(driver)), uiThread_(std::this_thread::get_id()) {
  Platform* expected = nullptr;
  if (!driver_ || !gCurrent.compare_exchange_strong(expected, this)) {
    // Two platforms would split windows, queue and timers between them; that
    // can only be a programming error.
    std::fputs(driver_ ? "tessaro: a second Platform was created while one exists\n"
                       : "tessaro: a Platform needs a driver\n",
               stderr);
    std::abort();
  }
  driver_->Attach(*this);
}

Platform::~Platform() {
  // The objects of windows still alive outlive the platform; they lose their
  // windows here without being called.
  for (auto& [handle, rec] : windows_) {
    if (rec->object) rec->object->m_hWnd = nullptr;
    rec->object = nullptr;
  }
  std::vector<std::unique_ptr<WindowObject>> owned;
  for (auto& [handle, rec] : windows_) {
    if (rec->ownedObject) owned.push_back(std::move(rec->ownedObject));
  }
  windows_.clear();
  owned.clear();
  gCurrent.store(nullptr);
}

Platform* Platform::Current() {
  return gCurrent.load();
}

// ---- Posting ----

bool Platform::PostMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (IsUiThread() && hwnd && !Find(hwnd)) return false;
  {
    std::lock_guard<std::mutex> lock(queueMutex_);
    Posted p;
    p.msg.hwnd = hwnd;
    p.msg.message = message;
    p.msg.wParam = wParam;
    p.msg.lParam = lParam;
    queue_.push_back(std::move(p));
  }
  driver_->Wake();
  return true;
}

void Platform::PostTask(std::function<void()> task) {
  if (!task) return;
  {
    std::lock_guard<std::mutex> lock(queueMutex_);
    Posted p;
    p.task = std::move(task);
    queue_.push_back(std::move(p));
  }
  driver_->Wake();
}

void Platform::PostQuit(int exitCode) {
  {
    std::lock_guard<std::mutex> lock(queueMutex_);
    quit_ = exitCode;
  }
  driver_->Wake();
}

bool Platform::QuitPending() const {
  std::lock_guard<std::mutex> lock(queueMutex_);
  return quit_.has_value();
}

// ---- The loop ----

bool Platform::PumpOne() {
  Posted p;
  bool posted = false;
  {
    std::lock_guard<std::mutex> lock(queueMutex_);
    if (!queue_.empty()) {
      p = std::move(queue_.front());
      queue_.pop_front();
      posted = true;
    }
  }
  if (posted) {
    if (p.task) {
      p.task();
    } else {
      Deliver(p.msg);
    }
    return true;
  }
  if (HWND target = FindPaintTarget()) {
    MSG m;
    m.hwnd = target;
    m.message = WM_PAINT;
    Dispatch(m);
    return true;
  }
  const uint64_t now = NowMs();
  Timer* due = nullptr;
  for (Timer& t : timers_) {
    if (t.due <= now && (!due || t.due < due->due || (t.due == due->due && t.seq < due->seq)))
      due = &t;
  }
  if (!due) return false;
  // The next tick counts from this delivery, as on the original platform: a
  // late timer does not pile up messages.
  due->due = now + due->period;
  MSG m;
  m.hwnd = due->hwnd;
  m.message = WM_TIMER;
  m.wParam = due->id;
  m.lParam = reinterpret_cast<LPARAM>(due->proc);
  m.time = static_cast<DWORD>(now);
  if (TIMERPROC proc = due->proc) {
    proc(m.hwnd, WM_TIMER, m.wParam, m.time);
  } else {
    Dispatch(m);
  }
  return true;
}

bool Platform::RunUntilIdle(size_t maxSteps) {
  for (size_t i = 0; i < maxSteps; ++i) {
    if (!PumpOne()) return true;
  }
  return false;
}

bool Platform::RunUntil(const std::function<bool()>& done) {
  while (!done()) {
    if (QuitPending()) return false;
    if (PumpOne()) continue;
    if (!driver_->WaitForWork(NextTimerDue())) return done();
  }
  return true;
}

int Platform::Run() {
  for (;;) {
    {
      std::lock_guard<std::mutex> lock(queueMutex_);
      if (quit_) {
        const int code = *quit_;
        quit_.reset();
        return code;
      }
    }
    if (PumpOne()) continue;
    if (!driver_->WaitForWork(NextTimerDue())) return -1;
  }
}

void Platform::Deliver(const MSG& msg) {
  if (!msg.hwnd || !Find(msg.hwnd)) return;  // no target, or a destroyed window
  if (IsKeyboardMessage(msg.message)) {
    // The target and then each parent may take the key first (the dialog
    // manager lives there).
    std::vector<HWND> chain;
    for (HWND h = msg.hwnd; h;) {
      chain.push_back(h);
      const WindowRecord* r = Find(h);
      h = r && r->child ? r->parent : nullptr;
    }
    for (HWND h : chain) {
      const WindowRecord* r = Find(h);
      if (!r || !r->object) continue;
      MSG copy = msg;
      if (r->object->PreTranslateMessage(&copy)) return;
    }
    if (!Find(msg.hwnd)) return;
  }
  Dispatch(msg);
}

LRESULT Platform::Dispatch(const MSG& msg) {
  WindowRecord* r = Find(msg.hwnd);
  if (!r) return 0;
  if (!r->object) {
    // A window whose object is going: nothing paints it, so nothing may keep
    // asking for a paint.
    if (msg.message == WM_PAINT) Validate(msg.hwnd, nullptr);
    return 0;
  }
  WindowObject* object = r->object;
  current_.push_back(msg);
  const LRESULT result = object->WindowProc(msg.message, msg.wParam, msg.lParam);
  current_.pop_back();
  return result;
}

LRESULT Platform::SendMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (!IsUiThread()) return 0;  // other threads post
  MSG m;
  m.hwnd = hwnd;
  m.message = message;
  m.wParam = wParam;
  m.lParam = lParam;
  return Dispatch(m);
}

const MSG* Platform::CurrentMessage() const {
  return current_.empty() ? nullptr : &current_.back();
}

HWND Platform::FindPaintTarget() const {
  for (const auto& [handle, rec] : windows_) {
    if (!rec->invalid.IsEmpty() && IsVisible(rec->hwnd)) return rec->hwnd;
  }
  return nullptr;
}

// ---- Timers ----

UINT_PTR Platform::SetTimer(HWND hwnd, UINT_PTR id, UINT elapseMs, TIMERPROC proc) {
  if (!IsUiThread() || !Find(hwnd)) return 0;
  const UINT period = std::max(elapseMs, kMinTimerPeriod);
  const uint64_t due = NowMs() + period;
  auto it = std::find_if(timers_.begin(), timers_.end(),
                         [&](const Timer& t) { return t.hwnd == hwnd && t.id == id; });
  if (it != timers_.end()) {
    it->period = period;
    it->due = due;
    it->proc = proc;
  } else {
    timers_.push_back(Timer{hwnd, id, period, due, proc, timerSeq_++});
  }
  return id ? id : 1;
}

bool Platform::KillTimer(HWND hwnd, UINT_PTR id) {
  const auto it = std::find_if(timers_.begin(), timers_.end(),
                               [&](const Timer& t) { return t.hwnd == hwnd && t.id == id; });
  if (it == timers_.end()) return false;
  timers_.erase(it);
  return true;
}

bool Platform::HasTimer(HWND hwnd, UINT_PTR id) const {
  return std::any_of(timers_.begin(), timers_.end(),
                     [&](const Timer& t) { return t.hwnd == hwnd && t.id == id; });
}

std::optional<uint64_t> Platform::NextTimerDue() const {
  std::optional<uint64_t> next;
  for (const Timer& t : timers_) {
    if (!next || t.due < *next) next = t.due;
  }
  return next;
}

// ---- Resources ----

const ResourceModule* Platform::SetResourceModule(const ResourceModule* module) {
  const ResourceModule* previous = resources_;
  resources_ = module;
  return previous;
}

HICON Platform::LoadIcon(UINT id) {
  if (!resources_) return nullptr;
  for (size_t i = 0; i < icons_.size(); ++i) {
    if (icons_[i].module == resources_ && icons_[i].id == id)
      return reinterpret_cast<HICON>(kIconBase + 4 * i);
  }
  const IconImages* images = resources_->FindIcon(id);
  if (!images) return nullptr;
  icons_.push_back(LoadedIcon{resources_, id, *images});
  return reinterpret_cast<HICON>(kIconBase + 4 * (icons_.size() - 1));
}

const IconImages* Platform::IconImagesOf(HICON icon) const {
  const uintptr_t v = reinterpret_cast<uintptr_t>(icon);
  if (v < kIconBase || (v - kIconBase) % 4 != 0) return nullptr;
  const size_t index = (v - kIconBase) / 4;
  return index < icons_.size() ? &icons_[index].images : nullptr;
}

UINT Platform::IconResourceId(HICON icon) const {
  if (!IconImagesOf(icon)) return 0;
  return icons_[(reinterpret_cast<uintptr_t>(icon) - kIconBase) / 4].id;
}

// ---- Device contexts ----

void Platform::RegisterDc(CDC* dc) {
  dcs_.push_back(dc);
}
void Platform::UnregisterDc(CDC* dc) {
  std::erase(dcs_, dc);
}
bool Platform::IsLiveDc(const CDC* dc) const {
  return std::find(dcs_.begin(), dcs_.end(), dc) != dcs_.end();
}

}  // namespace tessaro
