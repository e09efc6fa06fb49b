#include "framework/edit_layout.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "framework/font.h"
#include "framework/metrics.h"
#include "framework/surface.h"
#include "framework/win_const.h"

namespace tessaro {
namespace {

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

// An edit's client area less its one-pixel border (when it has one): where
// its scroll bars and text go.
CRect InsideBorder(const WindowRecord& rec) {
  CRect box(0, 0, rec.rect.Width(), rec.rect.Height());
  if ((rec.style & WS_BORDER) || (rec.exStyle & WS_EX_CLIENTEDGE)) {
    box = CRect(box.left + 1, box.top + 1, box.right - 1, box.bottom - 1);
  }
  return box;
}

// A rectangle with its axes exchanged: a horizontal bar is laid out as a
// vertical one turned on its side.
CRect Transposed(const CRect& r) {
  return CRect(r.top, r.left, r.bottom, r.right);
}

}  // namespace

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

const std::vector<size_t>& LineBreaksOf(const WindowRecord& rec) {
  if (rec.indexedBytes > rec.text.size()) {
    rec.lineBreaks.clear();
    rec.indexedBytes = 0;
  }
  const std::string& text = rec.text;
  for (size_t at = text.find('\n', rec.indexedBytes); at != std::string::npos;
       at = text.find('\n', at + 1))
    rec.lineBreaks.push_back(at);
  rec.indexedBytes = text.size();
  return rec.lineBreaks;
}

void DropLineIndex(WindowRecord& rec) {
  rec.lineBreaks.clear();
  rec.indexedBytes = 0;
}

LineStart FindLineStart(const WindowRecord& rec, int line) {
  const std::vector<size_t>& breaks = LineBreaksOf(rec);
  LineStart out;
  out.line = std::clamp(line, 0, static_cast<int>(breaks.size()));
  if (out.line > 0) out.offset = breaks[static_cast<size_t>(out.line - 1)] + 1;
  return out;
}

int CaretLine(const WindowRecord& rec, int pos) {
  const std::vector<size_t>& breaks = LineBreaksOf(rec);
  // The breaks before `pos`.
  return static_cast<int>(
      std::lower_bound(breaks.begin(), breaks.end(), static_cast<size_t>(std::max(pos, 0))) -
      breaks.begin());
}

int EditLineCount(const WindowRecord& rec) {
  return static_cast<int>(LineBreaksOf(rec).size()) + 1;
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
  const LineStart first = FindLineStart(rec, rec.firstLine);
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

int FirstXAtThumb(const WindowRecord& rec, int thumbLeft) {
  return FirstLineAtThumb(Transposed(HScrollBarOf(rec)), WidestLineInView(rec),
                          LayoutEdit(rec).text.Width(), thumbLeft);
}

}  // namespace tessaro
