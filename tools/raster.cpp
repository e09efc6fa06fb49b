#include "tools/raster.h"

#include <cassert>
#include <cstddef>

namespace tessaro::tools {

namespace {

bool InDisc(int x, int y, double cx, double cy, double radius2) {
  const double dx = x - cx;
  const double dy = y - cy;
  return dx * dx + dy * dy <= radius2;
}

}  // namespace

Raster::Raster(int width, int height, Colour ground)
    : width_(width),
      height_(height),
      pixels_(static_cast<size_t>(width) * static_cast<size_t>(height), ground) {
  assert(width > 0 && height > 0);
}

Colour Raster::at(int x, int y) const {
  assert(x >= 0 && x < width_ && y >= 0 && y < height_);
  return pixels_[static_cast<size_t>(y) * static_cast<size_t>(width_) + static_cast<size_t>(x)];
}

void Raster::Set(int x, int y, Colour colour) {
  if (x < 0 || x >= width_ || y < 0 || y >= height_) return;
  pixels_[static_cast<size_t>(y) * static_cast<size_t>(width_) + static_cast<size_t>(x)] = colour;
}

void Raster::FillWhere(const std::function<bool(int, int)>& inside, Colour colour) {
  for (int y = 0; y < height_; ++y) {
    for (int x = 0; x < width_; ++x) {
      if (inside(x, y)) Set(x, y, colour);
    }
  }
}

void Raster::FillRect(int left, int top, int width, int height, Colour colour) {
  for (int y = top; y < top + height; ++y) {
    for (int x = left; x < left + width; ++x)
      Set(x, y, colour);
  }
}

void Raster::FillDisc(double cx, double cy, double radius2, Colour colour) {
  for (int y = 0; y < height_; ++y) {
    for (int x = 0; x < width_; ++x) {
      if (InDisc(x, y, cx, cy, radius2)) Set(x, y, colour);
    }
  }
}

void Raster::FillRing(double cx, double cy, double innerRadius2, double outerRadius2,
                      Colour colour) {
  for (int y = 0; y < height_; ++y) {
    for (int x = 0; x < width_; ++x) {
      if (InDisc(x, y, cx, cy, outerRadius2) && !InDisc(x, y, cx, cy, innerRadius2)) {
        Set(x, y, colour);
      }
    }
  }
}

void Raster::OutlineDisc(double cx, double cy, double radius2, Colour colour) {
  for (int y = 0; y < height_; ++y) {
    for (int x = 0; x < width_; ++x) {
      if (!InDisc(x, y, cx, cy, radius2)) continue;
      const bool edge = !InDisc(x - 1, y, cx, cy, radius2) || !InDisc(x + 1, y, cx, cy, radius2) ||
                        !InDisc(x, y - 1, cx, cy, radius2) || !InDisc(x, y + 1, cx, cy, radius2);
      if (edge) Set(x, y, colour);
    }
  }
}

}  // namespace tessaro::tools
