#include "tools/image_files.h"

#include <cassert>
#include <cstddef>

namespace tessaro::tools {

namespace {

constexpr uint32_t kFileHeaderSize = 14;
constexpr uint32_t kInfoHeaderSize = 40;
constexpr uint32_t kPaletteSize = 16 * 4;
constexpr uint32_t kIconDirSize = 6;
constexpr uint32_t kIconEntrySize = 16;

void Put16(std::vector<uint8_t>& out, uint32_t value) {
  out.push_back(static_cast<uint8_t>(value & 0xFF));
  out.push_back(static_cast<uint8_t>((value >> 8) & 0xFF));
}

void Put32(std::vector<uint8_t>& out, uint32_t value) {
  Put16(out, value & 0xFFFF);
  Put16(out, value >> 16);
}

// Row lengths in bytes, padded to a multiple of four as every DIB row is.
uint32_t ColourRowBytes(int width) {
  return (static_cast<uint32_t>(width) * 4 + 31) / 32 * 4;
}
uint32_t MaskRowBytes(int width) {
  return (static_cast<uint32_t>(width) + 31) / 32 * 4;
}

// BITMAPINFOHEADER. `storedHeight` is twice the picture's height in icons.
void PutInfoHeader(std::vector<uint8_t>& out, int width, int storedHeight, uint32_t imageBytes,
                   uint32_t coloursUsed) {
  Put32(out, kInfoHeaderSize);
  Put32(out, static_cast<uint32_t>(width));
  Put32(out, static_cast<uint32_t>(storedHeight));  // positive: rows bottom-up
  Put16(out, 1);                                    // planes
  Put16(out, 4);                                    // bits per pixel
  Put32(out, 0);                                    // BI_RGB
  Put32(out, imageBytes);
  Put32(out, 0);  // pixels per metre, x: unknown
  Put32(out, 0);  // pixels per metre, y
  Put32(out, coloursUsed);
  Put32(out, 0);  // all colours important
}

void PutPalette(std::vector<uint8_t>& out) {
  for (const Rgb& c : kPalette) {
    out.push_back(c.b);
    out.push_back(c.g);
    out.push_back(c.r);
    out.push_back(0);
  }
}

[[maybe_unused]] bool HasTransparency(const Raster& image) {
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) {
      if (image.at(x, y) == kTransparent) return true;
    }
  }
  return false;
}

// Two pixels a byte, the left one in the high nibble; transparent pixels
// become colour 0, which the AND mask lets the background replace.
void PutColourRows(std::vector<uint8_t>& out, const Raster& image) {
  const uint32_t rowBytes = ColourRowBytes(image.width());
  for (int y = image.height() - 1; y >= 0; --y) {
    std::vector<uint8_t> row(rowBytes, 0);
    for (int x = 0; x < image.width(); ++x) {
      const Colour c = image.at(x, y);
      const auto index = static_cast<uint8_t>(c == kTransparent ? 0 : c);
      const auto shift = (x % 2 == 0) ? 4 : 0;
      row[static_cast<size_t>(x / 2)] =
          static_cast<uint8_t>(row[static_cast<size_t>(x / 2)] | (index << shift));
    }
    out.insert(out.end(), row.begin(), row.end());
  }
}

// One bit a pixel, leftmost in the highest bit; a set bit is transparent.
void PutMaskRows(std::vector<uint8_t>& out, const Raster& image) {
  const uint32_t rowBytes = MaskRowBytes(image.width());
  for (int y = image.height() - 1; y >= 0; --y) {
    std::vector<uint8_t> row(rowBytes, 0);
    for (int x = 0; x < image.width(); ++x) {
      if (image.at(x, y) != kTransparent) continue;
      row[static_cast<size_t>(x / 8)] =
          static_cast<uint8_t>(row[static_cast<size_t>(x / 8)] | (0x80 >> (x % 8)));
    }
    out.insert(out.end(), row.begin(), row.end());
  }
}

}  // namespace

std::vector<uint8_t> EncodeBmp(const Raster& image) {
  const uint32_t imageBytes = ColourRowBytes(image.width()) * static_cast<uint32_t>(image.height());
  const uint32_t pixelOffset = kFileHeaderSize + kInfoHeaderSize + kPaletteSize;
  std::vector<uint8_t> out;
  out.reserve(pixelOffset + imageBytes);
  out.push_back('B');
  out.push_back('M');
  Put32(out, pixelOffset + imageBytes);
  Put32(out, 0);  // two reserved words
  Put32(out, pixelOffset);
  PutInfoHeader(out, image.width(), image.height(), imageBytes, 16);
  PutPalette(out);
  assert(!HasTransparency(image));
  PutColourRows(out, image);
  return out;
}

std::vector<uint8_t> EncodeIco(const std::vector<Raster>& images) {
  std::vector<uint8_t> out;
  Put16(out, 0);  // reserved
  Put16(out, 1);  // resource type: icon
  Put16(out, static_cast<uint32_t>(images.size()));

  uint32_t offset = kIconDirSize + kIconEntrySize * static_cast<uint32_t>(images.size());
  for (const Raster& image : images) {
    assert(image.width() <= 255 && image.height() <= 255);
    const uint32_t bytes = kInfoHeaderSize + kPaletteSize +
                           (ColourRowBytes(image.width()) + MaskRowBytes(image.width())) *
                               static_cast<uint32_t>(image.height());
    out.push_back(static_cast<uint8_t>(image.width()));
    out.push_back(static_cast<uint8_t>(image.height()));
    out.push_back(16);  // colours in the palette
    out.push_back(0);   // reserved
    Put16(out, 1);      // planes
    Put16(out, 4);      // bits per pixel
    Put32(out, bytes);
    Put32(out, offset);
    offset += bytes;
  }

  for (const Raster& image : images) {
    const uint32_t pixelBytes = (ColourRowBytes(image.width()) + MaskRowBytes(image.width())) *
                                static_cast<uint32_t>(image.height());
    PutInfoHeader(out, image.width(), 2 * image.height(), pixelBytes, 0);
    PutPalette(out);
    PutColourRows(out, image);
    PutMaskRows(out, image);
  }
  return out;
}

}  // namespace tessaro::tools
