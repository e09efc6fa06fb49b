// The game link between two windows: frames as they travel, what a window
// makes of the texts that reach it (bursts, damaged frames, more than one
// decoding's worth), and draining while a modal box is open.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "link/log_text.h"
#include "two_players.h"

namespace tessaro::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

// The little-endian bytes of a 32-bit number, as command data holds them.
std::string Int32Bytes(uint32_t value) {
  std::string bytes;
  for (int shift = 0; shift < 32; shift += 8)
    bytes.push_back(static_cast<char>((value >> shift) & 0xFF));
  return bytes;
}

// The packet bytes of one command, without the frame around them.
std::string PacketBytes(int32_t code, const std::string& data) {
  return Int32Bytes(static_cast<uint32_t>(code)) + Int32Bytes(static_cast<uint32_t>(data.size())) +
         data;
}

class Transport : public TwoPlayers {
 protected:
  void SetUp() override {
    TwoPlayers::SetUp();
    OpenBoth();
  }

  std::vector<std::string> BoxTexts() {
    std::vector<std::string> texts;
    for (const ShownRecord& box : ui.driver().MessageBoxes())
      texts.push_back(box.text);
    return texts;
  }
  size_t FlashCount(const GameWindow& window) { return ui.driver().Flashes(window.m_hWnd).size(); }
};

// ---- Frames on the wire ----------------------------------------------------

TEST_F(Transport, CommandsTravelAsUpperCaseHexFrames) {
  struct Case {
    const char* name;
    void (*set)(GameCommand&);
    const char* frame;
  };
  const Case cases[] = {
      {"reset", [](GameCommand& c) { c.setReset(); }, "#RQ0100000000000000"},
      {"text", [](GameCommand& c) { c.setText("hi"); }, "#RQ02000000020000006869"},
      {"side", [](GameCommand& c) { c.setSide(White); }, "#RQ030000000400000002000000"},
      {"move",
       [](GameCommand& c) {
         c.setMove(Move{7, 7, Black});
       },
       "#RQ00000000080000000700070001000000"},
      {"game",
       [](GameCommand& c) {
         c.setGame({{7, 7, Black}, {8, 7, White}, {7, 8, Black}});
       },
       "#RQ0500000003000000777887"},
      {"clock", [](GameCommand& c) { c.setClock(59); }, "#RQ06000000020000003539"},
      {"negative clock", [](GameCommand& c) { c.setClock(-10); }, "#RQ06000000030000002D3130"},
      {"game over", [](GameCommand& c) { c.setGameOver(); }, "#RQ0700000000000000"},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.name);
    GameCommand command(black);
    test.set(command);
    black->SendCommand(command);
    Settle();
    ASSERT_FALSE(SentFrames(bob).empty());
    EXPECT_EQ(SentFrames(bob).back(), test.frame);
  }
  EXPECT_EQ(SentFrames(bob).size(), std::size(cases));
  // Each arrived whole at the peer: the text is in its log, the clock in its label.
  EXPECT_THAT(LogLines(*white), ::testing::Contains("hi"));
  EXPECT_EQ(white->game.peerClock, -10);
}

TEST_F(Transport, NothingIsSentForAnEmptyPacket) {
  const uint8_t byte = 0;
  EXPECT_EQ(black->link.SendBytes(&byte, 0), 0);
  EXPECT_EQ(black->link.SendBytes(&byte, -1), 0);
  Settle();
  EXPECT_THAT(SentFrames(bob), IsEmpty());
}

// ---- Receiving -------------------------------------------------------------

