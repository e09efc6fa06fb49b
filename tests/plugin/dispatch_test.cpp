// What a window does with each command it receives: the verdicts on received
// stones, commands that must not reach the board, loaded games, sides, and two
// first stones placed at once.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>

#include "files/lib_file.h"
#include "game/judge.h"
#include "link/log_text.h"
#include "two_players.h"

namespace tessaro::testing {
namespace {

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::Not;

inline constexpr const char* kBlackFive = "BLACK win, 5 in row";
inline constexpr const char* kForbidden = "WHITE win, forbidden move";
inline constexpr const char* kWhiteFive = "WHITE win, 5 in row";

struct Point {
  int x;
  int y;
};

// CmdMove data: x and y as 16-bit, the value as 32-bit little-endian numbers.
std::string MoveData(int x, int y, uint32_t value) {
  const auto byte = [](uint32_t n, int shift) { return static_cast<char>((n >> shift) & 0xFF); };
  const auto ux = static_cast<uint32_t>(x), uy = static_cast<uint32_t>(y);
  return {byte(ux, 0),    byte(ux, 8),    byte(uy, 0),     byte(uy, 8),
          byte(value, 0), byte(value, 8), byte(value, 16), byte(value, 24)};
}

class Dispatcher : public TwoPlayers {
 protected:
  size_t FlashCount(const GameWindow& window) { return ui.driver().Flashes(window.m_hWnd).size(); }
  size_t BoxCount() { return ui.driver().MessageBoxes().size(); }
  UINT LastIcon(const GameWindow& window) {
    const std::vector<IconRecord> icons = ui.driver().Icons(window.m_hWnd);
    return icons.empty() ? 0 : icons.back().resourceId;
  }
  static size_t CountLines(const GameWindow& window, const std::string& line) {
    const std::vector<std::string> lines = LogLines(window);
    return static_cast<size_t>(std::count(lines.begin(), lines.end(), line));
  }
  // Both first stones are clicked before either window sees the other's.
  void ClickBothFirstStones(Point onBlack, Point onWhite) {
    black->SendMessage(WM_LBUTTONDOWN, MK_LBUTTON,
                       MAKELPARAM(12 + 17 * onBlack.x + 7, 8 + 17 * onBlack.y + 7));
    white->SendMessage(WM_LBUTTONDOWN, MK_LBUTTON,
                       MAKELPARAM(12 + 17 * onWhite.x + 7, 8 + 17 * onWhite.y + 7));
    Settle();
  }
  // Names as two real players would have them: each window's own name is the
  // other window's peer name.
  void NamePlayers(const std::string& blackSide, const std::string& whiteSide) {
    black->game.myName = blackSide;
    black->game.peerName = whiteSide;
    white->game.myName = whiteSide;
    white->game.peerName = blackSide;
  }
};

// ---- Verdicts on received stones -------------------------------------------

// After the opening (white to move) the players alternate from white; the
// last stone decides. The side receiving it judges: CmdGameOver and the
// result go to the mover, the result into both logs, and the stone is placed
// all the same.
struct VerdictCase {
  const char* name;
  std::vector<Point> moves;
  const char* result;
};
void PrintTo(const VerdictCase& test, std::ostream* out) {
  *out << test.name;
}

class Verdicts : public Dispatcher, public ::testing::WithParamInterface<VerdictCase> {};

TEST_P(Verdicts, ReceivedStonesAreJudged) {
  const VerdictCase& test = GetParam();
  OpenBoth();
  PlayThroughChoice();
  for (size_t i = 0; i + 1 < test.moves.size(); ++i)
    ClickPoint(i % 2 == 0 ? *white : *black, test.moves[i].x, test.moves[i].y);
  for (const char* result : {kBlackFive, kForbidden, kWhiteFive}) {
    ASSERT_THAT(LogLines(*black), Not(Contains(result)));
    ASSERT_THAT(LogLines(*white), Not(Contains(result)));
  }

  const bool whiteMoves = test.moves.size() % 2 == 1;
  GameWindow& mover = whiteMoves ? *white : *black;
  GameWindow& judge = whiteMoves ? *black : *white;
  const HANDLE judgeContact = whiteMoves ? bob : alice;
  const HANDLE moverContact = whiteMoves ? alice : bob;
  const Point last = test.moves.back();
  const size_t moverFrames = SentFrames(moverContact).size();
  ClickPoint(mover, last.x, last.y);

  const std::vector<std::string> judgeFrames = SentFrames(judgeContact);
  ASSERT_GE(judgeFrames.size(), 2u);
  EXPECT_EQ(judgeFrames[judgeFrames.size() - 2], "#RQ0700000000000000");
  EXPECT_EQ(judgeFrames.back(), FrameOf(CmdText, test.result));
  EXPECT_EQ(SentFrames(moverContact).size(), moverFrames + 1);  // only the stone
  const uint32_t colour = whiteMoves ? uint32_t{White} : uint32_t{Black};
  for (GameWindow* window : {black, white}) {
    EXPECT_EQ(LogLines(*window).back(), test.result);
    EXPECT_EQ(CountLines(*window, test.result), 1u);
    EXPECT_EQ(window->game.board.at(last.x, last.y), colour);
    EXPECT_EQ(window->game.moveList.back(),
              (Move{static_cast<int16_t>(last.x), static_cast<int16_t>(last.y), colour}));
  }
  EXPECT_EQ(BoardText(black->game.board), BoardText(white->game.board));
  // Nothing locks the board: the turn passes as after any stone.
  EXPECT_EQ(judge.game.myTurn, 1u);
  EXPECT_EQ(mover.game.myTurn, 0u);
  EXPECT_EQ(BoxCount(), 1u);  // the swap question only
}

INSTANTIATE_TEST_SUITE_P(
    Results, Verdicts,
    ::testing::Values(
        VerdictCase{"black five", {{0, 0}, {10, 10}, {0, 2}, {11, 11}}, kBlackFive},
        VerdictCase{"black five that also makes two threes",
                    {{0, 0},
                     {10, 10},
                     {0, 2},
                     {9, 11},
                     {0, 4},
                     {11, 9},
                     {0, 6},
                     {10, 11},
                     {0, 8},
                     {11, 10},
                     {0, 10},
                     {11, 11}},
                    kBlackFive},
        VerdictCase{
            "black six", {{0, 0}, {10, 10}, {0, 2}, {12, 12}, {0, 4}, {11, 11}}, kForbidden},
        VerdictCase{
            "black double three at move 18",
            {{0, 0}, {3, 12}, {0, 2}, {4, 12}, {0, 4}, {5, 10}, {0, 6}, {5, 11}, {0, 8}, {5, 12}},
            kForbidden},
        VerdictCase{"white five",
                    {{0, 0}, {14, 14}, {0, 1}, {14, 11}, {0, 2}, {11, 14}, {0, 3}, {14, 8}, {0, 4}},
                    kWhiteFive},
        VerdictCase{"white six",
                    {{0, 0},
                     {14, 14},
                     {0, 1},
                     {14, 11},
                     {0, 2},
                     {11, 14},
                     {0, 4},
                     {14, 8},
                     {0, 5},
                     {8, 14},
                     {0, 3}},
                    kWhiteFive}));

// The case above where five wins over two threes means something only if the
// same stone without the five would be forbidden.
TEST(DispatcherFixture, TheTwoThreesAreForbiddenWithoutTheFive) {
  Board board;
  for (Point p : std::vector<Point>{{8, 8}, {9, 9}, {10, 10}, {9, 11}, {11, 9}, {10, 11}, {11, 10}})
    board.at(p.x, p.y) = Black;
  board.at(6, 6) = White;
  board.at(7, 8) = White;
  board.at(7, 7) = White;  // no five through (11, 11) now
  EXPECT_FALSE(JudgePoint(board, 11, 11));
  EXPECT_EQ(board.at(11, 11), ForbiddenMark);
}

TEST_F(Dispatcher, StonesAreNotJudgedBeforeTheColoursAreSettled) {
  OpenBoth();
  for (int x = 0; x < 6; ++x)
    Deliver(bob, FrameOf(CmdMove, MoveData(x, 0, Black)));
  Settle();
  EXPECT_EQ(black->game.myColor, Empty);
  EXPECT_EQ(black->game.moveList.size(), 6u);
  EXPECT_EQ(black->game.board.at(5, 0), Black);
  EXPECT_THAT(LogLines(*black), IsEmpty());
  EXPECT_THAT(SentFrames(bob), IsEmpty());
}

// ---- Commands that must not reach the board --------------------------------

TEST_F(Dispatcher, MalformedMovesAreIgnored) {
  OpenBoth();
  ClickPoint(*black, 7, 7);  // white now judges black's stones
  struct Case {
    const char* name;
    std::string data;
  };
  const Case cases[] = {
      {"x 15", MoveData(15, 0, Black)},
      {"y 15", MoveData(0, 15, Black)},
      {"x negative", MoveData(-1, 3, Black)},
      {"y at the int16 limit", MoveData(3, 0x7FFF, Black)},
      {"seven bytes", MoveData(7, 6, Black).substr(0, 7)},
      {"nine bytes", MoveData(7, 6, Black) + "x"},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.name);
    const Board before = white->game.board;
    const size_t flashes = FlashCount(*white);
    Deliver(alice, FrameOf(CmdMove, test.data));
    Settle();
    EXPECT_EQ(white->game.board, before);
    EXPECT_EQ(white->game.moveList.size(), 1u);
    EXPECT_EQ(FlashCount(*white), flashes + 1);
  }
  EXPECT_EQ(BoxCount(), 0u);
  EXPECT_THAT(SentFrames(alice), ::testing::SizeIs(1));  // the sides sentence only
  // The window goes on as before.
  ClickPoint(*black, 7, 8);
  EXPECT_EQ(white->game.board.at(7, 8), White);
}

// A genuine peer never sends these. Each is refused whole: one line in the
// log, and board, moves, colour and turn stay as they were.
TEST_F(Dispatcher, CommandsNoPeerSendsAreRefusedWithOneLogLine) {
  OpenBoth();
  ClickPoint(*black, 7, 7);
  ClickPoint(*black, 8, 7);  // white's (8, 7): a white stone on the board too
  struct Case {
    std::string frame;
    const char* line;
  };
  std::string longGame;
  for (int i = 0; i < 226; ++i)
    longGame.push_back(static_cast<char>((i / 15 % 15) * 16 + i % 15));
  const Case cases[] = {
      {FrameOf(CmdSide, std::string("\x07\x00\x00\x00", 4)), "Refused from Alice: a side of 7"},
      {FrameOf(CmdSide, std::string(4, '\x00')), "Refused from Alice: a side of 0"},
      {FrameOf(CmdSide, std::string(4, '\xFF')), "Refused from Alice: a side of -1"},
      {FrameOf(CmdMove, MoveData(0, 0, 0xDEADBEEF)),
       "Refused from Alice: a stone of value 3735928559"},
      {FrameOf(CmdMove, MoveData(0, 0, ForbiddenMark)), "Refused from Alice: a stone of value 4"},
      {FrameOf(CmdMove, MoveData(7, 7, Black)),
       "Refused from Alice: a stone onto the stone at 7,7"},
      {FrameOf(CmdMove, MoveData(8, 7, Black)),
       "Refused from Alice: a stone onto the stone at 8,7"},
      {FrameOf(CmdMove, MoveData(7, 7, White)),
       "Refused from Alice: a stone onto the stone at 7,7"},
      {FrameOf(CmdGame, longGame), "Refused from Alice: a game of 226 moves"},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.line);
    const Board board = white->game.board;
    const std::vector<Move> moves = white->game.moveList;
    const uint32_t colour = white->game.myColor, turn = white->game.myTurn;
    const std::string log = white->LogText();
    Deliver(alice, test.frame);
    Settle();
    EXPECT_EQ(white->game.board, board);
    EXPECT_EQ(white->game.moveList, moves);
    EXPECT_EQ(white->game.myColor, colour);
    EXPECT_EQ(white->game.myTurn, turn);
    EXPECT_EQ(white->LogText(), log + WrapLogEntry(test.line));
  }
  EXPECT_EQ(BoxCount(), 0u);
  EXPECT_THAT(SentFrames(alice), ::testing::SizeIs(1));  // the sides sentence only
  // A game that fills the board is still taken.
  longGame.pop_back();
  Deliver(alice, FrameOf(CmdGame, longGame));
  Settle();
  EXPECT_EQ(white->game.moveList.size(), 225u);
}

