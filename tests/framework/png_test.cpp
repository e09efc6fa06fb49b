// The PNG writer's output read back by a small reader in the test: signature,
// chunk CRCs, IHDR, and the stored deflate blocks inflated to the pixels.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "framework/png.h"

namespace tessaro {
namespace {

uint32_t BigEndian(const std::vector<uint8_t>& d, size_t at) {
  return (static_cast<uint32_t>(d[at]) << 24) | (static_cast<uint32_t>(d[at + 1]) << 16) |
         (static_cast<uint32_t>(d[at + 2]) << 8) | d[at + 3];
}

struct Chunk {
  std::string type;
  std::vector<uint8_t> data;
};

// Splits a PNG into chunks, checking each CRC.
std::vector<Chunk> ReadChunks(const std::vector<uint8_t>& png) {
  const std::vector<uint8_t> signature = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  EXPECT_TRUE(std::equal(signature.begin(), signature.end(), png.begin()));
  std::vector<Chunk> chunks;
  size_t at = 8;
  while (at + 12 <= png.size()) {
    const uint32_t length = BigEndian(png, at);
    Chunk c;
    c.type.assign(png.begin() + static_cast<ptrdiff_t>(at + 4),
                  png.begin() + static_cast<ptrdiff_t>(at + 8));
    c.data.assign(png.begin() + static_cast<ptrdiff_t>(at + 8),
                  png.begin() + static_cast<ptrdiff_t>(at + 8 + length));
    // CRC-32 (the standard one: check value of "123456789" is CBF43926) over type and data.
    const uint32_t crc = Crc32(std::span<const uint8_t>(png.data() + at + 4, 4 + length));
    EXPECT_EQ(crc, BigEndian(png, at + 8 + length)) << c.type;
    chunks.push_back(std::move(c));
    at += 12 + length;
  }
  EXPECT_EQ(at, png.size());
  return chunks;
}

// Inflates a zlib stream made only of stored blocks.
std::vector<uint8_t> InflateStored(const std::vector<uint8_t>& z) {
  EXPECT_EQ(z[0], 0x78);
  EXPECT_EQ((z[0] * 256 + z[1]) % 31, 0);  // the zlib header check
  std::vector<uint8_t> out;
  size_t at = 2;
  for (;;) {
    const uint8_t header = z[at];
    EXPECT_EQ(header & 0x06, 0) << "only stored blocks";
    const uint16_t len = static_cast<uint16_t>(z[at + 1] | (z[at + 2] << 8));
    const uint16_t nlen = static_cast<uint16_t>(z[at + 3] | (z[at + 4] << 8));
    EXPECT_EQ(static_cast<uint16_t>(~len), nlen);
    out.insert(out.end(), z.begin() + static_cast<ptrdiff_t>(at + 5),
               z.begin() + static_cast<ptrdiff_t>(at + 5 + len));
    at += 5 + len;
    if (header & 1) break;
  }
  EXPECT_EQ(BigEndian(z, at), Adler32(out));
  EXPECT_EQ(at + 4, z.size());
  return out;
}

TEST(Checksums, KnownValues) {
  const std::string digits = "123456789";
  const std::span<const uint8_t> bytes(reinterpret_cast<const uint8_t*>(digits.data()),
                                       digits.size());
  EXPECT_EQ(Crc32(bytes), 0xCBF43926u);
  EXPECT_EQ(Adler32(bytes), 0x091E01DEu);
  EXPECT_EQ(Adler32({}), 1u);
}

class PngRoundTrip : public testing::TestWithParam<std::pair<int, int>> {};

TEST_P(PngRoundTrip, DecodesToThePixels) {
  const auto [w, h] = GetParam();
  Image image(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      image.Set(x, y, Argb(x * 7, y * 3, (x ^ y) & 0xFF));
  const std::vector<Chunk> chunks = ReadChunks(EncodePng(image));
  ASSERT_EQ(chunks.size(), 3u);
  ASSERT_EQ(chunks[0].type, "IHDR");
  EXPECT_EQ(BigEndian(chunks[0].data, 0), static_cast<uint32_t>(w));
  EXPECT_EQ(BigEndian(chunks[0].data, 4), static_cast<uint32_t>(h));
  EXPECT_EQ(chunks[0].data[8], 8);  // bit depth
  EXPECT_EQ(chunks[0].data[9], 2);  // RGB
  ASSERT_EQ(chunks[1].type, "IDAT");
  EXPECT_EQ(chunks[2].type, "IEND");
  const std::vector<uint8_t> raw = InflateStored(chunks[1].data);
  ASSERT_EQ(raw.size(), static_cast<size_t>(h) * (1 + 3 * static_cast<size_t>(w)));
  for (int y = 0; y < h; ++y) {
    const size_t row = static_cast<size_t>(y) * (1 + 3 * static_cast<size_t>(w));
    ASSERT_EQ(raw[row], 0) << "filter type";
    for (int x = 0; x < w; ++x) {
      const size_t at = row + 1 + 3 * static_cast<size_t>(x);
      const uint32_t want = image.At(x, y);
      ASSERT_EQ(raw[at], (want >> 16) & 0xFF);
      ASSERT_EQ(raw[at + 1], (want >> 8) & 0xFF);
      ASSERT_EQ(raw[at + 2], want & 0xFF);
    }
  }
}

// 1 x 1, a game-window-sized image, and one whose data needs several
// 65535-byte stored blocks.
INSTANTIATE_TEST_SUITE_P(Sizes, PngRoundTrip,
                         testing::Values(std::make_pair(1, 1), std::make_pair(522, 300),
                                         std::make_pair(300, 250)));

TEST(SavePng, WritesTheFileAndReportsFailures) {
  Image image(3, 2, Argb(10, 20, 30));
  const std::string path =
      (std::filesystem::temp_directory_path() / "tessaro_fw_png_test.png").string();
  std::string error;
  ASSERT_TRUE(SavePng(image, path, error)) << error;
  std::ifstream in(path, std::ios::binary);
  const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), {});
  EXPECT_EQ(bytes, EncodePng(image));
  std::remove(path.c_str());

  EXPECT_FALSE(SavePng(image, "/nonexistent-dir/x/y.png", error));
  EXPECT_NE(error.find("cannot open"), std::string::npos);
  EXPECT_FALSE(SavePng(Image(), path, error));
}

}  // namespace
}  // namespace tessaro
