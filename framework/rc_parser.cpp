// The resource script reader: a tokenizer with line numbers and a recursive
// descent over the statements listed in resources.h. Every error names the line
// of the token where reading stopped.
#include "framework/resources.h"

#include <cstdint>
#include <utility>

#include "framework/rc_lexer.h"
#include "framework/win_const.h"

namespace tessaro {
namespace {

using rc::Tok;
using rc::Token;

// ---- Statements ----

bool IsMemoryOption(const std::string& w) {
  return w == "PRELOAD" || w == "LOADONCALL" || w == "FIXED" || w == "MOVEABLE" ||
         w == "DISCARDABLE" || w == "PURE" || w == "IMPURE" || w == "SHARED" || w == "NONSHARED";
}

class Parser {
 public:
  Parser(std::vector<Token> tokens, const ResourceFileReader& readFile)
      : t_(std::move(tokens)), readFile_(readFile) {}

  bool Run(ResourceModule& m, std::string& error) {
    while (Peek().kind != Tok::End) {
      if (!Statement(m)) {
        error = error_;
        return false;
      }
    }
    return true;
  }

 private:
  const Token& Peek(size_t ahead = 0) const { return t_[std::min(pos_ + ahead, t_.size() - 1)]; }
  const Token& Next() {
    const Token& t = t_[pos_];
    if (pos_ + 1 < t_.size()) ++pos_;
    return t;
  }
  bool Fail(const Token& at, const std::string& what) {
    error_ = "line " + std::to_string(at.line) + ": " + what;
    return false;
  }
  bool IsWord(const Token& t, std::string_view w) const {
    return t.kind == Tok::Word && t.text == w;
  }
  bool AcceptWord(std::string_view w) {
    if (!IsWord(Peek(), w)) return false;
    Next();
    return true;
  }
  bool ExpectComma() {
    if (Peek().kind == Tok::Comma) {
      Next();
      return true;
    }
    return Fail(Peek(), "expected ','");
  }
  bool ExpectWord(std::string_view w) {
    if (AcceptWord(w)) return true;
    return Fail(Peek(), "expected " + std::string(w));
  }
  bool Number(int64_t& v, int64_t lo, int64_t hi, const char* what) {
    const Token& t = Next();
    if (t.kind != Tok::Number) return Fail(t, std::string("expected ") + what);
    if (t.value < lo || t.value > hi) return Fail(t, std::string(what) + " out of range");
    v = t.value;
    return true;
  }
  bool Int(int& v, const char* what) {
    int64_t x = 0;
    if (!Number(x, -32768, 32767, what)) return false;
    v = static_cast<int>(x);
    return true;
  }
  bool String(std::string& s, const char* what) {
    const Token& t = Next();
    if (t.kind != Tok::String) return Fail(t, std::string("expected ") + what);
    s = t.text;
    return true;
  }
  bool ResourceId(UINT& id) {
    int64_t v = 0;
    if (!Number(v, 0, 65535, "a resource id")) return false;
    id = static_cast<UINT>(v);
    return true;
  }

  // Names and numbers joined by |, each optionally preceded by NOT, applied in
  // order to `value`.
  bool Style(DWORD& value) {
    for (;;) {
      const bool negate = AcceptWord("NOT");
      const Token& t = Next();
      DWORD bits = 0;
      if (t.kind == Tok::Number) {
        bits = static_cast<DWORD>(t.value);
      } else if (t.kind == Tok::Word) {
        const std::optional<DWORD> named = StyleNameValue(t.text);
        if (!named) return Fail(t, "unknown style name '" + t.text + "'");
        bits = *named;
      } else {
        return Fail(t, "expected a style");
      }
      value = negate ? (value & ~bits) : (value | bits);
      if (Peek().kind != Tok::Pipe) return true;
      Next();
    }
  }

