#include "framework/desktop/font_renderer.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cmath>
#include <map>
#include <tuple>
#include <vector>

namespace tessaro {
namespace {

// The file of the best installed match for a fontconfig pattern, or "".
std::string FontFile(const char* pattern, std::string* family) {
  FcPattern* want = FcNameParse(reinterpret_cast<const FcChar8*>(pattern));
  if (!want) return {};
  FcConfigSubstitute(nullptr, want, FcMatchPattern);
  FcDefaultSubstitute(want);
  FcResult result = FcResultNoMatch;
  FcPattern* match = FcFontMatch(nullptr, want, &result);
  std::string path;
  if (match) {
    FcChar8* file = nullptr;
    if (FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch && file) {
      path = reinterpret_cast<const char*>(file);
    }
    FcChar8* name = nullptr;
    if (family && FcPatternGetString(match, FC_FAMILY, 0, &name) == FcResultMatch && name) {
      *family = reinterpret_cast<const char*>(name);
    }
    FcPatternDestroy(match);
  }
  FcPatternDestroy(want);
  return path;
}

struct Glyph {
  int left = 0;  // from the pen to the bitmap's left edge
  int top = 0;   // from the baseline up to the bitmap's top edge
  int width = 0;
  int rows = 0;
  std::vector<unsigned char> alpha;
};

uint32_t Blend(uint32_t under, uint32_t color, unsigned a) {
  auto mix = [&](int shift) {
    const unsigned u = (under >> shift) & 0xFF;
    const unsigned c = (color >> shift) & 0xFF;
    return ((c * a + u * (255 - a) + 127) / 255) << shift;
  };
  return kOpaque | mix(16) | mix(8) | mix(0);
}

}  // namespace

struct FontRenderer::Impl {
  FT_Library library = nullptr;
  FT_Face faces[2] = {nullptr, nullptr};  // regular, bold (may be the regular one)
  int pixels = kUiFontPixels;
  std::string family;
  mutable int sized[2] = {0, 0};  // the pixel size each face is set to
  // Advances in 1/65536 pixel, unhinted, so that widths grow in step with the scale.
  mutable std::map<std::tuple<int, int, unsigned char>, long> advances;
  mutable std::map<std::tuple<int, int, unsigned char>, Glyph> glyphs;

  ~Impl() {
    for (int i = 0; i < 2; ++i) {
      if (faces[i] && (i == 0 || faces[1] != faces[0])) FT_Done_Face(faces[i]);
    }
    if (library) FT_Done_FreeType(library);
  }

  FT_Face Sized(bool bold, int scale) const {
    const int index = bold && faces[1] != faces[0] ? 1 : 0;
    const int size = pixels * std::max(1, scale);
    if (sized[index] != size) {
      FT_Set_Pixel_Sizes(faces[index], 0, static_cast<FT_UInt>(size));
      sized[index] = size;
    }
    return faces[index];
  }

  long Advance(unsigned char c, bool bold, int scale) const {
    const auto key = std::make_tuple(bold ? 1 : 0, scale, c);
    const auto it = advances.find(key);
    if (it != advances.end()) return it->second;
    FT_Face face = Sized(bold, scale);
    long advance = 0;
    if (FT_Load_Char(face, c, FT_LOAD_DEFAULT | FT_LOAD_TARGET_LIGHT) == 0) {
      advance = face->glyph->linearHoriAdvance;
    }
    advances.emplace(key, advance);
    return advance;
  }

