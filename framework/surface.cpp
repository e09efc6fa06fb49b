#include "framework/surface.h"

#include <algorithm>

#include "framework/bitmap_font.h"

namespace tessaro {

Surface Surface::Whole(Image& image) {
  Surface s;
  s.target = &image;
  s.clip.Add(CRect(0, 0, image.width, image.height));
  return s;
}

void FillRect(Surface& s, const CRect& r, uint32_t argb) {
  if (!s.target) return;
  CRect area = r;
  area.OffsetRect(s.origin.x, s.origin.y);
  for (const CRect& c : s.clip.Rects()) {
    const CRect part = Intersect(area, c);
    for (int y = part.top; y < part.bottom; ++y) {
      std::fill_n(
          s.target->pixels.begin() + static_cast<ptrdiff_t>(y) * s.target->width + part.left,
          part.Width(), argb);
    }
  }
}

void FrameRect(Surface& s, const CRect& r, uint32_t argb) {
  if (r.IsRectEmpty()) return;
  FillRect(s, CRect(r.left, r.top, r.right, r.top + 1), argb);
  FillRect(s, CRect(r.left, r.bottom - 1, r.right, r.bottom), argb);
  FillRect(s, CRect(r.left, r.top, r.left + 1, r.bottom), argb);
  FillRect(s, CRect(r.right - 1, r.top, r.right, r.bottom), argb);
}

void PutPixel(Surface& s, int x, int y, uint32_t argb) {
  if (!s.target) return;
  x += s.origin.x;
  y += s.origin.y;
  if (s.clip.Contains(x, y)) s.target->Set(x, y, argb);
}

void Blit(Surface& s, CPoint dst, const Image& src, const CRect& from, bool masked) {
  if (!s.target) return;
  const CRect source = Intersect(from, CRect(0, 0, src.width, src.height));
  if (source.IsRectEmpty()) return;
  // Where the source rectangle lands, in image coordinates; a source rectangle
  // clipped on its top or left moves its destination with it.
  const int dx = dst.x + s.origin.x - from.left;
  const int dy = dst.y + s.origin.y - from.top;
  CRect area = source;
  area.OffsetRect(dx, dy);
  for (const CRect& c : s.clip.Rects()) {
    const CRect part = Intersect(area, c);
    for (int y = part.top; y < part.bottom; ++y) {
      for (int x = part.left; x < part.right; ++x) {
        const uint32_t p = src.At(x - dx, y - dy);
        if (masked && (p >> 24) == 0) continue;
        s.target->Set(x, y, p | kOpaque);
      }
    }
  }
}

namespace {

// Calls draw(character, underlined) for each character shown, in order.
template <class F>
void ForEachShown(std::string_view text, bool prefix, F&& draw) {
  for (size_t i = 0; i < text.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (prefix && c == '&') {
      if (i + 1 >= text.size()) break;
      ++i;
      const unsigned char next = static_cast<unsigned char>(text[i]);
      draw(next, next != '&');
      continue;
    }
    draw(c, false);
  }
}

}  // namespace

int TextWidth(std::string_view text, const TextOptions& options) {
  int n = 0;
  ForEachShown(text, options.prefix, [&](unsigned char, bool) { ++n; });
  return n * kGlyphAdvance + (options.bold && n ? 1 : 0);
}

void DrawTextLine(Surface& s, int x, int y, std::string_view text, const TextOptions& options) {
  int pen = x;
  ForEachShown(text, options.prefix, [&](unsigned char c, bool underline) {
    const GlyphRows& g = GlyphOf(c);
    for (int row = 0; row < kGlyphRows; ++row) {
      for (int col = 0; col < kGlyphWidth; ++col) {
        if (!((g[row] >> (kGlyphWidth - 1 - col)) & 1)) continue;
        PutPixel(s, pen + col, y + row, options.color);
        if (options.bold) PutPixel(s, pen + col + 1, y + row, options.color);
      }
    }
    if (underline) FillRect(s, CRect(pen, y + 8, pen + kGlyphWidth, y + 9), options.color);
    pen += kGlyphAdvance;
  });
}

}  // namespace tessaro
