#include "framework/edit.h"

#include <algorithm>
#include <string>

#include "framework/edit_layout.h"
#include "framework/font.h"
#include "framework/image.h"
#include "framework/metrics.h"
#include "framework/platform.h"
#include "framework/scroll_bar.h"

namespace tessaro {
namespace {

constexpr uint32_t kFace = Argb(192, 192, 192);
constexpr uint32_t kShadow = Argb(128, 128, 128);
constexpr uint32_t kBlack = Argb(0, 0, 0);
constexpr uint32_t kWhite = Argb(255, 255, 255);
constexpr uint32_t kHighlight = Argb(0, 0, 128);

WindowRecord* Rec(HWND h) {
  Platform* p = Platform::Current();
  return p ? p->Find(h) : nullptr;
}

void ScrollToCaret(WindowRecord& r) {
  if (!(r.style & ES_MULTILINE)) return;
  // A view the user scrolled back stays put: the log can be read back while
  // lines arrive.
  if (r.scrolledBack) return;
  const EditLayout layout = LayoutEdit(r);
  const int line = CaretLine(r, r.selEnd);
  if (line < r.firstLine) r.firstLine = line;
  if (line >= r.firstLine + layout.visibleLines) r.firstLine = line - layout.visibleLines + 1;
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

void DrawScrollBars(const WindowRecord& r, Surface& s, const CRect& inner) {
  const int bar = GetSystemMetrics(SM_CXVSCROLL);
  if (r.style & WS_VSCROLL) {
    const CRect v = VScrollBarOf(r);
    const ScrollBarLayout layout =
        LayoutScrollBar(v, EditLineCount(r), LayoutEdit(r).visibleLines, r.firstLine);
    DrawScrollBar(s, layout, false);
  }
  if (!HScrollBarOf(r).IsRectEmpty()) {
    DrawScrollBar(s, LayoutHScrollBar(r), true);
  }
  if ((r.style & WS_VSCROLL) && (r.style & WS_HSCROLL))
    FillRect(s, CRect(inner.right - bar, inner.bottom - bar, inner.right, inner.bottom), kFace);
}

}  // namespace

bool IsEdit(const WindowRecord& r) {
  return r.kind == WindowKind::Edit || r.kind == WindowKind::RichEdit;
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
  // Text added at the end (a log's new line) keeps the index of the lines
  // before it; any other change makes it anew.
  if (static_cast<size_t>(from) < r->text.size()) DropLineIndex(*r);
  r->text.replace(static_cast<size_t>(from), static_cast<size_t>(to - from), text);
  r->selStart = r->selEnd = from + static_cast<int>(text.size());
  ScrollToCaret(*r);
  Platform* p = Platform::Current();
  p->Invalidate(hwnd, nullptr, false);
  p->NotifyParent(hwnd, EN_CHANGE);
}

LRESULT EditProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  Platform* p = Platform::Current();
  WindowRecord* r = p ? p->Find(hwnd) : nullptr;
  if (!r || !IsEdit(*r)) return 0;
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
        ScrollXTo(hwnd, *r, FirstXAtThumb(*r, left));
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

void DrawEdit(const WindowRecord& r, Surface& s, bool enabled, bool focused) {
  CRect box(0, 0, r.rect.Width(), r.rect.Height());
  const bool readOnly = (r.style & ES_READONLY) != 0;
  const bool plainReadOnly = readOnly && r.kind == WindowKind::Edit;
  FillRect(s, box, plainReadOnly || !enabled ? kFace : kWhite);
  if ((r.style & WS_BORDER) || (r.exStyle & WS_EX_CLIENTEDGE)) {
    FrameRect(s, box, kShadow);
    box = CRect(box.left + 1, box.top + 1, box.right - 1, box.bottom - 1);
  }
  DrawScrollBars(r, s, box);
  const EditLayout layout = LayoutEdit(r);
  Surface inner = s;
  CRect clipArea = layout.text;
  clipArea.OffsetRect(s.origin.x, s.origin.y);
  inner.clip.IntersectWith(clipArea);

  TextOptions o;
  o.color = enabled ? kBlack : kShadow;
  o.bold = IsBold(r.font.get());
  const int from = std::min(r.selStart, r.selEnd);
  const int to = std::max(r.selStart, r.selEnd);
  const bool showSelection = focused || (r.style & ES_NOHIDESEL);
  const bool multi = (r.style & ES_MULTILINE) != 0;

  // Where each character goes: its line, then its pixel column from the
  // widths of the characters before it on the line.
  const int glyphH = TextHeight();
  // A password shows a star for each character.
  auto shownOf = [&](char c) { return (r.style & ES_PASSWORD) ? '*' : c; };
  auto charWidth = [&](char c) {
    const char shown = shownOf(c);
    return TextWidth(std::string_view(&shown, 1), o);
  };
  // A multi-line text with a horizontal bar shows its lines from firstX on.
  int firstX = FirstX(r);  // 0 for a single line: it has no horizontal bar
  if (!multi) {
    // A single line scrolls sideways to keep the caret in view.
    int lineStart = 0;
    int caretX = 0;
    for (int i = 0; i < r.selEnd && i < static_cast<int>(r.text.size()); ++i)
      caretX += charWidth(r.text[static_cast<size_t>(i)]);
    while (caretX - firstX > layout.text.Width() - 1 && lineStart < r.selEnd) {
      firstX += charWidth(r.text[static_cast<size_t>(lineStart)]);
      ++lineStart;
    }
  }
  const int top = multi ? layout.text.top : layout.text.top + (layout.text.Height() - glyphH) / 2;
  int line = 0;
  int pen = 0;
  CPoint caret(layout.text.left, top);
  bool caretFound = false;
  int i = 0;
  if (multi && layout.lineHeight > 0) {
    // Whole lines above the view draw nothing and move no pen: a long log
    // costs no more to paint than a short one. A line is skipped when even its
    // glyphs' bottom lies above the view.
    const int skipped = r.firstLine - (glyphH / layout.lineHeight + 1) + 1;
    if (skipped > 0) {
      const LineStart start = FindLineStart(r, skipped);
      i = static_cast<int>(start.offset);
      line = start.line;
    }
    // The caret is placed from the index of lines, wherever it is: the walk
    // below ends with the view.
    const int caretLine = CaretLine(r, r.selEnd);
    const size_t lineStart = FindLineStart(r, caretLine).offset;
    int caretPen = 0;
    for (size_t k = lineStart; k < static_cast<size_t>(r.selEnd) && k < r.text.size(); ++k) {
      if (r.text[k] != '\r') caretPen += charWidth(r.text[k]);
    }
    caret = CPoint(layout.text.left + caretPen - firstX,
                   top + (caretLine - r.firstLine) * layout.lineHeight);
    caretFound = true;
  }
  for (; i <= static_cast<int>(r.text.size()); ++i) {
    const int x = layout.text.left + pen - firstX;
    const int y = top + (line - r.firstLine) * layout.lineHeight;
    if (i == r.selEnd && !caretFound) caret = CPoint(x, y);
    if (i == static_cast<int>(r.text.size())) break;
    const char c = r.text[static_cast<size_t>(i)];
    if (c == '\r') continue;
    if (c == '\n' && multi) {
      ++line;
      pen = 0;
      continue;
    }
    // Only the lines in view are drawn. Past the last of them only the caret
    // is still sought.
    if (y < layout.text.top - glyphH || y >= layout.text.bottom) {
      if (y >= layout.text.bottom && (caretFound || i >= r.selEnd)) break;
      continue;
    }
    const int w = charWidth(c);
    const bool selected = showSelection && i >= from && i < to;
    if (selected) FillRect(inner, CRect(x, y - 1, x + w, y + glyphH), kHighlight);
    TextOptions co = o;
    if (selected) co.color = kWhite;
    const char shown = shownOf(c);
    DrawTextLine(inner, x, y, std::string_view(&shown, 1), co);
    pen += w;
  }
  if (focused && from == to) {
    FillRect(inner, CRect(caret.x - 1, caret.y - 1, caret.x, caret.y + glyphH), kBlack);
  }
}

}  // namespace tessaro
