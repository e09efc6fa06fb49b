#include "framework/wnd.h"

#include <algorithm>
#include <cstring>

#include "framework/defproc.h"
#include "framework/font.h"
#include "framework/menu.h"
#include "framework/modal_box.h"
#include "framework/platform.h"
#include "framework/png.h"

using tessaro::Platform;
using tessaro::WindowRecord;

namespace {

Platform* P() {
  return Platform::Current();
}
WindowRecord* Rec(HWND h) {
  Platform* p = P();
  return p ? p->Find(h) : nullptr;
}

// Every object the window list holds is a CWnd: only CWnd::CreateEx and
// CDialog attach objects to windows.
CWnd* ObjectOf(const WindowRecord* r) {
  return r ? static_cast<CWnd*>(r->object) : nullptr;
}

}  // namespace

// ---- Life ----

CWnd::CWnd() = default;

CWnd::~CWnd() {
  if (!m_hWnd) return;
  if (Platform* p = P()) {
    // The derived parts of this object are gone: the window is destroyed
    // without calling this object again.
    if (WindowRecord* r = p->Find(m_hWnd)) r->object = nullptr;
    p->DestroyWindow(m_hWnd);
  }
  m_hWnd = nullptr;
}

BOOL CWnd::CreateEx(DWORD dwExStyle, const char* lpszClassName, const char* lpszWindowName,
                    DWORD dwStyle, const RECT& rect, CWnd* pParentWnd, UINT nID) {
  Platform* p = P();
  if (!p || m_hWnd) return FALSE;
  tessaro::WindowSpec desc;
  desc.className = lpszClassName ? lpszClassName : "";
  desc.kind = tessaro::ControlKindOf(desc.className).value_or(tessaro::WindowKind::Plain);
  if (desc.kind == tessaro::WindowKind::RichEdit && !p->GetDriver().RichEditAvailable())
    return FALSE;
  desc.text = lpszWindowName ? lpszWindowName : "";
  desc.style = dwStyle;
  desc.exStyle = dwExStyle;
  desc.rect = rect;
  desc.parent = pParentWnd ? pParentWnd->m_hWnd : nullptr;
  desc.id = static_cast<int>(nID);
  const HWND h = p->CreateWindowRecord(this, desc);
  if (!h) return FALSE;
  p->SendMessage(h, WM_CREATE, 0, 0);
  if (!p->Find(h)) return FALSE;
  if ((dwStyle & WS_VISIBLE) && !(dwStyle & WS_CHILD)) p->Show(h, SW_SHOW);
  return TRUE;
}

BOOL CWnd::DestroyWindow() {
  Platform* p = P();
  if (!p || !m_hWnd || !p->Find(m_hWnd)) return FALSE;
  p->DestroyWindow(m_hWnd);
  return TRUE;
}

CWnd* CWnd::FromHandle(HWND hWnd) {
  return ObjectOf(Rec(hWnd));
}

// ---- Messages ----

LRESULT CWnd::SendMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  Platform* p = P();
  return p && m_hWnd ? p->SendMessage(m_hWnd, message, wParam, lParam) : 0;
}

BOOL CWnd::PostMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  Platform* p = P();
  return p && m_hWnd && p->PostMessage(m_hWnd, message, wParam, lParam) ? TRUE : FALSE;
}

LRESULT CWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  LRESULT result = 0;
  // A handler may destroy the window or delete this object: after it returns,
  // nothing of the object is touched.
  if (OnWndMsg(message, wParam, lParam, &result)) return result;
  return DefWindowProc(message, wParam, lParam);
}

LRESULT CWnd::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  return tessaro::DefaultWindowProc(m_hWnd, message, wParam, lParam);
}

LRESULT CWnd::Default() {
  Platform* p = P();
  const MSG* m = p ? p->CurrentMessage() : nullptr;
  if (!m || m->hwnd != m_hWnd) return 0;
  const MSG copy = *m;
  return DefWindowProc(copy.message, copy.wParam, copy.lParam);
}