// Each box waits for the user: a message full of unknown commands opens one.
TEST_F(Dispatcher, OneUnknownCommandBoxPerMessage) {
  OpenBoth();
  std::string many = "#RQ";
  for (int i = 0; i < 500; ++i)
    many += FrameOf(9 + i, "").substr(3);
  Deliver(bob, many);
  Settle();
  EXPECT_EQ(BoxCount(), 1u);
  Deliver(bob, FrameOf(8, ""));
  Settle();
  Deliver(bob, FrameOf(8, "") + FrameOf(8, ""));
  Settle();
  EXPECT_EQ(BoxCount(), 3u);
}

// ---- Loaded games ----------------------------------------------------------

// The white window, holding black's first stone, receives a game while it
// shows its what-if board.
struct GameCase {
  const char* name;
  std::string data;
  std::vector<Move> moves;             // the white window's list afterwards
  std::vector<std::string> addedLog;   // lines added to its log
  std::vector<std::string> sentTexts;  // texts it sends back
  uint32_t myTurn;
};
void PrintTo(const GameCase& test, std::ostream* out) {
  *out << test.name;
}

class ReceivedGames : public Dispatcher, public ::testing::WithParamInterface<GameCase> {};

TEST_P(ReceivedGames, ReplaceTheGameOrAreRefusedWhole) {
  const GameCase& test = GetParam();
  OpenBoth();
  ClickPoint(*black, 7, 7);
  ASSERT_TRUE(ui.PressButton(*white, kSimButton));
  ASSERT_EQ(white->game.simulationMode, 1u);
  const Board boardBefore = white->game.board;
  const std::vector<std::string> logBefore = LogLines(*white);
  const size_t sentBefore = SentFrames(alice).size();

  Deliver(alice, FrameOf(CmdGame, test.data));
  Settle();

  EXPECT_EQ(white->game.moveList, test.moves);
  std::vector<std::string> expectedLog = logBefore;
  expectedLog.insert(expectedLog.end(), test.addedLog.begin(), test.addedLog.end());
  EXPECT_EQ(LogLines(*white), expectedLog);
  std::vector<std::string> expectedSent;
  for (const std::string& text : test.sentTexts)
    expectedSent.push_back(FrameOf(CmdText, text));
  const std::vector<std::string> sent = SentFrames(alice);
  EXPECT_EQ(std::vector<std::string>(sent.begin() + static_cast<long>(sentBefore), sent.end()),
            expectedSent);
  EXPECT_EQ(white->game.myTurn, test.myTurn);
  EXPECT_EQ(white->game.myColor, White);
  if (test.addedLog.empty()) {
    EXPECT_EQ(white->game.board, boardBefore);
    EXPECT_EQ(white->game.simulationMode, 1u);
    return;
  }
  EXPECT_EQ(white->game.simulationMode, 0u);
  int stones = 0;
  for (uint32_t cell : white->game.board.cells)
    stones += cell != Empty;  // no marks either until the next refresh
  EXPECT_EQ(stones, static_cast<int>(test.moves.size()));
  for (const Move& move : test.moves)
    EXPECT_EQ(white->game.board.at(move.x, move.y), move.value);
  // The peer logs the "'s move" line the receiver sent it.
  if (!test.sentTexts.empty()) {
    EXPECT_EQ(LogLines(*black).back(), test.sentTexts.back());
  }
}