TEST_F(Transport, FramesArrivingBeforeAPaintAreDispatchedInOrder) {
  Deliver(bob, FrameOf(CmdText, "first"));
  Deliver(bob, FrameOf(CmdText, "second"));
  Deliver(bob, FrameOf(CmdClock, "42"));
  // Queued, not yet decoded: the texts wait side by side for the next paint.
  EXPECT_EQ(black->inbox.size(), 3u);
  EXPECT_EQ(black->incomingText,
            FrameOf(CmdText, "first") + FrameOf(CmdText, "second") + FrameOf(CmdClock, "42"));
  EXPECT_THAT(LogLines(*black), IsEmpty());

  Settle();
  EXPECT_THAT(LogLines(*black), ElementsAre("first", "second"));
  EXPECT_EQ(black->game.peerClock, 42);
  EXPECT_TRUE(black->inbox.empty());
  EXPECT_TRUE(black->incomingText.empty());
  EXPECT_EQ(FlashCount(*black), 3u);
  EXPECT_THAT(BoxTexts(), IsEmpty());
  // Game messages are taken out of the unread history.
  EXPECT_THAT(host->EventsOf(bob, host::ReadFilter::kUnread), IsEmpty());
}

TEST_F(Transport, OneFrameMayCarrySeveralCommands) {
  Deliver(bob, FrameOf(CmdText, "one") + FrameOf(CmdClock, "7").substr(3));
  Settle();
  EXPECT_THAT(LogLines(*black), ElementsAre("one"));
  EXPECT_EQ(black->game.peerClock, 7);
}

// A NUL byte in a peer's text stays in the log, and the pane (which holds
// the log) keeps that line whole and every line after it.
TEST_F(Transport, ANulByteInAPeersTextStaysInTheLogWithTheLinesAfterIt) {
  Deliver(bob, FrameOf(CmdText, std::string("a\0b", 3)));
  Deliver(bob, FrameOf(CmdText, "next"));
  Settle();
  ASSERT_NE(black->LogPane(), nullptr);
  EXPECT_THAT(LogLines(*black), ElementsAre(std::string("a\0b", 3), "next"));
}

// Damaged texts. A text that cannot be read is dropped without a word; only a
// command running past the end of the bytes is reported, with a box here and
// a reply in the peer's log.
TEST_F(Transport, DamagedFrames) {
  const std::string hi = FrameOf(CmdText, "hi");
  const std::string hiOddDigit = hi.substr(0, hi.size() - 1);
  const std::string shortText = "#RQ02000000050000006869";  // says 5 bytes, holds 2
  std::string lengthFive = PacketBytes(CmdText, "hi");      // what shortText carries
  lengthFive[4] = '\x05';
  const std::string withHeaderTail = FrameOf(CmdText, "ok") + "01000000";
  struct Case {
    const char* name;
    std::vector<std::string> messages;
    std::vector<std::string> log;  // the receiving window's log afterwards
    std::string echoed;            // the bytes echoed back; empty: no box, no reply
  };
  const Case cases[] = {
      {"only the prefix", {"#RQ"}, {}, ""},
      {"a lower-case digit spoils the whole burst",
       {FrameOf(CmdText, "ok"), "#RQ0200000002000000686a"},
       {},
       ""},
      {"a blank between digits", {"#RQ02000000 02000000 6869"}, {}, ""},
      {"an odd digit paired with the next frame's '#'",
       {hiOddDigit, FrameOf(CmdText, "ok")},
       {},
       ""},
      {"a length past the end", {shortText}, {}, lengthFive},
      {"an odd last digit shortens the data",
       {hiOddDigit},
       {},
       PacketBytes(CmdText, "hi").substr(0, 9)},
      {"a negative length",
       {"#RQ02000000FFFFFFFF6869"},
       {},
       Int32Bytes(2) + Int32Bytes(~0u) + "hi"},
      {"a header cut short, after a good command",
       {withHeaderTail},
       {"ok"},
       PacketBytes(CmdText, "ok") + Int32Bytes(1)},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.name);
    black->SetLog({});
    white->SetLog({});
    ui.driver().ClearShown();
    const size_t sentBefore = SentFrames(bob).size();

    for (const std::string& message : test.messages)
      Deliver(bob, message);
    Settle();

    EXPECT_EQ(LogLines(*black), test.log);
    if (test.echoed.empty()) {
      EXPECT_THAT(BoxTexts(), IsEmpty());
      EXPECT_EQ(SentFrames(bob).size(), sentBefore);
      EXPECT_THAT(LogLines(*white), IsEmpty());
    } else {
      EXPECT_THAT(BoxTexts(), ElementsAre("Receive error 0x01"));
      const std::string reply = "Receive error (" + test.echoed + ")";
      ASSERT_EQ(SentFrames(bob).size(), sentBefore + 1);
      EXPECT_EQ(SentFrames(bob).back(), FrameOf(CmdText, reply));
      // The reply holds no blank after its first 15 characters, so it wraps
      // at most once, in front of the bracket.
      const std::string logged =
          reply.size() > 28 ? "Receive error\n (" + test.echoed + ")\n" : reply + "\n";
      EXPECT_EQ(white->LogText(), logged);
    }
    EXPECT_TRUE(black->incomingText.empty());
  }
}

