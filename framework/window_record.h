// What the framework keeps for each window. Internal to the framework and its
// backends; plug-in code uses CWnd. The window's object is known here only as
// a WindowObject (a CWnd in practice), so the record and the window list that
// holds it sit below the window classes.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "framework/font.h"
#include "framework/image.h"
#include "framework/menu.h"
#include "framework/region.h"
#include "framework/win_types.h"
#include "framework/window_object.h"

namespace tessaro {

enum class WindowKind : uint8_t { Plain, Dialog, Edit, RichEdit, Static, Button };

struct WindowRecord {
  HWND hwnd = nullptr;
  WindowObject* object = nullptr;             // null while the object is being torn down
  std::unique_ptr<WindowObject> ownedObject;  // controls the framework made from a template
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
  // Where each '\n' of `text` lies, for the first `indexedBytes` of it: a
  // long log finds a line, its count and the caret's line without reading its
  // text. Brought up to date when asked (edit_layout.h), extended when text is
  // added at the end, dropped when text changes anywhere else.
  mutable std::vector<size_t> lineBreaks;
  mutable size_t indexedBytes = 0;
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

}  // namespace tessaro