BOOL CWnd::PreTranslateMessage(MSG*) {
  return FALSE;
}

BOOL CWnd::IsDialogMessage(MSG* pMsg) {
  return pMsg && tessaro::HandleDialogKey(m_hWnd, *pMsg) ? TRUE : FALSE;
}

const AFX_MSGMAP* CWnd::GetMessageMap() const {
  return GetThisMessageMap();
}

const AFX_MSGMAP* CWnd::GetThisMessageMap() {
  static constexpr AFX_MSGMAP kMap{nullptr, nullptr, 0};
  return &kMap;
}

BOOL CWnd::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult) {
  for (const AFX_MSGMAP* map = GetMessageMap(); map;
       map = map->pfnGetBaseMap ? map->pfnGetBaseMap() : nullptr) {
    for (size_t i = 0; i < map->nCount; ++i) {
      const AFX_MSGMAP_ENTRY& e = map->lpEntries[i];
      if (e.nMessage != message) continue;
      if (message == WM_COMMAND && (e.nID != LOWORD(wParam) || e.nCode != HIWORD(wParam))) continue;
      *pResult = e.pfn(this, wParam, lParam);
      return TRUE;
    }
  }
  return FALSE;
}

// ---- Timers ----

UINT_PTR CWnd::SetTimer(UINT_PTR nIDEvent, UINT nElapse, TIMERPROC lpfnTimer) {
  Platform* p = P();
  return p ? p->SetTimer(m_hWnd, nIDEvent, nElapse, lpfnTimer) : 0;
}

BOOL CWnd::KillTimer(UINT_PTR nIDEvent) {
  Platform* p = P();
  return p && p->KillTimer(m_hWnd, nIDEvent) ? TRUE : FALSE;
}

// ---- Painting ----

void CWnd::Invalidate(BOOL bErase) {
  InvalidateRect(nullptr, bErase);
}

void CWnd::InvalidateRect(const RECT* lpRect, BOOL bErase) {
  if (Platform* p = P()) {
    const CRect r = lpRect ? CRect(*lpRect) : CRect();
    p->Invalidate(m_hWnd, lpRect ? &r : nullptr, bErase != FALSE);
  }
}

void CWnd::ValidateRect(const RECT* lpRect) {
  if (Platform* p = P()) {
    const CRect r = lpRect ? CRect(*lpRect) : CRect();
    p->Validate(m_hWnd, lpRect ? &r : nullptr);
  }
}

BOOL CWnd::GetUpdateRect(RECT* lpRect, BOOL) {
  WindowRecord* r = Rec(m_hWnd);
  const CRect box = r ? r->invalid.Bounds() : CRect();
  if (lpRect) *lpRect = box;
  return box.IsRectEmpty() ? FALSE : TRUE;
}

void CWnd::UpdateWindow() {
  WindowRecord* r = Rec(m_hWnd);
  if (r && !r->invalid.IsEmpty()) SendMessage(WM_PAINT);
}

BOOL CWnd::SavePng(const std::string& path) const {
  Platform* p = P();
  if (!p || !p->Find(m_hWnd)) return FALSE;
  std::string error;
  return tessaro::SavePng(p->Snapshot(m_hWnd), path, error) ? TRUE : FALSE;
}

// ---- State ----

BOOL CWnd::ShowWindow(int nCmdShow) {
  Platform* p = P();
  return p && p->Show(m_hWnd, nCmdShow) ? TRUE : FALSE;
}

BOOL CWnd::IsWindowVisible() const {
  Platform* p = P();
  return p && p->IsVisible(m_hWnd) ? TRUE : FALSE;
}

BOOL CWnd::IsIconic() const {
  WindowRecord* r = Rec(m_hWnd);
  return r && r->iconic ? TRUE : FALSE;
}

BOOL CWnd::EnableWindow(BOOL bEnable) {
  Platform* p = P();
  WindowRecord* r = Rec(m_hWnd);
  if (!r) return FALSE;
  const BOOL wasDisabled = r->enabled ? FALSE : TRUE;
  p->SetEnabled(m_hWnd, bEnable != FALSE);
  return wasDisabled;
}

