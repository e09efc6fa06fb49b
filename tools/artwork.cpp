#include "tools/artwork.h"

#include <algorithm>
#include <cstdlib>
#include <string>

#include "tools/pixel_font.h"

namespace tessaro::tools {

namespace {

// ---- Shapes shared by the stone images -------------------------------------

// A stone fills its 15 x 15 image but for the corners: rows of 5, 9, 11, 13,
// 13, 15, 15, 15 pixels from the top edge to the middle.
constexpr double kStoneRadius2 = 56;
// The last-move ring: the pixels at distance 2 to sqrt(5) from the centre,
// a small round "o" whose inside keeps the stone's colour.
constexpr double kRingInner2 = 3;
constexpr double kRingOuter2 = 5;

void PlainStone(Raster& image, Colour body, Colour outline) {
  image.FillDisc(kStoneCentre, kStoneCentre, kStoneRadius2, body);
  if (outline != body) image.OutlineDisc(kStoneCentre, kStoneCentre, kStoneRadius2, outline);
}

void LastMoveRing(Raster& image, Colour colour) {
  image.FillRing(kStoneCentre, kStoneCentre, kRingInner2, kRingOuter2, colour);
}

// The grid crossing as the board shows it, then a thick red cross over it
// that reads at a glance.
void ForbiddenMark(Raster& image) {
  image.FillRect(0, kStoneCentre, kStoneSize, 1, kBlack);
  image.FillRect(kStoneCentre, 0, 1, kStoneSize, kBlack);
  image.FillWhere(
      [](int x, int y) {
        const int dx = std::abs(x - kStoneCentre);
        const int dy = std::abs(y - kStoneCentre);
        return dx <= 4 && dy <= 4 && std::abs(dx - dy) <= 1;
      },
      kRed);
}

// ---- Icon pictures ----------------------------------------------------------

// A disc filling an icon of `size` pixels, with a rim of `rimWidth` pixels.
Raster RimmedDisc(int size, Colour body, Colour rim, int rimWidth) {
  Raster image(size, size, kTransparent);
  const double centre = (size - 1) / 2.0;
  const double radius = size / 2.0 - 0.25;
  image.FillDisc(centre, centre, radius * radius, rim);
  const double inner = radius - rimWidth;
  image.FillDisc(centre, centre, inner * inner, body);
  return image;
}

// Two stones on a piece of board: the plug-in itself. The stones sit on
// diagonal crossings of a coarse grid so that they read at 16 pixels.
Raster PluginIcon(int size) {
  Raster image(size, size, kTransparent);
  const int last = size - 1;
  const int cut = size / 16;  // the board's corners are cut, not square
  image.FillWhere(
      [last, cut](int x, int y) {
        const int fromX = std::min(x, last - x);
        const int fromY = std::min(y, last - y);
        return fromX + fromY >= cut;
      },
      kBoardGround);
  const int near = size / 4;
  const int far = last - near;
  for (const int at : {near, far}) {
    image.FillRect(at, 1, 1, size - 2, kBlack);
    image.FillRect(1, at, size - 2, 1, kBlack);
  }
  const double radius2 = size >= 32 ? 42 : 12;
  image.FillDisc(near, near, radius2, kBlack);
  image.FillDisc(far, far, radius2, kWhite);
  image.OutlineDisc(far, far, radius2, kBlack);
  return image;
}

Raster IconPicture(Icon icon, int size) {
  const int rim = size >= 32 ? 2 : 1;
  switch (icon) {
    case Icon::kPlugin:
      return PluginIcon(size);
    case Icon::kNoSide:
      return RimmedDisc(size, kDarkRed, kYellow, rim);
    case Icon::kBlack:
      return RimmedDisc(size, kBlack, kWhite, rim);
    case Icon::kWhite:
      return RimmedDisc(size, kWhite, kDarkGrey, 1);
  }
  return Raster(size, size, kTransparent);
}

}  // namespace

// ---- Board ------------------------------------------------------------------

Raster DrawBoardImage() {
  Raster board(kBoardImageSize, kBoardImageSize, kBoardGround);
  const int first = GridOffset(0);
  const int last = GridOffset(kGridLines - 1);
  for (int k = 0; k < kGridLines; ++k) {
    board.FillRect(GridOffset(k), first, 1, last - first + 1, kBlack);
    board.FillRect(first, GridOffset(k), last - first + 1, 1, kBlack);
  }

  // Star points: open rings around four crossings, a filled dot on the centre.
  constexpr int kStars[4][2] = {{3, 3}, {11, 3}, {3, 11}, {11, 11}};
  for (const auto& star : kStars) {
    board.FillRing(GridOffset(star[0]), GridOffset(star[1]), 7, 10, kBlack);
  }
  board.FillDisc(GridOffset(7), GridOffset(7), 5, kBlack);

  // Coordinates: letters under the columns, numbers right of the rows
  // counting up from the bottom row, in the 12 pixels between the last lines
  // and the last pixel the window shows (it shows 259 of the 260, so the last
  // column and row stay empty). Two blank pixels keep the labels off the lines'
  // ends; the letters' tails and the numbers' last column reach the edge. A
  // stone on an outermost point reaches 7 pixels past its line and covers the
  // top of the label beyond it, which its neighbours' labels still name.
  constexpr int lastShown = kBoardImageSize - 2;
  constexpr int lettersTop = GridOffset(kGridLines - 1) + 3;
  static_assert(lettersTop + kGlyphRows == lastShown + 1,
                "the letters' tails end on the last row the window shows");
  for (int k = 0; k < kGridLines; ++k) {
    const std::string letter(1, static_cast<char>('a' + k));
    DrawText(board, GridOffset(k) - TextWidth(letter) / 2, lettersTop, letter, kBlack);
    const std::string number = std::to_string(kGridLines - k);
    DrawText(board, lastShown + 1 - TextWidth(number), GridOffset(k) - kDigitRows / 2, number,
             kBlack);
  }
  return board;
}

// ---- Stones and marks -------------------------------------------------------

Raster DrawStoneImage(Stone stone) {
  const bool onPatch = stone != Stone::kBlack && stone != Stone::kWhite;
  Raster image(kStoneSize, kStoneSize, onPatch ? kPatchGround : kBoardGround);
  switch (stone) {
    case Stone::kBlack:
      PlainStone(image, kBlack, kBlack);
      break;
    case Stone::kWhite:
      PlainStone(image, kWhite, kBlack);
      break;
    case Stone::kForbidden:
      ForbiddenMark(image);
      break;
    case Stone::kProposal:
      PlainStone(image, kDarkGreen, kDarkGreen);
      break;
    case Stone::kLastBlack:
      PlainStone(image, kBlack, kBlack);
      LastMoveRing(image, kWhite);
      break;
    case Stone::kLastWhite:
      PlainStone(image, kWhite, kBlack);
      LastMoveRing(image, kBlack);
      break;
    case Stone::kSimWhite:
      PlainStone(image, kYellow, kBlack);
      break;
    case Stone::kLastSimWhite:
      PlainStone(image, kYellow, kBlack);
      LastMoveRing(image, kBlack);
      break;
  }
  return image;
}

// ---- Icons ------------------------------------------------------------------

std::vector<Raster> DrawIconImages(Icon icon) {
  return {IconPicture(icon, 16), IconPicture(icon, 32)};
}

}  // namespace tessaro::tools
