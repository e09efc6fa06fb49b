// Drawing primitives on an image seen through a clip: what every device
// context, control and screenshot draws with.
#pragma once

#include <cstdint>
#include <string_view>

#include "framework/image.h"
#include "framework/region.h"

namespace tessaro {

// ---- Surface ----
// The pixels of `target`, seen through `clip` (image coordinates, always inside
// the image). Drawing coordinates are relative to `origin` in the image.

struct Surface {
  // All of an image, origin at its top-left corner.
  static Surface Whole(Image& image);

  Image* target = nullptr;
  CPoint origin;
  Region clip;
};

// ---- Shapes and images ----

void FillRect(Surface& s, const CRect& r, uint32_t argb);
void FrameRect(Surface& s, const CRect& r, uint32_t argb);  // one pixel inside r
void PutPixel(Surface& s, int x, int y, uint32_t argb);
// Copies `from` (a rectangle of src, clipped to src) to dst. With `masked`,
// pixels of alpha 0 leave the surface as it was.
void Blit(Surface& s, CPoint dst, const Image& src, const CRect& from, bool masked);

// ---- Text in the built-in font ----

struct TextOptions {
  uint32_t color = kOpaque;  // black
  bool prefix = false;       // '&' underlines the next character; "&&" is one '&'
  bool bold = false;
};

// The width in pixels of one line of text.
int TextWidth(std::string_view text, const TextOptions& options);
// Draws one line; (x, y) is the top-left corner of its first character cell.
void DrawTextLine(Surface& s, int x, int y, std::string_view text, const TextOptions& options);

}  // namespace tessaro
