// BMP and ICO decoding. Both formats hold a device-independent bitmap: a
// BITMAPINFOHEADER, a palette for 8 bits and fewer, then rows padded to four
// bytes, bottom row first unless the height is negative. An icon's bitmap is
// twice as high as the icon: the colour rows, then a 1-bit AND mask whose set
// bits mark transparent pixels.
#include "framework/image.h"

#include <algorithm>
#include <cstdlib>

namespace tessaro {

Image::Image(int w, int h, uint32_t fill)
    : width(w > 0 ? w : 0),
      height(h > 0 ? h : 0),
      pixels(static_cast<size_t>(width) * static_cast<size_t>(height), fill) {}

const Image* IconImages::Pick(int size) const {
  const IconImage* best = nullptr;
  for (const IconImage& i : images) {
    if (i.image.width == size &&
        (!best || best->image.width != size || i.bitCount > best->bitCount))
      best = &i;
  }
  if (!best) {
    for (const IconImage& i : images) {
      if (i.image.width > size && (!best || i.image.width < best->image.width)) best = &i;
    }
  }
  if (!best) {
    for (const IconImage& i : images) {
      if (!best || i.image.width > best->image.width) best = &i;
    }
  }
  return best ? &best->image : nullptr;
}

namespace {

uint16_t U16(std::span<const uint8_t> d, size_t at) {
  return static_cast<uint16_t>(d[at] | (d[at + 1] << 8));
}
uint32_t U32(std::span<const uint8_t> d, size_t at) {
  return static_cast<uint32_t>(d[at]) | (static_cast<uint32_t>(d[at + 1]) << 8) |
         (static_cast<uint32_t>(d[at + 2]) << 16) | (static_cast<uint32_t>(d[at + 3]) << 24);
}
int32_t I32(std::span<const uint8_t> d, size_t at) {
  return static_cast<int32_t>(U32(d, at));
}

constexpr uint32_t kBiRgb = 0;
constexpr size_t kInfoHeaderSize = 40;

// What a BITMAPINFOHEADER says, checked.
struct DibHeader {
  int width = 0;
  int rows = 0;  // rows of pixel data (for an icon: colour rows plus mask rows)
  bool topDown = false;
  int bitCount = 0;
  size_t headerSize = 0;
  std::vector<uint32_t> palette;
};

bool ReadDibHeader(std::span<const uint8_t> d, DibHeader& h, std::string& error) {
  if (d.size() < kInfoHeaderSize) {
    error = "bitmap header is cut short";
    return false;
  }
  h.headerSize = U32(d, 0);
  if (h.headerSize < kInfoHeaderSize || h.headerSize > d.size()) {
    error = "unsupported bitmap header size " + std::to_string(h.headerSize);
    return false;
  }
  const int32_t width = I32(d, 4);
  const int32_t height = I32(d, 8);
  const uint16_t planes = U16(d, 12);
  h.bitCount = U16(d, 14);
  const uint32_t compression = U32(d, 16);
  const uint32_t colorsUsed = U32(d, 32);
  if (planes != 1) {
    error = "bitmap has " + std::to_string(planes) + " planes";
    return false;
  }
  if (compression != kBiRgb) {
    error = "compressed bitmaps are not supported";
    return false;
  }
  if (h.bitCount != 1 && h.bitCount != 4 && h.bitCount != 8 && h.bitCount != 24 &&
      h.bitCount != 32) {
    error = "unsupported colour depth " + std::to_string(h.bitCount);
    return false;
  }
  if (width <= 0 || height == 0 || height == INT32_MIN || width > kMaxImageSide ||
      std::abs(height) > 2 * kMaxImageSide) {
    error = "bad bitmap size " + std::to_string(width) + " x " + std::to_string(height);
    return false;
  }
  h.width = width;
  h.rows = std::abs(height);
  h.topDown = height < 0;
  if (h.bitCount <= 8) {
    const uint32_t maxColors = 1u << h.bitCount;
    if (colorsUsed > maxColors) {
      error = "palette of " + std::to_string(colorsUsed) + " colours is too large";
      return false;
    }
    const size_t count = colorsUsed ? colorsUsed : maxColors;
    if (h.headerSize + 4 * count > d.size()) {
      error = "palette is cut short";
      return false;
    }
    for (size_t i = 0; i < count; ++i) {
      const size_t at = h.headerSize + 4 * i;
      h.palette.push_back(Argb(d[at + 2], d[at + 1], d[at]));
    }
  }
  return true;
}

size_t Stride(int width, int bitCount) {
  return ((static_cast<size_t>(width) * static_cast<size_t>(bitCount) + 31) / 32) * 4;
}

// Reads `rows` rows of colour data starting at `bits` into `out` (already sized).
// Row r of the data is image row r when top-down, else image row rows-1-r.
void ReadColourRows(std::span<const uint8_t> bits, const DibHeader& h, int rows, Image& out) {
  const size_t stride = Stride(h.width, h.bitCount);
  for (int r = 0; r < rows; ++r) {
    const uint8_t* row = bits.data() + stride * static_cast<size_t>(r);
    const int y = h.topDown ? r : rows - 1 - r;
    for (int x = 0; x < h.width; ++x) {
      uint32_t p = kOpaque;
      if (h.bitCount <= 8) {
        const size_t bitPos = static_cast<size_t>(x) * h.bitCount;
        const int shift = 8 - h.bitCount - static_cast<int>(bitPos % 8);
        const unsigned index = (row[bitPos / 8] >> shift) & ((1u << h.bitCount) - 1);
        // An index past the palette is a damaged file; such a pixel shows black.
        p = index < h.palette.size() ? h.palette[index] : kOpaque;
      } else {
        const uint8_t* px = row + static_cast<size_t>(x) * (h.bitCount / 8);
        p = Argb(px[2], px[1], px[0]);
      }
      out.Set(x, y, p);
    }
  }
}

}  // namespace

bool DecodeBmp(std::span<const uint8_t> file, Image& out, std::string& error) {
  constexpr size_t kFileHeaderSize = 14;
  if (file.size() < kFileHeaderSize + kInfoHeaderSize || file[0] != 'B' || file[1] != 'M') {
    error = "not a BMP file";
    return false;
  }
  DibHeader h;
  if (!ReadDibHeader(file.subspan(kFileHeaderSize), h, error)) return false;
  if (h.rows > kMaxImageSide) {
    error = "bad bitmap size";
    return false;
  }
  const size_t offset = U32(file, 10);
  const size_t need = Stride(h.width, h.bitCount) * static_cast<size_t>(h.rows);
  if (offset > file.size() || file.size() - offset < need) {
    error = "pixel data is cut short";
    return false;
  }
  Image img(h.width, h.rows);
  ReadColourRows(file.subspan(offset, need), h, h.rows, img);
  out = std::move(img);
  return true;
}

bool DecodeIco(std::span<const uint8_t> file, IconImages& out, std::string& error) {
  if (file.size() < 6 || U16(file, 0) != 0 || U16(file, 2) != 1) {
    error = "not an ICO file";
    return false;
  }
  const size_t count = U16(file, 4);
  if (count == 0 || file.size() < 6 + 16 * count) {
    error = "icon directory is empty or cut short";
    return false;
  }
  IconImages result;
  std::string lastProblem;
  for (size_t i = 0; i < count; ++i) {
    const size_t entry = 6 + 16 * i;
    const size_t size = U32(file, entry + 8);
    const size_t offset = U32(file, entry + 12);
    const std::string which = "icon image " + std::to_string(i + 1) + ": ";
    if (offset > file.size() || file.size() - offset < size) {
      error = which + "data lies outside the file";
      return false;
    }
    std::span<const uint8_t> data = file.subspan(offset, size);
    if (data.size() >= 4 && data[0] == 0x89 && data[1] == 'P' && data[2] == 'N' && data[3] == 'G') {
      lastProblem = which + "PNG-compressed images are not supported";
      continue;  // another image of the file may still serve
    }
    DibHeader h;
    if (!ReadDibHeader(data, h, error)) {
      error = which + error;
      return false;
    }
    if (h.rows % 2 != 0 || h.rows / 2 > kMaxImageSide) {
      error = which + "bitmap height is not twice the icon's";
      return false;
    }
    const int height = h.rows / 2;
    const size_t paletteBytes = 4 * h.palette.size();
    const size_t colourBytes = Stride(h.width, h.bitCount) * static_cast<size_t>(height);
    const size_t maskBytes = Stride(h.width, 1) * static_cast<size_t>(height);
    const size_t bitsAt = h.headerSize + paletteBytes;
    if (bitsAt > data.size() || data.size() - bitsAt < colourBytes + maskBytes) {
      error = which + "pixel data is cut short";
      return false;
    }
    IconImage icon{Image(h.width, height), h.bitCount};
    ReadColourRows(data.subspan(bitsAt, colourBytes), h, height, icon.image);
    // 32-bit images carry their own alpha; use it when any pixel has some.
    bool ownAlpha = false;
    if (h.bitCount == 32) {
      const size_t stride = Stride(h.width, 32);
      for (int r = 0; r < height && !ownAlpha; ++r)
        for (int x = 0; x < h.width && !ownAlpha; ++x)
          ownAlpha =
              data[bitsAt + stride * static_cast<size_t>(r) + 4 * static_cast<size_t>(x) + 3] != 0;
    }
    const size_t maskStride = Stride(h.width, 1);
    for (int r = 0; r < height; ++r) {
      const int y = h.topDown ? r : height - 1 - r;
      for (int x = 0; x < h.width; ++x) {
        bool transparent;
        if (ownAlpha) {
          const size_t at = bitsAt + Stride(h.width, 32) * static_cast<size_t>(r) +
                            4 * static_cast<size_t>(x) + 3;
          transparent = data[at] < 0x80;
        } else {
          const uint8_t byte = data[bitsAt + colourBytes + maskStride * static_cast<size_t>(r) +
                                    static_cast<size_t>(x) / 8];
          transparent = (byte >> (7 - x % 8)) & 1;
        }
        // A masked pixel is transparent whatever its colour bits say; the
        // platform's "inverted screen" pixels are not reproduced.
        if (transparent) icon.image.Set(x, y, 0);
      }
    }
    result.images.push_back(std::move(icon));
  }
  if (result.images.empty()) {
    error = lastProblem;
    return false;
  }
  out = std::move(result);
  return true;
}

}  // namespace tessaro
