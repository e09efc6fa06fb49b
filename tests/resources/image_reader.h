// A small, independent reader for the module's picture files, so that the
// tests check the files themselves and not the generator's idea of them.
// Reads 4-bit BI_RGB bitmaps and icons whose images are such bitmaps; every
// read is bounds-checked and anything else is refused with a message.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace tessaro::testing {

struct Rgb {
  uint8_t r = 0, g = 0, b = 0;
  bool operator==(const Rgb&) const = default;
};

struct Picture {
  int width = 0;
  int height = 0;
  int bitCount = 0;
  uint32_t compression = 0;
  uint32_t coloursUsed = 0;
  bool bottomUp = false;
  std::array<Rgb, 16> palette{};
  std::vector<uint8_t> indices;   // row-major from the top row
  std::vector<uint8_t> maskBits;  // icons: 1 where transparent; else empty

  uint8_t IndexAt(int x, int y) const { return indices.at(Offset(x, y)); }
  Rgb At(int x, int y) const { return palette.at(IndexAt(x, y)); }
  bool Transparent(int x, int y) const { return !maskBits.empty() && maskBits.at(Offset(x, y)); }

 private:
  size_t Offset(int x, int y) const { return static_cast<size_t>(y * width + x); }
};

struct IconEntry {
  int width = 0;
  int height = 0;
  int colourCount = 0;
  int planes = 0;
  int bitCount = 0;
  Picture picture;
};

// A whole .bmp file. nullopt and `error` set when it is not a readable
// 4-bit uncompressed bitmap.
std::optional<Picture> ReadBmp(std::span<const uint8_t> file, std::string& error);

// A whole .ico file, its images in directory order.
std::optional<std::vector<IconEntry>> ReadIco(std::span<const uint8_t> file, std::string& error);

}  // namespace tessaro::testing
