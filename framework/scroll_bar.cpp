#include "framework/scroll_bar.h"

#include <algorithm>

#include "framework/image.h"

namespace tessaro {
namespace {

constexpr uint32_t kFace = Argb(192, 192, 192);
constexpr uint32_t kShadow = Argb(128, 128, 128);
constexpr uint32_t kBlack = Argb(0, 0, 0);
constexpr uint32_t kWhite = Argb(255, 255, 255);

// A raised button face: light top-left edge, dark bottom-right edge.
void DrawRaised(Surface& s, const CRect& r) {
  if (r.IsRectEmpty()) return;
  FillRect(s, r, kFace);
  FrameRect(s, r, kShadow);
  FillRect(s, CRect(r.left + 1, r.top + 1, r.right - 1, r.top + 2), kWhite);
  FillRect(s, CRect(r.left + 1, r.top + 1, r.left + 2, r.bottom - 1), kWhite);
}

// A small filled triangle centred in `r`, pointing up, down, left or right.
enum class Arrow { Up, Down, Left, Right };
void DrawArrow(Surface& s, const CRect& r, Arrow dir) {
  const int size = std::max(2, std::min(r.Width(), r.Height()) / 4);
  const int cx = r.left + r.Width() / 2;
  const int cy = r.top + r.Height() / 2;
  for (int k = 0; k < size; ++k) {
    const int half = dir == Arrow::Up || dir == Arrow::Left ? k : size - 1 - k;
    if (dir == Arrow::Up || dir == Arrow::Down) {
      const int y = cy - size / 2 + k;
      FillRect(s, CRect(cx - half, y, cx + half + 1, y + 1), kBlack);
    } else {
      const int x = cx - size / 2 + k;
      FillRect(s, CRect(x, cy - half, x + 1, cy + half + 1), kBlack);
    }
  }
}

}  // namespace

int MaxFirstLine(int lines, int visible) {
  return std::max(0, lines - std::max(1, visible));
}

ScrollBarLayout LayoutScrollBar(const CRect& bar, int lines, int visible, int first) {
  ScrollBarLayout out;
  // Square arrow buttons, shrunk when the bar is too short for both.
  const int arrow = std::min(bar.Width(), bar.Height() / 2);
  out.up = CRect(bar.left, bar.top, bar.right, bar.top + arrow);
  out.down = CRect(bar.left, bar.bottom - arrow, bar.right, bar.bottom);
  out.track = CRect(bar.left, out.up.bottom, bar.right, out.down.top);
  const int track = out.track.Height();
  const int most = MaxFirstLine(lines, visible);
  if (most == 0 || track <= 0) {
    out.thumb = out.track;
    return out;
  }
  const int length = std::clamp(track * visible / std::max(1, lines), std::min(track, 8), track);
  const int top = out.track.top + (track - length) * std::clamp(first, 0, most) / most;
  out.thumb = CRect(bar.left, top, bar.right, top + length);
  return out;
}

int FirstLineAtThumb(const CRect& bar, int lines, int visible, int thumbTop) {
  const ScrollBarLayout layout = LayoutScrollBar(bar, lines, visible, 0);
  const int room = layout.track.Height() - layout.thumb.Height();
  const int most = MaxFirstLine(lines, visible);
  if (room <= 0 || most == 0) return 0;
  const int offset = std::clamp(thumbTop - layout.track.top, 0, room);
  // Rounded to the nearest line, so that the thumb follows the mouse closely.
  return (offset * most + room / 2) / room;
}

void DrawScrollBar(Surface& s, const ScrollBarLayout& layout, bool horizontal) {
  FillRect(s, layout.track, Argb(224, 224, 224));
  DrawRaised(s, layout.up);
  DrawArrow(s, layout.up, horizontal ? Arrow::Left : Arrow::Up);
  DrawRaised(s, layout.down);
  DrawArrow(s, layout.down, horizontal ? Arrow::Right : Arrow::Down);
  DrawRaised(s, layout.thumb);
}

}  // namespace tessaro