  bool Statement(ResourceModule& m) {
    if (AcceptWord("STRINGTABLE")) return StringTable(m);
    const Token& start = Peek();
    if (start.kind != Tok::Number) return Fail(start, "expected a resource id or STRINGTABLE");
    UINT id = 0;
    if (!ResourceId(id)) return false;
    const Token& type = Next();
    if (type.kind != Tok::Word) return Fail(type, "expected a resource type");
    while (Peek().kind == Tok::Word && IsMemoryOption(Peek().text))
      Next();
    if (type.text == "ICON" || type.text == "BITMAP") return ImageStatement(m, id, type);
    if (type.text == "MENU") return Menu(m, id, type);
    if (type.text == "DIALOG" || type.text == "DIALOGEX") return Dialog(m, id, type);
    return Fail(type, "unknown resource type '" + type.text + "'");
  }

  bool Duplicate(bool exists, const Token& at, const std::string& type, UINT id) {
    if (!exists) return false;
    Fail(at, "duplicate " + type + " " + std::to_string(id));
    return true;
  }

  bool StringTable(ResourceModule& m) {
    while (Peek().kind == Tok::Word && IsMemoryOption(Peek().text))
      Next();
    if (!ExpectWord("BEGIN")) return false;
    while (!AcceptWord("END")) {
      const Token& at = Peek();
      if (at.kind == Tok::End) return Fail(at, "missing END of STRINGTABLE");
      UINT id = 0;
      std::string text;
      if (!ResourceId(id)) return false;
      if (Peek().kind == Tok::Comma) Next();
      if (!String(text, "a string")) return false;
      if (Duplicate(m.FindString(id) != nullptr, at, "string", id)) return false;
      m.AddString(id, std::move(text));
    }
    return true;
  }

  bool ImageStatement(ResourceModule& m, UINT id, const Token& type) {
    const Token& pathToken = Peek();
    std::string path;
    if (!String(path, "a file name")) return false;
    const bool icon = type.text == "ICON";
    if (Duplicate(icon ? m.FindIcon(id) != nullptr : m.FindBitmap(id) != nullptr, type, type.text,
                  id))
      return false;
    std::optional<std::vector<uint8_t>> bytes;
    if (readFile_) bytes = readFile_(path);
    if (!bytes) return Fail(pathToken, "cannot read '" + path + "'");
    std::string why;
    if (icon) {
      IconImages images;
      if (!DecodeIco(*bytes, images, why)) return Fail(pathToken, path + ": " + why);
      m.AddIcon(id, std::move(images));
    } else {
      Image image;
      if (!DecodeBmp(*bytes, image, why)) return Fail(pathToken, path + ": " + why);
      m.AddBitmap(id, std::move(image));
    }
    return true;
  }

  // ---- Menus ----

  bool MenuOptions(UINT& flags) {
    for (;;) {
      if (Peek().kind == Tok::Comma) {
        Next();
      } else if (Peek().kind != Tok::Word || !MenuOption(Peek().text)) {
        return true;
      }
      const Token& t = Next();
      const std::optional<UINT> bit = t.kind == Tok::Word ? MenuOption(t.text) : std::nullopt;
      if (!bit) return Fail(t, "unknown menu option '" + t.text + "'");
      flags |= *bit;
    }
  }
  static std::optional<UINT> MenuOption(const std::string& w) {
    if (w == "MENUBARBREAK") return MF_MENUBARBREAK;
    if (w == "MENUBREAK") return MF_MENUBREAK;
    if (w == "GRAYED") return MF_GRAYED;
    if (w == "INACTIVE") return MF_DISABLED;
    if (w == "CHECKED") return MF_CHECKED;
    return std::nullopt;
  }

