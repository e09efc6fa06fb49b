#include "tools/pixel_font.h"

#include <array>
#include <cstddef>

namespace tessaro::tools {

namespace {

struct Glyph {
  char c;
  // Up to kGlyphRows rows of equal width, from the top; '#' is ink. Rows left
  // out at the bottom are blank.
  std::array<std::string_view, kGlyphRows> rows;
};

// clang-format off
constexpr std::array<Glyph, 25> kGlyphs = {{
    {'0', {".####.",
           "##..##",
           "##..##",
           "##..##",
           "##..##",
           "##..##",
           "##..##",
           "##..##",
           ".####."}},
    {'1', {".##",
           "###",
           ".##",
           ".##",
           ".##",
           ".##",
           ".##",
           ".##",
           ".##"}},
    {'2', {".####.",
           "##..##",
           "....##",
           "....##",
           "...##.",
           "..##..",
           ".##...",
           "##....",
           "######"}},
    {'3', {".####.",
           "##..##",
           "....##",
           "....##",
           "..###.",
           "....##",
           "....##",
           "##..##",
           ".####."}},
    {'4', {"##..##",
           "##..##",
           "##..##",
           "##..##",
           "######",
           "....##",
           "....##",
           "....##",
           "....##"}},
    {'5', {"######",
           "##....",
           "##....",
           "#####.",
           "....##",
           "....##",
           "....##",
           "##..##",
           ".####."}},
    {'6', {".####.",
           "##....",
           "##....",
           "#####.",
           "##..##",
           "##..##",
           "##..##",
           "##..##",
           ".####."}},
    {'7', {"######",
           "....##",
           "....##",
           "...##.",
           "...##.",
           "..##..",
           "..##..",
           "..##..",
           "..##.."}},
    {'8', {".####.",
           "##..##",
           "##..##",
           "##..##",
           ".####.",
           "##..##",
           "##..##",
           "##..##",
           ".####."}},
    {'9', {".####.",
           "##..##",
           "##..##",
           "##..##",
           ".#####",
           "....##",
           "....##",
           "....##",
           ".####."}},
    {'a', {"......",
           "......",
           "......",
           ".####.",
           "....##",
           ".#####",
           "##..##",
           ".#####"}},
    {'b', {"##....",
           "##....",
           "##....",
           "#####.",
           "##..##",
           "##..##",
           "##..##",
           "#####."}},
    {'c', {"......",
           "......",
           "......",
           ".#####",
           "##....",
           "##....",
           "##....",
           ".#####"}},
    {'d', {"....##",
           "....##",
           "....##",
           ".#####",
           "##..##",
           "##..##",
           "##..##",
           ".#####"}},
    {'e', {"......",
           "......",
           "......",
           ".####.",
           "##..##",
           "######",
           "##....",
           ".#####"}},
    {'f', {"..###",
           ".##..",
           ".##..",
           "####.",
           ".##..",
           ".##..",
           ".##..",
           ".##.."}},
    {'g', {"......",
           "......",
           "......",
           ".#####",
           "##..##",
           "##..##",
           "##..##",
           ".#####",
           "....##",
           ".####."}},
    {'h', {"##....",
           "##....",
           "##....",
           "#####.",
           "##..##",
           "##..##",
           "##..##",
           "##..##"}},
    {'i', {"..",
           "##",
           "..",
           "##",
           "##",
           "##",
           "##",
           "##"}},
    {'j', {"....",
           "..##",
           "....",
           "..##",
           "..##",
           "..##",
           "..##",
           "..##",
           "..##",
           "###."}},
    {'k', {"##....",
           "##....",
           "##....",
           "##..##",
           "##.##.",
           "####..",
           "##.##.",
           "##..##"}},
    {'l', {"##.",
           "##.",
           "##.",
           "##.",
           "##.",
           "##.",
           "##.",
           ".##"}},
    {'m', {"........",
           "........",
           "........",
           "#######.",
           "##.##.##",
           "##.##.##",
           "##.##.##",
           "##.##.##"}},
    {'n', {"......",
           "......",
           "......",
           "#####.",
           "##..##",
           "##..##",
           "##..##",
           "##..##"}},
    {'o', {"......",
           "......",
           "......",
           ".####.",
           "##..##",
           "##..##",
           "##..##",
           ".####."}},
}};
// clang-format on

// Every row of a glyph as wide as its first, and digits within their rows.
constexpr bool WellFormed(const Glyph& g) {
  const bool digit = g.c >= '0' && g.c <= '9';
  for (size_t row = 0; row < g.rows.size(); ++row) {
    const bool used = !g.rows[row].empty();
    if (used && g.rows[row].size() != g.rows[0].size()) return false;
    if (used && digit && row >= static_cast<size_t>(kDigitRows)) return false;
  }
  return !g.rows[0].empty();
}

constexpr bool AllWellFormed() {
  for (const Glyph& g : kGlyphs) {
    if (!WellFormed(g)) return false;
  }
  return true;
}
static_assert(AllWellFormed(), "a glyph has rows of different widths, or a digit too many rows");

const Glyph* Find(char c) {
  for (const Glyph& g : kGlyphs) {
    if (g.c == c) return &g;
  }
  return nullptr;
}

int Width(const Glyph& g) {
  return static_cast<int>(g.rows[0].size());
}

}  // namespace

int TextWidth(std::string_view text) {
  int width = 0;
  int glyphs = 0;
  for (char c : text) {
    if (const Glyph* g = Find(c)) {
      width += Width(*g);
      ++glyphs;
    }
  }
  return glyphs == 0 ? 0 : width + (glyphs - 1) * kGlyphGap;
}

int DrawText(Raster& image, int left, int top, std::string_view text, Colour colour) {
  int x = left;
  bool first = true;
  for (char c : text) {
    const Glyph* g = Find(c);
    if (g == nullptr) continue;
    if (!first) x += kGlyphGap;
    first = false;
    for (size_t row = 0; row < g->rows.size(); ++row) {
      const std::string_view line = g->rows[row];
      for (size_t col = 0; col < line.size(); ++col) {
        if (line[col] == '#')
          image.Set(x + static_cast<int>(col), top + static_cast<int>(row), colour);
      }
    }
    x += Width(*g);
  }
  return x;
}

}  // namespace tessaro::tools
