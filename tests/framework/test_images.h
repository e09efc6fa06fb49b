// Writers of small BMP and ICO files for the tests, independent of the
// framework's readers: a file is built from a pixel list and its expected
// decoding is the same list.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tessaro::test {

// Pixels top row first, each 0xAARRGGBB (alpha ignored for BMP colours).
struct TestPicture {
  int width = 0;
  int height = 0;
  std::vector<uint32_t> pixels;
};

// A picture whose pixel (x, y) is colours[(x + 2 * y) % colours.size()].
TestPicture Pattern(int width, int height, const std::vector<uint32_t>& colours);

// BITMAPINFOHEADER, BI_RGB, bitCount 1/4/8 (palette of the distinct colours,
// which must fit) or 24/32; bottom-up unless topDown.
std::vector<uint8_t> MakeBmp(const TestPicture& p, int bitCount, bool topDown = false);

// One icon image: colours as in MakeBmp, and pixels whose alpha is 0 set in
// the AND mask.
struct IconPart {
  TestPicture picture;
  int bitCount = 4;
};
std::vector<uint8_t> MakeIco(const std::vector<IconPart>& parts);

void PutU16(std::vector<uint8_t>& out, uint32_t v);
void PutU32(std::vector<uint8_t>& out, uint32_t v);

}  // namespace tessaro::test
