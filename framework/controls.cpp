// The standard controls' behaviour: edit typing and selection, button clicks,
// and the control classes' methods.
#include "framework/controls.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <string_view>

#include "framework/platform.h"
#include "framework/surface.h"

using tessaro::Platform;
using tessaro::WindowKind;
using tessaro::WindowRecord;

namespace tessaro {
namespace {

WindowRecord* Rec(HWND h) {
  Platform* p = Platform::Current();
  return p ? p->Find(h) : nullptr;
}

bool IsEdit(const WindowRecord& r) {
  return r.kind == WindowKind::Edit || r.kind == WindowKind::RichEdit;
}

void Notify(HWND hwnd, UINT code) {
  Platform* p = Platform::Current();
  const WindowRecord* r = p->Find(hwnd);
  if (!r || !r->child) return;
  p->SendMessage(r->parent, WM_COMMAND, MAKEWPARAM(static_cast<UINT>(r->id), code),
                 reinterpret_cast<LPARAM>(hwnd));
}

constexpr uint64_t kEveryByte = 0x0101010101010101ULL;

// How many bytes of `word` hold '\n'.
int BreaksIn(uint64_t word) {
  const uint64_t x = word ^ (kEveryByte * '\n');  // a zero byte where '\n' was
  const uint64_t low7 = kEveryByte * 0x7F;
  const uint64_t zeros = ~(((x & low7) + low7) | x | low7) >> 7;  // 1 in each such byte
  return static_cast<int>((zeros * kEveryByte) >> 56);            // their sum
}

uint64_t WordAt(const char* at) {
  uint64_t word;
  std::memcpy(&word, at, sizeof word);
  return word;
}

void ScrollToCaret(WindowRecord& r) {
  if (!(r.style & ES_MULTILINE)) return;
  // A view the user scrolled back stays put: the log can be read back while
  // lines arrive.
  if (r.scrolledBack) return;
  const EditLayout layout = LayoutEdit(r);
  const int line = CaretLine(r.text, r.selEnd);
  if (line < r.firstLine) r.firstLine = line;
  if (line >= r.firstLine + layout.visibleLines) r.firstLine = line - layout.visibleLines + 1;
}

// An edit's client area less its one-pixel border (when it has one): where
// its scroll bars and text go.
CRect InsideBorder(const WindowRecord& rec) {
  CRect box(0, 0, rec.rect.Width(), rec.rect.Height());
  if ((rec.style & WS_BORDER) || (rec.exStyle & WS_EX_CLIENTEDGE)) {
    box = CRect(box.left + 1, box.top + 1, box.right - 1, box.bottom - 1);
  }
  return box;
}

bool IsMultiLine(const WindowRecord& r) {
  return (r.style & ES_MULTILINE) != 0;
}

// Moves the first visible line of a multi-line edit to `first` (clamped).
void ScrollTo(HWND hwnd, WindowRecord& r, int first) {
  const int most = MaxFirstLine(EditLineCount(r), LayoutEdit(r).visibleLines);
  first = std::clamp(first, 0, most);
  r.scrolledBack = first < most;
  if (first == r.firstLine) return;
  r.firstLine = first;
  Platform::Current()->Invalidate(hwnd, nullptr, false);
}

// A rectangle with its axes exchanged: a horizontal bar is laid out as a
// vertical one turned on its side.
CRect Transposed(const CRect& r) {
  return CRect(r.top, r.left, r.bottom, r.right);
}

// Scrolls the lines of a multi-line edit sideways so that `x` pixels lie left
// of the view (clamped).
void ScrollXTo(HWND hwnd, WindowRecord& r, int x) {
  x = std::clamp(x, 0, MaxFirstX(r));
  if (x == r.firstX) return;
  r.firstX = x;
  Platform::Current()->Invalidate(hwnd, nullptr, false);
}

// A step of the horizontal arrows and keys: about two characters.
int SideStep(const WindowRecord& r) {
  return LayoutEdit(r).lineHeight;
}

// The horizontal bar's share of a button press; true when it was on the bar.
bool PressHScrollBar(HWND hwnd, WindowRecord& r, CPoint at) {
  const CRect bar = HScrollBarOf(r);
  if (bar.IsRectEmpty() || !bar.PtInRect(at)) return false;
  const ScrollBarLayout layout = LayoutHScrollBar(r);
  const int first = FirstX(r);
  const int page = LayoutEdit(r).text.Width();
  if (layout.up.PtInRect(at)) {
    ScrollXTo(hwnd, r, first - SideStep(r));
  } else if (layout.down.PtInRect(at)) {
    ScrollXTo(hwnd, r, first + SideStep(r));
  } else if (layout.thumb.PtInRect(at)) {
    r.hThumbGrab = at.x - layout.thumb.left;
  } else if (at.x < layout.thumb.left) {
    ScrollXTo(hwnd, r, first - page);
  } else {
    ScrollXTo(hwnd, r, first + page);
  }
  return true;
}

// The scroll bars' share of a button press; true when the press was on a bar.
bool PressScrollBar(HWND hwnd, WindowRecord& r, CPoint at) {
  if (PressHScrollBar(hwnd, r, at)) return true;
  const CRect bar = VScrollBarOf(r);
  if (bar.IsRectEmpty() || !bar.PtInRect(at)) return false;
  const int lines = EditLineCount(r);
  const int visible = LayoutEdit(r).visibleLines;
  const ScrollBarLayout layout = LayoutScrollBar(bar, lines, visible, r.firstLine);
  if (layout.up.PtInRect(at)) {
    ScrollTo(hwnd, r, r.firstLine - 1);
  } else if (layout.down.PtInRect(at)) {
    ScrollTo(hwnd, r, r.firstLine + 1);
  } else if (layout.thumb.PtInRect(at)) {
    r.thumbGrab = at.y - layout.thumb.top;
  } else if (at.y < layout.thumb.top) {
    ScrollTo(hwnd, r, r.firstLine - visible);
  } else {
    ScrollTo(hwnd, r, r.firstLine + visible);
  }
  return true;
}

}  // namespace

// Eight bytes at a time: the log's length costs little when it is looked
// through on every line added to it.
int CountLineBreaks(std::string_view text) {
  const char* at = text.data();
  const char* const end = at + text.size();
  int count = 0;
  for (; end - at >= 8; at += 8)
    count += BreaksIn(WordAt(at));
  for (; at < end; ++at)
    count += *at == '\n';
  return count;
}

LineStart FindLineStart(std::string_view text, int line) {
  LineStart out;
  const char* const begin = text.data();
  const char* const end = begin + text.size();
  const char* at = begin;
  // Whole words while the line sought lies beyond them, then byte by byte.
  for (; end - at >= 8; at += 8) {
    const int breaks = BreaksIn(WordAt(at));
    if (out.line + breaks >= line) break;
    out.line += breaks;
  }
  for (; at < end && out.line < line; ++at)
    out.line += *at == '\n';
  // The line reached starts after the last break before `at`.
  if (out.line > 0)
    out.offset = std::string_view(begin, static_cast<size_t>(at - begin)).rfind('\n') + 1;
  return out;
}

int CaretLine(const std::string& text, int pos) {
  return CountLineBreaks(std::string_view(text).substr(0, static_cast<size_t>(pos)));
}

int EditLineCount(const WindowRecord& rec) {
  return CountLineBreaks(rec.text) + 1;
}

int MaxFirstLine(int lines, int visible) {
  return std::max(0, lines - std::max(1, visible));
}

ScrollBarLayout LayoutScrollBar(const CRect& bar, int lines, int visible, int first) {
  ScrollBarLayout out;
  // Square arrow buttons, shrunk when the bar is too short for both.
  const int arrow = std::min(bar.Width(), bar.Height() / 2);
  out.up = CRect(bar.left, bar.top, bar.right, bar.top + arrow);
  out.down = CRect(bar.left, bar.bottom - arrow, bar.right, bar.bottom);
  out.track = CRect(bar.left, out.up.bottom, bar.right, out.down.top);
  const int track = out.track.Height();
  const int most = MaxFirstLine(lines, visible);
  if (most == 0 || track <= 0) {
    out.thumb = out.track;
    return out;
  }
  const int length = std::clamp(track * visible / std::max(1, lines), std::min(track, 8), track);
  const int top = out.track.top + (track - length) * std::clamp(first, 0, most) / most;
  out.thumb = CRect(bar.left, top, bar.right, top + length);
  return out;
}

int FirstLineAtThumb(const CRect& bar, int lines, int visible, int thumbTop) {
  const ScrollBarLayout layout = LayoutScrollBar(bar, lines, visible, 0);
  const int room = layout.track.Height() - layout.thumb.Height();
  const int most = MaxFirstLine(lines, visible);
  if (room <= 0 || most == 0) return 0;
  const int offset = std::clamp(thumbTop - layout.track.top, 0, room);
  // Rounded to the nearest line, so that the thumb follows the mouse closely.
  return (offset * most + room / 2) / room;
}

CRect VScrollBarOf(const WindowRecord& rec) {
  if (!(rec.style & WS_VSCROLL)) return CRect();
  const CRect box = InsideBorder(rec);
  const int bar = GetSystemMetrics(SM_CXVSCROLL);
  return CRect(box.right - bar, box.top, box.right,
               box.bottom - ((rec.style & WS_HSCROLL) ? GetSystemMetrics(SM_CYHSCROLL) : 0));
}

CRect HScrollBarOf(const WindowRecord& rec) {
  if (!(rec.style & WS_HSCROLL) || !(rec.style & ES_MULTILINE)) return CRect();
  const CRect box = InsideBorder(rec);
  const int bar = GetSystemMetrics(SM_CYHSCROLL);
  return CRect(box.left, box.bottom - bar,
               box.right - ((rec.style & WS_VSCROLL) ? GetSystemMetrics(SM_CXVSCROLL) : 0),
               box.bottom);
}

int WidestLineInView(const WindowRecord& rec) {
  // Only the lines in view are measured, as only they are drawn: a long log
  // costs no more than a short one. A line cut by the bottom edge counts.
  const EditLayout layout = LayoutEdit(rec);
  TextOptions o;
  o.bold = IsBold(rec.font.get());
  const std::string& text = rec.text;
  const LineStart first = FindLineStart(text, rec.firstLine);
  size_t start = first.line == rec.firstLine ? first.offset : std::string::npos;
  int widest = 0;
  for (int line = 0; line <= layout.visibleLines && start != std::string::npos; ++line) {
    const size_t end = text.find('\n', start);
    int width = 0;
    for (size_t i = start; i < std::min(end, text.size()); ++i) {
      if (text[i] != '\r') width += TextWidth(std::string_view(&text[i], 1), o);
    }
    widest = std::max(widest, width);
    start = end == std::string::npos ? end : end + 1;
  }
  return widest;
}

int MaxFirstX(const WindowRecord& rec) {
  if (HScrollBarOf(rec).IsRectEmpty()) return 0;
  return std::max(0, WidestLineInView(rec) - LayoutEdit(rec).text.Width());
}

int FirstX(const WindowRecord& rec) {
  return std::clamp(rec.firstX, 0, MaxFirstX(rec));
}

ScrollBarLayout LayoutHScrollBar(const WindowRecord& rec) {
  const CRect bar = HScrollBarOf(rec);
  if (bar.IsRectEmpty()) return {};
  const int widest = WidestLineInView(rec);  // measured once: it walks the text
  const int width = LayoutEdit(rec).text.Width();
  const int first = std::clamp(rec.firstX, 0, std::max(0, widest - width));
  const ScrollBarLayout turned = LayoutScrollBar(Transposed(bar), widest, width, first);
  return ScrollBarLayout{Transposed(turned.up), Transposed(turned.down), Transposed(turned.track),
                         Transposed(turned.thumb)};
}

std::optional<WindowKind> ControlKindOf(std::string_view className) {
  std::string upper(className);
  for (char& c : upper)
    c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  if (upper == "EDIT") return WindowKind::Edit;
  if (upper == "BUTTON") return WindowKind::Button;
  if (upper == "STATIC") return WindowKind::Static;
  if (upper == "RICHEDIT" || upper == "RICHEDIT20A" || upper == "RICHEDIT20W" ||
      upper == "RICHEDIT50W")
    return WindowKind::RichEdit;
  return std::nullopt;
}

bool IsBold(const CFont* font) {
  LOGFONT lf;
  return font && font->GetLogFont(&lf) && lf.lfWeight >= 600;
}

int LineHeightOf(const CFont* font) {
  LOGFONT lf;
  if (!font || !font->GetLogFont(&lf)) return LineSpacing();
  return std::max(LineSpacing(), static_cast<int>(lf.lfHeight < 0 ? -lf.lfHeight : lf.lfHeight));
}

EditLayout LayoutEdit(const WindowRecord& rec) {
  CRect box = InsideBorder(rec);
  if (rec.style & WS_VSCROLL) box.right -= GetSystemMetrics(SM_CXVSCROLL);
  if (rec.style & WS_HSCROLL) box.bottom -= GetSystemMetrics(SM_CYHSCROLL);
  EditLayout layout;
  layout.text = CRect(box.left + 2, box.top + 1, box.right - 2, box.bottom - 1);
  layout.lineHeight = LineHeightOf(rec.font.get());
  layout.visibleLines = std::max(1, layout.text.Height() / layout.lineHeight);
  return layout;
}

void SetEditSelection(HWND hwnd, int start, int end, bool scroll) {
  WindowRecord* r = Rec(hwnd);
  if (!r || !IsEdit(*r)) return;
  const int length = static_cast<int>(r->text.size());
  if (end < 0 || end > length) end = length;
  if (start < 0) start = end;
  start = std::min(start, length);
  const bool sameSelection = r->selStart == start && r->selEnd == end;
  const int firstLine = r->firstLine;
  r->selStart = start;
  r->selEnd = end;
  if (scroll) ScrollToCaret(*r);
  // The same selection in the same view shows nothing new: a log kept at its
  // end is not painted again at every paint of its window.
  if (sameSelection && r->firstLine == firstLine) return;
  Platform::Current()->Invalidate(hwnd, nullptr, false);
}

void ReplaceEditSelection(HWND hwnd, std::string_view text) {
  WindowRecord* r = Rec(hwnd);
  if (!r || !IsEdit(*r)) return;
  const int from = std::min(r->selStart, r->selEnd);
  const int to = std::max(r->selStart, r->selEnd);
  r->text.replace(static_cast<size_t>(from), static_cast<size_t>(to - from), text);
  r->selStart = r->selEnd = from + static_cast<int>(text.size());
  ScrollToCaret(*r);
  Platform::Current()->Invalidate(hwnd, nullptr, false);
  Notify(hwnd, EN_CHANGE);
}

LRESULT ControlProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  Platform* p = Platform::Current();
  WindowRecord* r = p ? p->Find(hwnd) : nullptr;
  if (!r) return 0;
  if (r->kind == WindowKind::Button) {
    if (message == WM_LBUTTONDOWN) p->SetFocus(hwnd);
    const bool click = message == WM_LBUTTONUP || (message == WM_KEYDOWN && wParam == VK_SPACE);
    if (click && p->IsEnabled(hwnd)) Notify(hwnd, BN_CLICKED);
    return 0;
  }
  if (!IsEdit(*r)) return 0;
  const bool readOnly = (r->style & ES_READONLY) != 0;
  const int length = static_cast<int>(r->text.size());
  switch (message) {
    case WM_LBUTTONDOWN:
      p->SetFocus(hwnd);
      if (IsMultiLine(*r))
        PressScrollBar(hwnd, *r, CPoint(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)));
      return 0;
    case WM_MOUSEMOVE:
      if (r->hThumbGrab >= 0 && (wParam & MK_LBUTTON)) {
        const int left = GET_X_LPARAM(lParam) - r->hThumbGrab;
        ScrollXTo(hwnd, *r,
                  FirstLineAtThumb(Transposed(HScrollBarOf(*r)), WidestLineInView(*r),
                                   LayoutEdit(*r).text.Width(), left));
      }
      if (r->thumbGrab >= 0 && (wParam & MK_LBUTTON)) {
        const int top = GET_Y_LPARAM(lParam) - r->thumbGrab;
        ScrollTo(hwnd, *r,
                 FirstLineAtThumb(VScrollBarOf(*r), EditLineCount(*r), LayoutEdit(*r).visibleLines,
                                  top));
      }
      return 0;
    case WM_LBUTTONUP:
      r->thumbGrab = -1;
      r->hThumbGrab = -1;
      return 0;
    case WM_MOUSEWHEEL:
      if (IsMultiLine(*r)) {
        // Three lines a notch, as desktops commonly scroll text.
        const int notches = static_cast<short>(HIWORD(wParam)) / WHEEL_DELTA;
        ScrollTo(hwnd, *r, r->firstLine - 3 * notches);
      }
      return 0;
    case WM_MOUSEHWHEEL:
      if (IsMultiLine(*r)) {
        const int notches = static_cast<short>(HIWORD(wParam)) / WHEEL_DELTA;
        ScrollXTo(hwnd, *r, FirstX(*r) + 3 * SideStep(*r) * notches);
      }
      return 0;
    case WM_CHAR: {
      if (readOnly) return 0;
      const unsigned c = static_cast<unsigned>(wParam);
      if (c == '\b') {
        if (r->selStart == r->selEnd && r->selEnd > 0) r->selStart = r->selEnd - 1;
        ReplaceEditSelection(hwnd, "");
      } else if (c == '\r' && (r->style & ES_MULTILINE)) {
        ReplaceEditSelection(hwnd, "\r\n");
      } else if (c >= 0x20 && c != 0x7F && c <= 0xFF) {
        ReplaceEditSelection(hwnd, std::string(1, static_cast<char>(c)));
      }
      return 0;
    }
    case WM_KEYDOWN:
      if (wParam == VK_DELETE && !readOnly) {
        if (r->selStart == r->selEnd && r->selEnd < length) r->selEnd = r->selEnd + 1;
        ReplaceEditSelection(hwnd, "");
      } else if ((wParam == VK_LEFT || wParam == VK_RIGHT) && !(readOnly && IsMultiLine(*r))) {
        const int step = wParam == VK_LEFT ? -1 : 1;
        const int caret = std::clamp(r->selEnd + step, 0, length);
        SetEditSelection(hwnd, caret, caret, true);
      } else if (IsMultiLine(*r) && (readOnly || wParam == VK_PRIOR || wParam == VK_NEXT)) {
        // A read-only text (the log) has no caret to move: the keys move the view.
        const int page = LayoutEdit(*r).visibleLines;
        switch (wParam) {
          case VK_PRIOR:
            ScrollTo(hwnd, *r, r->firstLine - page);
            break;
          case VK_NEXT:
            ScrollTo(hwnd, *r, r->firstLine + page);
            break;
          case VK_UP:
            ScrollTo(hwnd, *r, r->firstLine - 1);
            break;
          case VK_DOWN:
            ScrollTo(hwnd, *r, r->firstLine + 1);
            break;
          case VK_LEFT:
            ScrollXTo(hwnd, *r, FirstX(*r) - SideStep(*r));
            break;
          case VK_RIGHT:
            ScrollXTo(hwnd, *r, FirstX(*r) + SideStep(*r));
            break;
          case VK_HOME:
            ScrollTo(hwnd, *r, 0);
            break;
          case VK_END:
            ScrollTo(hwnd, *r, EditLineCount(*r));
            break;
          default:
            break;
        }
      } else if (wParam == VK_HOME || wParam == VK_END) {
        const int caret = wParam == VK_HOME ? 0 : length;
        SetEditSelection(hwnd, caret, caret, true);
      }
      return 0;
    case EM_SETSEL:
      SetEditSelection(hwnd, static_cast<int>(static_cast<INT_PTR>(wParam)),
                       static_cast<int>(lParam), true);
      return 0;
    case EM_GETSEL: {
      const DWORD start = static_cast<DWORD>(std::min(r->selStart, r->selEnd));
      const DWORD end = static_cast<DWORD>(std::max(r->selStart, r->selEnd));
      if (wParam) *reinterpret_cast<DWORD*>(wParam) = start;
      if (lParam) *reinterpret_cast<DWORD*>(lParam) = end;
      return static_cast<LRESULT>(MAKEWPARAM(start, end));
    }
    case EM_REPLACESEL:
      ReplaceEditSelection(hwnd, lParam ? reinterpret_cast<const char*>(lParam) : "");
      return 0;
    default:
      return 0;
  }
}

}  // namespace tessaro

// ---- Control classes ----

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
  return r ? EditLineCount(*r) : 0;
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
