#include "link/frame.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "link/game_command.h"

namespace tessaro {
namespace {

// Upper-case hex of bytes, for compact expectations.
std::string Hex(const std::vector<uint8_t>& bytes) {
  return EncodeFrame(bytes.data(), bytes.size()).substr(kFramePrefix.size());
}

std::string Frame(int32_t code, const std::string& data) {
  GameCommand command(nullptr);
  command.code = code;
  command.data = data;
  const std::vector<uint8_t> packet = command.packet();
  return EncodeFrame(packet.data(), packet.size());
}

// What one receive of a window does before dispatching.
struct Receipt {
  std::vector<uint8_t> bytes;
  CommandCut cut;
};

Receipt ReceiveOnce(std::string& incoming, int32_t capacity = kReceiveCapacity) {
  std::vector<uint8_t> buffer(static_cast<size_t>(capacity));
  const int32_t n = DecodeIncomingText(incoming, buffer.data(), capacity);
  EXPECT_GE(n, 0);
  EXPECT_LE(n, capacity);
  buffer.resize(static_cast<size_t>(n));
  CommandCut cut = CutCommands(buffer.data(), n, capacity, incoming);
  return {buffer, cut};
}

// Receives until the text is used up, as the paints after a burst of
// messages do; counts the receives and the errors.
struct Drained {
  std::vector<ReceivedCommand> commands;
  int receives = 0;
  int errors = 0;
};

Drained ReceiveAll(std::string incoming, int32_t capacity = kReceiveCapacity) {
  Drained drained;
  const size_t bound = incoming.size() + 1;
  while (!incoming.empty()) {
    // Every receive consumes text, so the loop must end well within this.
    if (static_cast<size_t>(drained.receives) > bound) {
      ADD_FAILURE() << "receives make no progress";
      break;
    }
    const Receipt receipt = ReceiveOnce(incoming, capacity);
    ++drained.receives;
    drained.errors += receipt.cut.receiveError ? 1 : 0;
    drained.commands.insert(drained.commands.end(), receipt.cut.commands.begin(),
                            receipt.cut.commands.end());
  }
  return drained;
}

// ---- Encoding --------------------------------------------------------------

TEST(EncodeFrame, EveryByteAsTwoUpperCaseDigitsHighFirst) {
  std::vector<uint8_t> all(256);
  std::string expected = "#RQ";
  for (int i = 0; i < 256; ++i) {
    all[static_cast<size_t>(i)] = static_cast<uint8_t>(i);
    expected += "0123456789ABCDEF"[i >> 4];
    expected += "0123456789ABCDEF"[i & 15];
  }
  EXPECT_EQ(EncodeFrame(all.data(), all.size()), expected);
  EXPECT_EQ(EncodeFrame(nullptr, 0), "#RQ");

  std::string incoming = expected;
  EXPECT_EQ(ReceiveOnce(incoming, 256).bytes, all);
}

// ---- Decoding --------------------------------------------------------------

TEST(DecodeIncomingText, FollowsTheDigitAndPrefixRules) {
  const struct {
    const char* name;
    std::string text;
    int32_t capacity;
    std::string bytes;  // hex of the expected result
    std::string rest;   // incomingText afterwards
  } cases[] = {
      {"only the prefix", "#RQ", 4096, "", ""},
      {"empty text", "", 4096, "", ""},
      {"no prefix", "RQ0100000000000000", 4096, "", ""},
      {"blank before the prefix", " #RQ0100000000000000", 4096, "", ""},
      {"lower-case prefix", "#rq0100000000000000", 4096, "", ""},
      {"one frame", "#RQ0100000000000000", 4096, "0100000000000000", ""},
      {"two frames back to back", "#RQ0100000000000000#RQ02000000020000006869", 4096,
       "010000000000000002000000020000006869", ""},
      {"lower-case digit", "#RQ02000000020000006a69", 4096, "", ""},
      {"lower-case digit drops the good frame before it",
       "#RQ0100000000000000#RQ02000000020000006a69", 4096, "", ""},
      {"line end after the frame", "#RQ0100000000000000\r\n", 4096, "", ""},
      {"blank inside", "#RQ01000000 00000000", 4096, "", ""},
      {"odd digit at the end is ignored", "#RQ01000000000000000", 4096, "0100000000000000", ""},
      {"odd digit followed by a further frame", "#RQ01000000000000000#RQ0100000000000000", 4096, "",
       ""},
      {"empty frame at the end", "#RQ0100000000000000#RQ", 4096, "0100000000000000", ""},
      {"empty frames around", "#RQ#RQ#RQ0A#RQ", 4096, "0A", ""},
      {"odd digit then empty frame", "#RQ0A1#RQ", 4096, "", ""},
      {"capacity reached, rest put back", "#RQ010203", 2, "0102", "#RQ03"},
      {"capacity reached at the end", "#RQ0102", 2, "0102", ""},
      {"capacity reached before a frame", "#RQ0102#RQ0304", 2, "0102", "#RQ0304"},
      {"capacity reached before empty frames", "#RQ0102#RQ#RQ0304", 2, "0102", "#RQ0304"},
      {"capacity reached, one digit left", "#RQ01020", 2, "0102", ""},
      {"capacity reached, bad rest kept for the next receive", "#RQ0102zz", 2, "0102", "#RQzz"},
      {"no capacity leaves the text alone", "#RQ01", 0, "", "#RQ01"},
      {"negative capacity leaves the text alone", "#RQ01", -1, "", "#RQ01"},
  };
  for (const auto& test : cases) {
    SCOPED_TRACE(test.name);
    std::string incoming = test.text;
    std::vector<uint8_t> buffer(4096, 0xEE);
    const int32_t n = DecodeIncomingText(incoming, buffer.data(), test.capacity);
    buffer.resize(static_cast<size_t>(n));
    EXPECT_EQ(Hex(buffer), test.bytes);
    EXPECT_EQ(incoming, test.rest);
  }
}

TEST(DecodeIncomingText, PutBackRestIsDecodedByTheNextCall) {
  std::string incoming = "#RQ01020304#RQ0506";
  uint8_t buffer[4];
  ASSERT_EQ(DecodeIncomingText(incoming, buffer, 4), 4);
  EXPECT_EQ(Hex({buffer, buffer + 4}), "01020304");
  incoming += "#RQ07";  // a message arriving in between goes behind the rest
  ASSERT_EQ(DecodeIncomingText(incoming, buffer, 4), 3);
  EXPECT_EQ(Hex({buffer, buffer + 3}), "050607");
  EXPECT_EQ(incoming, "");
}

// ---- Cutting ---------------------------------------------------------------

TEST(CutCommands, FramesOfOneBurstComeOutInArrivalOrder) {
  std::string incoming = "#RQ0100000000000000";
  incoming += "#RQ02000000020000006869";
  incoming += "#RQ0700000000000000";
  const Receipt first = ReceiveOnce(incoming);
  EXPECT_FALSE(first.cut.receiveError);
  const std::vector<ReceivedCommand> expected = {
      {CmdReset, ""}, {CmdText, "hi"}, {CmdGameOver, ""}};
  EXPECT_EQ(first.cut.commands, expected);
  // The later inbox entries of the same burst find nothing.
  const Receipt second = ReceiveOnce(incoming);
  EXPECT_TRUE(second.cut.commands.empty());
  EXPECT_FALSE(second.cut.receiveError);
}

TEST(CutCommands, NothingUsableIsNoError) {
  for (const char* text : {"#RQ", "", "#RQ0100000000000000#RQ0a", "garbage"}) {
    std::string incoming = text;
    const Receipt receipt = ReceiveOnce(incoming);
    EXPECT_TRUE(receipt.bytes.empty()) << text;
    EXPECT_TRUE(receipt.cut.commands.empty()) << text;
    EXPECT_FALSE(receipt.cut.receiveError) << text;
  }
}

TEST(CutCommands, DamagedCommandsAreReceiveErrorsAfterTheCommandsBeforeThem) {
  const struct {
    const char* name;
    std::string text;
    size_t whole;  // commands cut before the damage
  } cases[] = {
      {"length past the end", "#RQ0200000005000000686970", 0},
      {"length past the end after a reset", "#RQ0100000000000000#RQ02000000050000006869", 1},
      {"negative length", "#RQ02000000FFFFFFFF6869", 0},
      {"largest negative length", "#RQ020000000000008068", 0},
      {"header of 4 bytes", "#RQ01000000", 0},
      {"header of 7 bytes", "#RQ0100000000000000#RQ01000000000000", 1},
      {"odd digit shortens the data", "#RQ0200000002000000686", 0},
  };
  for (const auto& test : cases) {
    SCOPED_TRACE(test.name);
    std::string incoming = test.text;
    const Receipt receipt = ReceiveOnce(incoming);
    EXPECT_FALSE(receipt.bytes.empty());
    EXPECT_TRUE(receipt.cut.receiveError);
    EXPECT_EQ(receipt.cut.commands.size(), test.whole);
    EXPECT_EQ(incoming, "");
  }
}

TEST(CutCommands, ErrorReplyEchoesEveryDecodedByte) {
  std::string incoming = "#RQ0100000000000000#RQ02000000050000006869";
  const Receipt receipt = ReceiveOnce(incoming);
  ASSERT_TRUE(receipt.cut.receiveError);
  ASSERT_EQ(receipt.bytes.size(), 18u);
  const std::string expected = std::string("Receive error (") +
                               std::string("\x01\0\0\0\0\0\0\0", 8) +
                               std::string("\x02\0\0\0\x05\0\0\0", 8) + "hi)";
  EXPECT_EQ(ReceiveErrorText(receipt.bytes.data(), static_cast<int32_t>(receipt.bytes.size())),
            expected);
  EXPECT_EQ(ReceiveErrorText(nullptr, 0), "Receive error ()");
  EXPECT_EQ(kReceiveErrorMessage, std::string("Receive error 0x01"));
}

TEST(CutCommands, ErrorReplyToAFullDecodingStillFitsTheCapacity) {
  const std::vector<uint8_t> full(kReceiveCapacity, 0xAB);
  const std::string reply = ReceiveErrorText(full.data(), kReceiveCapacity);
  EXPECT_EQ(reply.size(), kReceiveCapacity - kPacketHeaderSize);
  EXPECT_EQ(reply.substr(0, 15), "Receive error (");
  EXPECT_EQ(reply.substr(15, kMaxEchoedBytes), std::string(kMaxEchoedBytes, '\xAB'));
  EXPECT_EQ(reply.back(), ')');

  // The peer reads the reply whole instead of answering with an error of its own.
  std::string atPeer = Frame(CmdText, reply);
  const Drained drained = ReceiveAll(atPeer);
  EXPECT_EQ(drained.errors, 0);
  EXPECT_EQ(drained.commands, (std::vector<ReceivedCommand>{{CmdText, reply}}));
}

// ---- More than one decoding ------------------------------------------------

// Frames of one burst, more than one decoding can take: every command comes
// out whole and in order, wherever the capacity cuts the stream, and no
// receive takes fewer than one command (one receive runs per message).
TEST(CutCommands, CommandsCutByTheCapacityArriveWholeAtTheNextReceive) {
  const struct {
    const char* name;
    size_t dataSize;
    int frames;
  } cases[] = {
      {"empty data", 0, 1000},
      {"boundary between commands", 8, 300},    // 16-byte packets: 256 per decoding
      {"boundary inside the data", 12, 300},    // 20-byte packets
      {"boundary inside the header", 4082, 5},  // 4090-byte packets: 6 header bytes
      {"commands of the whole capacity", 4088, 4},
      {"commands of a byte less", 4087, 4},
  };
  for (const auto& test : cases) {
    SCOPED_TRACE(test.name);
    std::string incoming;
    std::vector<ReceivedCommand> sent;
    for (int i = 0; i < test.frames; ++i) {
      std::string data(test.dataSize, static_cast<char>('A' + i % 26));
      if (!data.empty()) data[0] = static_cast<char>(i);
      sent.push_back({CmdText, data});
      incoming += Frame(CmdText, data);
    }
    const Drained drained = ReceiveAll(incoming);
    EXPECT_EQ(drained.errors, 0);
    EXPECT_EQ(drained.commands, sent);
    EXPECT_LE(drained.receives, test.frames);
  }
}

TEST(CutCommands, RandomBurstsSurviveAnyCapacity) {
  std::mt19937 random(20240517);
  for (const int32_t capacity : {8, 9, 16, 37, 100, kReceiveCapacity}) {
    for (int round = 0; round < 40; ++round) {
      std::string incoming;
      std::vector<ReceivedCommand> sent;
      const int frames = 1 + static_cast<int>(random() % 30);
      for (int i = 0; i < frames; ++i) {
        const auto size = random() % static_cast<uint32_t>(capacity - 7);
        std::string data;
        for (uint32_t k = 0; k < size; ++k)
          data.push_back(static_cast<char>(random()));
        const auto code = static_cast<int32_t>(random() % 9);
        sent.push_back({code, data});
        incoming += Frame(code, data);
      }
      const Drained drained = ReceiveAll(incoming, capacity);
      ASSERT_EQ(drained.errors, 0) << "capacity " << capacity << " round " << round;
      ASSERT_EQ(drained.commands, sent) << "capacity " << capacity << " round " << round;
      ASSERT_LE(drained.receives, frames);
    }
  }
}

TEST(CutCommands, DamageInACutDecodingDropsTheRestToo) {
  const struct {
    const char* name;
    std::string damaged;
  } cases[] = {
      // 255 commands of 16 bytes fill 4080 bytes; the damage straddles the cut.
      {"negative length", "#RQ02000000FEFFFFFF" + std::string(40, 'A')},
      {"longer than any decoding", Frame(CmdText, std::string(5000, 'x'))},
  };
  for (const auto& test : cases) {
    SCOPED_TRACE(test.name);
    std::string incoming;
    for (int i = 0; i < 255; ++i)
      incoming += Frame(CmdText, "12345678");
    incoming += test.damaged;
    incoming += Frame(CmdReset, "");
    const Receipt receipt = ReceiveOnce(incoming);
    EXPECT_TRUE(receipt.cut.receiveError);
    EXPECT_EQ(receipt.cut.commands.size(), 255u);
    EXPECT_EQ(incoming, "") << "nothing after the damage can be lined up again";
  }
}

TEST(CutCommands, CommandLongerThanAnyDecodingIsAnErrorNotAStall) {
  std::string incoming = Frame(CmdText, std::string(5000, 'x')) + Frame(CmdReset, "");
  const Drained drained = ReceiveAll(incoming);
  EXPECT_EQ(drained.receives, 1);
  EXPECT_EQ(drained.errors, 1);
  EXPECT_TRUE(drained.commands.empty());
}

// Whatever text arrives, a receive reads only inside its buffer and always
// consumes text (the sanitizer build checks the first).
TEST(CutCommands, AnyTextIsReadSafelyAndUsedUp) {
  std::mt19937 random(7);
  const std::string pieces[] = {"#RQ", "0", "1", "7", "F", "A", "FF", "00", "a", " ", "#", "\n"};
  for (int round = 0; round < 400; ++round) {
    std::string incoming = round % 4 == 0 ? "" : "#RQ";
    const auto length = random() % 3000;
    for (uint32_t i = 0; i < length; ++i) {
      // Mostly digits, so that many texts decode far.
      const auto pick = random() % 100;
      if (pick < 90) {
        incoming += "0123456789ABCDEF"[random() % 16];
      } else {
        incoming += pieces[random() % std::size(pieces)];
      }
    }
    const int32_t capacity =
        round % 2 == 0 ? kReceiveCapacity : static_cast<int32_t>(8 + random() % 64);
    ReceiveAll(incoming, capacity);
  }
}

}  // namespace
}  // namespace tessaro
