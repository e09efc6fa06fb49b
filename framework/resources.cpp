#include "framework/resources.h"

#include <algorithm>
#include <utility>

#include "framework/win_const.h"

namespace tessaro {

ControlTemplate ChildControl(const char* className, const char* text, int id, DWORD style, int x,
                             int y, int cx, int cy) {
  ControlTemplate c;
  c.className = className;
  c.text = text;
  c.id = id;
  c.style = WS_CHILD | WS_VISIBLE | style;
  c.x = x;
  c.y = y;
  c.cx = cx;
  c.cy = cy;
  return c;
}

// ---- Lookups ----

namespace {
template <class Map>
const typename Map::mapped_type* FindIn(const Map& m, UINT id) {
  const auto it = m.find(id);
  return it == m.end() ? nullptr : &it->second;
}
}  // namespace

const DialogTemplate* ResourceModule::FindDialog(UINT id) const {
  return FindIn(dialogs_, id);
}
const MenuTemplate* ResourceModule::FindMenu(UINT id) const {
  return FindIn(menus_, id);
}
const std::string* ResourceModule::FindString(UINT id) const {
  return FindIn(strings_, id);
}
const Image* ResourceModule::FindBitmap(UINT id) const {
  return FindIn(bitmaps_, id);
}
const IconImages* ResourceModule::FindIcon(UINT id) const {
  return FindIn(icons_, id);
}

void ResourceModule::AddDialog(DialogTemplate t) {
  const UINT id = t.id;
  dialogs_[id] = std::move(t);
}
void ResourceModule::AddMenu(MenuTemplate t) {
  const UINT id = t.id;
  menus_[id] = std::move(t);
}
void ResourceModule::AddString(UINT id, std::string text) {
  strings_[id] = std::move(text);
}
void ResourceModule::AddBitmap(UINT id, Image image) {
  bitmaps_[id] = std::move(image);
}
void ResourceModule::AddIcon(UINT id, IconImages icon) {
  icons_[id] = std::move(icon);
}

// ---- Style names ----

std::optional<DWORD> StyleNameValue(std::string_view name) {
  struct Named {
    std::string_view name;
    DWORD value;
  };
  // clang-format off
  static constexpr Named kNames[] = {
      {"WS_OVERLAPPED", WS_OVERLAPPED}, {"WS_POPUP", WS_POPUP}, {"WS_CHILD", WS_CHILD},
      {"WS_VISIBLE", WS_VISIBLE},       {"WS_DISABLED", WS_DISABLED},
      {"WS_CAPTION", WS_CAPTION},       {"WS_BORDER", WS_BORDER},
      {"WS_DLGFRAME", WS_DLGFRAME},     {"WS_VSCROLL", WS_VSCROLL},
      {"WS_HSCROLL", WS_HSCROLL},       {"WS_SYSMENU", WS_SYSMENU},
      {"WS_THICKFRAME", WS_THICKFRAME}, {"WS_GROUP", WS_GROUP}, {"WS_TABSTOP", WS_TABSTOP},
      {"WS_MINIMIZEBOX", WS_MINIMIZEBOX}, {"WS_MAXIMIZEBOX", WS_MAXIMIZEBOX},
      {"WS_EX_APPWINDOW", WS_EX_APPWINDOW}, {"WS_EX_STATICEDGE", WS_EX_STATICEDGE},
      {"WS_EX_RIGHT", WS_EX_RIGHT},     {"WS_EX_CLIENTEDGE", WS_EX_CLIENTEDGE},
      {"WS_EX_TOOLWINDOW", WS_EX_TOOLWINDOW}, {"WS_EX_DLGMODALFRAME", WS_EX_DLGMODALFRAME},
      {"DS_MODALFRAME", DS_MODALFRAME}, {"DS_3DLOOK", DS_3DLOOK}, {"DS_CENTER", DS_CENTER},
      {"DS_SETFONT", DS_SETFONT},       {"DS_FIXEDSYS", DS_FIXEDSYS},
      {"ES_LEFT", ES_LEFT},             {"ES_CENTER", ES_CENTER}, {"ES_RIGHT", ES_RIGHT},
      {"ES_MULTILINE", ES_MULTILINE},   {"ES_AUTOVSCROLL", ES_AUTOVSCROLL},
      {"ES_AUTOHSCROLL", ES_AUTOHSCROLL}, {"ES_READONLY", ES_READONLY},
      {"ES_NOHIDESEL", ES_NOHIDESEL},   {"ES_WANTRETURN", ES_WANTRETURN},
      {"SS_LEFT", SS_LEFT},             {"SS_CENTER", SS_CENTER}, {"SS_RIGHT", SS_RIGHT},
      {"SS_LEFTNOWORDWRAP", SS_LEFTNOWORDWRAP}, {"SS_CENTERIMAGE", SS_CENTERIMAGE},
      {"SS_ICON", SS_ICON},             {"BS_PUSHBUTTON", BS_PUSHBUTTON},
      {"BS_DEFPUSHBUTTON", BS_DEFPUSHBUTTON},
  };
  // clang-format on
  for (const Named& n : kNames) {
    if (n.name == name) return n.value;
  }
  return std::nullopt;
}

// ---- Dialog units ----

BaseUnits DialogBaseUnits(const FontSpec& font) {
  if (font.points <= 0) return {8, 16};
  // 6 x 13 at 8 points, rounded to the nearest pixel at other sizes.
  return {std::max(1, (font.points * 6 + 4) / 8), std::max(1, (font.points * 13 + 4) / 8)};
}

CRect DialogUnitsToPixels(const BaseUnits& units, int x, int y, int cx, int cy) {
  auto h = [&](int v) { return v * units.x / 4; };
  auto v = [&](int w) { return w * units.y / 8; };
  return CRect(h(x), v(y), h(x + cx), v(y + cy));
}

}  // namespace tessaro
