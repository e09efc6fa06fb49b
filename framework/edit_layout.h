// Where an edit control's text lies: its lines, the area they are drawn in,
// which of them are in view and its scroll bars. Functions of the window's
// record alone, so that the window list can keep an edit's view when its text
// is set, below the edit control's behaviour.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "framework/scroll_bar.h"
#include "framework/win_types.h"
#include "framework/window_record.h"

namespace tessaro {

// The layout of an edit control's text: the area inside border and scroll
// bars, the line height of its font and how many lines fit.
struct EditLayout {
  CRect text;
  int lineHeight = 0;
  int visibleLines = 1;
};
EditLayout LayoutEdit(const WindowRecord& rec);

// ---- Lines ----

int EditLineCount(const WindowRecord& rec);
// The number of '\n' in a text.
int CountLineBreaks(std::string_view text);
// Where line `line` (from 0) of a text starts: `offset` and `line` are those
// of the line reached, an earlier one when the text has fewer lines.
struct LineStart {
  size_t offset = 0;
  int line = 0;
};
LineStart FindLineStart(std::string_view text, int line);
// The line of a text that character `pos` is on.
int CaretLine(const std::string& text, int pos);

// The same of an edit's own text, from its index of lines (the window
// record's lineBreaks): a cost that does not grow with the text. The index is
// brought up to date with what was added at the end since it was last asked;
// a change anywhere else must drop it first.
const std::vector<size_t>& LineBreaksOf(const WindowRecord& rec);
void DropLineIndex(WindowRecord& rec);
LineStart FindLineStart(const WindowRecord& rec, int line);
int CaretLine(const WindowRecord& rec, int pos);

// ---- Scroll bars ----

// The vertical scroll bar of a multi-line edit, in its client coordinates
// (empty without WS_VSCROLL).
CRect VScrollBarOf(const WindowRecord& rec);
// The horizontal scroll bar of a multi-line edit, in its client coordinates
// (empty without WS_HSCROLL), and its layout: `up` is the left arrow, `down`
// the right one. It spans the widest of the lines in view (a word longer than
// the pane is never split), so that sideways scrolling shows all of them.
CRect HScrollBarOf(const WindowRecord& rec);
ScrollBarLayout LayoutHScrollBar(const WindowRecord& rec);
// The width in pixels of the widest line in view of a multi-line edit.
int WidestLineInView(const WindowRecord& rec);
// How far the lines in view can be scrolled to the left: 0 when they fit.
int MaxFirstX(const WindowRecord& rec);
// How far they are scrolled to the left, kept within that.
int FirstX(const WindowRecord& rec);
// How far they are scrolled when the horizontal thumb's left edge is dragged
// to `thumbLeft`.
int FirstXAtThumb(const WindowRecord& rec, int thumbLeft);

}  // namespace tessaro
