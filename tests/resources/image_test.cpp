// The bitmaps and icons as the plug-in carries them, looked up by resource
// id through the embedded script and decoded by the test's own reader.
#include <algorithm>
#include <set>
#include <string>

#include "gtest/gtest.h"
#include "image_reader.h"
#include "rc_reader.h"
#include "resources/embedded.h"

namespace tessaro::testing {
namespace {

constexpr Rgb kBlack{0, 0, 0};
constexpr Rgb kDarkRed{128, 0, 0};
constexpr Rgb kDarkGreen{0, 128, 0};
constexpr Rgb kDarkGrey{128, 128, 128};
constexpr Rgb kRed{255, 0, 0};
constexpr Rgb kYellow{255, 255, 0};
constexpr Rgb kWhite{255, 255, 255};

// clang-format off
constexpr std::array<Rgb, 16> kVgaPalette = {{
    {0, 0, 0}, {128, 0, 0}, {0, 128, 0}, {128, 128, 0}, {0, 0, 128}, {128, 0, 128},
    {0, 128, 128}, {192, 192, 192}, {128, 128, 128}, {255, 0, 0}, {0, 255, 0},
    {255, 255, 0}, {0, 0, 255}, {255, 0, 255}, {0, 255, 255}, {255, 255, 255}}};
// clang-format on

constexpr int GridAt(int k) {
  return 8 + 17 * k;
}

bool IsGrey(Rgb c) {
  return c.r == c.g && c.g == c.b && c.r != 0 && c.r != 255;
}

const RcScript& Script() {
  static const RcScript script = [] {
    std::string error;
    auto read = ReadScript(PluginResourceScript(), error);
    EXPECT_TRUE(read.has_value()) << error;
    return read.value_or(RcScript{});
  }();
  return script;
}

std::span<const uint8_t> Embedded(const std::map<int64_t, std::string>& table, int id) {
  const auto path = table.find(id);
  if (path == table.end()) return {};
  return PluginResourceFile(path->second).value_or(std::span<const uint8_t>{});
}

Picture Bitmap(int id) {
  std::string error;
  auto picture = ReadBmp(Embedded(Script().bitmaps, id), error);
  EXPECT_TRUE(picture.has_value()) << "bitmap " << id << ": " << error;
  return picture.value_or(Picture{});
}

std::vector<IconEntry> Icon(int id) {
  std::string error;
  auto entries = ReadIco(Embedded(Script().icons, id), error);
  EXPECT_TRUE(entries.has_value()) << "icon " << id << ": " << error;
  return entries.value_or(std::vector<IconEntry>{});
}

// ---- Every bitmap ------------------------------------------------------------

TEST(Bitmaps, AreUncompressed16ColourImagesOfTheirSize) {
  std::set<int64_t> ids;
  for (const auto& [id, path] : Script().bitmaps)
    ids.insert(id);
  EXPECT_EQ(ids, (std::set<int64_t>{156, 157, 158, 163, 164, 165, 166, 167, 168}));
  for (const int64_t id : ids) {
    SCOPED_TRACE("bitmap " + std::to_string(id));
    const Picture p = Bitmap(static_cast<int>(id));
    const int size = id == 156 ? 260 : 15;
    EXPECT_EQ(p.width, size);
    EXPECT_EQ(p.height, size);
    EXPECT_EQ(p.bitCount, 4);
    EXPECT_EQ(p.compression, 0u);
    EXPECT_TRUE(p.bottomUp);
    EXPECT_EQ(p.palette, kVgaPalette);
  }
}

// ---- The board -----------------------------------------------------------------

class Board : public ::testing::Test {
 protected:
  Picture board_ = Bitmap(156);
  Rgb ground_ = board_.At(4, 4);
};

TEST_F(Board, HasFifteenOnePixelLinesEachWayOnAGreyGround) {
  ASSERT_TRUE(IsGrey(ground_));
  for (int k = 0; k < 15; ++k) {
    for (int along = GridAt(0); along <= GridAt(14); ++along) {
      ASSERT_EQ(board_.At(GridAt(k), along), kBlack) << "column line " << k << " at " << along;
      ASSERT_EQ(board_.At(along, GridAt(k)), kBlack) << "row line " << k << " at " << along;
    }
    // Beside the lines and past their ends: ground (the middle of a row of
    // cells keeps clear of the star points).
    const int mid = GridAt(k) + (k < 14 ? 8 : -8);
    EXPECT_EQ(board_.At(GridAt(k) - 1, mid), ground_) << k;
    EXPECT_EQ(board_.At(GridAt(k) + 1, mid), ground_) << k;
    EXPECT_EQ(board_.At(GridAt(0) - 1, GridAt(k)), ground_) << k;
    EXPECT_EQ(board_.At(GridAt(14) + 1, GridAt(k)), ground_) << k;
    EXPECT_EQ(board_.At(GridAt(k), GridAt(0) - 1), ground_) << k;
    EXPECT_EQ(board_.At(GridAt(k), GridAt(14) + 1), ground_) << k;
  }
}

TEST_F(Board, MarksTheStarPointsWithRingsAndTheCentreWithADot) {
  enum Kind { kPlain, kRing, kDot };
  struct Case {
    int x, y;
    Kind kind;
  };
  const Case cases[] = {{3, 3, kRing},  {11, 3, kRing},  {3, 11, kRing}, {11, 11, kRing},
                        {7, 7, kDot},   {0, 0, kPlain},  {7, 3, kPlain}, {3, 7, kPlain},
                        {5, 9, kPlain}, {14, 14, kPlain}};
  for (const Case& c : cases) {
    SCOPED_TRACE("point " + std::to_string(c.x) + "," + std::to_string(c.y));
    const int cx = GridAt(c.x);
    const int cy = GridAt(c.y);
    EXPECT_EQ(board_.At(cx, cy), kBlack);
    for (const int dx : {-1, 1}) {
      for (const int dy : {-1, 1}) {
        EXPECT_EQ(board_.At(cx + dx, cy + dy), c.kind == kDot ? kBlack : ground_);
        if (c.kind == kDot) continue;
        EXPECT_EQ(board_.At(cx + 2 * dx, cy + 2 * dy), c.kind == kRing ? kBlack : ground_);
      }
    }
  }
}

// The ink of a label box, as a string, so that labels can be told apart.
std::string Ink(const Picture& p, int left, int top, int right, int bottom) {
  std::string ink;
  for (int y = top; y <= bottom; ++y) {
    for (int x = left; x <= right; ++x)
      ink += p.At(x, y) == kBlack ? '#' : '.';
  }
  return ink;
}

// The label boxes: a letter under column k, a number right of row k.
struct Box {
  int left, top, right, bottom;
  bool operator==(const Box&) const = default;
};
constexpr Box LetterBox(int k) {
  return {GridAt(k) - 8, GridAt(14) + 1, GridAt(k) + 8, 259};
}
constexpr Box NumberBox(int k) {
  return {GridAt(14) + 3, GridAt(k) - 8, 259, GridAt(k) + 8};
}

TEST_F(Board, LabelsEveryColumnAndRowDistinctly) {
  std::set<std::string> letters;
  std::set<std::string> numbers;
  for (int k = 0; k < 15; ++k) {
    const Box l = LetterBox(k);
    const Box n = NumberBox(k);
    const std::string letter = Ink(board_, l.left, l.top, l.right, l.bottom);
    const std::string number = Ink(board_, n.left, n.top, n.right, n.bottom);
    EXPECT_NE(letter.find('#'), std::string::npos) << "column " << k << " has no letter";
    EXPECT_NE(number.find('#'), std::string::npos) << "row " << k << " has no number";
    letters.insert(letter);
    numbers.insert(number);
  }
  EXPECT_EQ(letters.size(), 15u);
  EXPECT_EQ(numbers.size(), 15u);
}

// The smallest box around the ink in `box`, and the narrowest run of ink
// along a pixel row in it.
struct InkShape {
  Box bounds{260, 260, -1, -1};
  int thinnest = 260;
};
InkShape ShapeOf(const Picture& p, Box box) {
  InkShape shape;
  for (int y = box.top; y <= box.bottom; ++y) {
    int run = 0;
    for (int x = box.left; x <= box.right + 1; ++x) {
      if (x <= box.right && p.At(x, y) == kBlack) {
        ++run;
        shape.bounds = {std::min(shape.bounds.left, x), std::min(shape.bounds.top, y),
                        std::max(shape.bounds.right, x), std::max(shape.bounds.bottom, y)};
      } else if (run > 0) {
        shape.thinnest = std::min(shape.thinnest, run);
        run = 0;
      }
    }
  }
  return shape;
}

TEST_F(Board, SetsLabelsInTallBoldGlyphsFillingTheMargins) {
  // Letters: an 8-pixel ascender, a 5-pixel body, tails down to the last row
  // shown, centred under their line. Numbers: 9 pixels high, centred on their
  // line, ending at the last column shown. Upright strokes 2 pixels wide.
  struct Case {
    const char* label;
    Box box;
    Box ink;
  };
  const Case cases[] = {
      {"a", LetterBox(0), {5, 252, 10, 256}},     {"g", LetterBox(6), {107, 252, 112, 258}},
      {"h", LetterBox(7), {124, 249, 129, 256}},  {"m", LetterBox(12), {208, 252, 215, 256}},
      {"o", LetterBox(14), {243, 252, 248, 256}}, {"15", NumberBox(0), {249, 4, 258, 12}},
      {"8", NumberBox(7), {253, 123, 258, 131}},  {"1", NumberBox(14), {256, 242, 258, 250}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    const InkShape shape = ShapeOf(board_, c.box);
    EXPECT_EQ(shape.bounds, c.ink) << shape.bounds.left << "," << shape.bounds.top << " "
                                   << shape.bounds.right << "," << shape.bounds.bottom;
    EXPECT_GE(shape.thinnest, 2);
  }
}

TEST_F(Board, KeepsLabelsOffTheLinesAndOutOfTheHiddenEdge) {
  // Two blank pixels beyond the last lines part them from the labels. The
  // window shows 259 of the 260 pixels: the last column and row stay empty.
  for (int along = 0; along <= GridAt(14) + 2; ++along) {
    for (int across = GridAt(14) + 1; across <= GridAt(14) + 2; ++across) {
      ASSERT_EQ(board_.At(across, along), ground_) << across << "," << along;
      ASSERT_EQ(board_.At(along, across), ground_) << along << "," << across;
    }
  }
  for (int along = 0; along < 260; ++along) {
    ASSERT_EQ(board_.At(259, along), ground_) << along;
    ASSERT_EQ(board_.At(along, 259), ground_) << along;
  }
}

// ---- Stones and marks ----------------------------------------------------------

TEST(Stones, ShowTheirColoursAndSitOnTheBoard) {
  const Rgb boardGrey = Bitmap(156).At(4, 4);
  struct Case {
    int id;
    Rgb centre;  // (7, 7), which lies on the crossing
    Rgb ring;    // (7, 5): the last-move ring, or the body
    Rgb edge;    // (7, 0): the outline, or the body
    bool patch;  // corners lighter than the board, else the board's grey
  };
  const Case cases[] = {
      {157, kBlack, kBlack, kBlack, false},
      {158, kWhite, kWhite, kBlack, false},
      {164, kDarkGreen, kDarkGreen, kDarkGreen, true},
      {165, kBlack, kWhite, kBlack, true},
      {166, kWhite, kBlack, kBlack, true},
      {167, kYellow, kYellow, kBlack, true},
      {168, kYellow, kBlack, kBlack, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("bitmap " + std::to_string(c.id));
    const Picture p = Bitmap(c.id);
    EXPECT_EQ(p.At(7, 7), c.centre);
    EXPECT_EQ(p.At(7, 6), c.centre);  // a ring, not a dot
    EXPECT_EQ(p.At(7, 5), c.ring);
    EXPECT_EQ(p.At(7, 0), c.edge);
    for (const auto& [x, y] : {std::pair{0, 0}, {14, 0}, {0, 14}, {14, 14}}) {
      if (c.patch) {
        EXPECT_TRUE(IsGrey(p.At(x, y)));
        EXPECT_GT(p.At(x, y).r, boardGrey.r);
      } else {
        EXPECT_EQ(p.At(x, y), boardGrey);
      }
    }
  }
}

TEST(Stones, AreCentredOnTheirMiddlePixel) {
  for (const int id : {157, 158, 163, 164, 165, 166, 167, 168}) {
    const Picture p = Bitmap(id);
    for (int y = 0; y < 15; ++y) {
      for (int x = 0; x < 15; ++x) {
        ASSERT_EQ(p.At(x, y), p.At(14 - x, y)) << id << " at " << x << "," << y;
        ASSERT_EQ(p.At(x, y), p.At(x, 14 - y)) << id << " at " << x << "," << y;
      }
    }
  }
}

TEST(Stones, ForbiddenMarkIsARedCrossOverTheCrossing) {
  const Picture p = Bitmap(163);
  EXPECT_GT(p.At(0, 0).r, Bitmap(156).At(4, 4).r);
  // The grid line runs through the whole image, so it joins the board's.
  for (const int end : {0, 1, 13, 14}) {
    EXPECT_EQ(p.At(end, 7), kBlack);
    EXPECT_EQ(p.At(7, end), kBlack);
  }
  for (const int d : {0, 2, 3}) {
    for (const auto& [sx, sy] : {std::pair{1, 1}, {1, -1}, {-1, 1}, {-1, -1}}) {
      EXPECT_EQ(p.At(7 + sx * d, 7 + sy * d), kRed) << d;
    }
  }
}

// ---- Icons ---------------------------------------------------------------------

TEST(Icons, HoldA16And32PixelImageWithATransparentOutside) {
  struct Case {
    int id;
    Rgb centre;
    Rgb rim;  // top middle
  };
  const Case cases[] = {
      {160, kDarkRed, kYellow},
      {161, kBlack, kWhite},
      {162, kWhite, kDarkGrey},
  };
  for (const Case& c : cases) {
    const auto entries = Icon(c.id);
    ASSERT_EQ(entries.size(), 2u) << c.id;
    for (const IconEntry& e : entries) {
      const int size = e.width;
      SCOPED_TRACE("icon " + std::to_string(c.id) + " size " + std::to_string(size));
      EXPECT_TRUE(size == 16 || size == 32);
      EXPECT_EQ(e.height, size);
      EXPECT_EQ(e.picture.width, size);
      EXPECT_EQ(e.picture.height, size);
      EXPECT_EQ(e.colourCount, 16);
      EXPECT_EQ(e.planes, 1);
      EXPECT_EQ(e.bitCount, 4);
      EXPECT_EQ(e.picture.palette, kVgaPalette);
      const Picture& p = e.picture;
      EXPECT_FALSE(p.Transparent(size / 2, size / 2));
      EXPECT_EQ(p.At(size / 2, size / 2), c.centre);
      EXPECT_FALSE(p.Transparent(size / 2, 0));
      EXPECT_EQ(p.At(size / 2, 0), c.rim);
      for (const int x : {0, size - 1}) {
        for (const int y : {0, size - 1})
          EXPECT_TRUE(p.Transparent(x, y));
      }
    }
    EXPECT_NE(entries[0].width, entries[1].width);
  }
}

TEST(Icons, ShowTheScreenWhereTransparentAndThePluginIconShowsBothStones) {
  for (const int id : {128, 160, 161, 162}) {
    for (const IconEntry& e : Icon(id)) {
      std::set<uint8_t> opaque;
      for (int y = 0; y < e.picture.height; ++y) {
        for (int x = 0; x < e.picture.width; ++x) {
          // Transparent pixels must be colour 0, or the screen is XORed.
          if (e.picture.Transparent(x, y)) {
            ASSERT_EQ(e.picture.IndexAt(x, y), 0) << id << " at " << x << "," << y;
          } else {
            opaque.insert(e.picture.IndexAt(x, y));
          }
        }
      }
      if (id == 128) {
        EXPECT_TRUE(opaque.contains(0)) << "no black stone at " << e.width;
        EXPECT_TRUE(opaque.contains(15)) << "no white stone at " << e.width;
      }
    }
  }
}

}  // namespace
}  // namespace tessaro::testing
