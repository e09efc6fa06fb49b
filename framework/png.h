// A minimal PNG writer for screenshots: 8-bit RGB, no filtering, the image data
// in stored (uncompressed) deflate blocks. Any PNG reader decodes it.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "framework/image.h"

namespace tessaro {

std::vector<uint8_t> EncodePng(const Image& image);
// Writes EncodePng(image) to path; false with a reason when it cannot.
bool SavePng(const Image& image, const std::string& path, std::string& error);

// The checksums PNG uses: the CRC-32 of its chunks and the Adler-32 of zlib.
uint32_t Crc32(std::span<const uint8_t> data, uint32_t crc = 0);
uint32_t Adler32(std::span<const uint8_t> data);

}  // namespace tessaro
