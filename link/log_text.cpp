#include "link/log_text.h"

#include <algorithm>
#include <limits>

namespace tessaro {

// ---- Log entries -----------------------------------------------------------

// Works in one pass over a copy s of the text with one blank appended. The
// rule, stated on s as it is being edited: p runs over the blanks, q is the
// blank before p (at first p itself), b the position of the last inserted LF
// (at first 0). When p - b > kLogWidth, an LF goes in at q and b becomes q.
// Instead of inserting into s, the result is built in `out`, which always
// holds the edited s up to, not including, the blank at q; so an insertion at
// q is an append, and `inserted` turns a position in s into one in the edit.
std::string WrapLogEntry(const std::string& text) {
  const std::string s = text + ' ';
  std::string out;
  out.reserve(s.size() + s.size() / kLogWidth + 1);

  size_t p = s.find(' ');
  size_t q = p;
  size_t b = 0;
  size_t inserted = 0;
  out.append(s, 0, q);
  while (p != std::string::npos) {
    if (p + inserted - b > kLogWidth) {
      b = out.size();
      out.push_back('\n');
      ++inserted;
    }
    out.append(s, q, p - q);
    q = p;
    p = s.find(' ', p + 1);
  }
  // The last blank of s is the one appended above; `out` holds everything
  // before it, so that blank is already gone.
  out.push_back('\n');
  return out;
}

// ---- Chat line -------------------------------------------------------------

std::string ChatLine(const std::string& myName, const std::string& typed) {
  std::string line = myName.empty() ? std::string("Unknown: ") : myName + ": ";
  line.reserve(line.size() + typed.size());
  for (const char c : typed) {
    line.push_back(c);
    if (c == '\\') line.push_back('\\');
  }
  return line;
}

std::vector<std::string> SplitChatLine(const std::string& line, size_t maxBytes) {
  if (maxBytes < 8) maxBytes = 8;
  std::vector<std::string> pieces;
  size_t start = 0;
  do {
    size_t end = std::min(line.size(), start + maxBytes);
    if (end < line.size()) {
      // Back off from a UTF-8 continuation byte (at most three steps for a
      // sequence, more only for bytes that are no UTF-8 at all).
      size_t cut = end;
      while (cut > start + maxBytes - 4 && (static_cast<unsigned char>(line[cut]) & 0xC0) == 0x80)
        --cut;
      if ((static_cast<unsigned char>(line[cut]) & 0xC0) != 0x80) end = cut;
      // A doubled backslash stays whole: count the run of backslashes before
      // the cut; an odd run means the cut splits a pair.
      size_t run = 0;
      while (end - run > start && line[end - run - 1] == '\\')
        ++run;
      if (run % 2 == 1 && end - 1 > start) --end;
    }
    pieces.push_back(line.substr(start, end - start));
    start = end;
  } while (start < line.size());
  return pieces;
}

// ---- Numbers in texts ------------------------------------------------------

std::string DecimalText(int64_t number) {
  return std::to_string(number);
}

int32_t ReadDecimal(std::string_view text) {
  constexpr int64_t kMax = std::numeric_limits<int32_t>::max();
  constexpr int64_t kMin = std::numeric_limits<int32_t>::min();

  size_t i = 0;
  // The white space of the C locale, as atoi skips it.
  while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r')))
    ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  // Accumulates the magnitude, held just past the int32 range once it gets
  // there so that it cannot overflow however many digits follow.
  int64_t magnitude = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    if (magnitude <= kMax) magnitude = magnitude * 10 + (text[i] - '0');
  }
  const int64_t number = negative ? -magnitude : magnitude;
  if (number > kMax) return static_cast<int32_t>(kMax);
  if (number < kMin) return static_cast<int32_t>(kMin);
  return static_cast<int32_t>(number);
}

}  // namespace tessaro