const std::vector<Move> kFirstStoneOnly = {{7, 7, Black}};

INSTANTIATE_TEST_SUITE_P(
    Games, ReceivedGames,
    ::testing::Values(GameCase{"three moves, black last",
                               "\x77\x78\x87",
                               {{7, 7, Black}, {8, 7, White}, {7, 8, Black}},
                               {"Game loaded", "Me's move"},
                               {"Me's move"},
                               1},
                      GameCase{"white last",
                               "\x77\x78",
                               {{7, 7, Black}, {8, 7, White}},
                               {"Game loaded", "Alice's move"},
                               {"Alice's move"},
                               0},
                      GameCase{"corner points",
                               std::string("\x00\xEE", 2),
                               {{0, 0, Black}, {14, 14, White}},
                               {"Game loaded", "Alice's move"},
                               {"Alice's move"},
                               0},
                      GameCase{"empty", "", {}, {"Game loaded"}, {}, 0},
                      GameCase{"a nibble of 15 in x", "\x77\x8F", kFirstStoneOnly, {}, {}, 0},
                      GameCase{"a nibble of 15 in y", "\xF7", kFirstStoneOnly, {}, {}, 0},
                      GameCase{"both nibbles 15", "\xFF", kFirstStoneOnly, {}, {}, 0}));