BOOL CWnd::IsWindowEnabled() const {
  WindowRecord* r = Rec(m_hWnd);
  return r && r->enabled ? TRUE : FALSE;
}

BOOL CWnd::FlashWindow(BOOL bInvert) {
  Platform* p = P();
  if (!p || !p->Find(m_hWnd)) return FALSE;
  const BOOL active = p->Focus() && p->TopLevelOf(p->Focus()) == p->TopLevelOf(m_hWnd);
  p->GetDriver().WindowFlashed(m_hWnd, bInvert != FALSE);
  return active;
}

DWORD CWnd::GetStyle() const {
  WindowRecord* r = Rec(m_hWnd);
  if (!r) return 0;
  return r->style | (r->visible ? WS_VISIBLE : 0) | (r->enabled ? 0 : WS_DISABLED) |
         (r->iconic ? WS_MINIMIZE : 0);
}

DWORD CWnd::GetExStyle() const {
  WindowRecord* r = Rec(m_hWnd);
  return r ? r->exStyle : 0;
}

void CWnd::GetClientRect(RECT* lpRect) const {
  WindowRecord* r = Rec(m_hWnd);
  if (lpRect) *lpRect = r ? CRect(0, 0, r->rect.Width(), r->rect.Height()) : CRect();
}

void CWnd::GetWindowRect(RECT* lpRect) const {
  Platform* p = P();
  WindowRecord* r = Rec(m_hWnd);
  if (!lpRect) return;
  if (!r) {
    *lpRect = CRect();
    return;
  }
  // Screen coordinates: the top-level client origin plus the offset inside it.
  const WindowRecord* top = p->Find(p->TopLevelOf(m_hWnd));
  const CPoint o = p->CanvasOrigin(m_hWnd);
  CRect box(0, 0, r->rect.Width(), r->rect.Height());
  box.OffsetRect(top->rect.left + o.x, top->rect.top + o.y);
  if (!r->child) {
    // A nominal frame: border, caption and menu bar lie outside the client area.
    const int caption = (r->style & WS_CAPTION) == WS_CAPTION ? GetSystemMetrics(SM_CYCAPTION) : 0;
    const int menu = r->menu ? GetSystemMetrics(SM_CYMENU) : 0;
    box = CRect(box.left - 3, box.top - 3 - caption - menu, box.right + 3, box.bottom + 3);
  }
  *lpRect = box;
}

CWnd* CWnd::GetParent() const {
  WindowRecord* r = Rec(m_hWnd);
  return r ? FromHandle(r->parent) : nullptr;
}

int CWnd::GetDlgCtrlID() const {
  WindowRecord* r = Rec(m_hWnd);
  return r ? r->id : 0;
}

CWnd* CWnd::SetFocus() {
  Platform* p = P();
  if (!p || !p->Find(m_hWnd)) return nullptr;
  CWnd* old = FromHandle(p->Focus());
  p->SetFocus(m_hWnd);
  return old;
}

CWnd* CWnd::GetFocus() {
  Platform* p = P();
  return p ? FromHandle(p->Focus()) : nullptr;
}

// ---- Text ----

void CWnd::SetWindowText(const char* lpszString) {
  if (Platform* p = P()) p->SetText(m_hWnd, lpszString ? lpszString : "");
}

int CWnd::GetWindowText(char* lpszStringBuf, int nMaxCount) const {
  WindowRecord* r = Rec(m_hWnd);
  if (!lpszStringBuf || nMaxCount <= 0) return 0;
  const size_t n = r ? std::min(r->text.size(), static_cast<size_t>(nMaxCount - 1)) : 0;
  if (n) std::memcpy(lpszStringBuf, r->text.data(), n);
  lpszStringBuf[n] = '\0';
  return static_cast<int>(n);
}

void CWnd::GetWindowText(std::string& text) const {
  WindowRecord* r = Rec(m_hWnd);
  text = r ? r->text : std::string();
}