TEST_F(Transport, UnknownCodesAreRefusedAndTheRestOfTheFrameGoesOn) {
  for (uint32_t code : {8u, 0x7FFFFFFFu, 0xFFFFFFFFu}) {
    SCOPED_TRACE(code);
    black->SetLog({});
    ui.driver().ClearShown();
    const size_t flashes = FlashCount(*black);
    Deliver(bob, "#RQ" + FrameOf(static_cast<int32_t>(code), "xyz").substr(3) +
                     FrameOf(CmdText, "after").substr(3));
    Settle();
    EXPECT_THAT(BoxTexts(), ElementsAre("Unknown command received"));
    EXPECT_THAT(LogLines(*black), ElementsAre("after"));
    EXPECT_EQ(FlashCount(*black), flashes + 2);
  }
  EXPECT_THAT(SentFrames(bob), IsEmpty());
}

// One decoding holds at most 4096 bytes. Frames beyond it are not lost: a
// command cut at the limit goes back, whole, for the next receive.
TEST_F(Transport, BurstsLongerThanOneDecodingArriveWhole) {
  struct Case {
    const char* name;
    std::vector<size_t> sizes;  // data bytes of each CmdText frame
  };
  const Case cases[] = {
      {"cut inside the third command's data", {2000, 2000, 2000}},
      {"cut inside the third command's header", {2037, 2037, 100}},
      {"the limit falls between commands", {2040, 2040, 10}},
      {"one command fills the decoding", {4088, 5}},
      {"many small commands", std::vector<size_t>(150, 30)},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.name);
    black->SetLog({});
    std::vector<std::string> expected;
    for (size_t i = 0; i < test.sizes.size(); ++i) {
      const std::string text(test.sizes[i], static_cast<char>('a' + i % 26));
      Deliver(bob, FrameOf(CmdText, text));
      // A text without blanks that is wider than the pane is followed by an
      // empty line.
      expected.push_back(text);
      if (text.size() > 28) expected.push_back("");
    }
    Settle();
    EXPECT_EQ(LogLines(*black), expected);
    EXPECT_THAT(BoxTexts(), IsEmpty());
    EXPECT_TRUE(black->inbox.empty());
    EXPECT_TRUE(black->incomingText.empty());
  }
}

