#include "link/game_command.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "link/frame.h"

namespace tessaro {
namespace {

std::string FrameOf(const GameCommand& command) {
  const std::vector<uint8_t> packet = command.packet();
  return EncodeFrame(packet.data(), packet.size());
}

// Decodes one frame text as a receiving window would and returns its only
// command; fails the test if the text holds anything else.
GameCommand ReceiveOne(const std::string& frame) {
  std::string incoming = frame;
  uint8_t buffer[kReceiveCapacity];
  const int32_t n = DecodeIncomingText(incoming, buffer, kReceiveCapacity);
  const CommandCut cut = CutCommands(buffer, n, kReceiveCapacity, incoming);
  GameCommand command(nullptr);
  EXPECT_FALSE(cut.receiveError);
  EXPECT_EQ(cut.commands.size(), 1u);
  if (cut.commands.size() == 1) {
    command.code = cut.commands[0].code;
    command.data = cut.commands[0].data;
  }
  return command;
}

// ---- Frames of every command -----------------------------------------------

struct FrameCase {
  const char* name;
  std::function<void(GameCommand&)> set;
  const char* frame;
};

TEST(GameCommandFrames, EverySetterGivesTheFrameOnTheWire) {
  const FrameCase cases[] = {
      {"reset", [](GameCommand& c) { c.setReset(); }, "#RQ0100000000000000"},
      {"text hi", [](GameCommand& c) { c.setText("hi"); }, "#RQ02000000020000006869"},
      {"black stone at centre",
       [](GameCommand& c) {
         c.setMove({7, 7, Black});
       },
       "#RQ00000000080000000700070001000000"},
      {"side white", [](GameCommand& c) { c.setSide(White); }, "#RQ030000000400000002000000"},
      {"game of three moves",
       [](GameCommand& c) {
         c.setGame({{7, 7, Black}, {8, 7, White}, {7, 8, Black}});
       },
       "#RQ0500000003000000777887"},
      {"clock 59", [](GameCommand& c) { c.setClock(59); }, "#RQ06000000020000003539"},
      {"game over", [](GameCommand& c) { c.setGameOver(); }, "#RQ0700000000000000"},
      {"take back", [](GameCommand& c) { c.setTakeBack(); }, "#RQ0400000000000000"},
      {"empty game", [](GameCommand& c) { c.setGame({}); }, "#RQ0500000000000000"},
      {"negative clock", [](GameCommand& c) { c.setClock(-5); }, "#RQ06000000020000002D35"},
  };
  // One command reused for every case, as senders do: each setter must
  // replace what the previous one left.
  GameCommand command(nullptr);
  for (const FrameCase& test : cases) {
    SCOPED_TRACE(test.name);
    command.setText("left over from an earlier send");
    test.set(command);
    EXPECT_EQ(FrameOf(command), test.frame);

    const GameCommand received = ReceiveOne(test.frame);
    EXPECT_EQ(received.code, command.code);
    EXPECT_EQ(received.data, command.data);
  }
}

TEST(GameCommandFrames, NewCommandIsAResetOfItsOwner) {
  auto* owner = reinterpret_cast<LinkEndpoint*>(0x1000);
  const GameCommand command(owner);
  EXPECT_EQ(command.owner, owner);
  EXPECT_EQ(command.code, CmdReset);
  EXPECT_TRUE(command.data.empty());
  EXPECT_EQ(FrameOf(command), "#RQ0100000000000000");
  EXPECT_EQ(FrameOf(command).size(), 19u);
}

TEST(GameCommandFrames, PacketCarriesAnyDataByteAsItIs) {
  GameCommand command(nullptr);
  const std::string text("a\0\xFF\x80z", 5);
  command.setText(text);
  const std::vector<uint8_t> expected = {2, 0, 0, 0, 5, 0, 0, 0, 'a', 0, 0xFF, 0x80, 'z'};
  EXPECT_EQ(command.packet(), expected);

  std::string out;
  ASSERT_TRUE(ReceiveOne(FrameOf(command)).getText(out));
  EXPECT_EQ(out, text);
}

TEST(GameCommandFrames, UnknownCodesTravelAsTheyAre) {
  GameCommand command(nullptr);
  command.code = -1;
  EXPECT_EQ(FrameOf(command), "#RQFFFFFFFF00000000");
  EXPECT_EQ(ReceiveOne("#RQFFFFFFFF00000000").code, -1);
  EXPECT_EQ(ReceiveOne("#RQ0800000000000000").code, 8);
}

// ---- Moves -----------------------------------------------------------------

TEST(GameCommandMove, RoundTripKeepsEveryFieldEvenOffTheBoard) {
  const Move moves[] = {{0, 0, Empty}, {14, 14, White}, {3, 10, Proposal}, {-1, 300, 0xFFFFFFFFu}};
  for (const Move& sent : moves) {
    GameCommand command(nullptr);
    command.setMove(sent);
    Move got{99, 99, 99};
    ASSERT_TRUE(ReceiveOne(FrameOf(command)).getMove(got));
    EXPECT_EQ(got, sent);
  }
}

TEST(GameCommandMove, OnBoardOnlyForColumnsAndRowsZeroToFourteen) {
  const struct {
    int16_t x, y;
    bool onBoard;
  } cases[] = {{0, 0, true},   {14, 14, true}, {7, 7, true},       {15, 0, false},   {0, 15, false},
               {-1, 0, false}, {0, -1, false}, {-32768, 7, false}, {7, 32767, false}};
  for (const auto& test : cases) {
    EXPECT_EQ(MoveOnBoard(Move{test.x, test.y, Black}), test.onBoard) << test.x << "," << test.y;
  }
}

// ---- Getters refuse what does not fit --------------------------------------

TEST(GameCommandGetters, RefuseWrongCodesAndLengthsAndLeaveTheOutputAlone) {
  const struct {
    const char* name;
    int32_t code;
    std::string data;
  } cases[] = {
      {"move short", CmdMove, std::string(7, '\0')},
      {"move long", CmdMove, std::string(9, '\0')},
      {"move empty", CmdMove, ""},
      {"move bytes under text code", CmdText, std::string(8, '\0')},
      {"side short", CmdSide, std::string(3, '\0')},
      {"side long", CmdSide, std::string(5, '\0')},
      {"side bytes under move code", CmdMove, std::string(4, '\0')},
  };
  for (const auto& test : cases) {
    SCOPED_TRACE(test.name);
    GameCommand command(nullptr);
    command.code = test.code;
    command.data = test.data;
    if (test.code != CmdMove || test.data.size() != 8) {
      Move move{1, 2, 3};
      EXPECT_FALSE(command.getMove(move));
      EXPECT_EQ(move, (Move{1, 2, 3}));
    }
    int32_t side = 42;
    EXPECT_FALSE(command.getSide(side));
    EXPECT_EQ(side, 42);
  }
}

TEST(GameCommandGetters, EachGetterWantsItsOwnCode) {
  for (int32_t code = -1; code <= 8; ++code) {
    GameCommand command(nullptr);
    command.code = code;
    command.data = "12";
    std::string text = "kept";
    MoveList moves = {{1, 1, Black}};
    int32_t seconds = 5;
    EXPECT_EQ(command.getText(text), code == CmdText) << code;
    EXPECT_EQ(command.getGame(moves), code == CmdGame) << code;
    EXPECT_EQ(command.getClock(seconds), code == CmdClock) << code;
    EXPECT_EQ(text, code == CmdText ? "12" : "kept");
    EXPECT_EQ(seconds, code == CmdClock ? 12 : 5);
  }
}

TEST(GameCommandGetters, SideReadsAnyFourBytesAsSignedNumber) {
  GameCommand command(nullptr);
  for (const int32_t side : {0, 1, 2, -1, std::numeric_limits<int32_t>::min()}) {
    command.setSide(side);
    int32_t got = 7;
    ASSERT_TRUE(command.getSide(got));
    EXPECT_EQ(got, side);
  }
}

// ---- Clock -----------------------------------------------------------------

TEST(GameCommandClock, ReadsLikeAtoiAndClampsToInt32) {
  constexpr int32_t kMax = std::numeric_limits<int32_t>::max();
  constexpr int32_t kMin = std::numeric_limits<int32_t>::min();
  const struct {
    std::string data;
    int32_t seconds;
  } cases[] = {
      {" -12x", -12},
      {"", 0},
      {"+7", 7},
      {"59", 59},
      {"007", 7},
      {"\t\n\v\f\r 42", 42},
      {"abc", 0},
      {"- 5", 0},
      {"+-5", 0},
      {"-", 0},
      {"12 34", 12},
      {std::string("3\0"
                   "9",
                   3),
       3},
      {"2147483647", kMax},
      {"2147483648", kMax},
      {"-2147483648", kMin},
      {"-2147483649", kMin},
      {"99999999999999999999999999999", kMax},
      {"-99999999999999999999999999999", kMin},
      {"000000000000000000000000000001", 1},
  };
  for (const auto& test : cases) {
    GameCommand command(nullptr);
    command.code = CmdClock;
    command.data = test.data;
    int32_t seconds = 12345;
    ASSERT_TRUE(command.getClock(seconds));
    EXPECT_EQ(seconds, test.seconds) << '"' << test.data << '"';
  }
}

TEST(GameCommandClock, EveryInt32SurvivesTheRoundTrip) {
  for (const int32_t seconds : {0, 1, -1, 60, 3600, std::numeric_limits<int32_t>::max(),
                                std::numeric_limits<int32_t>::min()}) {
    GameCommand command(nullptr);
    command.setClock(seconds);
    int32_t got = 12345;
    ASSERT_TRUE(command.getClock(got));
    EXPECT_EQ(got, seconds);
  }
  GameCommand command(nullptr);
  command.setClock(std::numeric_limits<int32_t>::min());
  EXPECT_EQ(command.data, "-2147483648");
}

// ---- Game ------------------------------------------------------------------

TEST(GameCommandGame, ValuesAlternateFromBlackWhateverTheSenderHeld) {
  GameCommand command(nullptr);
  command.setGame({{7, 7, Proposal}, {8, 7, Empty}, {7, 8, White}, {0, 14, White}});
  EXPECT_EQ(command.data, "\x77\x78\x87\xE0");

  MoveList moves = {{1, 1, Black}};
  ASSERT_TRUE(ReceiveOne(FrameOf(command)).getGame(moves));
  const MoveList expected = {{7, 7, Black}, {8, 7, White}, {7, 8, Black}, {0, 14, White}};
  EXPECT_EQ(moves, expected);
}

TEST(GameCommandGame, EmptyDataEmptiesTheList) {
  GameCommand command(nullptr);
  command.setGame({});
  MoveList moves = {{1, 1, Black}};
  ASSERT_TRUE(command.getGame(moves));
  EXPECT_TRUE(moves.empty());
}

TEST(GameCommandGame, EveryByteWithoutANibbleOf15IsABoardPoint) {
  for (int byte = 0; byte < 256; ++byte) {
    GameCommand command(nullptr);
    command.code = CmdGame;
    command.data = std::string(1, static_cast<char>(byte));
    MoveList moves = {{1, 1, Black}, {2, 2, White}};
    const bool point = (byte & 0x0F) != 15 && (byte >> 4) != 15;
    ASSERT_EQ(command.getGame(moves), point) << byte;
    if (point) {
      ASSERT_EQ(moves.size(), 1u);
      EXPECT_EQ(moves[0],
                (Move{static_cast<int16_t>(byte & 0x0F), static_cast<int16_t>(byte >> 4), Black}));
    } else {
      EXPECT_EQ(moves.size(), 2u) << "a refused game must leave the list as it was";
    }
  }
}

TEST(GameCommandGame, OneBadByteAnywhereRefusesTheWholeGame) {
  for (const char* data : {"\xF7\x77", "\x77\x7F", "\x77\x78\xFF", "\x77\xE8\x8F\x99"}) {
    GameCommand command(nullptr);
    command.code = CmdGame;
    command.data = data;
    MoveList moves = {{3, 3, White}};
    EXPECT_FALSE(command.getGame(moves));
    EXPECT_EQ(moves, (MoveList{{3, 3, White}}));
  }
}

TEST(GameCommandGame, MovesOffTheBoardAreNotSent) {
  GameCommand command(nullptr);
  command.setGame({{7, 7, Black}, {15, 0, White}, {-1, 3, White}, {0, 15, Black}, {14, 14, White}});
  EXPECT_EQ(command.data, "\x77\xEE");
}

}  // namespace
}  // namespace tessaro
