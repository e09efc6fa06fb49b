// Images in memory and the decoders for the two image files a resource script
// names: BMP (uncompressed, 1/4/8/24/32 bits) and ICO (images stored as BMP
// data with an AND mask).
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "framework/win_types.h"

namespace tessaro {

// ---- Pixels ----
// A pixel is 0xAARRGGBB. Alpha is 0xFF for an opaque pixel and 0 for a pixel an
// icon's mask leaves transparent; nothing in between is produced by the decoders.

constexpr uint32_t kOpaque = 0xFF000000u;
constexpr uint32_t Argb(int r, int g, int b) {
  return kOpaque | (static_cast<uint32_t>(r & 0xFF) << 16) |
         (static_cast<uint32_t>(g & 0xFF) << 8) | static_cast<uint32_t>(b & 0xFF);
}
constexpr uint32_t ArgbFromColorref(COLORREF c) {
  return Argb(GetRValue(c), GetGValue(c), GetBValue(c));
}
constexpr COLORREF ColorrefFromArgb(uint32_t p) {
  return RGB(static_cast<int>((p >> 16) & 0xFF), static_cast<int>((p >> 8) & 0xFF),
             static_cast<int>(p & 0xFF));
}

// ---- Image ----
// Rows from the top, each `width` pixels. An image with no pixels is empty.

struct Image {
  Image() = default;
  Image(int w, int h, uint32_t fill = kOpaque);

  bool Empty() const { return width <= 0 || height <= 0; }
  bool Contains(int x, int y) const { return x >= 0 && y >= 0 && x < width && y < height; }
  uint32_t At(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
  void Set(int x, int y, uint32_t p) { pixels[static_cast<size_t>(y) * width + x] = p; }

  int width = 0;
  int height = 0;
  std::vector<uint32_t> pixels;
};

// One image of an icon file and the colour depth it was stored with.
struct IconImage {
  Image image;
  int bitCount = 0;
};

// All images of one icon resource.
struct IconImages {
  // The image of the size asked for: the exact size with the most colours, else
  // the smallest larger one, else the largest. Null when there is none.
  const Image* Pick(int size) const;

  std::vector<IconImage> images;
};

// ---- Decoders ----
// Each returns false with a one-line reason in `error` for a file it cannot
// read; it never reads outside `file`. Images wider or higher than
// kMaxImageSide pixels are refused rather than allocated.

constexpr int kMaxImageSide = 8192;

bool DecodeBmp(std::span<const uint8_t> file, Image& out, std::string& error);
bool DecodeIco(std::span<const uint8_t> file, IconImages& out, std::string& error);

}  // namespace tessaro
