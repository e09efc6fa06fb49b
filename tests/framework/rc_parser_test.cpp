// The resource script reader on a sample script, its error messages, and the
// project's own script when its images are there.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>

#include "framework/resources.h"
#include "framework/win_const.h"
#include "test_images.h"

namespace tessaro {
namespace {

constexpr const char* kSample = R"rc(// A sample script
128 ICON "icons/app.ico"
156 BITMAP DISCARDABLE "bitmaps/board.bmp"

102 DIALOGEX 0, 0, 348, 185
STYLE DS_SETFONT | DS_MODALFRAME | DS_CENTER | WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU
EXSTYLE WS_EX_APPWINDOW
CAPTION "Say ""hi"""
MENU 130
FONT 8, "MS Sans Serif", 400, 0, 0xCC
BEGIN
    EDITTEXT 1008, 7, 168, 274, 14, ES_AUTOHSCROLL | NOT WS_TABSTOP
    CONTROL "", 1007, "RICHEDIT", ES_MULTILINE | ES_READONLY | WS_BORDER | WS_VSCROLL, 181, 4, 160, 160
    PUSHBUTTON "&sim", 1009, 321, 166, 20, 17, BS_PUSHBUTTON | WS_TABSTOP, WS_EX_STATICEDGE
    LTEXT "sec", 1000, 287, 166, 29, 9, SS_LEFTNOWORDWRAP | SS_CENTERIMAGE | WS_GROUP, WS_EX_RIGHT
    RTEXT "r", -1, 1, 2, 3, 4
    DEFPUSHBUTTON "OK", 1, 10, 20, 50, 14
    ICON 128, 65535, 11, 17
END

/* menus */
130 MENU
BEGIN
    POPUP "&Game"
    BEGIN
        MENUITEM "S&ave Game", 32778
        MENUITEM "", 32772, MENUBARBREAK
        MENUITEM SEPARATOR
        MENUITEM "E&xit", 32773, GRAYED, CHECKED
    END
    POPUP "&Help"
    {
        MENUITEM "&About", 32774
    }
END

STRINGTABLE
BEGIN
    101 "&About duvex..."
    102, "second"
END

131 DIALOG 10, 20, 236, 46
BEGIN
END
)rc";

std::map<std::string, std::vector<uint8_t>> SampleFiles() {
  using test::Pattern;
  return {
      {"icons/app.ico", test::MakeIco({{Pattern(16, 16, {Argb(255, 0, 0), Argb(0, 0, 0)}), 4},
                                       {Pattern(32, 32, {Argb(0, 0, 255)}), 4}})},
      {"bitmaps/board.bmp", test::MakeBmp(Pattern(20, 10, {Argb(128, 128, 128)}), 4)},
  };
}

ResourceFileReader ReaderOf(std::map<std::string, std::vector<uint8_t>> files) {
  return [files = std::move(files)](std::string_view path) -> std::optional<std::vector<uint8_t>> {
    const auto it = files.find(std::string(path));
    if (it == files.end()) return std::nullopt;
    return it->second;
  };
}

TEST(RcParser, ReadsTheSampleScript) {
  ResourceModule m;
  std::string error;
  ASSERT_TRUE(ResourceModule::Parse(kSample, ReaderOf(SampleFiles()), m, error)) << error;

  ASSERT_NE(m.FindIcon(128), nullptr);
  EXPECT_EQ(m.FindIcon(128)->images.size(), 2u);
  ASSERT_NE(m.FindBitmap(156), nullptr);
  EXPECT_EQ(m.FindBitmap(156)->width, 20);
  EXPECT_EQ(*m.FindString(101), "&About duvex...");
  EXPECT_EQ(*m.FindString(102), "second");
  EXPECT_EQ(m.FindString(103), nullptr);

  const DialogTemplate* d = m.FindDialog(102);
  ASSERT_NE(d, nullptr);
  EXPECT_TRUE(d->extended);
  EXPECT_EQ(d->cx, 348);
  EXPECT_EQ(d->cy, 185);
  EXPECT_EQ(d->caption, "Say \"hi\"");
  EXPECT_EQ(d->style, DS_SETFONT | DS_MODALFRAME | DS_CENTER | WS_POPUP | WS_VISIBLE | WS_CAPTION |
                          WS_SYSMENU);
  EXPECT_EQ(d->exStyle, WS_EX_APPWINDOW);
  EXPECT_EQ(d->menuId, 130u);
  EXPECT_EQ(d->font.points, 8);
  EXPECT_EQ(d->font.face, "MS Sans Serif");
  EXPECT_EQ(d->font.weight, 400);
  EXPECT_EQ(d->font.charset, 0xCC);
  ASSERT_EQ(d->controls.size(), 7u);

  // Each statement's default style, with the given bits added and NOT removing.
  struct Want {
    const char* className;
    const char* text;
    int id;
    DWORD style;
    DWORD exStyle;
    int x, y, cx, cy;
  };
  const DWORD child = WS_CHILD | WS_VISIBLE;
  const Want want[] = {
      {"EDIT", "", 1008, child | ES_LEFT | WS_BORDER | ES_AUTOHSCROLL, 0, 7, 168, 274, 14},
      {"RICHEDIT", "", 1007, child | ES_MULTILINE | ES_READONLY | WS_BORDER | WS_VSCROLL, 0, 181, 4,
       160, 160},
      {"BUTTON", "&sim", 1009, child | BS_PUSHBUTTON | WS_TABSTOP, WS_EX_STATICEDGE, 321, 166, 20,
       17},
      {"STATIC", "sec", 1000, child | SS_LEFTNOWORDWRAP | SS_CENTERIMAGE | WS_GROUP, WS_EX_RIGHT,
       287, 166, 29, 9},
      {"STATIC", "r", -1, child | SS_RIGHT | WS_GROUP, 0, 1, 2, 3, 4},
      {"BUTTON", "OK", 1, child | BS_DEFPUSHBUTTON | WS_TABSTOP, 0, 10, 20, 50, 14},
      {"STATIC", "128", 65535, child | SS_ICON, 0, 11, 17, 0, 0},
  };
  for (size_t i = 0; i < d->controls.size(); ++i) {
    const ControlTemplate& c = d->controls[i];
    SCOPED_TRACE(i);
    EXPECT_EQ(c.className, want[i].className);
    EXPECT_EQ(c.text, want[i].text);
    EXPECT_EQ(c.id, want[i].id);
    EXPECT_EQ(c.style, want[i].style);
    EXPECT_EQ(c.exStyle, want[i].exStyle);
    EXPECT_EQ(CRect(c.x, c.y, c.cx, c.cy), CRect(want[i].x, want[i].y, want[i].cx, want[i].cy));
  }
  EXPECT_EQ(d->controls[6].iconId, 128u);

  const MenuTemplate* menu = m.FindMenu(130);
  ASSERT_NE(menu, nullptr);
  ASSERT_EQ(menu->items.size(), 2u);
  EXPECT_EQ(menu->items[0].text, "&Game");
  EXPECT_EQ(menu->items[0].flags, MF_POPUP);
  const auto& game = menu->items[0].items;
  ASSERT_EQ(game.size(), 4u);
  EXPECT_EQ(game[0].id, 32778u);
  EXPECT_EQ(game[1].text, "");
  EXPECT_EQ(game[1].flags, MF_MENUBARBREAK);
  EXPECT_EQ(game[2].flags, MF_SEPARATOR);
  EXPECT_EQ(game[3].flags, MF_GRAYED | MF_CHECKED);
  EXPECT_EQ(menu->items[1].items.at(0).id, 32774u);

  // A DIALOG without STYLE gets the platform's default style.
  const DialogTemplate* plain = m.FindDialog(131);
  ASSERT_NE(plain, nullptr);
  EXPECT_FALSE(plain->extended);
  EXPECT_EQ(plain->style, WS_POPUP | WS_BORDER | WS_SYSMENU);
  EXPECT_EQ(plain->font.points, 0);
  EXPECT_TRUE(plain->controls.empty());
}

TEST(RcParser, ErrorsNameTheLine) {
  struct Case {
    const char* script;
    const char* error;
  };
  const Case cases[] = {
      {"1 DIALOG 0,0,10,10\nSTYLE WS_POPUP | WS_FOO\nBEGIN\nEND\n",
       "line 2: unknown style name 'WS_FOO'"},
      {"\n\n7 WIDGET \"x\"\n", "line 3: unknown resource type 'WIDGET'"},
      {"1 DIALOG 0,0,10,10\nBEGIN\n  CHECKBOX \"a\", 1, 0, 0, 1, 1\nEND\n",
       "line 3: unknown control 'CHECKBOX'"},
      {"1 MENU\nBEGIN\n  MENUITEM \"a\", 5, BOLD\nEND\n", "line 3: unknown menu option 'BOLD'"},
      {"1 MENU\nBEGIN\n  ITEM \"a\", 5\nEND\n", "line 3: expected MENUITEM, POPUP or END"},
      {"1 MENU\nBEGIN\n  MENUITEM \"a\", 5,, GRAYED\nEND\n", "line 3: unknown menu option"},
      {"STRINGTABLE\nBEGIN\n  5 \"unclosed\nEND\n", "line 3: string without a closing quote"},
      {"STRINGTABLE\nBEGIN\n  5 \"a\"\n", "line 4: missing END of STRINGTABLE"},
      {"1 DIALOG 0,0,10,10\nBEGIN\n  EDITTEXT 5, 1, 2, 3\nEND\n", "line 4: expected ','"},
      {"1 MENU\nBEGIN\n POPUP \"x\"\n BEGIN\n", "line 5: missing END of MENU"},
      {"#define X 5\n", "line 1: unexpected character '#'"},
      {"70000 ICON \"a.ico\"\n", "line 1: a resource id out of range"},
      {"1 ICON \"missing.ico\"\n", "line 1: cannot read 'missing.ico'"},
      {"1 BITMAP \"bitmaps/board.bmp\"\n1 BITMAP \"bitmaps/board.bmp\"\n",
       "line 2: duplicate BITMAP 1"},
      {"1 BITMAP \"icons/app.ico\"\n", "line 1: icons/app.ico: not a BMP file"},
      {"1 DIALOG 0,0,10,10\nCLASS \"x\"\nBEGIN\nEND\n", "line 2: unknown dialog statement 'CLASS'"},
      {"1 DIALOG 0, 0, 99999, 10\nBEGIN\nEND\n", "line 1: width out of range"},
      {"1 DIALOG 0,0,10,10\nSTYLE 0x1FFFFFFFF\n", "line 2: bad number"},
      {"1 DIALOG 0,0,10,10\nBEGIN\n  LTEXT \"a\", 1, 0, 0, 1, 1\n",
       "line 4: missing END of DIALOG"},
  };
  for (const Case& c : cases) {
    ResourceModule m;
    m.AddString(9, "kept");
    std::string error;
    EXPECT_FALSE(ResourceModule::Parse(c.script, ReaderOf(SampleFiles()), m, error)) << c.script;
    EXPECT_EQ(error.rfind(c.error, 0), 0u) << "script:\n" << c.script << "error: " << error;
    // A failed parse leaves the module as it was.
    ASSERT_NE(m.FindString(9), nullptr);
  }
}

TEST(RcParser, WithoutAFileReaderImagesCannotBeRead) {
  ResourceModule m;
  std::string error;
  EXPECT_FALSE(ResourceModule::Parse("1 ICON \"a.ico\"", nullptr, m, error));
  EXPECT_EQ(error, "line 1: cannot read 'a.ico'");
}

TEST(DialogUnits, ConvertEachEdgeWithTheFontsBaseUnits) {
  FontSpec sansSerif8{8, "MS Sans Serif"};
  const BaseUnits u = DialogBaseUnits(sansSerif8);
  EXPECT_EQ(u.x, 6);
  EXPECT_EQ(u.y, 13);
  // The game window's client area.
  EXPECT_EQ(DialogUnitsToPixels(u, 0, 0, 348, 185), CRect(0, 0, 522, 300));
  // The log pane at (181, 4), 160 x 160: edges 271.5 -> 271, 6.5 -> 6, 511.5 -> 511, 266.5 -> 266.
  EXPECT_EQ(DialogUnitsToPixels(u, 181, 4, 160, 160), CRect(271, 6, 511, 266));
  const BaseUnits none = DialogBaseUnits(FontSpec{});
  EXPECT_EQ(none.x, 8);
  EXPECT_EQ(none.y, 16);
  const BaseUnits large = DialogBaseUnits(FontSpec{12, "X"});
  EXPECT_EQ(large.x, 9);
  EXPECT_EQ(large.y, 20);
}

// The project's resource script, with the images next to it, as the plug-in
// will load it.
TEST(RcParser, ReadsTheProjectScript) {
  const std::filesystem::path dir = TESSARO_RESOURCES_DIR;
  std::ifstream in(dir / "tessaro.rc", std::ios::binary);
  if (!in) GTEST_SKIP() << "no resources/tessaro.rc";
  const std::string text((std::istreambuf_iterator<char>(in)), {});
  bool missingImage = false;
  auto reader = [&](std::string_view path) -> std::optional<std::vector<uint8_t>> {
    std::ifstream f(dir / std::string(path), std::ios::binary);
    if (!f) {
      missingImage = true;
      return std::nullopt;
    }
    return std::vector<uint8_t>((std::istreambuf_iterator<char>(f)), {});
  };
  ResourceModule m;
  std::string error;
  const bool ok = ResourceModule::Parse(text, reader, m, error);
  if (!ok && missingImage) GTEST_SKIP() << "images not generated yet: " << error;
  ASSERT_TRUE(ok) << error;
  const DialogTemplate* game = m.FindDialog(102);
  ASSERT_NE(game, nullptr);
  EXPECT_EQ(DialogUnitsToPixels(DialogBaseUnits(game->font), 0, 0, game->cx, game->cy),
            CRect(0, 0, 522, 320));
  EXPECT_NE(m.FindMenu(game->menuId), nullptr);
  EXPECT_NE(m.FindDialog(100), nullptr);
  EXPECT_NE(m.FindDialog(131), nullptr);
  EXPECT_NE(m.FindString(101), nullptr);
}

}  // namespace
}  // namespace tessaro
