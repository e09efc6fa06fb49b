// The chat line and the game log as both players see them: typing, Enter,
// the prefix, backslashes and the wrap of the narrow log pane.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "link/log_text.h"
#include "two_players.h"

namespace tessaro::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

class Chat : public TwoPlayers {
 protected:
  // Types into the chat line and presses Enter.
  void Say(GameWindow& window, const std::string& typed) {
    if (!typed.empty()) {
      ASSERT_TRUE(ui.TypeText(window, kChatLine, typed));
    }
    ASSERT_TRUE(ui.Focus(*window.GetDlgItem(kChatLine)));
    ASSERT_TRUE(ui.KeyDown(VK_RETURN));
  }
  static std::string ChatText(const GameWindow& window) {
    std::string text;
    window.GetDlgItemText(kChatLine, text);
    return text;
  }
};

TEST_F(Chat, LinesReachBothLogsWrappedAsTheSenderWroteThem) {
  struct Case {
    const char* name;
    std::string typed;
    std::string sent;  // the text on the wire
    std::vector<std::string> lines;
  };
  const std::string word36(36, 'w');
  // Named, not literals: GCC 12 warns (-Wrestrict) on a literal + a temporary.
  const std::string me = "Me: ", blank = " ";
  const Case cases[] = {
      {"short", "hi", "Me: hi", {"Me: hi"}},
      {"three lines",
       "the quick brown fox jumps over the lazy dog again and again",
       "Me: the quick brown fox jumps over the lazy dog again and again",
       {"Me: the quick brown fox", " jumps over the lazy dog", " again and again"}},
      {"a long word on a line of its own",
       word36 + " next",
       me + word36 + " next",
       {"Me:", blank + word36, " next"}},
      {"28 characters fill one line",
       std::string(24, 'x'),
       me + std::string(24, 'x'),
       {me + std::string(24, 'x')}},
      {"29 characters break at the blank",
       std::string(25, 'x'),
       me + std::string(25, 'x'),
       {"Me:", blank + std::string(25, 'x')}},
      {"a backslash is doubled", "a\\b", "Me: a\\\\b", {"Me: a\\\\b"}},
      {"two backslashes become four", "\\\\", "Me: \\\\\\\\", {"Me: \\\\\\\\"}},
      {"an empty line sends the prefix", "", "Me: ", {"Me: "}},
  };
  OpenBoth();
  for (const Case& test : cases) {
    SCOPED_TRACE(test.name);
    black->SetLog({});
    white->SetLog({});
    Say(*black, test.typed);
    EXPECT_EQ(SentFrames(bob).back(), FrameOf(CmdText, test.sent));
    EXPECT_EQ(LogLines(*black), test.lines);
    EXPECT_EQ(LogLines(*white), test.lines);  // the receiver adds no name
    EXPECT_EQ(ChatText(*black), "");
  }
  EXPECT_EQ(SentFrames(bob).size(), std::size(cases));
  EXPECT_THAT(SentFrames(alice), IsEmpty());
  // Enter sends; it does not close the window.
  EXPECT_TRUE(black->IsWindowVisible());
}

// One command carries at most 4,088 bytes of text; a longer line goes as
// several, and both logs get every piece.
TEST_F(Chat, ALineLongerThanOneCommandArrivesWholeInPieces) {
  OpenBoth();
  std::string typed;
  for (int i = 0; i < 1800; ++i)
    typed += i % 3 == 0 ? "\\" : "word ";
  Say(*black, typed);
  const std::vector<std::string> sent = SentFrames(bob);
  ASSERT_EQ(sent.size(), 2u);
  std::string joined;
  for (const std::string& frame : sent) {
    EXPECT_LE(frame.size(), 3 + 2 * 4096u);
    const std::string bytes = [&] {
      std::string out;
      for (size_t i = 3; i + 1 < frame.size(); i += 2)
        out.push_back(static_cast<char>(std::stoi(frame.substr(i, 2), nullptr, 16)));
      return out;
    }();
    joined += bytes.substr(8);
  }
  EXPECT_EQ(joined, ChatLine("Me", typed));
  EXPECT_EQ(white->LogText(), black->LogText());
  EXPECT_THAT(ui.driver().MessageBoxes(), IsEmpty());
}

TEST_F(Chat, BothPlayersTalkInTurn) {
  OpenBoth();
  Say(*black, "hello");
  Say(*white, "hi there");
  Say(*black, "ready?");
  const auto expected = ElementsAre("Me: hello", "Me: hi there", "Me: ready?");
  EXPECT_THAT(LogLines(*black), expected);
  EXPECT_THAT(LogLines(*white), expected);
}

TEST_F(Chat, WithoutADisplayNameTheLineIsFromUnknown) {
  ASSERT_TRUE(host->SetUserName(""));
  OpenBoth();
  ASSERT_EQ(black->game.myName, "");
  Say(*black, "hi");
  EXPECT_THAT(LogLines(*black), ElementsAre("Unknown: hi"));
  EXPECT_THAT(LogLines(*white), ElementsAre("Unknown: hi"));
}

TEST_F(Chat, GameLinesAndChatShareTheLogInArrivalOrder) {
  OpenBoth();
  Say(*black, "good luck");
  ClickPoint(*black, 7, 7);
  Say(*white, "thanks");
  EXPECT_THAT(LogLines(*black),
              ElementsAre("Me: good luck", "Me plays WHITE; Alice plays", " BLACK", "Me: thanks"));
  EXPECT_THAT(LogLines(*white),
              ElementsAre("Me: good luck", "Me plays WHITE; Alice plays", " BLACK", "Me: thanks"));
}

}  // namespace
}  // namespace tessaro::testing
