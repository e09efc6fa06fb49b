// How the standard controls look: a plain flat style in the built-in font, so
// that screenshots show every control and its text.
#include <algorithm>
#include <string>
#include <vector>

#include "framework/gdi.h"
#include "framework/platform.h"
#include "framework/surface.h"

namespace tessaro {
namespace {

constexpr uint32_t kFace = Argb(192, 192, 192);
constexpr uint32_t kShadow = Argb(128, 128, 128);
constexpr uint32_t kBlack = Argb(0, 0, 0);
constexpr uint32_t kWhite = Argb(255, 255, 255);
constexpr uint32_t kHighlight = Argb(0, 0, 128);

// Splits text into lines: at line feeds, and at blanks where a line would be
// wider than `width` (when width > 0). Carriage returns are dropped.
std::vector<std::string> Lines(const std::string& text, int width, const TextOptions& o) {
  std::vector<std::string> out(1);
  for (char c : text) {
    if (c == '\r') continue;
    if (c == '\n') {
      out.emplace_back();
      continue;
    }
    out.back() += c;
    if (width > 0 && TextWidth(out.back(), o) > width) {
      const size_t blank = out.back().find_last_of(' ');
      if (blank != std::string::npos && blank > 0) {
        std::string rest = out.back().substr(blank + 1);
        out.back().resize(blank);
        out.push_back(std::move(rest));
      }
    }
  }
  return out;
}

void DrawStatic(const WindowRecord& r, Surface& s, bool enabled, const Platform& p) {
  const CRect box(0, 0, r.rect.Width(), r.rect.Height());
  FillRect(s, box, kFace);
  const DWORD type = r.style & SS_TYPEMASK;
  if (type == SS_ICON) {
    const IconImages* images = p.IconImagesOf(r.staticIcon);
    if (const Image* img = images ? images->Pick(GetSystemMetrics(SM_CXICON)) : nullptr)
      Blit(s, CPoint(0, 0), *img, CRect(0, 0, img->width, img->height), true);
    return;
  }
  TextOptions o;
  o.color = enabled ? kBlack : kShadow;
  o.prefix = !(r.style & SS_NOPREFIX);
  o.bold = IsBold(r.font.get());
  const int lineHeight = LineHeightOf(r.font.get());
  const bool wrap = type == SS_LEFT || type == SS_CENTER || type == SS_RIGHT;
  const std::vector<std::string> lines = Lines(r.text, wrap ? box.Width() : 0, o);
  int y = 0;
  if ((r.style & SS_CENTERIMAGE) && lines.size() == 1) y = (box.Height() - TextHeight()) / 2;
  for (const std::string& line : lines) {
    const int w = TextWidth(line, o);
    int x = 0;
    if (type == SS_CENTER) x = (box.Width() - w) / 2;
    if (type == SS_RIGHT || (r.exStyle & WS_EX_RIGHT)) x = box.Width() - w;
    DrawTextLine(s, x, y, line, o);
    y += lineHeight;
  }
}

void DrawButton(const WindowRecord& r, Surface& s, bool enabled, bool focused) {
  CRect box(0, 0, r.rect.Width(), r.rect.Height());
  FillRect(s, box, kFace);
  if (r.exStyle & WS_EX_STATICEDGE) {
    FrameRect(s, box, kShadow);
    box = CRect(box.left + 1, box.top + 1, box.right - 1, box.bottom - 1);
  }
  FrameRect(s, box, kBlack);
  if ((r.style & BS_TYPEMASK) == BS_DEFPUSHBUTTON) {
    FrameRect(s, CRect(box.left + 1, box.top + 1, box.right - 1, box.bottom - 1), kBlack);
  }
  TextOptions o;
  o.color = enabled ? kBlack : kShadow;
  o.prefix = true;
  o.bold = IsBold(r.font.get());
  const int w = TextWidth(r.text, o);
  DrawTextLine(s, box.left + (box.Width() - w) / 2, box.top + (box.Height() - TextHeight()) / 2,
               r.text, o);
  if (focused) {
    const CRect f(box.left + 3, box.top + 3, box.right - 3, box.bottom - 3);
    for (int x = f.left; x < f.right; x += 2) {
      PutPixel(s, x, f.top, kBlack);
      PutPixel(s, x, f.bottom - 1, kBlack);
    }
    for (int y = f.top; y < f.bottom; y += 2) {
      PutPixel(s, f.left, y, kBlack);
      PutPixel(s, f.right - 1, y, kBlack);
    }
  }
}

// A raised button face: light top-left edge, dark bottom-right edge.
void DrawRaised(Surface& s, const CRect& r) {
  if (r.IsRectEmpty()) return;
  FillRect(s, r, kFace);
  FrameRect(s, r, kShadow);
  FillRect(s, CRect(r.left + 1, r.top + 1, r.right - 1, r.top + 2), kWhite);
  FillRect(s, CRect(r.left + 1, r.top + 1, r.left + 2, r.bottom - 1), kWhite);
}

// A small filled triangle centred in `r`, pointing up, down, left or right.
enum class Arrow { Up, Down, Left, Right };
void DrawArrow(Surface& s, const CRect& r, Arrow dir) {
  const int size = std::max(2, std::min(r.Width(), r.Height()) / 4);
  const int cx = r.left + r.Width() / 2;
  const int cy = r.top + r.Height() / 2;
  for (int k = 0; k < size; ++k) {
    const int half = dir == Arrow::Up || dir == Arrow::Left ? k : size - 1 - k;
    if (dir == Arrow::Up || dir == Arrow::Down) {
      const int y = cy - size / 2 + k;
      FillRect(s, CRect(cx - half, y, cx + half + 1, y + 1), kBlack);
    } else {
      const int x = cx - size / 2 + k;
      FillRect(s, CRect(x, cy - half, x + 1, cy + half + 1), kBlack);
    }
  }
}

// One bar: the track, the two arrow buttons and the thumb.
void DrawScrollBar(Surface& s, const ScrollBarLayout& layout, Arrow toStart, Arrow toEnd) {
  FillRect(s, layout.track, Argb(224, 224, 224));
  DrawRaised(s, layout.up);
  DrawArrow(s, layout.up, toStart);
  DrawRaised(s, layout.down);
  DrawArrow(s, layout.down, toEnd);
  DrawRaised(s, layout.thumb);
}

void DrawScrollBars(const WindowRecord& r, Surface& s, const CRect& inner) {
  const int bar = GetSystemMetrics(SM_CXVSCROLL);
  if (r.style & WS_VSCROLL) {
    const CRect v = VScrollBarOf(r);
    const ScrollBarLayout layout =
        LayoutScrollBar(v, EditLineCount(r), LayoutEdit(r).visibleLines, r.firstLine);
    DrawScrollBar(s, layout, Arrow::Up, Arrow::Down);
  }
  if (!HScrollBarOf(r).IsRectEmpty()) {
    DrawScrollBar(s, LayoutHScrollBar(r), Arrow::Left, Arrow::Right);
  }
  if ((r.style & WS_VSCROLL) && (r.style & WS_HSCROLL))
    FillRect(s, CRect(inner.right - bar, inner.bottom - bar, inner.right, inner.bottom), kFace);
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
  int i = 0;
  if (multi && layout.lineHeight > 0) {
    // Whole lines above the view draw nothing and move no pen: a long log
    // costs no more to paint than a short one. The caret on such a line sits
    // at the left edge, as the walk below would put it. A line is skipped when
    // even its glyphs' bottom lies above the view.
    const int skipped = r.firstLine - (glyphH / layout.lineHeight + 1) + 1;
    if (skipped > 0) {
      const LineStart start = FindLineStart(r.text, skipped);
      i = static_cast<int>(start.offset);
      line = start.line;
      if (r.selEnd < i) {
        caret = CPoint(layout.text.left - firstX,
                       top + (CaretLine(r.text, r.selEnd) - r.firstLine) * layout.lineHeight);
      }
    }
  }
  for (; i <= static_cast<int>(r.text.size()); ++i) {
    const int x = layout.text.left + pen - firstX;
    const int y = top + (line - r.firstLine) * layout.lineHeight;
    if (i == r.selEnd) caret = CPoint(x, y);
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
      if (y >= layout.text.bottom && i >= r.selEnd) break;
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

}  // namespace

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
      DrawStatic(*rec, dc.Surface(), enabled, *p);
      break;
    case WindowKind::Button:
      DrawButton(*rec, dc.Surface(), enabled, focused);
      break;
    case WindowKind::Edit:
    case WindowKind::RichEdit:
      DrawEdit(*rec, dc.Surface(), enabled, focused);
      break;
    default:
      break;
  }
}

}  // namespace tessaro