  const Glyph& GlyphOf(unsigned char c, bool bold, int scale) const {
    const auto key = std::make_tuple(bold ? 1 : 0, scale, c);
    const auto it = glyphs.find(key);
    if (it != glyphs.end()) return it->second;
    FT_Face face = Sized(bold, scale);
    Glyph g;
    if (FT_Load_Char(face, c, FT_LOAD_RENDER | FT_LOAD_TARGET_LIGHT) == 0) {
      const FT_Bitmap& bm = face->glyph->bitmap;
      if (bm.pixel_mode == FT_PIXEL_MODE_GRAY) {
        g.left = face->glyph->bitmap_left;
        g.top = face->glyph->bitmap_top;
        g.width = static_cast<int>(bm.width);
        g.rows = static_cast<int>(bm.rows);
        g.alpha.resize(static_cast<size_t>(g.width) * g.rows);
        for (int y = 0; y < g.rows; ++y) {
          const unsigned char* row = bm.buffer + static_cast<ptrdiff_t>(y) * bm.pitch;
          std::copy(row, row + g.width, g.alpha.begin() + static_cast<ptrdiff_t>(y) * g.width);
        }
      }
    }
    return glyphs.emplace(key, std::move(g)).first->second;
  }
};

std::unique_ptr<FontRenderer> FontRenderer::Create(int pixels) {
  auto impl = std::make_unique<Impl>();
  impl->pixels = std::max(6, pixels);
  if (!FcInit()) return nullptr;
  std::string regular = FontFile("DejaVu Sans:style=Book", &impl->family);
  if (regular.empty()) regular = FontFile("sans-serif", &impl->family);
  std::string bold = FontFile("DejaVu Sans:style=Bold", nullptr);
  if (regular.empty() || FT_Init_FreeType(&impl->library) != 0) return nullptr;
  if (FT_New_Face(impl->library, regular.c_str(), 0, &impl->faces[0]) != 0 ||
      !FT_IS_SCALABLE(impl->faces[0])) {
    return nullptr;
  }
  if (bold.empty() || bold == regular ||
      FT_New_Face(impl->library, bold.c_str(), 0, &impl->faces[1]) != 0) {
    impl->faces[1] = impl->faces[0];
  }
  return std::unique_ptr<FontRenderer>(new FontRenderer(std::move(impl)));
}

FontRenderer::FontRenderer(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
FontRenderer::~FontRenderer() = default;

const std::string& FontRenderer::FamilyName() const {
  return impl_->family;
}

int FontRenderer::Ascent(int scale) const {
  const FT_Face face = impl_->faces[0];
  return static_cast<int>(std::lround(static_cast<double>(face->ascender) * impl_->pixels *
                                      std::max(1, scale) / face->units_per_EM));
}

int FontRenderer::Height(int scale) const {
  const FT_Face face = impl_->faces[0];
  const int descent =
      static_cast<int>(std::lround(static_cast<double>(-face->descender) * impl_->pixels *
                                   std::max(1, scale) / face->units_per_EM));
  return Ascent(scale) + descent;
}

int FontRenderer::Width(std::string_view text, bool bold, int scale) const {
  long total = 0;
  for (char c : text)
    total += impl_->Advance(static_cast<unsigned char>(c), bold, scale);
  return static_cast<int>((total + 0x8000) >> 16);
}

void FontRenderer::Draw(Image& image, const Region& clip, int x, int y, std::string_view text,
                        uint32_t color, bool bold, int scale) const {
  const int baseline = y + Ascent(scale);
  long pen = 0;  // 1/65536 pixel from x
  for (char ch : text) {
    const auto c = static_cast<unsigned char>(ch);
    const Glyph& g = impl_->GlyphOf(c, bold, scale);
    const int left = x + static_cast<int>((pen + 0x8000) >> 16) + g.left;
    const int top = baseline - g.top;
    const CRect box(left, top, left + g.width, top + g.rows);
    for (const CRect& part : clip.Rects()) {
      const CRect area = Intersect(box, Intersect(part, CRect(0, 0, image.width, image.height)));
      for (int py = area.top; py < area.bottom; ++py) {
        for (int px = area.left; px < area.right; ++px) {
          const unsigned a =
              g.alpha[static_cast<size_t>(py - top) * static_cast<size_t>(g.width) + (px - left)];
          if (a == 0) continue;
          image.Set(px, py, a == 255 ? (color | kOpaque) : Blend(image.At(px, py), color, a));
        }
      }
    }
    pen += impl_->Advance(c, bold, scale);
  }
}

}  // namespace tessaro
