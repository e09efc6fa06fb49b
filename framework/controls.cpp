// The control classes' methods: thin over the edit control and the static
// control, which work by window handle below the window classes (edit.h,
// static_button.h).
#include "framework/controls.h"

#include <algorithm>

#include "framework/edit.h"
#include "framework/edit_layout.h"
#include "framework/platform.h"

using tessaro::Platform;
using tessaro::WindowRecord;

namespace {

void GetSelection(HWND h, long& start, long& end) {
  const WindowRecord* r =
      tessaro::Platform::Current() ? tessaro::Platform::Current()->Find(h) : nullptr;
  start = r ? std::min(r->selStart, r->selEnd) : 0;
  end = r ? std::max(r->selStart, r->selEnd) : 0;
}

int LineCount(HWND h) {
  const WindowRecord* r =
      tessaro::Platform::Current() ? tessaro::Platform::Current()->Find(h) : nullptr;
  return r ? tessaro::EditLineCount(*r) : 0;
}

int FirstVisibleLine(HWND h) {
  const WindowRecord* r =
      tessaro::Platform::Current() ? tessaro::Platform::Current()->Find(h) : nullptr;
  return r ? r->firstLine : 0;
}

}  // namespace

void CEdit::SetSel(int nStartChar, int nEndChar, BOOL bNoScroll) {
  tessaro::SetEditSelection(m_hWnd, nStartChar, nEndChar, bNoScroll == FALSE);
}
void CEdit::GetSel(int& nStartChar, int& nEndChar) const {
  long s = 0, e = 0;
  GetSelection(m_hWnd, s, e);
  nStartChar = static_cast<int>(s);
  nEndChar = static_cast<int>(e);
}
void CEdit::ReplaceSel(const char* lpszNewText, BOOL) {
  tessaro::ReplaceEditSelection(m_hWnd, lpszNewText ? lpszNewText : "");
}
void CEdit::SetReadOnly(BOOL bReadOnly) {
  if (WindowRecord* r =
          tessaro::Platform::Current() ? tessaro::Platform::Current()->Find(m_hWnd) : nullptr) {
    r->style = bReadOnly ? (r->style | ES_READONLY) : (r->style & ~ES_READONLY);
    Invalidate(TRUE);
  }
}
int CEdit::GetLineCount() const {
  return LineCount(m_hWnd);
}
int CEdit::GetFirstVisibleLine() const {
  return FirstVisibleLine(m_hWnd);
}

void CRichEditCtrl::SetSel(long nStartChar, long nEndChar) {
  tessaro::SetEditSelection(m_hWnd, static_cast<int>(nStartChar), static_cast<int>(nEndChar), true);
}
void CRichEditCtrl::GetSel(long& nStartChar, long& nEndChar) const {
  GetSelection(m_hWnd, nStartChar, nEndChar);
}
void CRichEditCtrl::ReplaceSel(const char* lpszNewText, BOOL) {
  tessaro::ReplaceEditSelection(m_hWnd, lpszNewText ? lpszNewText : "");
}
long CRichEditCtrl::GetTextLength() const {
  return GetWindowTextLength();
}
const std::string& CRichEditCtrl::GetTextRef() const {
  static const std::string kNoText;
  const WindowRecord* r =
      tessaro::Platform::Current() ? tessaro::Platform::Current()->Find(m_hWnd) : nullptr;
  return r ? r->text : kNoText;
}
void CRichEditCtrl::SetText(const std::string& text) {
  if (Platform* p = Platform::Current()) p->SetText(m_hWnd, text);
}
void CRichEditCtrl::ReplaceSel(std::string_view text) {
  tessaro::ReplaceEditSelection(m_hWnd, text);
}
int CRichEditCtrl::GetLineCount() const {
  return LineCount(m_hWnd);
}
int CRichEditCtrl::GetFirstVisibleLine() const {
  return FirstVisibleLine(m_hWnd);
}

HICON CStatic::SetIcon(HICON hIcon) {
  WindowRecord* r =
      tessaro::Platform::Current() ? tessaro::Platform::Current()->Find(m_hWnd) : nullptr;
  if (!r) return nullptr;
  const HICON previous = r->staticIcon;
  r->staticIcon = hIcon;
  Invalidate(TRUE);
  return previous;
}

HICON CStatic::GetIcon() const {
  const WindowRecord* r =
      tessaro::Platform::Current() ? tessaro::Platform::Current()->Find(m_hWnd) : nullptr;
  return r ? r->staticIcon : nullptr;
}

BOOL AfxInitRichEdit() {
  Platform* p = Platform::Current();
  return p && p->GetDriver().RichEditAvailable() ? TRUE : FALSE;
}