// ---- Sides -----------------------------------------------------------------

TEST_F(Dispatcher, ASideOfTheWrongSizeLeavesTheColourButStillLogsTheSentence) {
  OpenBoth();
  Deliver(bob, FrameOf(CmdSide, std::string("\x02\x00\x00", 3)));
  Settle();
  EXPECT_EQ(black->game.myColor, Empty);
  EXPECT_EQ(black->game.myTurn, 0u);  // no moves yet: the turn goes to the peer
  EXPECT_THAT(LogLines(*black), ElementsAre("Me plays BLACK; Bob plays", " WHITE"));
  EXPECT_THAT(LogLines(*white), ElementsAre("Me plays BLACK; Bob plays", " WHITE"));
}

TEST_F(Dispatcher, EveryCommandFlashesTheCaptionOnce) {
  OpenBoth();
  const std::string commands[] = {
      FrameOf(CmdReset, ""),
      FrameOf(CmdText, "x"),
      FrameOf(CmdClock, "5"),
      FrameOf(CmdGameOver, ""),
      FrameOf(CmdSide, std::string("\x02\x00\x00\x00", 4)),
      FrameOf(CmdTakeBack, ""),
      FrameOf(CmdGame, ""),
      FrameOf(CmdMove, MoveData(7, 7, Black)),
      FrameOf(9, ""),
  };
  size_t expected = FlashCount(*black);
  for (const std::string& frame : commands) {
    SCOPED_TRACE(frame);
    Deliver(bob, frame);
    Settle();
    ++expected;
    EXPECT_EQ(FlashCount(*black), expected);
  }
  EXPECT_EQ(black->game.peerClock, 5);
  EXPECT_EQ(black->game.myColor, White);
  EXPECT_EQ(black->game.board.at(7, 7), Black);
}

