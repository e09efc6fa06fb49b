#include "test_images.h"

#include <algorithm>
#include <stdexcept>

namespace tessaro::test {

void PutU16(std::vector<uint8_t>& out, uint32_t v) {
  out.push_back(static_cast<uint8_t>(v));
  out.push_back(static_cast<uint8_t>(v >> 8));
}

void PutU32(std::vector<uint8_t>& out, uint32_t v) {
  PutU16(out, v & 0xFFFF);
  PutU16(out, v >> 16);
}

TestPicture Pattern(int width, int height, const std::vector<uint32_t>& colours) {
  TestPicture p{width, height, {}};
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      p.pixels.push_back(colours[static_cast<size_t>(x + 2 * y) % colours.size()]);
  return p;
}

namespace {

// Header (40 bytes), palette and colour rows; `rows` is the DIB height field.
std::vector<uint8_t> Dib(const TestPicture& p, int bitCount, int32_t rowsField, bool topDown,
                         std::vector<uint32_t>* paletteOut) {
  std::vector<uint32_t> palette;
  if (bitCount <= 8) {
    for (uint32_t c : p.pixels) {
      const uint32_t rgb = c & 0xFFFFFF;
      if (std::find(palette.begin(), palette.end(), rgb) == palette.end()) palette.push_back(rgb);
    }
    if (palette.size() > (1u << bitCount)) throw std::runtime_error("too many colours");
  }
  std::vector<uint8_t> out;
  PutU32(out, 40);
  PutU32(out, static_cast<uint32_t>(p.width));
  PutU32(out, static_cast<uint32_t>(rowsField));
  PutU16(out, 1);
  PutU16(out, static_cast<uint32_t>(bitCount));
  PutU32(out, 0);  // BI_RGB
  PutU32(out, 0);
  PutU32(out, 2835);
  PutU32(out, 2835);
  PutU32(out, static_cast<uint32_t>(palette.size()));
  PutU32(out, 0);
  for (uint32_t c : palette) {
    out.push_back(static_cast<uint8_t>(c));
    out.push_back(static_cast<uint8_t>(c >> 8));
    out.push_back(static_cast<uint8_t>(c >> 16));
    out.push_back(0);
  }
  const size_t stride = ((static_cast<size_t>(p.width) * bitCount + 31) / 32) * 4;
  for (int r = 0; r < p.height; ++r) {
    const int y = topDown ? r : p.height - 1 - r;
    std::vector<uint8_t> row(stride, 0);
    for (int x = 0; x < p.width; ++x) {
      const uint32_t c = p.pixels[static_cast<size_t>(y * p.width + x)];
      if (bitCount <= 8) {
        const auto index = static_cast<uint32_t>(
            std::find(palette.begin(), palette.end(), c & 0xFFFFFF) - palette.begin());
        const size_t bit = static_cast<size_t>(x) * bitCount;
        row[bit / 8] |= static_cast<uint8_t>(index << (8 - bitCount - bit % 8));
      } else {
        const size_t at = static_cast<size_t>(x) * (bitCount / 8);
        row[at] = static_cast<uint8_t>(c);
        row[at + 1] = static_cast<uint8_t>(c >> 8);
        row[at + 2] = static_cast<uint8_t>(c >> 16);
        if (bitCount == 32) row[at + 3] = static_cast<uint8_t>(c >> 24);
      }
    }
    out.insert(out.end(), row.begin(), row.end());
  }
  if (paletteOut) *paletteOut = palette;
  return out;
}

}  // namespace

std::vector<uint8_t> MakeBmp(const TestPicture& p, int bitCount, bool topDown) {
  std::vector<uint32_t> palette;
  const std::vector<uint8_t> dib =
      Dib(p, bitCount, topDown ? -p.height : p.height, topDown, &palette);
  const size_t paletteBytes = palette.size() * 4;
  std::vector<uint8_t> out = {'B', 'M'};
  PutU32(out, static_cast<uint32_t>(14 + dib.size()));
  PutU32(out, 0);
  PutU32(out, static_cast<uint32_t>(14 + 40 + paletteBytes));
  out.insert(out.end(), dib.begin(), dib.end());
  return out;
}

std::vector<uint8_t> MakeIco(const std::vector<IconPart>& parts) {
  std::vector<std::vector<uint8_t>> images;
  for (const IconPart& part : parts) {
    std::vector<uint8_t> dib =
        Dib(part.picture, part.bitCount, 2 * part.picture.height, false, nullptr);
    const size_t stride = ((static_cast<size_t>(part.picture.width) + 31) / 32) * 4;
    for (int r = 0; r < part.picture.height; ++r) {
      const int y = part.picture.height - 1 - r;
      std::vector<uint8_t> row(stride, 0);
      for (int x = 0; x < part.picture.width; ++x) {
        if ((part.picture.pixels[static_cast<size_t>(y * part.picture.width + x)] >> 24) == 0)
          row[static_cast<size_t>(x) / 8] |= static_cast<uint8_t>(0x80 >> (x % 8));
      }
      dib.insert(dib.end(), row.begin(), row.end());
    }
    images.push_back(std::move(dib));
  }
  std::vector<uint8_t> out;
  PutU16(out, 0);
  PutU16(out, 1);
  PutU16(out, static_cast<uint32_t>(parts.size()));
  size_t offset = 6 + 16 * parts.size();
  for (size_t i = 0; i < parts.size(); ++i) {
    out.push_back(static_cast<uint8_t>(parts[i].picture.width));
    out.push_back(static_cast<uint8_t>(parts[i].picture.height));
    out.push_back(0);
    out.push_back(0);
    PutU16(out, 1);
    PutU16(out, static_cast<uint32_t>(parts[i].bitCount));
    PutU32(out, static_cast<uint32_t>(images[i].size()));
    PutU32(out, static_cast<uint32_t>(offset));
    offset += images[i].size();
  }
  for (const auto& image : images)
    out.insert(out.end(), image.begin(), image.end());
  return out;
}

}  // namespace tessaro::test
