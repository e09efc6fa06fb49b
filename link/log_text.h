// The texts of the game log and the chat line: how an entry is wrapped for
// the narrow log pane, how a typed chat line is prefixed, and the decimal
// numbers that clock lines and clock commands carry.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tessaro {

// ---- Log entries -----------------------------------------------------------

// The log pane shows a fixed-pitch font; 28 characters fill a line.
inline constexpr size_t kLogWidth = 28;

// The text as it is appended to the game log: wrapped at blanks and ended by one
// LF. A break goes in front of the blank before a word when the blank after
// that word lies more than kLogWidth positions past the line's start (the
// start of the text, or the LF that began the line); that blank then begins
// the next line. A word longer than the width is never split. Line ends
// already in the text do not count as line starts.
std::string WrapLogEntry(const std::string& text);

// ---- Chat line -------------------------------------------------------------

// The line sent for a typed chat text: "Unknown: " when the own name is
// empty, else the name and ": ", then the typed text with every backslash
// doubled. An empty typed text still gives the prefix.
std::string ChatLine(const std::string& myName, const std::string& typed);

// Cuts a chat line into pieces of at most `maxBytes` bytes (at least 8), in
// order, together the whole line: one command carries only so much text, and
// nothing typed may be lost. A cut never falls inside a UTF-8 sequence or
// between the two backslashes that stand for one typed backslash. A line
// that fits is one piece; an empty line is one empty piece.
std::vector<std::string> SplitChatLine(const std::string& line, size_t maxBytes);

// ---- Numbers in texts ------------------------------------------------------

// Base 10, no leading zeros or blanks, "-" before a negative number.
std::string DecimalText(int64_t number);

// Reads a number the way C's atoi does: leading white space skipped, an
// optional sign, then digits up to the first non-digit; no digits give 0.
// Unlike atoi, a number beyond the int32 range is clamped to it instead of
// being undefined.
int32_t ReadDecimal(std::string_view text);

}  // namespace tessaro