// ---- Two first stones at once ----------------------------------------------

// Each window has made itself black before the other's CmdSide arrives. Both
// settle it the same way without a word on the wire: the stone nearer the top,
// then the left, stays black (two stones on one point start the game again).
struct ClashCase {
  const char* name;
  Point onBlack, onWhite;
  const char *blackSide, *whiteSide;  // the players' names
  bool blackWindowKeeps;              // the window for Bob keeps black
};
void PrintTo(const ClashCase& test, std::ostream* out) {
  *out << test.name;
}

class FirstStoneClash : public Dispatcher, public ::testing::WithParamInterface<ClashCase> {};

TEST_P(FirstStoneClash, LeavesOneBlackStone) {
  const ClashCase& test = GetParam();
  OpenBoth();
  NamePlayers(test.blackSide, test.whiteSide);
  ClickBothFirstStones(test.onBlack, test.onWhite);

  GameWindow& keeper = test.blackWindowKeeps ? *black : *white;
  GameWindow& other = test.blackWindowKeeps ? *white : *black;
  const Point kept = test.blackWindowKeeps ? test.onBlack : test.onWhite;
  const Point lost = test.blackWindowKeeps ? test.onWhite : test.onBlack;
  const Move keptMove{static_cast<int16_t>(kept.x), static_cast<int16_t>(kept.y), Black};
  for (GameWindow* window : {black, white}) {
    EXPECT_THAT(window->game.moveList, ElementsAre(keptMove));
    EXPECT_EQ(window->game.board.at(kept.x, kept.y), Black);
    if (lost.x != kept.x || lost.y != kept.y) {
      EXPECT_EQ(window->game.board.at(lost.x, lost.y), Empty);
    }
  }
  EXPECT_EQ(keeper.game.myColor, Black);
  EXPECT_EQ(keeper.game.myTurn, 1u);
  EXPECT_EQ(LastIcon(keeper), kBlackIconId);
  EXPECT_EQ(other.game.myColor, White);
  EXPECT_EQ(other.game.myTurn, 0u);
  EXPECT_EQ(LastIcon(other), kWhiteIconId);
  // Each log ends with its own sides sentence, which wraps into two lines.
  const auto lastTwoLines = [](const GameWindow& window) {
    const std::vector<std::string> lines = LogLines(window);
    return lines.size() < 2 ? std::string() : lines[lines.size() - 2] + lines.back();
  };
  EXPECT_EQ(lastTwoLines(keeper),
            keeper.game.myName + " plays BLACK; " + keeper.game.peerName + " plays WHITE");
  EXPECT_EQ(lastTwoLines(other),
            other.game.myName + " plays WHITE; " + other.game.peerName + " plays BLACK");
  EXPECT_EQ(BoxCount(), 0u);

  // The opening goes on from there: black's second stone is white, and the
  // third brings the swap question to the other side.
  ClickPoint(keeper, 0, 0);
  ui.AnswerMessageBox(IDNO, {}, "Do you want to play as BLACK?");
  ClickPoint(keeper, 14, 14);
  EXPECT_EQ(other.game.board.at(0, 0), White);
  EXPECT_EQ(other.game.moveList.size(), 3u);
  EXPECT_EQ(other.game.myTurn, 1u);
  ASSERT_EQ(BoxCount(), 1u);
  EXPECT_EQ(ui.driver().MessageBoxes()[0].owner, other.m_hWnd);
}