// One message may hold more than the host's usual 16 KiB event buffer and
// more than one decoding: it is read whole, every decoding follows at once,
// and the next message is untouched. Past 1 MiB a message is dropped with a
// line in the log, and the next one still arrives.
TEST_F(Transport, LongMessagesAreReadWholeOrDroppedWhole) {
  struct Case {
    const char* name;
    size_t commands;  // CmdText commands of 30 bytes in the one message
    bool dropped;
  };
  const Case cases[] = {
      {"more than one decoding", 120, false},
      {"more than the event buffer", 300, false},
      {"more than 1 MiB", 14000, true},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.name);
    black->SetLog({});
    std::string message = "#RQ";
    for (size_t i = 0; i < test.commands; ++i)
      message += FrameOf(CmdText, std::string(30, static_cast<char>('a' + i % 26))).substr(3);
    Deliver(bob, message);
    Settle();
    const std::vector<std::string> lines = LogLines(*black);
    if (test.dropped) {
      // The host's blob is the text and its closing zero.
      EXPECT_EQ(black->LogText(),
                WrapLogEntry("A game message of " + std::to_string(message.size() + 1) +
                             " bytes was too long; dropped"));
    } else {
      EXPECT_EQ(lines.size(), 2 * test.commands);  // each text and an empty line
    }
    Deliver(bob, FrameOf(CmdText, "next"));
    Settle();
    EXPECT_EQ(LogLines(*black).back(), "next");
    EXPECT_THAT(BoxTexts(), IsEmpty());
    EXPECT_TRUE(black->inbox.empty());
    EXPECT_TRUE(black->incomingText.empty());
  }
}

TEST_F(Transport, ACommandLongerThanOneDecodingIsAReceiveError) {
  Deliver(bob, FrameOf(CmdText, std::string(4089, 'q')));
  Settle();
  EXPECT_THAT(BoxTexts(), ElementsAre("Receive error 0x01"));
  EXPECT_THAT(LogLines(*black), IsEmpty());
  EXPECT_TRUE(black->incomingText.empty());
  // The echo is cut so that the reply fits into the peer's one decoding: the
  // peer logs it and raises no error of its own.
  const std::vector<std::string> peerLines = LogLines(*white);
  ASSERT_FALSE(peerLines.empty());
  EXPECT_EQ(peerLines.front(), "Receive error");
  EXPECT_EQ(peerLines[1].substr(0, 2), " (");
  EXPECT_EQ(peerLines[1].back(), ')');
  EXPECT_LT(peerLines[1].size(), 4096u);
}

// ---- Draining while a modal box is open ------------------------------------

// The swap question is a modal box inside white's drain. Frames that arrive
// while it is open wait: for white until the question's command is done, for
// the other window until the drain ends, which then paints it once more so
// they do not wait for some unrelated repaint.
TEST_F(Transport, FramesArrivingDuringTheSwapQuestionWaitForTheDrain) {
  ClickPoint(*black, 7, 7);
  ClickPoint(*black, 7, 8);
  std::vector<std::string> whiteLogDuringBox, blackLogDuringBox;
  size_t blackInboxDuringBox = 0;
  ui.AnswerMessageBox(
      IDNO,
      [&] {
        Deliver(alice, FrameOf(CmdText, "to white"));
        Deliver(bob, FrameOf(CmdText, "to black"));
        ui.RunUntilIdle();  // both windows paint inside the box's loop
        whiteLogDuringBox = LogLines(*white);
        blackLogDuringBox = LogLines(*black);
        blackInboxDuringBox = black->inbox.size();
      },
      "Do you want to play as BLACK?");
  ClickPoint(*black, 8, 8);

  EXPECT_EQ(receiveBusy, 0);
  EXPECT_THAT(whiteLogDuringBox, ::testing::Not(::testing::Contains("to white")));
  EXPECT_THAT(blackLogDuringBox, ::testing::Not(::testing::Contains("to black")));
  EXPECT_EQ(blackInboxDuringBox, 1u);
  EXPECT_EQ(LogLines(*white).back(), "to white");
  EXPECT_EQ(LogLines(*black).back(), "to black");
  EXPECT_TRUE(black->inbox.empty());
  EXPECT_TRUE(white->inbox.empty());
  // The question's command finished before the waiting text was dispatched.
  EXPECT_EQ(white->game.moveList.size(), 3u);
  EXPECT_EQ(white->game.myTurn, 1u);
}

}  // namespace
}  // namespace tessaro::testing