  bool MenuItems(std::vector<MenuItemTemplate>& items) {
    if (!ExpectWord("BEGIN")) return false;
    while (!AcceptWord("END")) {
      const Token& t = Next();
      MenuItemTemplate item;
      if (IsWord(t, "MENUITEM")) {
        if (AcceptWord("SEPARATOR")) {
          item.flags = MF_SEPARATOR;
        } else {
          int64_t id = 0;
          if (!String(item.text, "the item's text") || !ExpectComma() ||
              !Number(id, 0, 65535, "a command id") || !MenuOptions(item.flags))
            return false;
          item.id = static_cast<UINT>(id);
        }
      } else if (IsWord(t, "POPUP")) {
        item.flags = MF_POPUP;
        if (!String(item.text, "the popup's text") || !MenuOptions(item.flags) ||
            !MenuItems(item.items))
          return false;
      } else if (t.kind == Tok::End) {
        return Fail(t, "missing END of MENU");
      } else {
        return Fail(t, "expected MENUITEM, POPUP or END");
      }
      items.push_back(std::move(item));
    }
    return true;
  }

  bool Menu(ResourceModule& m, UINT id, const Token& type) {
    if (Duplicate(m.FindMenu(id) != nullptr, type, "MENU", id)) return false;
    MenuTemplate menu;
    menu.id = id;
    if (!MenuItems(menu.items)) return false;
    m.AddMenu(std::move(menu));
    return true;
  }

  // ---- Dialogs ----

  bool Dialog(ResourceModule& m, UINT id, const Token& type) {
    if (Duplicate(m.FindDialog(id) != nullptr, type, "DIALOG", id)) return false;
    DialogTemplate d;
    d.id = id;
    d.extended = type.text == "DIALOGEX";
    if (!Int(d.x, "x") || !ExpectComma() || !Int(d.y, "y") || !ExpectComma() ||
        !Int(d.cx, "width") || !ExpectComma() || !Int(d.cy, "height"))
      return false;
    if (d.extended && Peek().kind == Tok::Comma) {  // help id
      int64_t help = 0;
      Next();
      if (!Number(help, INT32_MIN, UINT32_MAX, "a help id")) return false;
    }
    bool styled = false;
    for (;;) {
      const Token& t = Next();
      if (IsWord(t, "BEGIN")) break;
      if (IsWord(t, "STYLE")) {
        styled = true;
        if (!Style(d.style)) return false;
      } else if (IsWord(t, "EXSTYLE")) {
        if (!Style(d.exStyle)) return false;
      } else if (IsWord(t, "CAPTION")) {
        if (!String(d.caption, "the caption")) return false;
        d.style |= WS_CAPTION;
      } else if (IsWord(t, "MENU")) {
        if (!ResourceId(d.menuId)) return false;
      } else if (IsWord(t, "FONT")) {
        if (!Font(d.font)) return false;
        d.style |= DS_SETFONT;
      } else {
        return Fail(t, t.kind == Tok::End ? "missing BEGIN of DIALOG"
                                          : "unknown dialog statement '" + t.text + "'");
      }
    }
    if (!styled) d.style |= WS_POPUP | WS_BORDER | WS_SYSMENU;
    while (!AcceptWord("END")) {
      ControlTemplate c;
      if (!Control(c)) return false;
      d.controls.push_back(std::move(c));
    }
    m.AddDialog(std::move(d));
    return true;
  }

  bool Font(FontSpec& f) {
    int64_t points = 0;
    if (!Number(points, 1, 96, "a font size") || !ExpectComma() || !String(f.face, "a font name"))
      return false;
    f.points = static_cast<int>(points);
    int64_t v = 0;
    if (Peek().kind != Tok::Comma) return true;
    Next();
    if (!Number(v, 0, 1000, "a font weight")) return false;
    f.weight = static_cast<int>(v);
    if (Peek().kind != Tok::Comma) return true;
    Next();
    if (!Number(v, 0, 255, "an italic flag")) return false;
    f.italic = v != 0;
    if (Peek().kind != Tok::Comma) return true;
    Next();
    if (!Number(v, 0, 255, "a character set")) return false;
    f.charset = static_cast<int>(v);
    return true;
  }

