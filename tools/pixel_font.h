// The pixel font of the board's coordinates: the digits 0 to 9, 9 pixels high,
// and the lower-case letters a to o, with a 5-pixel body, ascenders 8 pixels
// high and 2-pixel tails. Upright strokes are 2 pixels thick and crossbars 1,
// so the labels read at the screen's own size in black on the board's grey
// and stand beside the one-pixel grid without looking heavier than a stone.
#pragma once

#include <string_view>

#include "tools/raster.h"

namespace tessaro::tools {

// Rows of a glyph cell. Digits use rows 0 to 8. Letters: rows 0 to 2 hold
// ascenders and the dots of i and j, rows 3 to 7 the body (row 7 is the
// baseline), rows 8 and 9 the tails of g and j.
inline constexpr int kGlyphRows = 10;
inline constexpr int kDigitRows = 9;
inline constexpr int kGlyphGap = 1;  // blank columns between two glyphs

// Width in pixels of `text` set with one gap between glyphs. Characters the
// font lacks count as zero width.
int TextWidth(std::string_view text);

// Draws `text` with the top of its cells at `top` and its first column at
// `left`; returns the x just right of the last glyph. Characters the font
// lacks are skipped.
int DrawText(Raster& image, int left, int top, std::string_view text, Colour colour);

}  // namespace tessaro::tools
