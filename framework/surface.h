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
//
// A window shown at an integer scale has a second, finer picture: `fine` is
// `scale` times as wide and high as `target`, and every drawing goes into both
// (shapes and images enlarged pixel for pixel, text drawn at the larger size),
// so that the program keeps working in its own pixels while the screen shows
// the finer one.

struct Surface {
  // All of an image, origin at its top-left corner.
  static Surface Whole(Image& image);

  Image* target = nullptr;
  CPoint origin;
  Region clip;
  Image* fine = nullptr;  // null, or target enlarged `scale` times
  int scale = 1;
};

// ---- Shapes and images ----

void FillRect(Surface& s, const CRect& r, uint32_t argb);
void FrameRect(Surface& s, const CRect& r, uint32_t argb);  // one pixel inside r
void PutPixel(Surface& s, int x, int y, uint32_t argb);
// Copies `from` (a rectangle of src, clipped to src) to dst. With `masked`,
// pixels of alpha 0 leave the surface as it was.
void Blit(Surface& s, CPoint dst, const Image& src, const CRect& from, bool masked);

// ---- Text ----
// Drawn in the built-in bitmap font (the same pixels everywhere, for tests and
// scripts) unless a backend installs a renderer of a real font.

struct TextOptions {
  uint32_t color = kOpaque;  // black
  bool prefix = false;       // '&' underlines the next character; "&&" is one '&'
  bool bold = false;
};

class TextRenderer {
 public:
  virtual ~TextRenderer() = default;
  // Pixel metrics of plain text (no '&' prefixes) at `scale` times the base size.
  virtual int Width(std::string_view text, bool bold, int scale) const = 0;
  virtual int Height(int scale) const = 0;  // of a character cell
  virtual int Ascent(int scale) const = 0;  // from a cell's top to the baseline
  // Draws one line into `image` within `clip` (image coordinates), the cell's
  // top-left corner at (x, y).
  virtual void Draw(Image& image, const Region& clip, int x, int y, std::string_view text,
                    uint32_t color, bool bold, int scale) const = 0;
};

// Installs the renderer for all text from now on (null: the built-in font).
// The renderer must outlive its use.
void SetTextRenderer(const TextRenderer* renderer);

// The height of a character cell and the distance between lines.
int TextHeight();
int LineSpacing();
// The width in pixels of one line of text.
int TextWidth(std::string_view text, const TextOptions& options);
// Draws one line; (x, y) is the top-left corner of its first character cell.
void DrawTextLine(Surface& s, int x, int y, std::string_view text, const TextOptions& options);

}  // namespace tessaro
