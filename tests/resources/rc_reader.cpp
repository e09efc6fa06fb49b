#include "rc_reader.h"

#include <cctype>
#include <cstdlib>
#include <set>

namespace tessaro::testing {

namespace {

// clang-format off
const std::set<std::string, std::less<>> kKeywords = {
    "ICON", "BITMAP", "MENU", "BEGIN", "END", "POPUP", "MENUITEM", "SEPARATOR",
    "MENUBARBREAK", "MENUBREAK", "GRAYED", "DIALOGEX", "DIALOG", "STYLE", "EXSTYLE",
    "CAPTION", "FONT", "CONTROL", "EDITTEXT", "PUSHBUTTON", "DEFPUSHBUTTON", "LTEXT",
    "RTEXT", "CTEXT", "STRINGTABLE", "NOT"};
const std::set<std::string, std::less<>> kStyleNames = {
    "WS_POPUP", "WS_VISIBLE", "WS_CAPTION", "WS_SYSMENU", "WS_MINIMIZEBOX", "WS_BORDER",
    "WS_VSCROLL", "WS_HSCROLL", "WS_TABSTOP", "WS_GROUP", "WS_CHILD", "WS_DISABLED",
    "WS_EX_APPWINDOW", "WS_EX_STATICEDGE", "WS_EX_RIGHT", "WS_EX_CLIENTEDGE", "DS_MODALFRAME",
    "DS_3DLOOK", "DS_CENTER", "DS_SETFONT", "DS_FIXEDSYS", "ES_LEFT", "ES_MULTILINE",
    "ES_AUTOVSCROLL", "ES_AUTOHSCROLL", "ES_READONLY", "ES_NOHIDESEL", "ES_WANTRETURN",
    "SS_LEFT", "SS_LEFTNOWORDWRAP", "SS_CENTERIMAGE", "SS_ICON", "BS_PUSHBUTTON",
    "BS_DEFPUSHBUTTON"};
// clang-format on

struct Token {
  enum Kind { kWord, kNumber, kString, kComma, kBar } kind;
  std::string text;  // strings without quotes, "" folded to "
};
using Tokens = std::vector<Token>;

bool Refuse(std::string& why, const std::string& what) {
  why = what;
  return false;
}

bool Tokenize(std::string_view line, Tokens& out, std::string& why) {
  size_t i = 0;
  while (i < line.size()) {
    const char c = line[i];
    if (c == ' ' || c == '\t' || c == '\r') {
      ++i;
    } else if (line.substr(i, 2) == "//") {
      break;
    } else if (c == ',' || c == '|') {
      out.push_back({c == ',' ? Token::kComma : Token::kBar, std::string(1, c)});
      ++i;
    } else if (c == '"') {
      std::string text;
      for (++i;; ++i) {
        if (i >= line.size()) return Refuse(why, "unterminated string");
        if (line[i] == '"' && line.substr(i, 2) != "\"\"") break;
        if (line[i] == '"') ++i;
        text += line[i];
      }
      ++i;
      out.push_back({Token::kString, text});
    } else if (std::isdigit(static_cast<unsigned char>(c)) || c == '-') {
      size_t end = i + 1;
      while (end < line.size() && std::isalnum(static_cast<unsigned char>(line[end])))
        ++end;
      out.push_back({Token::kNumber, std::string(line.substr(i, end - i))});
      i = end;
    } else if (std::isalpha(static_cast<unsigned char>(c)) || c == '_') {
      size_t end = i;
      while (end < line.size() &&
             (std::isalnum(static_cast<unsigned char>(line[end])) || line[end] == '_')) {
        ++end;
      }
      const std::string word(line.substr(i, end - i));
      if (!kKeywords.contains(word) && !kStyleNames.contains(word)) {
        return Refuse(why, "unsupported word " + word);
      }
      out.push_back({Token::kWord, word});
      i = end;
    } else {
      return Refuse(why, std::string("unexpected character ") + c);
    }
  }
  return true;
}

std::optional<int64_t> Number(const Token& t) {
  if (t.kind != Token::kNumber) return std::nullopt;
  char* end = nullptr;
  const long long value = std::strtoll(t.text.c_str(), &end, 0);
  if (*end != '\0') return std::nullopt;
  return value;
}

// The tokens from `from` on, split at commas.
std::vector<Tokens> Fields(const Tokens& tokens, size_t from) {
  std::vector<Tokens> fields(1);
  for (size_t i = from; i < tokens.size(); ++i) {
    if (tokens[i].kind == Token::kComma) {
      fields.emplace_back();
    } else {
      fields.back().push_back(tokens[i]);
    }
  }
  return fields;
}

std::optional<int64_t> NumberField(const std::vector<Tokens>& f, size_t i) {
  if (i >= f.size() || f[i].size() != 1) return std::nullopt;
  return Number(f[i][0]);
}

bool ReadControl(const Tokens& t, RcControl& c) {
  static const std::set<std::string, std::less<>> kControls = {
      "CONTROL", "EDITTEXT", "PUSHBUTTON", "DEFPUSHBUTTON", "LTEXT", "RTEXT", "CTEXT", "ICON"};
  if (t[0].kind != Token::kWord || !kControls.contains(t[0].text)) return false;
  c.keyword = t[0].text;
  const auto f = Fields(t, 1);
  // Field index of the id; x, y, cx and cy follow it, but CONTROL has its
  // class and style in between.
  const size_t idAt = c.keyword == "EDITTEXT" ? 0 : 1;
  const size_t xAt = c.keyword == "CONTROL" ? 4 : idAt + 1;
  const auto id = NumberField(f, idAt);
  const auto x = NumberField(f, xAt);
  const auto y = NumberField(f, xAt + 1);
  if (!id || !x || !y) return false;
  c.id = *id;
  c.x = *x;
  c.y = *y;
  if (c.keyword == "ICON") {
    const auto icon = NumberField(f, 0);
    if (!icon) return false;
    c.iconId = *icon;
    if (f.size() == 4) return true;
  }
  const auto cx = NumberField(f, xAt + 2);
  const auto cy = NumberField(f, xAt + 3);
  if (!cx || !cy) return false;
  c.cx = *cx;
  c.cy = *cy;
  return true;
}

}  // namespace

std::optional<RcScript> ReadScript(std::string_view text, std::string& error) {
  enum class State { kTop, kDialogHead, kDialogBody, kMenu, kStrings } state = State::kTop;
  RcScript script;
  RcDialog* dialog = nullptr;
  std::vector<RcMenuItem>* menu = nullptr;
  int depth = 0;
  int lineNo = 0;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    const std::string_view line = text.substr(start, end - start);
    start = end + 1;
    ++lineNo;
    Tokens t;
    std::string why;
    const auto fail = [&](const std::string& what) {
      error = "line " + std::to_string(lineNo) + ": " + what;
      return std::nullopt;
    };
    if (!Tokenize(line, t, why)) return fail(why);
    if (t.empty()) continue;
    const std::string& head = t[0].text;
    const std::string kind = t.size() > 1 ? t[1].text : "";

    if (head == "BEGIN" || head == "END") {
      if (state == State::kTop) return fail("BEGIN or END outside a block");
      depth += head == "BEGIN" ? 1 : -1;
      if (state == State::kDialogHead) state = State::kDialogBody;
      if (depth == 0) state = State::kTop;
    } else if (state == State::kTop) {
      const auto id = Number(t[0]);
      if (head == "STRINGTABLE") {
        state = State::kStrings;
      } else if (!id) {
        return fail("statement without an id");
      } else if ((kind == "ICON" || kind == "BITMAP") && t.size() == 3 &&
                 t[2].kind == Token::kString) {
        (kind == "ICON" ? script.icons : script.bitmaps)[*id] = t[2].text;
      } else if (kind == "MENU" && t.size() == 2) {
        menu = &script.menus[*id];
        state = State::kMenu;
      } else if (kind == "DIALOGEX" || kind == "DIALOG") {
        const auto f = Fields(t, 2);
        const auto cx = NumberField(f, 2);
        const auto cy = NumberField(f, 3);
        if (f.size() != 4 || !cx || !cy) return fail("dialog needs x, y, cx, cy");
        dialog = &script.dialogs[*id];
        dialog->cx = *cx;
        dialog->cy = *cy;
        state = State::kDialogHead;
      } else {
        return fail("unknown statement");
      }
    } else if (state == State::kStrings) {
      const auto id = Number(t[0]);
      if (!id || t.size() != 2 || t[1].kind != Token::kString) return fail("bad string entry");
      script.strings[*id] = t[1].text;
    } else if (state == State::kMenu) {
      RcMenuItem item;
      const auto f = Fields(t, 1);
      if (head == "POPUP" && t.size() == 2 && t[1].kind == Token::kString) {
        item = {t[1].text, -1, true, {}};
      } else if (head == "MENUITEM" && kind == "SEPARATOR" && t.size() == 2) {
        item = {"", -1, false, {}};
      } else if (head == "MENUITEM" && f.size() >= 2 && f[0].size() == 1 &&
                 f[0][0].kind == Token::kString && NumberField(f, 1)) {
        item = {f[0][0].text, *NumberField(f, 1), false, {}};
        for (size_t i = 2; i < f.size(); ++i) {
          if (f[i].size() != 1 || f[i][0].kind != Token::kWord) return fail("bad menu option");
          item.options.push_back(f[i][0].text);
        }
      } else {
        return fail("bad menu line");
      }
      menu->push_back(item);
    } else if (state == State::kDialogHead) {
      if (head == "CAPTION" && t.size() == 2 && t[1].kind == Token::kString) {
        dialog->caption = t[1].text;
      } else if (head == "MENU" && t.size() == 2 && Number(t[1])) {
        dialog->menu = *Number(t[1]);
      } else if (head != "STYLE" && head != "EXSTYLE" && head != "FONT") {
        return fail("bad dialog header line");
      }
    } else {
      RcControl control;
      control.line = lineNo;
      if (!ReadControl(t, control)) return fail("bad control");
      dialog->controls.push_back(control);
    }
  }
  if (state != State::kTop) {
    error = "the script ends inside a block";
    return std::nullopt;
  }
  return script;
}

}  // namespace tessaro::testing