// Each window has made itself black before the other's CmdSide arrives. Both
// settle it the same way without a word on the wire: the stone nearer the top,
// then the left, stays black (two stones on one point start the game again).
INSTANTIATE_TEST_SUITE_P(
    Positions, FirstStoneClash,
    ::testing::Values(
        ClashCase{"the other stone nearer the top", {7, 7}, {8, 6}, "Bob", "Alice", false},
        ClashCase{"own stone nearer the top", {3, 2}, {2, 9}, "Bob", "Alice", true},
        ClashCase{"one row: the left stone", {5, 7}, {9, 7}, "Bob", "Alice", true}));

// Two first stones on one point: whatever the names (each side names the other
// as it likes, so they need not agree), both sides start again.
TEST_F(Dispatcher, TwoFirstStonesOnOnePointStartAgain) {
  const struct {
    const char *blackName, *blackSeesPeerAs, *whiteName, *whiteSeesPeerAs;
  } namings[] = {{"Me", "Me", "Me", "Me"},
                 {"Zed", "Amy", "Amy", "Zed"},
                 {"Amy", "Zed", "Zed", "Amy"},
                 {"Me", "Bob", "Me", "Alice"}};
  OpenBoth();
  for (const auto& naming : namings) {
    SCOPED_TRACE(std::string(naming.blackName) + " / " + naming.whiteName);
    black->game.myName = naming.blackName;
    black->game.peerName = naming.blackSeesPeerAs;
    white->game.myName = naming.whiteName;
    white->game.peerName = naming.whiteSeesPeerAs;
    ClickBothFirstStones({7, 7}, {7, 7});
    for (GameWindow* window : {black, white}) {
      EXPECT_THAT(window->game.moveList, IsEmpty());
      EXPECT_EQ(window->game.board, FreshBoard());
      EXPECT_EQ(window->game.myColor, Empty);
      EXPECT_EQ(window->game.myTurn, 1u);
    }
  }
  // A first stone placed alone then settles the colours as usual.
  ClickPoint(*white, 7, 7);
  EXPECT_EQ(white->game.myColor, Black);
  EXPECT_EQ(black->game.myColor, White);
  EXPECT_THAT(black->game.moveList, ElementsAre(Move{7, 7, Black}));
}

