// BMP and ICO decoding of files the tests write themselves, and refusal of
// damaged files.
#include <gtest/gtest.h>

#include "framework/image.h"
#include "test_images.h"

namespace tessaro {
namespace {

using test::IconPart;
using test::MakeBmp;
using test::MakeIco;
using test::Pattern;
using test::TestPicture;

constexpr uint32_t kRed = Argb(255, 0, 0);
constexpr uint32_t kGreen = Argb(0, 128, 0);
constexpr uint32_t kBlue = Argb(0, 0, 255);
constexpr uint32_t kWhite = Argb(255, 255, 255);
constexpr uint32_t kGrey = Argb(128, 128, 128);

void ExpectPixels(const Image& image, const TestPicture& want) {
  ASSERT_EQ(image.width, want.width);
  ASSERT_EQ(image.height, want.height);
  for (int y = 0; y < want.height; ++y) {
    for (int x = 0; x < want.width; ++x) {
      ASSERT_EQ(image.At(x, y), want.pixels[static_cast<size_t>(y * want.width + x)] | kOpaque)
          << "at (" << x << ", " << y << ")";
    }
  }
}

struct BmpCase {
  int bitCount;
  bool topDown;
  int width;  // odd widths exercise the row padding
  std::vector<uint32_t> colours;
};

class BmpDecode : public testing::TestWithParam<BmpCase> {};

TEST_P(BmpDecode, GivesBackThePixelsWritten) {
  const BmpCase& c = GetParam();
  const TestPicture picture = Pattern(c.width, 5, c.colours);
  Image image;
  std::string error;
  ASSERT_TRUE(DecodeBmp(MakeBmp(picture, c.bitCount, c.topDown), image, error)) << error;
  ExpectPixels(image, picture);
}

INSTANTIATE_TEST_SUITE_P(
    Depths, BmpDecode,
    testing::Values(BmpCase{1, false, 13, {kWhite, kRed}}, BmpCase{1, true, 9, {kBlue, kWhite}},
                    BmpCase{4, false, 7, {kRed, kGreen, kBlue, kWhite, kGrey}},
                    BmpCase{4, true, 3, {kRed, kGreen, kBlue}},
                    BmpCase{8, false, 5, {kRed, kGreen, kBlue, kWhite, kGrey, Argb(1, 2, 3)}},
                    BmpCase{24, false, 6, {kRed, Argb(10, 20, 30), kBlue}},
                    BmpCase{24, true, 7, {kGreen, Argb(200, 100, 50)}},
                    BmpCase{32, false, 4, {kRed, kBlue, kGrey}}));

TEST(BmpDecode, BottomUpRowsAreFlipped) {
  // One red row on top of one blue row, written bottom-up: the blue row comes first in the file.
  TestPicture p{2, 2, {kRed, kRed, kBlue, kBlue}};
  std::vector<uint8_t> file = MakeBmp(p, 24, false);
  EXPECT_EQ(file[54 + 0], 0xFF);  // first stored pixel is blue (B, G, R)
  EXPECT_EQ(file[54 + 2], 0x00);
  Image image;
  std::string error;
  ASSERT_TRUE(DecodeBmp(file, image, error));
  EXPECT_EQ(image.At(0, 0), kRed);
  EXPECT_EQ(image.At(1, 1), kBlue);
}

struct BadFile {
  const char* what;
  std::function<void(std::vector<uint8_t>&)> damage;
  const char* reason;  // a part of the error message
};

TEST(BmpDecode, RefusesDamagedFiles) {
  const std::vector<uint8_t> good = MakeBmp(Pattern(8, 4, {kRed, kBlue}), 4);
  auto setU32 = [](std::vector<uint8_t>& f, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i)
      f[at + i] = static_cast<uint8_t>(v >> (8 * i));
  };
  const std::vector<BadFile> cases = {
      {"not BM", [](auto& f) { f[0] = 'X'; }, "not a BMP"},
      {"cut in header", [](auto& f) { f.resize(30); }, "not a BMP"},
      {"cut in pixels", [](auto& f) { f.resize(f.size() - 1); }, "cut short"},
      {"pixel offset past end", [&](auto& f) { setU32(f, 10, 0xFFFFFFF0u); }, "cut short"},
      {"compressed", [&](auto& f) { setU32(f, 14 + 16, 2); }, "compressed"},
      {"depth 5", [&](auto& f) { f[14 + 14] = 5; }, "colour depth"},
      {"zero width", [&](auto& f) { setU32(f, 14 + 4, 0); }, "bad bitmap size"},
      {"huge height", [&](auto& f) { setU32(f, 14 + 8, 100000); }, "bad bitmap size"},
      {"palette too big", [&](auto& f) { setU32(f, 14 + 32, 17); }, "palette"},
      {"header size past end", [&](auto& f) { setU32(f, 14, 0x7FFFFFFF); }, "header size"},
  };
  for (const BadFile& c : cases) {
    std::vector<uint8_t> file = good;
    c.damage(file);
    Image image;
    std::string error;
    EXPECT_FALSE(DecodeBmp(file, image, error)) << c.what;
    EXPECT_NE(error.find(c.reason), std::string::npos) << c.what << ": " << error;
    EXPECT_TRUE(image.Empty()) << c.what;
  }
}

TEST(IcoDecode, MaskMakesPixelsTransparentAndSizesArePicked) {
  TestPicture small = Pattern(16, 16, {kRed, kWhite});
  TestPicture big = Pattern(32, 32, {kBlue, kGreen, kWhite});
  small.pixels[0] &= 0x00FFFFFF;           // (0, 0) transparent
  big.pixels[32 * 31 + 31] &= 0x00FFFFFF;  // (31, 31) transparent
  IconImages icon;
  std::string error;
  ASSERT_TRUE(DecodeIco(MakeIco({{small, 4}, {big, 8}}), icon, error)) << error;
  ASSERT_EQ(icon.images.size(), 2u);

  const Image* s = icon.Pick(16);
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(s->width, 16);
  EXPECT_EQ(s->At(0, 0) >> 24, 0u);
  EXPECT_EQ(s->At(1, 0), kWhite);
  EXPECT_EQ(s->At(0, 1), kRed);

  const Image* b = icon.Pick(32);
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(b->width, 32);
  EXPECT_EQ(b->At(31, 31) >> 24, 0u);
  EXPECT_EQ(b->At(0, 0), kBlue);
  // No 24-pixel image: the smallest larger one; nothing larger than 48: the largest.
  EXPECT_EQ(icon.Pick(24)->width, 32);
  EXPECT_EQ(icon.Pick(48)->width, 32);
  EXPECT_EQ(icon.Pick(8)->width, 16);
}

TEST(IcoDecode, PrefersMoreColoursAtTheSameSize) {
  IconImages icon;
  std::string error;
  const TestPicture a = Pattern(16, 16, {kRed, kBlue});
  const TestPicture b = Pattern(16, 16, {kGreen, kWhite});
  ASSERT_TRUE(DecodeIco(MakeIco({{a, 1}, {b, 24}}), icon, error)) << error;
  EXPECT_EQ(icon.Pick(16)->At(0, 0), kGreen);
}

TEST(IcoDecode, RefusesDamagedFiles) {
  const std::vector<uint8_t> good = MakeIco({{Pattern(16, 16, {kRed, kBlue}), 4}});
  const std::vector<BadFile> cases = {
      {"empty", [](auto& f) { f.clear(); }, "not an ICO"},
      {"cursor type", [](auto& f) { f[2] = 2; }, "not an ICO"},
      {"no images", [](auto& f) { f[4] = 0; }, "empty"},
      {"directory cut", [](auto& f) { f.resize(10); }, "cut short"},
      {"image past end",
       [](auto& f) {
         f[6 + 12] = 0xFF;
         f[6 + 13] = 0xFF;
       },
       "outside the file"},
      {"pixels cut", [](auto& f) { f[6 + 8] = 60; }, "cut short"},
      {"odd height", [](auto& f) { f[22 + 8] = 31; }, "twice"},
  };
  for (const BadFile& c : cases) {
    std::vector<uint8_t> file = good;
    c.damage(file);
    IconImages icon;
    std::string error;
    EXPECT_FALSE(DecodeIco(file, icon, error)) << c.what;
    EXPECT_NE(error.find(c.reason), std::string::npos) << c.what << ": " << error;
  }
}

TEST(IcoDecode, PngImagesAreSkippedButAloneAreRefused) {
  std::vector<uint8_t> png = {0x89, 'P', 'N', 'G', 0, 0, 0, 0};
  std::vector<uint8_t> file;
  test::PutU16(file, 0);
  test::PutU16(file, 1);
  test::PutU16(file, 1);
  file.insert(file.end(), {0, 0, 0, 0});
  test::PutU16(file, 1);
  test::PutU16(file, 32);
  test::PutU32(file, static_cast<uint32_t>(png.size()));
  test::PutU32(file, 22);
  file.insert(file.end(), png.begin(), png.end());
  IconImages icon;
  std::string error;
  EXPECT_FALSE(DecodeIco(file, icon, error));
  EXPECT_NE(error.find("PNG"), std::string::npos) << error;
}

}  // namespace
}  // namespace tessaro
