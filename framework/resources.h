// Resources of a module: dialog templates, menus, strings, bitmaps and icons,
// read from a resource script (a subset of the platform's .rc syntax) and the
// image files it names.
//
// The subset: numeric ids only (no #define or #include); // and /* */ comments;
// strings in double quotes, where "" stands for one quote and a backslash has no
// special meaning; BEGIN/END or braces. Statements:
//   <id> ICON "file.ico"          <id> BITMAP "file.bmp"
//   <id> MENU  BEGIN  POPUP "text" BEGIN  MENUITEM "text", <id>[, options]
//                                          MENUITEM SEPARATOR ... END ... END
//   <id> DIALOG|DIALOGEX x, y, cx, cy  then STYLE, EXSTYLE, CAPTION, MENU, FONT
//        lines, then BEGIN controls END (CONTROL, EDITTEXT, PUSHBUTTON,
//        DEFPUSHBUTTON, LTEXT, RTEXT, CTEXT, ICON)
//   STRINGTABLE BEGIN <id> "text" ... END
// Style expressions join names and numbers with |; "NOT name" clears a bit,
// also one of the statement's default bits.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "framework/image.h"
#include "framework/win_types.h"

namespace tessaro {

// ---- Templates ----

struct FontSpec {
  int points = 0;  // 0: the template has no FONT line
  std::string face;
  int weight = 0;
  bool italic = false;
  int charset = 1;  // DEFAULT_CHARSET
};

// One control of a dialog template; positions and sizes in dialog units.
struct ControlTemplate {
  std::string className;  // as written: "EDIT", "BUTTON", "STATIC", "RICHEDIT", ...
  std::string text;
  UINT iconId = 0;  // the icon an SS_ICON static shows
  int id = 0;
  DWORD style = 0;
  DWORD exStyle = 0;
  int x = 0, y = 0, cx = 0, cy = 0;
};

// A visible child control of a dialog made in code, `style` added to
// WS_CHILD | WS_VISIBLE; positions and sizes in dialog units.
ControlTemplate ChildControl(const char* className, const char* text, int id, DWORD style, int x,
                             int y, int cx, int cy);

struct DialogTemplate {
  UINT id = 0;
  bool extended = false;  // DIALOGEX
  int x = 0, y = 0, cx = 0, cy = 0;
  DWORD style = 0;
  DWORD exStyle = 0;
  std::string caption;
  UINT menuId = 0;  // 0: no menu bar
  FontSpec font;
  std::vector<ControlTemplate> controls;
};

// A menu item; a POPUP has MF_POPUP in its flags and its own items.
struct MenuItemTemplate {
  std::string text;
  UINT id = 0;
  UINT flags = 0;  // MF_* bits: SEPARATOR, POPUP, MENUBARBREAK, MENUBREAK, GRAYED, ...
  std::vector<MenuItemTemplate> items;
};

struct MenuTemplate {
  UINT id = 0;
  std::vector<MenuItemTemplate> items;
};

// ---- The module ----

using ResourceFileReader =
    std::function<std::optional<std::vector<uint8_t>>(std::string_view path)>;

class ResourceModule {
 public:
  // Reads a resource script and, through readFile, the images it names. On
  // failure returns false, leaves `out` as it was and says in `error` what is
  // wrong, starting with "line N: ".
  static bool Parse(std::string_view rcText, ResourceFileReader readFile, ResourceModule& out,
                    std::string& error);

  // Lookups by id; null when the module has no such resource.
  const DialogTemplate* FindDialog(UINT id) const;
  const MenuTemplate* FindMenu(UINT id) const;
  const std::string* FindString(UINT id) const;
  const Image* FindBitmap(UINT id) const;
  const IconImages* FindIcon(UINT id) const;

  // Adding by code; a resource of the same id is replaced.
  void AddDialog(DialogTemplate t);
  void AddMenu(MenuTemplate t);
  void AddString(UINT id, std::string text);
  void AddBitmap(UINT id, Image image);
  void AddIcon(UINT id, IconImages icon);

 private:
  std::map<UINT, DialogTemplate> dialogs_;
  std::map<UINT, MenuTemplate> menus_;
  std::map<UINT, std::string> strings_;
  std::map<UINT, Image> bitmaps_;
  std::map<UINT, IconImages> icons_;
};

// The value of a style name the scripts may use (WS_*, WS_EX_*, DS_*, ES_*, SS_*,
// BS_*), or nothing for an unknown name.
std::optional<DWORD> StyleNameValue(std::string_view name);

// ---- Dialog units ----
// Dialog units become pixels through the dialog font's base units: a
// horizontal unit is a quarter of the base width, a vertical unit an eighth of
// the base height, cut to whole pixels. "MS Sans Serif" at 8 points has the
// classic base units 6 x 13; other sizes scale from it, and a template without
// a font uses the system font's 8 x 16.

struct BaseUnits {
  int x = 6;
  int y = 13;
};
BaseUnits DialogBaseUnits(const FontSpec& font);
// The pixel rectangle of a dialog-unit rectangle: each edge converted on its own.
CRect DialogUnitsToPixels(const BaseUnits& units, int x, int y, int cx, int cy);

}  // namespace tessaro
