// The built-in bitmap font that control texts and CDC::TextOut are drawn with,
// so that texts are readable in screenshots whatever font a window asked for.
// Every printable ASCII character has a glyph of 5 x 9 pixels (7 rows above
// the baseline, 2 below); any other byte is drawn as a small box.
#pragma once

#include <array>
#include <cstdint>

namespace tessaro {

constexpr int kGlyphWidth = 5;
constexpr int kGlyphRows = 9;
constexpr int kGlyphAdvance = 6;  // glyph plus one blank column
constexpr int kLineHeight = 11;   // glyph rows plus two blank rows

// Row bits of a glyph, top row first; bit 4 is the leftmost column.
using GlyphRows = std::array<uint8_t, kGlyphRows>;
const GlyphRows& GlyphOf(unsigned char c);

}  // namespace tessaro