int CWnd::GetWindowTextLength() const {
  WindowRecord* r = Rec(m_hWnd);
  return r ? static_cast<int>(r->text.size()) : 0;
}

// ---- Controls ----

CWnd* CWnd::GetDlgItem(int nID) const {
  Platform* p = P();
  WindowRecord* r = Rec(m_hWnd);
  if (!r) return nullptr;
  for (HWND c : r->children) {
    const WindowRecord* child = p->Find(c);
    if (child && child->id == nID) return ObjectOf(child);
  }
  return nullptr;
}

void CWnd::SetDlgItemText(int nID, const char* lpszString) {
  if (CWnd* c = GetDlgItem(nID)) c->SetWindowText(lpszString);
}

int CWnd::GetDlgItemText(int nID, std::string& text) const {
  text.clear();
  if (CWnd* c = GetDlgItem(nID)) c->GetWindowText(text);
  return static_cast<int>(text.size());
}

// ---- Icons, menus, fonts ----

HICON CWnd::SetIcon(HICON hIcon, BOOL bBigIcon) {
  return reinterpret_cast<HICON>(
      SendMessage(WM_SETICON, bBigIcon ? ICON_BIG : ICON_SMALL, reinterpret_cast<LPARAM>(hIcon)));
}

HICON CWnd::GetIcon(BOOL bBigIcon) const {
  WindowRecord* r = Rec(m_hWnd);
  if (!r) return nullptr;
  return bBigIcon ? r->bigIcon : r->smallIcon;
}

CMenu* CWnd::GetSystemMenu(BOOL bRevert) {
  WindowRecord* r = Rec(m_hWnd);
  if (!r || !(r->style & WS_SYSMENU) || r->child) return nullptr;
  if (bRevert) {
    r->systemMenu.reset();
    return nullptr;
  }
  if (!r->systemMenu) r->systemMenu = CMenu::StandardSystemMenu(r->style);
  return r->systemMenu.get();
}

CMenu* CWnd::GetMenu() const {
  WindowRecord* r = Rec(m_hWnd);
  return r ? r->menu.get() : nullptr;
}

void CWnd::SetFont(CFont* pFont, BOOL bRedraw) {
  WindowRecord* r = Rec(m_hWnd);
  if (!r) return;
  r->font = pFont && pFont->GetSafeHandle() ? std::make_unique<CFont>(*pFont) : nullptr;
  if (bRedraw) Invalidate(TRUE);
}

CFont* CWnd::GetFont() const {
  WindowRecord* r = Rec(m_hWnd);
  return r ? r->font.get() : nullptr;
}

int CWnd::MessageBox(const char* lpszText, const char* lpszCaption, UINT nType) {
  return tessaro::ShowMessageBox(lpszText ? lpszText : "", lpszCaption ? lpszCaption : "Error",
                                 nType, m_hWnd);
}

// ---- Default handlers ----

void CWnd::OnPaint() {
  Default();
}
void CWnd::OnClose() {
  Default();
}
void CWnd::OnDestroy() {
  Default();
}
void CWnd::OnTimer(UINT_PTR) {
  Default();
}
void CWnd::OnLButtonDown(UINT, CPoint) {
  Default();
}
void CWnd::OnKeyDown(UINT, UINT, UINT) {
  Default();
}
void CWnd::OnSysCommand(UINT, LPARAM) {
  Default();
}
HCURSOR CWnd::OnQueryDragIcon() {
  return reinterpret_cast<HCURSOR>(Default());
}

// ---- Platform calls on handles ----

BOOL IsWindow(HWND hWnd) {
  return Rec(hWnd) ? TRUE : FALSE;
}

LRESULT SendMessage(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
  Platform* p = P();
  return p ? p->SendMessage(hWnd, message, wParam, lParam) : 0;
}

BOOL PostMessage(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
  Platform* p = P();
  return p && p->PostMessage(hWnd, message, wParam, lParam) ? TRUE : FALSE;
}

void PostQuitMessage(int nExitCode) {
  if (Platform* p = P()) p->PostQuit(nExitCode);
}
