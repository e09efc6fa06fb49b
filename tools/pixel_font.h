// A tiny pixel font for the board's coordinates: the digits 0 to 9, 3 pixels
// wide (1 only 2) and 5 high, and the lower-case letters a to o, 6 rows high
// with their body in 4 of them. Small enough to keep clear of the stones that
// stand on the outermost lines.
#pragma once

#include <string_view>

#include "tools/raster.h"

namespace tessaro::tools {

// Rows of a glyph cell. Digits use rows 0 to 4. Letters: row 0 holds
// ascenders and the dots of i and j, rows 1 to 4 the body, row 5 the tails of
// g and j.
inline constexpr int kGlyphRows = 6;
inline constexpr int kGlyphGap = 1;  // blank columns between two glyphs

// Width in pixels of `text` set with one gap between glyphs. Characters the
// font lacks count as zero width.
int TextWidth(std::string_view text);

// Draws `text` with the top of its cells at `top` and its first column at
// `left`; returns the x just right of the last glyph. Characters the font
// lacks are skipped.
int DrawText(Raster& image, int left, int top, std::string_view text, Colour colour);

}  // namespace tessaro::tools
