#include "framework/defproc.h"

#include <algorithm>
#include <cstring>

#include "framework/edit.h"
#include "framework/gdi.h"
#include "framework/platform.h"
#include "framework/static_button.h"

using tessaro::Platform;
using tessaro::WindowKind;
using tessaro::WindowRecord;

namespace {

constexpr COLORREF kFace = RGB(192, 192, 192);
constexpr COLORREF kWhite = RGB(255, 255, 255);

bool IsControl(WindowKind k) {
  return k != WindowKind::Plain && k != WindowKind::Dialog;
}

COLORREF Background(const WindowRecord& rec) {
  switch (rec.kind) {
    case WindowKind::Plain:
    case WindowKind::Edit:
    case WindowKind::RichEdit:
      return kWhite;
    default:
      return kFace;
  }
}

// Whether `h` is `ancestor` or lies inside it.
bool Within(const Platform& p, HWND h, HWND ancestor) {
  for (const WindowRecord* r = p.Find(h); r; r = r->child ? p.Find(r->parent) : nullptr) {
    if (r->hwnd == ancestor) return true;
  }
  return false;
}

void Click(Platform& p, HWND dialog, int id, HWND control) {
  p.SendMessage(dialog, WM_COMMAND, MAKEWPARAM(static_cast<UINT>(id), BN_CLICKED),
                reinterpret_cast<LPARAM>(control));
}

// The next tab stop after the focus, wrapping around.
void NextTabStop(Platform& p, HWND dialog) {
  const WindowRecord* rec = p.Find(dialog);
  if (!rec || rec->children.empty()) return;
  const std::vector<HWND>& kids = rec->children;
  const auto at = std::find(kids.begin(), kids.end(), p.Focus());
  const size_t start = at == kids.end() ? kids.size() - 1 : static_cast<size_t>(at - kids.begin());
  for (size_t step = 1; step <= kids.size(); ++step) {
    const HWND c = kids[(start + step) % kids.size()];
    const WindowRecord* cr = p.Find(c);
    if (cr && (cr->style & WS_TABSTOP) && cr->visible && cr->enabled) {
      p.SetFocus(c);
      return;
    }
  }
}

// The control of a dialog with that id (the first such child) while it has
// its object, as GetDlgItem finds it; else null.
const WindowRecord* DlgItem(const Platform& p, HWND dialog, int id) {
  const WindowRecord* rec = p.Find(dialog);
  if (!rec) return nullptr;
  for (HWND c : rec->children) {
    const WindowRecord* child = p.Find(c);
    if (child && child->id == id) return child->object ? child : nullptr;
  }
  return nullptr;
}

// What a control does with a message, by its kind.
LRESULT ControlProc(const WindowRecord& rec, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (rec.kind) {
    case WindowKind::Button:
      return tessaro::ButtonProc(rec.hwnd, message, wParam, lParam);
    case WindowKind::Edit:
    case WindowKind::RichEdit:
      return tessaro::EditProc(rec.hwnd, message, wParam, lParam);
    default:
      return 0;
  }
}

// Draws a control into its part of the canvas (its paint handling).
void PaintControl(HWND hwnd) {
  Platform* p = Platform::Current();
  WindowRecord* rec = p ? p->Find(hwnd) : nullptr;
  if (!rec || !rec->object) return;
  // These kinds fill their whole box before drawing on it: erasing the box
  // first would only paint every pixel twice.
  const WindowKind kind = rec->kind;
  if (kind == WindowKind::Static || kind == WindowKind::Button || kind == WindowKind::Edit ||
      kind == WindowKind::RichEdit)
    rec->erasePending = false;
  CPaintDC dc(rec->object);
  rec = p->Find(hwnd);  // erasing may have run a handler
  if (!rec) return;
  const bool enabled = p->IsEnabled(hwnd);
  const bool focused = p->Focus() == hwnd;
  // A control always draws all of itself; the paint context clips it to what
  // was invalid.
  switch (rec->kind) {
    case WindowKind::Static:
      tessaro::DrawStatic(*rec, dc.Surface(), enabled, *p);
      break;
    case WindowKind::Button:
      tessaro::DrawButton(*rec, dc.Surface(), enabled, focused);
      break;
    case WindowKind::Edit:
    case WindowKind::RichEdit:
      tessaro::DrawEdit(*rec, dc.Surface(), enabled, focused);
      break;
    default:
      break;
  }
}

}  // namespace

