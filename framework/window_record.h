// What the framework keeps for each window. Internal to the framework and its
// backends; plug-in code uses CWnd.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "framework/gdi.h"
#include "framework/image.h"
#include "framework/menu.h"
#include "framework/region.h"
#include "framework/win_types.h"

class CWnd;

namespace tessaro {

enum class WindowKind : uint8_t { Plain, Dialog, Edit, RichEdit, Static, Button };

struct WindowRecord {
  HWND hwnd = nullptr;
  CWnd* object = nullptr;             // null while the object is being torn down
  std::unique_ptr<CWnd> ownedObject;  // controls the framework made from a template
  WindowKind kind = WindowKind::Plain;
  std::string className;
  HWND parent = nullptr;  // a child's parent, or a pop-up's owner
  bool child = false;
  std::vector<HWND> children;  // creation order, which is also the tab order
  int id = 0;
  DWORD style = 0;  // WS_VISIBLE and WS_DISABLED are kept in `visible` and `enabled`
  DWORD exStyle = 0;
  CRect rect;  // a child's client rectangle in its parent's client coordinates;
               // a top-level window's client area on the screen
  std::string text;
  bool visible = false;
  bool iconic = false;
  bool enabled = true;
  bool destroying = false;

  // Painting.
  Region invalid;  // client coordinates
  bool erasePending = false;
  std::shared_ptr<Image> canvas;  // top-level windows only; children draw into it
  // With a driver scale above 1: the canvas enlarged, drawn along with it.
  std::shared_ptr<Image> fineCanvas;

  // Decorations.
  HICON bigIcon = nullptr;
  HICON smallIcon = nullptr;
  std::unique_ptr<CFont> font;
  std::unique_ptr<CMenu> menu;
  std::unique_ptr<CMenu> systemMenu;
  HWND lastFocus = nullptr;  // top-level: the child to focus when activated
  int defaultId = 0;         // dialogs: the default push button (0: IDOK)

  // Controls.
  HICON staticIcon = nullptr;
  int selStart = 0;
  int selEnd = 0;
  int firstLine = 0;  // the first visible line of a multi-line edit
  // The user scrolled a multi-line edit away from its last line: new text and
  // caret moves leave the view where the user put it until the user scrolls
  // back to the end.
  bool scrolledBack = false;
  int thumbGrab = -1;  // while the scroll thumb is dragged: the pixel grabbed in it
  // A multi-line edit with a horizontal bar: how many pixels its lines are
  // scrolled to the left, and the pixel grabbed in that bar's thumb.
  int firstX = 0;
  int hThumbGrab = -1;
};

// The control kind of a window class name ("EDIT", "BUTTON", "STATIC", the
// rich edit classes; case does not matter), or nothing for another class.
std::optional<WindowKind> ControlKindOf(std::string_view className);

// The default processing of a message for any window: the dialog manager,
// the controls' own behaviour, painting and the system commands.
LRESULT DefaultWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

// What the standard controls do with messages (typing, clicks, EM_*).
LRESULT ControlProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
// Draws a control into its part of the canvas (its paint handling).
void PaintControl(HWND hwnd);
// Sets an edit control's selection as EM_SETSEL does (-1 start: no selection,
// -1 end: to the end); the caret is at `end`. With `scroll`, a multi-line edit
// scrolls so that the caret's line is visible.
void SetEditSelection(HWND hwnd, int start, int end, bool scroll);
// Replaces an edit control's selection with text, as typing does.
void ReplaceEditSelection(HWND hwnd, std::string_view text);

// The layout of an edit control's text: the area inside border and scroll
// bars, the line height of its font and how many lines fit.
struct EditLayout {
  CRect text;
  int lineHeight = 0;
  int visibleLines = 1;
};
EditLayout LayoutEdit(const WindowRecord& rec);
int LineHeightOf(const CFont* font);
// Whether a control's font draws its text bold.
bool IsBold(const CFont* font);

// A vertical scroll bar: an arrow button at each end and the track between
// them, in which the thumb's length and place show the visible part of the
// lines. `bar` is the whole bar; with no more lines than fit, the thumb fills
// the track.
struct ScrollBarLayout {
  CRect up, down, track, thumb;
};
ScrollBarLayout LayoutScrollBar(const CRect& bar, int lines, int visible, int first);
// The highest first visible line: the last line shows at the bottom.
int MaxFirstLine(int lines, int visible);
// The first line that puts the thumb's top at `thumbTop` (dragging it).
int FirstLineAtThumb(const CRect& bar, int lines, int visible, int thumbTop);
// The vertical scroll bar of a multi-line edit, in its client coordinates
// (empty without WS_VSCROLL).
CRect VScrollBarOf(const WindowRecord& rec);
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

}  // namespace tessaro
