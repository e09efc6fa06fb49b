// Default processing: what a window does with a message its message map does
// not handle, and the dialog manager's keyboard handling.
#include <algorithm>
#include <cstring>

#include "framework/common_dialogs.h"
#include "framework/gdi.h"
#include "framework/platform.h"

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

}  // namespace

BOOL CWnd::IsDialogMessage(MSG* pMsg) {
  Platform* p = Platform::Current();
  const WindowRecord* dlg = p ? p->Find(m_hWnd) : nullptr;
  if (!pMsg || !dlg || dlg->kind != WindowKind::Dialog || !Within(*p, pMsg->hwnd, m_hWnd))
    return FALSE;
  const WindowRecord* target = p->Find(pMsg->hwnd);
  const bool wantsReturn =
      target->kind != WindowKind::Dialog &&
      (target->kind == WindowKind::Edit || target->kind == WindowKind::RichEdit) &&
      (target->style & ES_MULTILINE) && (target->style & ES_WANTRETURN);
  const bool onButton = target->kind == WindowKind::Button;
  const HWND dialog = m_hWnd;
  if (pMsg->message == WM_KEYDOWN) {
    switch (pMsg->wParam) {
      case VK_RETURN: {
        if (wantsReturn) return FALSE;
        if (onButton) {
          Click(*p, dialog, target->id, target->hwnd);
          return TRUE;
        }
        const int id = dlg->defaultId ? dlg->defaultId : IDOK;
        CWnd* button = GetDlgItem(id);
        if (button && !button->IsWindowEnabled()) return TRUE;
        Click(*p, dialog, id, button ? button->m_hWnd : nullptr);
        return TRUE;
      }
      case VK_ESCAPE: {
        CWnd* button = GetDlgItem(IDCANCEL);
        if (button && !button->IsWindowEnabled()) return TRUE;
        Click(*p, dialog, IDCANCEL, button ? button->m_hWnd : nullptr);
        return TRUE;
      }
      case VK_TAB:
        NextTabStop(*p, dialog);
        return TRUE;
      case VK_SPACE:
        if (!onButton) return FALSE;
        Click(*p, dialog, target->id, target->hwnd);
        return TRUE;
      default:
        return FALSE;
    }
  }
  if (pMsg->message == WM_CHAR) {
    // The characters of keys the dialog manager used are dropped.
    if (pMsg->wParam == '\r') return wantsReturn ? FALSE : TRUE;
    if (pMsg->wParam == 0x1B || pMsg->wParam == '\t') return TRUE;
    if (pMsg->wParam == ' ' && onButton) return TRUE;
  }
  return FALSE;
}

namespace tessaro {

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
        CWnd* cancel = rec->object ? rec->object->GetDlgItem(IDCANCEL) : nullptr;
        Click(*p, hwnd, IDCANCEL, cancel ? cancel->m_hWnd : nullptr);
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
  if (IsControl(rec->kind)) return ControlProc(hwnd, message, wParam, lParam);
  return 0;
}

}  // namespace tessaro
