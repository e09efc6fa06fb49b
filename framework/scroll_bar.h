// A scroll bar: an arrow button at each end and the track between them, in
// which the thumb's length and place show the visible part of what scrolls.
// Only the geometry and the look; what scrolls (an edit's lines, its pixels
// sideways) is the control's business.
#pragma once

#include "framework/surface.h"
#include "framework/win_types.h"

namespace tessaro {

// `up` and `down` are the arrows at the start and the end of the bar (left
// and right on a horizontal one).
struct ScrollBarLayout {
  CRect up, down, track, thumb;
};
// The layout of a vertical bar `bar` over `lines` lines of which `visible`
// fit, from line `first` on; with no more lines than fit, the thumb fills the
// track.
ScrollBarLayout LayoutScrollBar(const CRect& bar, int lines, int visible, int first);
// The highest first visible line: the last line shows at the bottom.
int MaxFirstLine(int lines, int visible);
// The first line that puts the thumb's top at `thumbTop` (dragging it).
int FirstLineAtThumb(const CRect& bar, int lines, int visible, int thumbTop);

// Draws a bar: the track, the two arrow buttons (pointing up and down, or
// left and right when `horizontal`) and the thumb.
void DrawScrollBar(Surface& s, const ScrollBarLayout& layout, bool horizontal);

}  // namespace tessaro