// A player may switch to the what-if board before the other first stone
// arrives; starting again must still clear the real game, not the what-if one.
TEST_F(Dispatcher, StartingAgainClearsTheRealBoardDuringASimulation) {
  OpenBoth();
  NamePlayers("Me", "Me");
  black->SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(12 + 17 * 7 + 7, 8 + 17 * 7 + 7));
  white->SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(12 + 17 * 7 + 7, 8 + 17 * 7 + 7));
  black->SendMessage(WM_KEYDOWN, VK_SPACE, 0);
  ASSERT_EQ(black->game.simulationMode, 1u);
  Settle();
  EXPECT_THAT(black->game.moveList, IsEmpty());
  EXPECT_EQ(black->game.board, FreshBoard());
  EXPECT_EQ(black->game.myColor, Empty);

  black->SendMessage(WM_KEYDOWN, VK_SPACE, 0);
  ClickPoint(*black, 3, 3);
  EXPECT_THAT(black->game.moveList, ElementsAre(Move{3, 3, Black}));
  EXPECT_THAT(white->game.moveList, ElementsAre(Move{3, 3, Black}));
  EXPECT_EQ(white->game.myColor, White);
}

// A CmdSide held back in case it is the other half of two first stones must
// still take effect when the peer follows it with something else: here the
// peer loads a game right after black's first stone and chooses black.
TEST_F(Dispatcher, AGameLoadedByThePeerAfterTheFirstStoneSettlesTheSides) {
  OpenBoth();
  ClickPoint(*black, 7, 7);
  const std::string path = workDirectory + "/line.lib";
  {
    const std::vector<uint8_t> content =
        EncodeLibFile({{7, 7, Black}, {8, 8, White}, {6, 6, Black}}, "a line");
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(content.data()),
               static_cast<std::streamsize>(content.size()));
  }
  ui.AnswerFileDialog(path);
  ui.AnswerMessageBox(IDYES, {}, "Are you BLACK?");
  ASSERT_TRUE(ui.ChooseMenu(*white, kCmdLoadGame));
  Settle();

  EXPECT_EQ(white->game.myColor, Black);
  EXPECT_EQ(black->game.myColor, White);
  EXPECT_EQ(black->game.myTurn, 1u);  // black's stone was the last: the new white moves
  EXPECT_EQ(white->game.myTurn, 0u);
  EXPECT_EQ(black->game.moveList, white->game.moveList);
  EXPECT_THAT(LogLines(*black), Contains("Me plays WHITE; Bob plays"));
  EXPECT_THAT(LogLines(*white), Contains("Me plays WHITE; Bob plays"));
  EXPECT_EQ(LogLines(*black).back(), "Me's move");
}

}  // namespace
}  // namespace tessaro::testing
