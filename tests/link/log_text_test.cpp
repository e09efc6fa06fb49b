#include "link/log_text.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <random>
#include <string>

namespace tessaro {
namespace {

// The wrap as a list of steps on a string that is edited in place: the plain
// form that WrapLogEntry's single pass must agree with.
std::string WrapByInsertion(const std::string& text) {
  std::string s = text + ' ';
  size_t p = s.find(' ');
  size_t q = p;
  size_t b = 0;
  while (p != std::string::npos) {
    if (p - b > 28) {
      s.insert(q, 1, '\n');
      p += 1;
      b = q;
    }
    q = p;
    p = s.find(' ', p + 1);
  }
  s.pop_back();
  return s + '\n';
}

// ---- Wrap ------------------------------------------------------------------

TEST(WrapLogEntry, BreaksAtBlanksPastTwentyEightColumns) {
  const std::string word36(36, 'w');
  const std::string word30(30, 'v');
  const struct {
    const char* name;
    std::string text;
    std::string logged;
  } cases[] = {
      {"sides sentence of 30 characters", "P2 plays WHITE; P1 plays BLACK",
       "P2 plays WHITE; P1 plays\n BLACK\n"},
      {"three lines", "P1: the quick brown fox jumps over the lazy dog again and again",
       "P1: the quick brown fox\n jumps over the lazy dog\n again and again\n"},
      {"long word on a line of its own", "P1: " + word36 + " next",
       "P1:\n " + word36 + "\n next\n"},
      {"28 characters without blanks", std::string(28, 'x'), std::string(28, 'x') + "\n"},
      {"29 characters without blanks", std::string(29, 'x'), std::string(29, 'x') + "\n\n"},
      {"result text", "BLACK win, 5 in row", "BLACK win, 5 in row\n"},
      {"reset line keeps its own line end", "Game reset\r\n", "Game reset\r\n\n"},
      {"empty chat line keeps its blank", "P1: ", "P1: \n"},
      {"empty text", "", "\n"},
      {"28 characters with a blank", std::string(26, 'x') + " y", std::string(26, 'x') + " y\n"},
      {"29 characters with a blank", std::string(27, 'x') + " y", std::string(27, 'x') + "\n y\n"},
      {"two long words give an empty line", word30 + " " + word30,
       word30 + "\n\n " + word30 + "\n"},
      {"line feeds inside do not start lines", "aaaaaaaaaa\nbbbbbbbbbb\ncccccccccc dd",
       "aaaaaaaaaa\nbbbbbbbbbb\ncccccccccc\n dd\n"},
  };
  for (const auto& test : cases) {
    SCOPED_TRACE(test.name);
    EXPECT_EQ(WrapLogEntry(test.text), test.logged);
    EXPECT_EQ(WrapByInsertion(test.text), test.logged);
  }
}

TEST(WrapLogEntry, SinglePassAgreesWithInsertionOnRandomTexts) {
  std::mt19937 random(1234);
  for (int round = 0; round < 2000; ++round) {
    std::string text;
    const auto words = random() % 40;
    for (uint32_t w = 0; w < words; ++w) {
      // Word lengths around the width, runs of blanks and stray line ends.
      const auto length = random() % (round % 3 == 0 ? 70 : 12);
      for (uint32_t k = 0; k < length; ++k)
        text += (random() % 20 == 0) ? '\n' : 'a';
      text.append(1 + random() % (random() % 5 == 0 ? 4 : 1), ' ');
    }
    if (round % 2 == 0 && !text.empty()) text.pop_back();
    ASSERT_EQ(WrapLogEntry(text), WrapByInsertion(text)) << '"' << text << '"';
  }
}

// ---- Chat line -------------------------------------------------------------

TEST(ChatLine, PrefixesTheNameAndDoublesBackslashes) {
  const struct {
    std::string name;
    std::string typed;
    std::string line;
  } cases[] = {
      {"P1", "a\\b", "P1: a\\\\b"}, {"P1", "a\\\\b", "P1: a\\\\\\\\b"},
      {"P1", "\\", "P1: \\\\"},     {"", "hi", "Unknown: hi"},
      {"P1", "", "P1: "},           {"", "", "Unknown: "},
      {"P\\1", "x", "P\\1: x"},  // only the typed text is touched
  };
  for (const auto& test : cases) {
    EXPECT_EQ(ChatLine(test.name, test.typed), test.line) << test.name << " / " << test.typed;
  }
}

// Pieces of at most 10 bytes here; together they are always the whole line.
TEST(SplitChatLine, CutsOnlyWhereNothingIsSpoiled) {
  const struct {
    const char* name;
    std::string line;
    std::vector<std::string> pieces;
  } cases[] = {
      {"fits", "P1: hello", {"P1: hello"}},
      {"exactly full", "0123456789", {"0123456789"}},
      {"empty", "", {""}},
      {"plain cut", "0123456789abcdefghijXY", {"0123456789", "abcdefghij", "XY"}},
      {"a doubled backslash stays whole", "012345678\\\\z", {"012345678", "\\\\z"}},
      {"pairs before the cut are whole", "01234567\\\\z", {"01234567\\\\", "z"}},
      {"a UTF-8 letter stays whole", "012345678\xC3\xA9z", {"012345678", "\xC3\xA9z"}},
      {"a four-byte sequence stays whole",
       "0123456\xF0\x9F\x98\x80z",
       {"0123456", "\xF0\x9F\x98\x80z"}},
  };
  for (const auto& test : cases) {
    EXPECT_EQ(SplitChatLine(test.line, 10), test.pieces) << test.name;
  }
}

// ---- Numbers ---------------------------------------------------------------

TEST(DecimalText, PlainBaseTen) {
  EXPECT_EQ(DecimalText(0), "0");
  EXPECT_EQ(DecimalText(60), "60");
  EXPECT_EQ(DecimalText(-7), "-7");
  EXPECT_EQ(DecimalText(std::numeric_limits<int32_t>::min()), "-2147483648");
}

TEST(ReadDecimal, StopsAtTheFirstNonDigit) {
  EXPECT_EQ(ReadDecimal("60 seconds"), 60);
  EXPECT_EQ(ReadDecimal("  -3"), -3);
  EXPECT_EQ(ReadDecimal("x60"), 0);
  EXPECT_EQ(ReadDecimal("4294967296"), std::numeric_limits<int32_t>::max());
  EXPECT_EQ(ReadDecimal(std::string_view("12\0"
                                         "3",
                                         4)),
            12);
}

}  // namespace
}  // namespace tessaro
