#include "framework/rc_lexer.h"

#include <algorithm>
#include <charconv>

namespace tessaro::rc {
namespace {

class Lexer {
 public:
  explicit Lexer(std::string_view s) : s_(s) {}

  // Reads all tokens; false with `error` on a bad character or string.
  bool Run(std::vector<Token>& out, std::string& error) {
    for (;;) {
      SkipBlanks();
      Token t;
      t.line = line_;
      if (pos_ >= s_.size()) {
        out.push_back(t);
        return true;
      }
      const char c = s_[pos_];
      if (c == ',' || c == '|') {
        t.kind = c == ',' ? Tok::Comma : Tok::Pipe;
        ++pos_;
      } else if (c == '{' || c == '}') {
        t.kind = Tok::Word;
        t.text = c == '{' ? "BEGIN" : "END";
        ++pos_;
      } else if (c == '"') {
        if (!ReadString(t, error)) return false;
      } else if (IsDigit(c) || (c == '-' && pos_ + 1 < s_.size() && IsDigit(s_[pos_ + 1]))) {
        if (!ReadNumber(t, error)) return false;
      } else if (IsWordStart(c)) {
        const size_t start = pos_;
        while (pos_ < s_.size() && (IsWordStart(s_[pos_]) || IsDigit(s_[pos_])))
          ++pos_;
        t.kind = Tok::Word;
        t.text = std::string(s_.substr(start, pos_ - start));
      } else {
        error =
            "line " + std::to_string(line_) + ": unexpected character '" + std::string(1, c) + "'";
        return false;
      }
      out.push_back(std::move(t));
    }
  }

 private:
  static bool IsDigit(char c) { return c >= '0' && c <= '9'; }
  static bool IsWordStart(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
  }

  void SkipBlanks() {
    while (pos_ < s_.size()) {
      const char c = s_[pos_];
      if (c == '\n') {
        ++line_;
        ++pos_;
      } else if (c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v') {
        ++pos_;
      } else if (s_.substr(pos_, 2) == "//") {
        while (pos_ < s_.size() && s_[pos_] != '\n')
          ++pos_;
      } else if (s_.substr(pos_, 2) == "/*") {
        pos_ += 2;
        while (pos_ < s_.size() && s_.substr(pos_, 2) != "*/") {
          if (s_[pos_] == '\n') ++line_;
          ++pos_;
        }
        pos_ = std::min(s_.size(), pos_ + 2);
      } else {
        return;
      }
    }
  }

  bool ReadString(Token& t, std::string& error) {
    t.kind = Tok::String;
    ++pos_;
    for (;;) {
      if (pos_ >= s_.size() || s_[pos_] == '\n') {
        error = "line " + std::to_string(t.line) + ": string without a closing quote";
        return false;
      }
      const char c = s_[pos_++];
      if (c == '"') {
        if (pos_ < s_.size() && s_[pos_] == '"') {
          t.text += '"';
          ++pos_;
          continue;
        }
        return true;
      }
      t.text += c;
    }
  }

  bool ReadNumber(Token& t, std::string& error) {
    t.kind = Tok::Number;
    const bool negative = s_[pos_] == '-';
    if (negative) ++pos_;
    int base = 10;
    if (s_.substr(pos_, 2) == "0x" || s_.substr(pos_, 2) == "0X") {
      base = 16;
      pos_ += 2;
    }
    const char* first = s_.data() + pos_;
    const char* last = s_.data() + s_.size();
    uint64_t v = 0;
    const auto [end, ec] = std::from_chars(first, last, v, base);
    if (ec != std::errc() || v > 0xFFFFFFFFull) {
      error = "line " + std::to_string(line_) + ": bad number";
      return false;
    }
    pos_ = static_cast<size_t>(end - s_.data());
    while (pos_ < s_.size() &&
           (s_[pos_] == 'L' || s_[pos_] == 'l' || s_[pos_] == 'U' || s_[pos_] == 'u'))
      ++pos_;
    if (pos_ < s_.size() && (IsWordStart(s_[pos_]) || IsDigit(s_[pos_]))) {
      error = "line " + std::to_string(line_) + ": bad number";
      return false;
    }
    t.value = negative ? -static_cast<int64_t>(v) : static_cast<int64_t>(v);
    return true;
  }

  std::string_view s_;
  size_t pos_ = 0;
  int line_ = 1;
};

}  // namespace

bool Tokenize(std::string_view text, std::vector<Token>& out, std::string& error) {
  return Lexer(text).Run(out, error);
}

}  // namespace tessaro::rc
