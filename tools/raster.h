// A small indexed-colour image in the classic 16-colour palette, and the few
// drawing operations the module's pictures are made of. Everything is integer
// or exact binary-fraction arithmetic, so the same picture comes out on every
// run and every machine.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <vector>

namespace tessaro::tools {

// ---- Colours ---------------------------------------------------------------

// Palette indices in the order of the standard 16-colour palette; a bitmap's
// pixel values are these numbers. kTransparent exists only in icon pictures.
enum Colour : uint8_t {
  kBlack = 0,
  kDarkRed = 1,
  kDarkGreen = 2,
  kDarkYellow = 3,
  kDarkBlue = 4,
  kDarkMagenta = 5,
  kDarkCyan = 6,
  kLightGrey = 7,
  kDarkGrey = 8,
  kRed = 9,
  kGreen = 10,
  kYellow = 11,
  kBlue = 12,
  kMagenta = 13,
  kCyan = 14,
  kWhite = 15,
  kTransparent = 16,
};

struct Rgb {
  uint8_t r, g, b;
};

// clang-format off
inline constexpr std::array<Rgb, 16> kPalette = {{
    {0, 0, 0},       {128, 0, 0},     {0, 128, 0},   {128, 128, 0},
    {0, 0, 128},     {128, 0, 128},   {0, 128, 128}, {192, 192, 192},
    {128, 128, 128}, {255, 0, 0},     {0, 255, 0},   {255, 255, 0},
    {0, 0, 255},     {255, 0, 255},   {0, 255, 255}, {255, 255, 255},
}};
// clang-format on

// ---- Raster ----------------------------------------------------------------

// Pixel (0, 0) is the top-left corner; y grows downwards. Writes outside the
// picture are clipped, so shapes near an edge need no care from the caller.
class Raster {
 public:
  Raster(int width, int height, Colour ground);

  int width() const { return width_; }
  int height() const { return height_; }
  Colour at(int x, int y) const;
  void Set(int x, int y, Colour colour);

  // Every pixel (x, y) for which `inside` holds.
  void FillWhere(const std::function<bool(int x, int y)>& inside, Colour colour);
  void FillRect(int left, int top, int width, int height, Colour colour);

  // Discs and rings around a centre given in pixel-centre coordinates: (7, 7)
  // is the middle of pixel (7, 7), (7.5, 7.5) the corner between four pixels.
  // Radii are given squared so that they stay exact.
  void FillDisc(double cx, double cy, double radius2, Colour colour);
  void FillRing(double cx, double cy, double innerRadius2, double outerRadius2, Colour colour);
  // Recolours the pixels of the disc that touch (side by side) a pixel
  // outside it: a one-pixel outline that follows the disc's own stair steps.
  void OutlineDisc(double cx, double cy, double radius2, Colour colour);

 private:
  int width_;
  int height_;
  std::vector<Colour> pixels_;
};

}  // namespace tessaro::tools