namespace tessaro {

bool HandleDialogKey(HWND dialogWindow, const MSG& msg) {
  Platform* p = Platform::Current();
  const WindowRecord* dlg = p ? p->Find(dialogWindow) : nullptr;
  if (!dlg || dlg->kind != WindowKind::Dialog || !Within(*p, msg.hwnd, dialogWindow)) return false;
  const WindowRecord* target = p->Find(msg.hwnd);
  const bool wantsReturn =
      target->kind != WindowKind::Dialog &&
      (target->kind == WindowKind::Edit || target->kind == WindowKind::RichEdit) &&
      (target->style & ES_MULTILINE) && (target->style & ES_WANTRETURN);
  const bool onButton = target->kind == WindowKind::Button;
  const HWND dialog = dialogWindow;
  if (msg.message == WM_KEYDOWN) {
    switch (msg.wParam) {
      case VK_RETURN: {
        if (wantsReturn) return false;
        if (onButton) {
          Click(*p, dialog, target->id, target->hwnd);
          return true;
        }
        const int id = dlg->defaultId ? dlg->defaultId : IDOK;
        const WindowRecord* button = DlgItem(*p, dialog, id);
        if (button && !button->enabled) return true;
        Click(*p, dialog, id, button ? button->hwnd : nullptr);
        return true;
      }
      case VK_ESCAPE: {
        const WindowRecord* button = DlgItem(*p, dialog, IDCANCEL);
        if (button && !button->enabled) return true;
        Click(*p, dialog, IDCANCEL, button ? button->hwnd : nullptr);
        return true;
      }
      case VK_TAB:
        NextTabStop(*p, dialog);
        return true;
      case VK_SPACE:
        if (!onButton) return false;
        Click(*p, dialog, target->id, target->hwnd);
        return true;
      default:
        return false;
    }
  }
  if (msg.message == WM_CHAR) {
    // The characters of keys the dialog manager used are dropped.
    if (msg.wParam == '\r') return !wantsReturn;
    if (msg.wParam == 0x1B || msg.wParam == '\t') return true;
    if (msg.wParam == ' ' && onButton) return true;
  }
  return false;
}

LRESULT DefaultWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  Platform* p = Platform::Current();
  WindowRecord* rec = p ? p->Find(hwnd) : nullptr;
  if (!rec) return 0;
  switch (message) {
    case WM_PAINT:
      if (IsControl(rec->kind)) {
        PaintControl(hwnd);
      } else {
        CPaintDC dc(rec->object);  // validates, erasing first if asked
      }
      return 0;
    case WM_ERASEBKGND:
    case WM_ICONERASEBKGND: {
      CDC* dc = CDC::FromHandle(reinterpret_cast<HDC>(wParam));
      if (!dc) return 0;
      RECT box;
      dc->GetClipBox(&box);
      dc->FillSolidRect(&box, Background(*rec));
      return 1;
    }
    case WM_CLOSE:
      if (rec->kind == WindowKind::Dialog) {
        // The dialog manager turns closing into the Cancel command, at once.
        const WindowRecord* cancel = rec->object ? DlgItem(*p, hwnd, IDCANCEL) : nullptr;
        Click(*p, hwnd, IDCANCEL, cancel ? cancel->hwnd : nullptr);
      } else {
        p->DestroyWindow(hwnd);
      }
      return 0;
    case WM_SYSCOMMAND:
      switch (wParam & 0xFFF0) {
        case SC_CLOSE:
          p->SendMessage(hwnd, WM_CLOSE, 0, 0);
          break;
        case SC_MINIMIZE:
          p->Show(hwnd, SW_MINIMIZE);
          break;
        case SC_RESTORE:
          p->Show(hwnd, SW_RESTORE);
          break;
        default:
          break;
      }
      return 0;
    case WM_SETICON: {
      const bool big = wParam == ICON_BIG;
      HICON& slot = big ? rec->bigIcon : rec->smallIcon;
      const HICON previous = slot;
      slot = reinterpret_cast<HICON>(lParam);
      p->GetDriver().WindowIconChanged(hwnd, big, slot);
      return reinterpret_cast<LRESULT>(previous);
    }
    case WM_GETICON:
      return reinterpret_cast<LRESULT>(wParam == ICON_BIG ? rec->bigIcon : rec->smallIcon);
    case WM_SETTEXT:
      p->SetText(hwnd, lParam ? reinterpret_cast<const char*>(lParam) : "");
      return TRUE;
    case WM_GETTEXT: {
      char* buffer = reinterpret_cast<char*>(lParam);
      if (!buffer || wParam == 0) return 0;
      const size_t n = std::min(rec->text.size(), static_cast<size_t>(wParam - 1));
      if (n) std::memcpy(buffer, rec->text.data(), n);
      buffer[n] = '\0';
      return static_cast<LRESULT>(n);
    }
    case WM_GETTEXTLENGTH:
      return static_cast<LRESULT>(rec->text.size());
    default:
      break;
  }
  if (IsControl(rec->kind)) return ControlProc(*rec, message, wParam, lParam);
  return 0;
}

}  // namespace tessaro
