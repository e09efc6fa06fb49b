// The pictures of the game window: the board, the stone and mark images drawn
// over its points, and the window and menu icons. Only geometry and colours
// live here; the file layouts are image_files.h.
#pragma once

#include <vector>

#include "tools/raster.h"

namespace tessaro::tools {

// ---- Geometry of the board image -------------------------------------------

inline constexpr int kBoardImageSize = 260;
inline constexpr int kGridOrigin = 8;  // image offset of line 0 in both directions
inline constexpr int kGridPitch = 17;
inline constexpr int kGridLines = 15;
inline constexpr int kStoneSize = 15;   // stone and mark images
inline constexpr int kStoneCentre = 7;  // lies on the crossing when drawn

// The board's ground, which the corners of the plain stones repeat so that a
// stone sits on the board without a visible square; marks and highlighted
// stones stand on a lighter patch.
inline constexpr Colour kBoardGround = kDarkGrey;
inline constexpr Colour kPatchGround = kLightGrey;

constexpr int GridOffset(int k) {
  return kGridOrigin + kGridPitch * k;
}

// ---- Bitmaps ----------------------------------------------------------------

// What a 15 x 15 image shows; each has one bitmap resource.
enum class Stone {
  kBlack,         // 157
  kWhite,         // 158
  kForbidden,     // 163: the crossing with a red cross
  kProposal,      // 164: dark green disc
  kLastBlack,     // 165: black disc, small white ring
  kLastWhite,     // 166: white disc, small black ring
  kSimWhite,      // 167: yellow disc (white in simulation mode)
  kLastSimWhite,  // 168: yellow disc, small black ring
};

Raster DrawBoardImage();  // 156
Raster DrawStoneImage(Stone stone);

// ---- Icons ------------------------------------------------------------------

enum class Icon {
  kPlugin,  // 128: a small board with a black and a white stone
  kNoSide,  // 160: dark red disc with a yellow rim
  kBlack,   // 161: black disc with a white rim
  kWhite,   // 162: white disc with a thin grey outline
};

// The 16 x 16 and the 32 x 32 picture, in that order; kTransparent outside.
std::vector<Raster> DrawIconImages(Icon icon);

}  // namespace tessaro::tools
