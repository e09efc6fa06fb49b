// Text in a real font for the desktop backend: a TrueType face found through
// fontconfig (DejaVu Sans, or the system's sans-serif) rasterised with
// FreeType into the canvases, anti-aliased, at any integer scale. Internal to
// the desktop backend; nothing of FreeType shows here.
#pragma once

#include <memory>
#include <string>

#include "framework/surface.h"

namespace tessaro {

// The pixel size of the UI font at scale 1: the size that fits the controls'
// line height of the game window's layout.
constexpr int kUiFontPixels = 12;

class FontRenderer final : public TextRenderer {
 public:
  // The renderer of the UI font, or null when no usable face is installed
  // (the built-in bitmap font is then kept).
  static std::unique_ptr<FontRenderer> Create(int pixels = kUiFontPixels);
  ~FontRenderer() override;
  FontRenderer(const FontRenderer&) = delete;
  FontRenderer& operator=(const FontRenderer&) = delete;

  // The family of the regular face, as fontconfig names it (for the toolkit's own widgets).
  const std::string& FamilyName() const;

  int Width(std::string_view text, bool bold, int scale) const override;
  int Height(int scale) const override;
  int Ascent(int scale) const override;
  void Draw(Image& image, const Region& clip, int x, int y, std::string_view text, uint32_t color,
            bool bold, int scale) const override;

 private:
  struct Impl;
  explicit FontRenderer(std::unique_ptr<Impl> impl);
  std::unique_ptr<Impl> impl_;
};

}  // namespace tessaro
