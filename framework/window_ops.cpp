// The platform's window list: creation and destruction, visibility, focus,
// invalid regions and where each window draws in its top-level canvas.
#include "framework/platform.h"

#include <algorithm>

#include "framework/edit_layout.h"

namespace tessaro {
namespace {

constexpr uint32_t kDialogFace = Argb(192, 192, 192);
constexpr uint32_t kWindowWhite = Argb(255, 255, 255);

bool Activates(int cmdShow) {
  return cmdShow == SW_SHOW || cmdShow == SW_SHOWNORMAL || cmdShow == SW_RESTORE ||
         cmdShow == SW_SHOWMAXIMIZED || cmdShow == SW_SHOWMINIMIZED;
}

}  // namespace

HWND Platform::CreateWindowRecord(WindowObject* object, const WindowSpec& desc) {
  if (!object || !IsUiThread()) return nullptr;
  const bool child = (desc.style & WS_CHILD) != 0;
  WindowRecord* parent = desc.parent ? Find(desc.parent) : nullptr;
  if (child && !parent) return nullptr;  // a child needs a live parent

  auto rec = std::make_unique<WindowRecord>();
  const HWND hwnd = reinterpret_cast<HWND>(nextHandle_);
  nextHandle_ += 4;
  rec->hwnd = hwnd;
  rec->object = object;
  rec->kind = desc.kind;
  rec->className = desc.className;
  rec->text = desc.text;
  rec->style = desc.style & ~(WS_VISIBLE | WS_DISABLED);
  rec->exStyle = desc.exStyle;
  rec->rect = desc.rect;
  rec->id = desc.id;
  rec->child = child;
  rec->parent = parent ? desc.parent : nullptr;
  rec->enabled = (desc.style & WS_DISABLED) == 0;
  // A child shows as soon as its parent does; a top-level window is shown by
  // its creator once it is set up.
  rec->visible = child && (desc.style & WS_VISIBLE) != 0;
  if (!child) {
    const uint32_t face = desc.kind == WindowKind::Dialog ? kDialogFace : kWindowWhite;
    rec->canvas = std::make_shared<Image>(desc.rect.Width(), desc.rect.Height(), face);
    const int scale = driver_->Scale();
    if (scale > 1) {
      rec->fineCanvas =
          std::make_shared<Image>(desc.rect.Width() * scale, desc.rect.Height() * scale, face);
    }
  }
  if (child) parent->children.push_back(hwnd);
  object->m_hWnd = hwnd;
  windows_.emplace(reinterpret_cast<uintptr_t>(hwnd), std::move(rec));
  driver_->WindowCreated(hwnd);
  return hwnd;
}

void Platform::DestroyWindow(HWND hwnd) {
  WindowRecord* rec = Find(hwnd);
  if (!rec || rec->destroying) return;
  rec->destroying = true;
  if (rec->object) SendMessage(hwnd, WM_DESTROY, 0, 0);
  // Children, and pop-ups this window owns, go with it.
  std::vector<HWND> dependents;
  for (const auto& [handle, r] : windows_) {
    if (r->parent == hwnd) dependents.push_back(r->hwnd);
  }
  for (HWND h : dependents)
    DestroyWindow(h);
  ForgetWindow(hwnd);
}

void Platform::ForgetWindow(HWND hwnd) {
  const auto it = windows_.find(reinterpret_cast<uintptr_t>(hwnd));
  if (it == windows_.end()) return;
  WindowRecord& rec = *it->second;
  std::erase_if(timers_, [&](const Timer& t) { return t.hwnd == hwnd; });
  if (focus_ == hwnd) focus_ = nullptr;
  if (rec.child) {
    if (WindowRecord* parent = Find(rec.parent)) std::erase(parent->children, hwnd);
  }
  if (rec.object) rec.object->m_hWnd = nullptr;
  std::unique_ptr<WindowObject> owned = std::move(rec.ownedObject);
  std::unique_ptr<WindowRecord> gone = std::move(it->second);
  windows_.erase(it);
  driver_->WindowDestroyed(hwnd);
  // The record goes first, so the owned object's destructor finds no window.
  owned.reset();
}

WindowRecord* Platform::Find(HWND hwnd) const {
  if (!hwnd) return nullptr;
  const auto it = windows_.find(reinterpret_cast<uintptr_t>(hwnd));
  return it == windows_.end() ? nullptr : it->second.get();
}

std::vector<HWND> Platform::Windows() const {
  std::vector<HWND> out;
  for (const auto& [handle, rec] : windows_)
    out.push_back(rec->hwnd);
  return out;
}

HWND Platform::TopLevelOf(HWND hwnd) const {
  const WindowRecord* rec = Find(hwnd);
  while (rec && rec->child) {
    const WindowRecord* parent = Find(rec->parent);
    if (!parent) break;
    rec = parent;
  }
  return rec ? rec->hwnd : nullptr;
}

bool Platform::IsVisible(HWND hwnd) const {
  for (const WindowRecord* rec = Find(hwnd); rec; rec = rec->child ? Find(rec->parent) : nullptr) {
    if (!rec->visible) return false;
    if (!rec->child) return true;
  }
  return false;
}

bool Platform::IsEnabled(HWND hwnd) const {
  for (const WindowRecord* rec = Find(hwnd); rec; rec = rec->child ? Find(rec->parent) : nullptr) {
    if (!rec->enabled) return false;
    if (!rec->child) return true;
  }
  return false;
}

CPoint Platform::CanvasOrigin(HWND hwnd) const {
  CPoint origin;
  for (const WindowRecord* rec = Find(hwnd); rec && rec->child; rec = Find(rec->parent)) {
    origin.x += rec->rect.left;
    origin.y += rec->rect.top;
  }
  return origin;
}

HWND Platform::ChildAt(HWND hwnd, CPoint client) const {
  const WindowRecord* rec = Find(hwnd);
  if (!rec) return nullptr;
  for (HWND c : rec->children) {
    const WindowRecord* child = Find(c);
    if (child && child->visible && child->rect.PtInRect(client)) {
      return ChildAt(c, CPoint(client.x - child->rect.left, client.y - child->rect.top));
    }
  }
  return hwnd;
}

Image Platform::Snapshot(HWND hwnd) const {
  const WindowRecord* rec = Find(hwnd);
  const WindowRecord* top = Find(TopLevelOf(hwnd));
  if (!rec || !top || !top->canvas) return Image();
  const CPoint origin = CanvasOrigin(hwnd);
  Image out(rec->rect.Width(), rec->rect.Height());
  for (int y = 0; y < out.height; ++y) {
    for (int x = 0; x < out.width; ++x) {
      if (top->canvas->Contains(origin.x + x, origin.y + y))
        out.Set(x, y, top->canvas->At(origin.x + x, origin.y + y));
    }
  }
  return out;
}

// ---- Invalid regions ----

void Platform::Invalidate(HWND hwnd, const CRect* rect, bool erase) {
  WindowRecord* rec = Find(hwnd);
  if (!rec) return;
  const CRect client(0, 0, rec->rect.Width(), rec->rect.Height());
  const CRect area = rect ? Intersect(*rect, client) : client;
  if (area.IsRectEmpty()) return;
  rec->invalid.Add(area);
  if (erase) rec->erasePending = true;
  if (rec->style & WS_CLIPCHILDREN) return;
  // Children under the area are painted again too, as without WS_CLIPCHILDREN
  // on the original platform.
  for (HWND c : std::vector<HWND>(rec->children)) {
    const WindowRecord* child = Find(c);
    if (!child || !child->visible) continue;
    CRect part = Intersect(area, child->rect);
    if (part.IsRectEmpty()) continue;
    part.OffsetRect(-child->rect.left, -child->rect.top);
    Invalidate(c, &part, erase);
  }
}

void Platform::InvalidateChildren(HWND hwnd) {
  const WindowRecord* rec = Find(hwnd);
  if (!rec) return;
  for (HWND c : std::vector<HWND>(rec->children)) {
    const WindowRecord* child = Find(c);
    if (!child || !child->visible) continue;
    Invalidate(c, nullptr, true);
    InvalidateChildren(c);
  }
}

void Platform::Validate(HWND hwnd, const CRect* rect) {
  WindowRecord* rec = Find(hwnd);
  if (!rec) return;
  if (rect) {
    rec->invalid.Subtract(*rect);
  } else {
    rec->invalid.Clear();
  }
  if (rec->invalid.IsEmpty()) rec->erasePending = false;
}

Region Platform::CanvasClip(HWND hwnd, const Region& client) const {
  const WindowRecord* rec = Find(hwnd);
  Region clip;
  if (!rec) return clip;
  clip = client;
  clip.IntersectWith(CRect(0, 0, rec->rect.Width(), rec->rect.Height()));
  // A window that holds controls leaves them alone: they draw themselves.
  if (rec->kind == WindowKind::Plain || rec->kind == WindowKind::Dialog) {
    for (HWND c : rec->children) {
      const WindowRecord* child = Find(c);
      if (child && child->visible) clip.Subtract(child->rect);
    }
  }
  const CPoint origin = CanvasOrigin(hwnd);
  clip.Offset(origin.x, origin.y);
  // Nothing outside the parents' client areas.
  for (const WindowRecord* r = rec; r && r->child;) {
    const WindowRecord* parent = Find(r->parent);
    if (!parent) break;
    const CPoint po = CanvasOrigin(parent->hwnd);
    clip.IntersectWith(
        CRect(po.x, po.y, po.x + parent->rect.Width(), po.y + parent->rect.Height()));
    r = parent;
  }
  return clip;
}

// ---- Visibility, text, focus ----

bool Platform::Show(HWND hwnd, int cmdShow) {
  WindowRecord* rec = Find(hwnd);
  if (!rec) return false;
  const bool wasVisible = rec->visible;
  const bool wasIconic = rec->iconic;
  bool visible = true;
  bool iconic = rec->iconic;
  switch (cmdShow) {
    case SW_HIDE:
      visible = false;
      break;
    case SW_MINIMIZE:
    case SW_SHOWMINIMIZED:
    case SW_SHOWMINNOACTIVE:
      iconic = !rec->child;
      break;
    case SW_RESTORE:
    case SW_SHOWNORMAL:
    case SW_SHOWMAXIMIZED:
      iconic = false;
      break;
    default:
      break;
  }
  if (visible != wasVisible) {
    SendMessage(hwnd, WM_SHOWWINDOW, visible ? 1 : 0, 0);
    rec = Find(hwnd);
    if (!rec) return wasVisible;
  }
  rec->visible = visible;
  rec->iconic = iconic;
  if (!visible) {
    // The focus cannot stay in a hidden window.
    for (const WindowRecord* f = Find(focus_); f; f = f->child ? Find(f->parent) : nullptr) {
      if (f->hwnd == hwnd) {
        focus_ = nullptr;
        break;
      }
    }
  } else if (!wasVisible || iconic != wasIconic) {
    Invalidate(hwnd, nullptr, true);
  }
  if (visible != wasVisible || iconic != wasIconic) driver_->WindowShown(hwnd, visible);
  if (visible && !rec->child && Activates(cmdShow)) Activate(hwnd);
  return wasVisible;
}

void Platform::SetText(HWND hwnd, const std::string& text) {
  WindowRecord* rec = Find(hwnd);
  if (!rec) return;
  rec->text = text;
  DropLineIndex(*rec);
  // New text puts an edit's caret at the start and scrolls it to the top.
  rec->selStart = rec->selEnd = 0;
  // ... unless the user scrolled it back to read: it stays on the lines read,
  // as far as they are still there.
  if (rec->scrolledBack) {
    const int most = MaxFirstLine(EditLineCount(*rec), LayoutEdit(*rec).visibleLines);
    rec->firstLine = std::min(rec->firstLine, most);
    rec->scrolledBack = rec->firstLine < most;
  } else {
    rec->firstLine = 0;
  }
  if (rec->child) {
    Invalidate(hwnd, nullptr, true);
  } else {
    driver_->WindowTextChanged(hwnd);
  }
}

void Platform::SetEnabled(HWND hwnd, bool enabled) {
  WindowRecord* rec = Find(hwnd);
  if (!rec || rec->enabled == enabled) return;
  rec->enabled = enabled;
  if (!enabled && focus_ && (focus_ == hwnd)) focus_ = nullptr;
  // Controls draw greyed while any window above them is disabled (a box is
  // open over their window): all of them are painted again when that
  // changes, or a control painted during the box would stay grey after it.
  if (rec->child) Invalidate(hwnd, nullptr, true);
  InvalidateChildren(hwnd);
  SendMessage(hwnd, WM_ENABLE, enabled ? 1 : 0, 0);
}

void Platform::NotifyParent(HWND control, UINT code) {
  const WindowRecord* r = Find(control);
  if (!r || !r->child) return;
  SendMessage(r->parent, WM_COMMAND, MAKEWPARAM(static_cast<UINT>(r->id), code),
              reinterpret_cast<LPARAM>(control));
}

void Platform::SetFocus(HWND hwnd) {
  if (hwnd && !Find(hwnd)) return;
  const HWND old = focus_;
  if (old == hwnd) return;
  focus_ = hwnd;
  if (hwnd) {
    if (WindowRecord* top = Find(TopLevelOf(hwnd)); top && top->hwnd != hwnd) top->lastFocus = hwnd;
  }
  if (old && Find(old)) {
    SendMessage(old, WM_KILLFOCUS, reinterpret_cast<WPARAM>(hwnd), 0);
    if (WindowRecord* r = Find(old); r && r->child) Invalidate(old, nullptr, false);
  }
  if (hwnd && focus_ == hwnd && Find(hwnd)) {
    SendMessage(hwnd, WM_SETFOCUS, reinterpret_cast<WPARAM>(old), 0);
    if (WindowRecord* r = Find(hwnd); r && r->child) Invalidate(hwnd, nullptr, false);
  }
}

void Platform::Activate(HWND hwnd) {
  const HWND top = TopLevelOf(hwnd);
  const WindowRecord* rec = Find(top);
  if (!rec) return;
  HWND target = top;
  if (rec->lastFocus && TopLevelOf(rec->lastFocus) == top && IsVisible(rec->lastFocus) &&
      IsEnabled(rec->lastFocus))
    target = rec->lastFocus;
  if (focus_ && TopLevelOf(focus_) == top) return;  // already active
  SetFocus(target);
}

}  // namespace tessaro
