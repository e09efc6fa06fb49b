// The module's picture files: uncompressed 16-colour bitmaps and icons made of
// 16-colour images with a transparency mask, in the layouts the platform's
// resource loader reads.
#pragma once

#include <cstdint>
#include <vector>

#include "tools/raster.h"

namespace tessaro::tools {

// A .bmp file: BITMAPFILEHEADER, BITMAPINFOHEADER (4 bits, BI_RGB, 16 colours
// used), the 16-entry palette, then the rows bottom-up, each padded to four
// bytes. The raster must not hold kTransparent.
std::vector<uint8_t> EncodeBmp(const Raster& image);

// A .ico file with one entry per raster, in the given order. Each image is a
// 4-bit bitmap of double height (XOR image, then AND mask); kTransparent
// pixels get colour 0 in the XOR image and a set bit in the AND mask, so the
// screen shows through. Every raster must be at most 255 pixels each way.
std::vector<uint8_t> EncodeIco(const std::vector<Raster>& images);

}  // namespace tessaro::tools
