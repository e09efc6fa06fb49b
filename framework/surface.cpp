#include "framework/surface.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "framework/bitmap_font.h"

namespace tessaro {

Surface Surface::Whole(Image& image) {
  Surface s;
  s.target = &image;
  s.clip.Add(CRect(0, 0, image.width, image.height));
  return s;
}

namespace {

const TextRenderer* g_renderer = nullptr;

// The fine picture's pixels of image rectangle r.
CRect Enlarged(const CRect& r, int scale) {
  return CRect(r.left * scale, r.top * scale, r.right * scale, r.bottom * scale);
}

Region FineClip(const Surface& s) {
  Region out;
  for (const CRect& c : s.clip.Rects())
    out.Add(Enlarged(c, s.scale));
  return out;
}

// Fills the first row pixel by pixel and copies it to the others: a copy is
// many times faster than the loop, and a log pane is filled on every line.
void FillArea(Image& image, const CRect& part, uint32_t argb) {
  if (part.IsRectEmpty()) return;
  const auto at = [&](int y) {
    return image.pixels.data() + static_cast<ptrdiff_t>(y) * image.width + part.left;
  };
  const size_t width = static_cast<size_t>(part.Width());
  uint32_t* const first = at(part.top);
  std::fill_n(first, width, argb);
  for (int y = part.top + 1; y < part.bottom; ++y)
    std::memcpy(at(y), first, width * sizeof(uint32_t));
}

}  // namespace

void SetTextRenderer(const TextRenderer* renderer) {
  g_renderer = renderer;
}

void FillRect(Surface& s, const CRect& r, uint32_t argb) {
  if (!s.target) return;
  CRect area = r;
  area.OffsetRect(s.origin.x, s.origin.y);
  for (const CRect& c : s.clip.Rects()) {
    const CRect part = Intersect(area, c);
    if (part.IsRectEmpty()) continue;
    FillArea(*s.target, part, argb);
    if (s.fine) FillArea(*s.fine, Enlarged(part, s.scale), argb);
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
  if (!s.clip.Contains(x, y)) return;
  s.target->Set(x, y, argb);
  if (s.fine) FillArea(*s.fine, Enlarged(CRect(x, y, x + 1, y + 1), s.scale), argb);
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
  const int k = s.scale;
  for (const CRect& c : s.clip.Rects()) {
    const CRect part = Intersect(area, c);
    for (int y = part.top; y < part.bottom; ++y) {
      for (int x = part.left; x < part.right; ++x) {
        const uint32_t p = src.At(x - dx, y - dy);
        if (masked && (p >> 24) == 0) continue;
        s.target->Set(x, y, p | kOpaque);
        // Nearest neighbour: each source pixel becomes a k x k block, so the
        // board's lines and the stones' edges stay crisp.
        if (s.fine) FillArea(*s.fine, CRect(x * k, y * k, x * k + k, y * k + k), p | kOpaque);
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

// The characters shown and the index of the underlined one (or npos).
std::string Shown(std::string_view text, bool prefix, size_t& underline) {
  std::string out;
  underline = std::string::npos;
  ForEachShown(text, prefix, [&](unsigned char c, bool under) {
    if (under && underline == std::string::npos) underline = out.size();
    out += static_cast<char>(c);
  });
  return out;
}

void DrawBuiltIn(Surface& s, int x, int y, std::string_view text, const TextOptions& options) {
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

}  // namespace

int TextHeight() {
  return g_renderer ? g_renderer->Height(1) : kGlyphRows;
}

int LineSpacing() {
  return g_renderer ? g_renderer->Height(1) + 1 : kLineHeight;
}

int TextWidth(std::string_view text, const TextOptions& options) {
  if (g_renderer) {
    size_t underline = 0;
    return g_renderer->Width(Shown(text, options.prefix, underline), options.bold, 1);
  }
  int n = 0;
  ForEachShown(text, options.prefix, [&](unsigned char, bool) { ++n; });
  return n * kGlyphAdvance + (options.bold && n ? 1 : 0);
}

void DrawTextLine(Surface& s, int x, int y, std::string_view text, const TextOptions& options) {
  if (!s.target) return;
  if (!g_renderer) {
    DrawBuiltIn(s, x, y, text, options);
    return;
  }
  size_t underline = 0;
  const std::string shown = Shown(text, options.prefix, underline);
  const int ix = x + s.origin.x;
  const int iy = y + s.origin.y;
  g_renderer->Draw(*s.target, s.clip, ix, iy, shown, options.color, options.bold, 1);
  if (s.fine) {
    g_renderer->Draw(*s.fine, FineClip(s), ix * s.scale, iy * s.scale, shown, options.color,
                     options.bold, s.scale);
  }
  if (underline != std::string::npos) {
    const std::string before = shown.substr(0, underline);
    const int left = x + g_renderer->Width(before, options.bold, 1);
    const int right = x + g_renderer->Width(shown.substr(0, underline + 1), options.bold, 1);
    const int base = y + g_renderer->Ascent(1) + 1;
    FillRect(s, CRect(left, base, right, base + 1), options.color);
  }
}

}  // namespace tessaro
