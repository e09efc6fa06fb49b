#include "test_support.h"

#include <map>

#include "test_images.h"

namespace tessaro::test {

const uint32_t kBitmap500[12] = {
    Argb(255, 0, 0), Argb(0, 255, 0), Argb(0, 0, 255), Argb(10, 20, 30),
    Argb(1, 1, 1),   Argb(2, 2, 2),   Argb(3, 3, 3),   Argb(4, 4, 4),
    Argb(9, 8, 7),   Argb(6, 5, 4),   Argb(3, 2, 1),   Argb(250, 250, 250),
};

namespace {

constexpr const char* kScript = R"rc(
200 DIALOGEX 0, 0, 348, 185
STYLE DS_SETFONT | DS_MODALFRAME | DS_CENTER | WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX
EXSTYLE WS_EX_APPWINDOW
CAPTION "test"
MENU 300
FONT 8, "MS Sans Serif"
BEGIN
    EDITTEXT 1008, 7, 168, 274, 14, ES_LEFT | ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP
    CONTROL "", 1007, "RICHEDIT", ES_MULTILINE | ES_AUTOVSCROLL | ES_READONLY | ES_NOHIDESEL | WS_BORDER | WS_VSCROLL | WS_HSCROLL, 181, 4, 160, 160
    PUSHBUTTON "&sim", 1009, 321, 166, 20, 17, BS_PUSHBUTTON | WS_TABSTOP, WS_EX_STATICEDGE
    LTEXT "sec", 1000, 287, 166, 29, 9, SS_LEFTNOWORDWRAP | SS_CENTERIMAGE | WS_GROUP, WS_EX_RIGHT
    LTEXT "sec", 1001, 287, 174, 29, 9, SS_LEFT | SS_CENTERIMAGE | WS_GROUP, WS_EX_RIGHT
END

201 DIALOGEX 0, 0, 236, 46
STYLE DS_SETFONT | DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU
CAPTION "Dialog"
FONT 8, "MS Sans Serif"
BEGIN
    EDITTEXT 1001, 7, 7, 222, 14, ES_AUTOHSCROLL
    DEFPUSHBUTTON "OK", 1, 129, 25, 50, 14
    PUSHBUTTON "Cancel", 2, 179, 25, 50, 14
END

202 DIALOG 0, 0, 100, 50
STYLE WS_POPUP | WS_CAPTION | WS_SYSMENU
FONT 8, "MS Sans Serif"
BEGIN
    EDITTEXT 10, 5, 5, 50, 12
END

203 DIALOG 0, 0, 100, 50
MENU 999
BEGIN
END

204 DIALOG 0, 0, 100, 50
BEGIN
    CONTROL "", 5, "SysListView32", 0, 1, 1, 20, 20
END

300 MENU
BEGIN
    POPUP "&Game"
    BEGIN
        MENUITEM "S&ave Game", 32778
        MENUITEM "E&xit", 32773
        MENUITEM "Never", 32790, GRAYED
    END
END

STRINGTABLE
BEGIN
    101 "&About test..."
END

500 BITMAP "b500.bmp"
501 BITMAP "b501.bmp"
600 ICON "i600.ico"
)rc";

std::map<std::string, std::vector<uint8_t>> Files() {
  TestPicture b500{4, 3, std::vector<uint32_t>(std::begin(kBitmap500), std::end(kBitmap500))};
  TestPicture disc{15, 15, {}};
  for (int y = 0; y < 15; ++y)
    for (int x = 0; x < 15; ++x)
      disc.pixels.push_back((x - 7) * (x - 7) + (y - 7) * (y - 7) <= 36 ? Argb(128, 128, 128)
                                                                        : Argb(255, 0, 0));
  TestPicture small = Pattern(16, 16, {Argb(0, 0, 255)});
  TestPicture big = Pattern(32, 32, {Argb(0, 0, 255)});
  small.pixels[0] = 0;
  big.pixels[0] = 0;
  return {{"b500.bmp", MakeBmp(b500, 24)},
          {"b501.bmp", MakeBmp(disc, 4)},
          {"i600.ico", MakeIco({{small, 4}, {big, 4}})}};
}

}  // namespace

const ResourceModule& Resources() {
  static const ResourceModule module = [] {
    ResourceModule m;
    std::string error;
    const auto files = Files();
    const bool ok = ResourceModule::Parse(
        kScript,
        [&](std::string_view path) -> std::optional<std::vector<uint8_t>> {
          const auto it = files.find(std::string(path));
          if (it == files.end()) return std::nullopt;
          return it->second;
        },
        m, error);
    EXPECT_TRUE(ok) << error;
    return m;
  }();
  return module;
}

}  // namespace tessaro::test
