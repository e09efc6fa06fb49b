// Tokens of a resource script, with the line each starts on. Internal to the
// resource script reader.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tessaro::rc {

enum class Tok { End, Number, String, Word, Comma, Pipe };

struct Token {
  Tok kind = Tok::End;
  std::string text;   // word or string contents
  int64_t value = 0;  // number
  int line = 1;
};

// Splits a script into tokens, ending with one Tok::End. Braces become the words
// BEGIN and END; comments and blanks vanish. False with "line N: ..." in `error`
// on a character no token starts with, an unclosed string or a bad number.
bool Tokenize(std::string_view text, std::vector<Token>& out, std::string& error);

}  // namespace tessaro::rc