  bool ControlId(int& id) {
    int64_t v = 0;
    if (!Number(v, INT32_MIN, UINT32_MAX, "a control id")) return false;
    id = static_cast<int>(static_cast<int32_t>(static_cast<uint32_t>(v)));
    return true;
  }
  bool Rect(ControlTemplate& c, bool sizeOptional) {
    if (!Int(c.x, "x") || !ExpectComma() || !Int(c.y, "y")) return false;
    if (sizeOptional && Peek().kind != Tok::Comma) return true;
    return ExpectComma() && Int(c.cx, "width") && ExpectComma() && Int(c.cy, "height");
  }
  // [, style [, exstyle]]
  bool OptionalStyles(ControlTemplate& c) {
    if (Peek().kind != Tok::Comma) return true;
    Next();
    if (!Style(c.style)) return false;
    if (Peek().kind != Tok::Comma) return true;
    Next();
    return Style(c.exStyle);
  }

  bool Control(ControlTemplate& c) {
    const Token& t = Next();
    constexpr DWORD kChild = WS_CHILD | WS_VISIBLE;
    if (t.kind == Tok::End) return Fail(t, "missing END of DIALOG");
    if (t.kind != Tok::Word) return Fail(t, "expected a control");
    if (t.text == "CONTROL") {
      const Token& text = Next();
      if (text.kind == Tok::String) {
        c.text = text.text;
      } else if (text.kind == Tok::Number && text.value >= 0 && text.value <= 65535) {
        c.iconId = static_cast<UINT>(text.value);
        c.text = std::to_string(text.value);
      } else {
        return Fail(text, "expected the control's text");
      }
      if (!ExpectComma() || !ControlId(c.id) || !ExpectComma()) return false;
      const Token& cls = Next();
      if (cls.kind != Tok::String && cls.kind != Tok::Word)
        return Fail(cls, "expected the control's class");
      c.className = cls.text;
      c.style = kChild;
      if (!ExpectComma() || !Style(c.style) || !ExpectComma() || !Rect(c, false)) return false;
      if (Peek().kind == Tok::Comma) {
        Next();
        if (!Style(c.exStyle)) return false;
      }
      return true;
    }
    if (t.text == "EDITTEXT") {
      c.className = "EDIT";
      c.style = kChild | ES_LEFT | WS_BORDER | WS_TABSTOP;
      return ControlId(c.id) && ExpectComma() && Rect(c, false) && OptionalStyles(c);
    }
    if (t.text == "ICON") {
      c.className = "STATIC";
      c.style = kChild | SS_ICON;
      int64_t icon = 0;
      if (!Number(icon, 0, 65535, "an icon id")) return false;
      c.iconId = static_cast<UINT>(icon);
      c.text = std::to_string(icon);
      return ExpectComma() && ControlId(c.id) && ExpectComma() && Rect(c, true) &&
             OptionalStyles(c);
    }
    if (t.text == "PUSHBUTTON" || t.text == "DEFPUSHBUTTON") {
      c.className = "BUTTON";
      c.style =
          kChild | WS_TABSTOP | (t.text == "DEFPUSHBUTTON" ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON);
    } else if (t.text == "LTEXT" || t.text == "RTEXT" || t.text == "CTEXT") {
      c.className = "STATIC";
      c.style = kChild | WS_GROUP |
                (t.text == "LTEXT"   ? SS_LEFT
                 : t.text == "RTEXT" ? SS_RIGHT
                                     : SS_CENTER);
    } else {
      return Fail(t, "unknown control '" + t.text + "'");
    }
    return String(c.text, "the control's text") && ExpectComma() && ControlId(c.id) &&
           ExpectComma() && Rect(c, false) && OptionalStyles(c);
  }

  std::vector<Token> t_;
  size_t pos_ = 0;
  const ResourceFileReader& readFile_;
  std::string error_;
};

}  // namespace

bool ResourceModule::Parse(std::string_view rcText, ResourceFileReader readFile,
                           ResourceModule& out, std::string& error) {
  std::vector<Token> tokens;
  if (!rc::Tokenize(rcText, tokens, error)) return false;
  ResourceModule module;
  if (!Parser(std::move(tokens), readFile).Run(module, error)) return false;
  out = std::move(module);
  return true;
}

}  // namespace tessaro
