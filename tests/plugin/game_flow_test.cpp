// Whole games between two windows, as the two players see them.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "two_players.h"

namespace tessaro::testing {
namespace {

using ::testing::ElementsAre;

class GameFlow : public TwoPlayers {
 protected:
  // The opening up to white's choice of the proposal at (9,9): both windows
  // then hold 8 records and white has the turn.
  void PlayOpening(int swapAnswer = IDNO) {
    OpenBoth();
    ClickPoint(*black, 7, 7);
    ClickPoint(*black, 7, 8);
    ui.AnswerMessageBox(swapAnswer, {}, "Do you want to play as BLACK?");
    ClickPoint(*black, 8, 8);
  }
  void PlayProposalsAndChoice() {
    ClickPoint(*white, 6, 6);
    ClickPoint(*black, 9, 9);
    ClickPoint(*black, 6, 9);
    ClickPoint(*white, 9, 9);
  }
};

TEST_F(GameFlow, FirstStoneSettlesTheColours) {
  OpenBoth();
  ClickPoint(*black, 7, 7);
  EXPECT_EQ(black->game.myColor, Black);
  EXPECT_EQ(white->game.myColor, White);
  EXPECT_EQ(black->game.myTurn, 1u);
  EXPECT_EQ(white->game.myTurn, 0u);
  EXPECT_THAT(SentFrames(bob),
              ElementsAre("#RQ030000000400000002000000", "#RQ00000000080000000700070001000000"));
  // The sides sentence is 33 characters and wraps before its last word.
  EXPECT_THAT(LogLines(*white), ElementsAre("Me plays WHITE; Alice plays", " BLACK"));
  EXPECT_THAT(LogLines(*black), ElementsAre("Me plays WHITE; Alice plays", " BLACK"));
  EXPECT_EQ(white->game.board.at(7, 7), Black);
}

TEST_F(GameFlow, OpeningWithProposalsEndsInAFive) {
  PlayOpening();
  ASSERT_EQ(ui.driver().UnansweredCount(), 0u);
  EXPECT_EQ(black->game.moveList.size(), 3u);
  EXPECT_EQ(black->game.board.at(7, 8), White);  // black's second stone is white
  EXPECT_EQ(white->game.myTurn, 1u);
  EXPECT_EQ(black->game.myTurn, 0u);
  // The messenger's list shows where each game waits.
  EXPECT_EQ(host->StatusOf(alice), "your move");
  EXPECT_EQ(host->StatusOf(bob), "their move");

  PlayProposalsAndChoice();
  for (GameWindow* window : {black, white}) {
    ASSERT_EQ(window->game.moveList.size(), 8u);
    EXPECT_EQ(window->game.moveList[6], (Move{9, 9, Black}));
    EXPECT_EQ(window->game.moveList[7], (Move{6, 9, Empty}));
    EXPECT_EQ(window->game.board.at(6, 9), Empty);
    EXPECT_EQ(window->game.board.at(9, 9), Black);
  }
  EXPECT_EQ(white->game.myTurn, 1u);
  EXPECT_EQ(black->game.myTurn, 0u);

  ClickPoint(*white, 0, 0);
  ClickPoint(*black, 10, 10);
  ClickPoint(*white, 0, 1);
  ClickPoint(*black, 11, 11);
  EXPECT_EQ(LogLines(*white).back(), "BLACK win, 5 in row");
  EXPECT_EQ(LogLines(*black).back(), "BLACK win, 5 in row");
  EXPECT_EQ(white->game.board.at(11, 11), Black);  // the stone is placed all the same
  EXPECT_EQ(BoardText(black->game.board), BoardText(white->game.board));
  EXPECT_EQ(host->StatusOf(alice), "BLACK win, 5 in row");
  EXPECT_EQ(host->StatusOf(bob), "BLACK win, 5 in row");
}

TEST_F(GameFlow, SwapMakesWhiteBlack) {
  PlayOpening(IDYES);
  EXPECT_EQ(white->game.myColor, Black);
  EXPECT_EQ(black->game.myColor, White);
  EXPECT_EQ(white->game.myTurn, 0u);
  EXPECT_EQ(black->game.myTurn, 1u);  // the new white plays the fourth stone
  EXPECT_EQ(LogLines(*black).back(), "Me is BLACK now");
  EXPECT_NE(LogLines(*white).back(), "Me is BLACK now");
}

// ---- The opening, click by click -------------------------------------------

enum class Side { kBlack, kWhite };

// One click and what both windows show after it. An ignored click sends
// nothing and changes nothing.
struct Click {
  Side side;
  int x, y;
  bool ignored;
  uint32_t blackTurn, whiteTurn;
  size_t records;
};

class Opening : public GameFlow {
 protected:
  GameWindow& Of(Side side) { return side == Side::kBlack ? *black : *white; }
  void Play(const std::vector<Click>& clicks) {
    for (const Click& click : clicks) {
      SCOPED_TRACE(::testing::Message() << (click.side == Side::kBlack ? "black" : "white")
                                        << " clicks (" << click.x << "," << click.y << ")");
      const size_t sentBefore = SentFrames(bob).size() + SentFrames(alice).size();
      const std::string blackBefore = BoardText(black->game.board);
      ClickPoint(Of(click.side), click.x, click.y);
      if (click.ignored) {
        EXPECT_EQ(SentFrames(bob).size() + SentFrames(alice).size(), sentBefore);
        EXPECT_EQ(BoardText(black->game.board), blackBefore);
      }
      EXPECT_EQ(black->game.myTurn, click.blackTurn);
      EXPECT_EQ(white->game.myTurn, click.whiteTurn);
      EXPECT_EQ(black->game.moveList.size(), click.records);
      EXPECT_EQ(white->game.moveList.size(), click.records);
      EXPECT_EQ(BoardText(black->game.board), BoardText(white->game.board));
    }
  }
  UINT LastIcon(const GameWindow& window) {
    const std::vector<IconRecord> icons = ui.driver().Icons(window.m_hWnd);
    return icons.empty() ? 0 : icons.back().resourceId;
  }
};

TEST_F(Opening, DeclinedSwapOnTheWireAndInBothLogs) {
  OpenBoth();
  ui.AnswerMessageBox(IDNO, {}, "Do you want to play as BLACK?");
  Play({
      {Side::kBlack, 7, 7, false, 1, 0, 1},
      {Side::kBlack, 7, 7, true, 1, 0, 1},  // its own stone, while holding the turn
      {Side::kBlack, 7, 8, false, 1, 0, 2},
      {Side::kWhite, 0, 0, true, 1, 0, 2},  // not white's turn, not its stone
      {Side::kBlack, 8, 8, false, 0, 1, 3},
      {Side::kWhite, 6, 6, false, 1, 0, 4},
      {Side::kBlack, 9, 9, false, 1, 0, 5},
      {Side::kBlack, 9, 9, true, 1, 0, 5},  // the first proposal is occupied
      {Side::kBlack, 6, 9, false, 0, 1, 6},
      {Side::kBlack, 6, 9, true, 0, 1, 6},   // a proposal cannot be taken back
      {Side::kWhite, 0, 0, true, 0, 1, 6},   // white may only choose a proposal
      {Side::kWhite, 6, 9, false, 0, 1, 8},  // the choice, then black's removal record
      {Side::kWhite, 9, 9, false, 1, 0, 9},  // the removed proposal's point is free
      {Side::kBlack, 14, 14, false, 0, 1, 10},
  });
  EXPECT_THAT(SentFrames(bob), ElementsAre("#RQ030000000400000002000000", MoveFrame(7, 7, Black),
                                           MoveFrame(7, 8, White), MoveFrame(8, 8, Black),
                                           MoveFrame(9, 9, Proposal), MoveFrame(6, 9, Proposal),
                                           MoveFrame(9, 9, Empty), MoveFrame(14, 14, Black)));
  EXPECT_THAT(SentFrames(alice),
              ElementsAre(FrameOf(CmdText, "Me plays WHITE; Alice plays BLACK"),
                          MoveFrame(6, 6, White), MoveFrame(6, 9, Black), MoveFrame(9, 9, White)));
  for (GameWindow* window : {black, white}) {
    EXPECT_THAT(LogLines(*window), ElementsAre("Me plays WHITE; Alice plays", " BLACK"));
    EXPECT_EQ(window->game.proposingFifth, 0u);
    EXPECT_THAT(
        std::vector<Move>(window->game.moveList.begin() + 6, window->game.moveList.begin() + 8),
        ElementsAre(Move{6, 9, Black}, Move{9, 9, Empty}));
  }
  EXPECT_EQ(black->game.board.at(9, 9), White);
  EXPECT_EQ(LastIcon(*black), kBlackIconId);
  EXPECT_EQ(LastIcon(*white), kWhiteIconId);
  const std::vector<ShownRecord> boxes = ui.driver().MessageBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "Do you want to play as BLACK?");
  EXPECT_EQ(boxes[0].caption, "Swap sides?");
  EXPECT_EQ(boxes[0].type & MB_TYPEMASK, static_cast<UINT>(MB_YESNO));
  EXPECT_EQ(boxes[0].owner, white->m_hWnd);
}

TEST_F(Opening, AcceptedSwapExchangesTheRoles) {
  OpenBoth();
  ui.AnswerMessageBox(IDYES, {}, "Do you want to play as BLACK?");
  Play({
      {Side::kBlack, 7, 7, false, 1, 0, 1},
      {Side::kBlack, 7, 8, false, 1, 0, 2},
      {Side::kBlack, 8, 8, false, 1, 0, 3},  // the new white plays the fourth stone
      {Side::kBlack, 6, 6, false, 0, 1, 4},
      {Side::kWhite, 9, 9, false, 0, 1, 5},
      {Side::kWhite, 6, 9, false, 1, 0, 6},
      {Side::kBlack, 9, 9, false, 1, 0, 8},  // white's choice; white plays on
  });
  EXPECT_EQ(black->game.myColor, White);
  EXPECT_EQ(white->game.myColor, Black);
  EXPECT_THAT(SentFrames(bob), ElementsAre("#RQ030000000400000002000000", MoveFrame(7, 7, Black),
                                           MoveFrame(7, 8, White), MoveFrame(8, 8, Black),
                                           FrameOf(CmdText, "Me plays WHITE; Bob plays BLACK"),
                                           MoveFrame(6, 6, White), MoveFrame(9, 9, Black)));
  EXPECT_THAT(
      SentFrames(alice),
      ElementsAre(FrameOf(CmdText, "Me plays WHITE; Alice plays BLACK"),
                  "#RQ030000000400000002000000", FrameOf(CmdText, "Me is BLACK now"),
                  MoveFrame(9, 9, Proposal), MoveFrame(6, 9, Proposal), MoveFrame(6, 9, Empty)));
  EXPECT_THAT(LogLines(*black),
              ElementsAre("Me plays WHITE; Alice plays", " BLACK", "Me plays WHITE; Bob plays",
                          " BLACK", "Me is BLACK now"));
  EXPECT_THAT(LogLines(*white), ElementsAre("Me plays WHITE; Alice plays", " BLACK",
                                            "Me plays WHITE; Bob plays", " BLACK"));
  EXPECT_EQ(LastIcon(*black), kWhiteIconId);
  EXPECT_EQ(LastIcon(*white), kBlackIconId);
  for (GameWindow* window : {black, white}) {
    EXPECT_EQ(window->game.board.at(9, 9), Black);
    EXPECT_EQ(window->game.board.at(6, 9), Empty);
  }
}

// ---- Take-back -------------------------------------------------------------

// A click while waiting takes back the own last stone on both sides and gives
// the turn back; a stone that is not the last, the peer's stone, a proposal
// or a removal record stays.
TEST_F(Opening, OnlyTheOwnLastStoneIsTakenBack) {
  OpenBoth();
  ui.AnswerMessageBox(IDNO, {}, "Do you want to play as BLACK?");
  ui.AnswerMessageBox(IDNO, {}, "Do you want to play as BLACK?");
  Play({
      {Side::kBlack, 7, 7, false, 1, 0, 1},
      {Side::kBlack, 7, 8, false, 1, 0, 2},
      {Side::kWhite, 7, 8, true, 1, 0, 2},  // black's white stone: not white's either
      {Side::kBlack, 8, 8, false, 0, 1, 3},
      {Side::kBlack, 7, 7, true, 0, 1, 3},   // its own stone, not the last
      {Side::kBlack, 8, 8, false, 1, 0, 2},  // taken back
      {Side::kBlack, 8, 8, false, 0, 1, 3},  // the third stone again: a second question
      {Side::kWhite, 6, 6, false, 1, 0, 4},
      {Side::kWhite, 7, 8, true, 1, 0, 4},   // a white stone, but black's and not the last
      {Side::kWhite, 6, 6, false, 0, 1, 3},  // taken back
      {Side::kWhite, 5, 5, false, 1, 0, 4},
      {Side::kBlack, 9, 9, false, 1, 0, 5},
      {Side::kBlack, 6, 9, false, 0, 1, 6},
      {Side::kBlack, 6, 9, true, 0, 1, 6},  // a proposal
      {Side::kWhite, 9, 9, false, 0, 1, 8},
      {Side::kBlack, 6, 9, true, 0, 1, 8},  // the removal record's empty point
      {Side::kWhite, 0, 0, false, 1, 0, 9},
      {Side::kBlack, 14, 14, false, 0, 1, 10},
      {Side::kBlack, 0, 0, true, 0, 1, 10},    // the peer's stone
      {Side::kBlack, 14, 14, false, 1, 0, 9},  // taken back
      {Side::kWhite, 0, 0, false, 0, 1, 8},    // now white's stone is the last
  });
  const std::string takeBack = "#RQ0400000000000000";
  for (HANDLE contact : {bob, alice}) {
    const std::vector<std::string> frames = SentFrames(contact);
    EXPECT_EQ(std::count(frames.begin(), frames.end(), takeBack), 2);
  }
  for (GameWindow* window : {black, white}) {
    EXPECT_EQ(window->game.board.at(0, 0), Empty);
    EXPECT_EQ(window->game.board.at(14, 14), Empty);
    EXPECT_EQ(window->game.board.at(5, 5), White);
    EXPECT_EQ(window->game.board.at(6, 6), Empty);
    EXPECT_THAT(LogLines(*window), ElementsAre("Me plays WHITE; Alice plays", " BLACK"));
  }
  EXPECT_EQ(ui.driver().MessageBoxes().size(), 2u);
  EXPECT_EQ(ui.driver().UnansweredCount(), 0u);
}

// Black is told to propose once white's fourth stone lands. When the fourth
// and the third stone are taken back, black's next stone is a third stone
// again, not a proposal, and the turn passes as usual.
TEST_F(Opening, TakingBackBeforeTheProposalsEndsProposing) {
  OpenBoth();
  ui.AnswerMessageBox(IDNO, {}, "Do you want to play as BLACK?");
  ui.AnswerMessageBox(IDNO, {}, "Do you want to play as BLACK?");
  Play({
      {Side::kBlack, 7, 7, false, 1, 0, 1},
      {Side::kBlack, 7, 8, false, 1, 0, 2},
      {Side::kBlack, 8, 8, false, 0, 1, 3},
      {Side::kWhite, 6, 6, false, 1, 0, 4},  // black is to propose now
      {Side::kWhite, 6, 6, false, 0, 1, 3},  // taken back
      {Side::kBlack, 8, 8, false, 1, 0, 2},  // taken back
      {Side::kBlack, 9, 9, false, 0, 1, 3},
  });
  EXPECT_EQ(white->game.board.at(9, 9), Black);
  EXPECT_EQ(black->game.board.at(9, 9), Black);
}

// A take-back and a stone of the other side in flight at once: each side
// handles its own click before the other's command arrives. The stone stays,
// the stone taken back goes, on both boards; the side that took back has the
// turn.
TEST_F(Opening, ATakeBackCrossingAStoneLeavesBothBoardsAlike) {
  struct Case {
    const char* name;
    std::vector<Click> before;
    Side takingBack;
    int x, y;  // the other side's click
    std::vector<Move> moves;
    uint32_t blackTurn, whiteTurn;
  };
  const std::vector<Click> toThird = {{Side::kBlack, 7, 7, false, 1, 0, 1},
                                      {Side::kBlack, 7, 8, false, 1, 0, 2},
                                      {Side::kBlack, 8, 8, false, 0, 1, 3}};
  std::vector<Click> toFourth = toThird;
  toFourth.push_back({Side::kWhite, 6, 6, false, 1, 0, 4});
  std::vector<Click> toNinth = toFourth;
  toNinth.insert(toNinth.end(), {{Side::kBlack, 9, 9, false, 1, 0, 5},
                                 {Side::kBlack, 6, 9, false, 0, 1, 6},
                                 {Side::kWhite, 9, 9, false, 0, 1, 8},
                                 {Side::kWhite, 0, 0, false, 1, 0, 9}});
  const std::vector<Move> opening = {{7, 7, Black}, {7, 8, White}, {8, 8, Black}};
  std::vector<Move> afterChoice = opening;
  afterChoice.insert(afterChoice.end(),
                     {{6, 6, White}, {9, 9, Proposal}, {6, 9, Proposal}, {9, 9, Black}});
  afterChoice.push_back({6, 9, Empty});
  std::vector<Move> midGame = afterChoice;
  midGame.push_back({1, 1, Black});
  const Case cases[] = {
      // White's fourth stone crosses black's take-back of its third: black
      // plays the third again, after white's stone.
      {"third stone",
       toThird,
       Side::kBlack,
       6,
       6,
       {{7, 7, Black}, {7, 8, White}, {6, 6, White}},
       1,
       0},
      // Black's first proposal crosses white's take-back of its fourth
      // stone: the proposal goes by a removal record, white plays again.
      {"fourth stone",
       toFourth,
       Side::kWhite,
       9,
       9,
       {{7, 7, Black}, {7, 8, White}, {8, 8, Black}, {9, 9, Proposal}, {9, 9, Empty}},
       0,
       1},
      {"in the game", toNinth, Side::kWhite, 1, 1, midGame, 0, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    OpenBoth();
    ui.driver().ClearScripts();
    ui.AnswerMessageBox(IDNO, {}, "Do you want to play as BLACK?");
    Play(c.before);
    GameWindow& taker = Of(c.takingBack);
    GameWindow& other = &taker == black ? *white : *black;
    PostClick(taker, taker.game.moveList.back().x, taker.game.moveList.back().y);
    PostClick(other, c.x, c.y);
    Settle();
    EXPECT_EQ(black->game.moveList, c.moves);
    EXPECT_EQ(white->game.moveList, c.moves);
    EXPECT_EQ(BoardText(black->game.board), BoardText(white->game.board));
    EXPECT_EQ(black->game.myTurn, c.blackTurn);
    EXPECT_EQ(white->game.myTurn, c.whiteTurn);
    ui.driver().ClearScripts();
    ui.AnswerMessageBox(IDNO, {}, "save the game");
    ui.AnswerMessageBox(IDNO, {}, "save the game");
    ASSERT_TRUE(ui.ChooseMenu(*black, kCmdReset));
    Settle();
  }
}

// ---- Reset -----------------------------------------------------------------

struct ResetCase {
  const char* name;
  bool fromBlack;  // whose menu
  bool withMoves;
};
void PrintTo(const ResetCase& test, std::ostream* out) {
  *out << test.name;
}

class Reset : public GameFlow, public ::testing::WithParamInterface<ResetCase> {};

// Either side's Reset resets both; each side asks its own save question, and
// only when it has moves to lose.
TEST_P(Reset, ResetsBothSides) {
  const ResetCase& test = GetParam();
  OpenBoth();
  if (test.withMoves) {
    ClickPoint(*black, 7, 7);
    ClickPoint(*black, 3, 4);
  }
  GameWindow& resetter = test.fromBlack ? *black : *white;
  GameWindow& peer = test.fromBlack ? *white : *black;
  const HANDLE resetterContact = test.fromBlack ? bob : alice;
  const HANDLE peerContact = test.fromBlack ? alice : bob;
  const std::vector<std::string> resetterLog = LogLines(resetter);
  const std::vector<std::string> peerLog = LogLines(peer);
  const size_t resetterSent = SentFrames(resetterContact).size();
  const size_t peerSent = SentFrames(peerContact).size();
  ui.AnswerMessageBox(IDNO, {}, "Do you want to save the game?");
  ui.AnswerMessageBox(IDNO, {}, "Do you want to save the game?");

  ASSERT_TRUE(ui.ChooseMenu(resetter, kCmdReset));

  const std::vector<std::string> sent = SentFrames(resetterContact);
  ASSERT_EQ(sent.size(), resetterSent + 1);
  EXPECT_EQ(sent.back(), "#RQ0100000000000000");
  EXPECT_EQ(SentFrames(peerContact).size(), peerSent);  // the peer sends nothing back
  const std::vector<ShownRecord> boxes = ui.driver().MessageBoxes();
  if (test.withMoves) {
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].owner, resetter.m_hWnd);
    EXPECT_EQ(boxes[1].owner, peer.m_hWnd);
    for (const ShownRecord& box : boxes) {
      EXPECT_EQ(box.caption, "Reset Game");
      EXPECT_EQ(box.type & MB_TYPEMASK, static_cast<UINT>(MB_YESNO));
    }
  } else {
    EXPECT_THAT(boxes, ::testing::IsEmpty());
  }
  for (auto [window, logBefore] : {std::pair{&resetter, resetterLog}, std::pair{&peer, peerLog}}) {
    std::vector<std::string> expected = logBefore;
    expected.push_back("Game reset\r");
    expected.push_back("");
    EXPECT_EQ(LogLines(*window), expected);
    EXPECT_THAT(window->game.moveList, ::testing::IsEmpty());
    EXPECT_EQ(window->game.board, FreshBoard());
    EXPECT_EQ(window->game.myColor, Empty);
    EXPECT_EQ(window->game.myTurn, 1u);
    EXPECT_EQ(window->game.proposingFifth, 0u);
  }
  EXPECT_FALSE(std::filesystem::exists("SaveFile.lib"));

  // A new game starts from either side.
  ClickPoint(peer, 2, 2);
  EXPECT_EQ(peer.game.myColor, Black);
  EXPECT_EQ(resetter.game.myColor, White);
  EXPECT_EQ(resetter.game.board.at(2, 2), Black);
}

INSTANTIATE_TEST_SUITE_P(FromEitherSide, Reset,
                         ::testing::Values(ResetCase{"black, no moves", true, false},
                                           ResetCase{"white, no moves", false, false},
                                           ResetCase{"black, with moves", true, true},
                                           ResetCase{"white, with moves", false, true}));

TEST_F(GameFlow, ResetDuringASimulationClearsTheRealGame) {
  OpenBoth();
  ClickPoint(*black, 7, 7);
  ClickPoint(*black, 7, 8);
  ASSERT_TRUE(ui.PressButton(*white, kSimButton));
  ClickPoint(*white, 1, 1);  // a what-if stone
  ui.AnswerMessageBox(IDNO, {}, "Do you want to save the game?");
  ui.AnswerMessageBox(IDNO, {}, "Do you want to save the game?");
  ASSERT_TRUE(ui.ChooseMenu(*black, kCmdReset));
  EXPECT_EQ(white->game.simulationMode, 1u);
  EXPECT_THAT(white->game.moveList, ::testing::IsEmpty());
  EXPECT_EQ(white->game.board, FreshBoard());
  EXPECT_EQ(black->game.board, FreshBoard());
}

// ---- Messages lost for good ----

// A stone that never reached the other side, once the hosts found it lost for
// good: the side that sent it sends its game whole, the other board takes it,
// and play goes on from the same position; both logs say what happened.
// White's stone is lost after the proposals were chosen (true), or black's
// second proposal (false: a proposal cannot travel in a game, and goes).
class LostForGood : public GameFlow, public ::testing::WithParamInterface<bool> {
 protected:
  static std::string Joined(const GameWindow& window) {
    std::string text;
    for (const std::string& line : LogLines(window))
      text += line;
    return text;
  }
};

TEST_P(LostForGood, TheSendersGameGoesWholeAndPlayGoesOn) {
  const bool whiteLoses = GetParam();
  PlayOpening();
  ClickPoint(*white, 6, 6);
  ClickPoint(*black, 9, 9);
  GameWindow& sender = whiteLoses ? *white : *black;
  GameWindow& receiver = whiteLoses ? *black : *white;
  if (whiteLoses) {
    ClickPoint(*black, 6, 9);
    ClickPoint(*white, 9, 9);
    sender.game.PlaceMove(0, 0, White);  // placed here, never sent
  } else {
    sender.game.PlaceMove(6, 9, Proposal);
  }
  sender.game.myTurn = 0;
  sender.MessagesLost(true);
  receiver.MessagesLost(false);
  Settle();
  EXPECT_EQ(receiver.game.moveList, sender.game.moveList);
  EXPECT_EQ(receiver.game.board, sender.game.board);
  EXPECT_EQ(receiver.game.myColor, sender.game.PeerColour());
  EXPECT_NE(receiver.game.myTurn, sender.game.myTurn);
  EXPECT_NE(Joined(sender).find("Messages to " + sender.game.peerName + " were lost on the way"),
            std::string::npos)
      << Joined(sender);
  EXPECT_NE(
      Joined(receiver).find("Messages from " + receiver.game.peerName + " were lost on the way"),
      std::string::npos)
      << Joined(receiver);
  // Play goes on from there.
  GameWindow& next = receiver.game.myTurn ? receiver : sender;
  ClickPoint(next, 1, 1);
  EXPECT_EQ(receiver.game.moveList, sender.game.moveList);
  EXPECT_EQ(receiver.game.board, sender.game.board);
}

INSTANTIATE_TEST_SUITE_P(WhoseMessages, LostForGood, ::testing::Values(true, false));

// Each side's host finds that the other's Tessaro speaks another version of the
// game's messages, then the same again: both windows say so in the log, and the
// status line says it while it lasts; the game is as it was.
TEST_F(GameFlow, AnotherGameVersionIsSaidInBothWindows) {
  PlayOpening();
  const auto status = [](GameWindow& window) {
    std::string text;
    window.GetDlgItemText(kStatusLine, text);
    return text;
  };
  for (GameWindow* window : {black, white}) {
    const std::string before = status(*window);
    const std::string other =
        window->game.peerName + "'s Tessaro speaks another game version; moves cannot be exchanged";
    window->PeerSpeaksOtherVersion(true);
    window->PeerSpeaksOtherVersion(true);  // told once
    Settle();
    EXPECT_EQ(status(*window), other);
    window->PeerSpeaksOtherVersion(false);
    Settle();
    EXPECT_EQ(status(*window), before);
    std::string log;  // the wrap undone
    for (const std::string& line : LogLines(*window))
      log += line;
    EXPECT_NE(log.find(other), std::string::npos) << log;
    EXPECT_EQ(log.find(other), log.rfind(other)) << "told twice: " << log;
    EXPECT_TRUE(log.ends_with(window->game.peerName +
                              "'s Tessaro speaks this game version again; moves go through"))
        << log;
  }
  EXPECT_EQ(black->game.moveList.size(), 3u);
  EXPECT_EQ(white->game.moveList.size(), 3u);
}

// ---- A restart of the host ----

// A whole game: black (the window for Bob) places the opening, white declines
// the swap, black proposes (9,9) and (6,9), white takes (9,9), and black ends
// the game with five on the diagonal.
constexpr Side B = Side::kBlack, W = Side::kWhite;
constexpr struct {
  Side side;
  int x, y;
} kWholeGame[] = {{B, 7, 7}, {B, 7, 8}, {B, 8, 8},   {W, 6, 6}, {B, 9, 9},  {B, 6, 9},
                  {W, 9, 9}, {W, 0, 0}, {B, 10, 10}, {W, 0, 1}, {B, 11, 11}};

class Restarted : public GameFlow, public ::testing::WithParamInterface<size_t> {
 protected:
  void Play(size_t from, size_t to) {
    for (size_t i = from; i < to; ++i)
      ClickPoint(kWholeGame[i].side == B ? *black : *white, kWholeGame[i].x, kWholeGame[i].y);
  }
};

// Quit (or crash) after some clicks: both windows come back with the game and
// the log as they were, and the game is played on to its end.
TEST_P(Restarted, GameAndLogComeBackAndPlayOn) {
  const size_t cut = GetParam();
  ui.AnswerMessageBox(IDNO, {}, "Do you want to play as BLACK?");
  OpenBoth();
  Play(0, cut);
  const std::string blackGame = black->game.Snapshot(), whiteGame = white->game.Snapshot();
  const std::string blackLog = black->LogText(), whiteLog = white->LogText();
  const size_t sent = SentFrames(bob).size() + SentFrames(alice).size();

  Restart();
  OpenBoth();
  EXPECT_EQ(black->game.Snapshot(), blackGame);
  EXPECT_EQ(white->game.Snapshot(), whiteGame);
  EXPECT_EQ(black->LogText(), blackLog);
  EXPECT_EQ(white->LogText(), whiteLog);
  EXPECT_EQ(SentFrames(bob).size() + SentFrames(alice).size(), sent) << "restoring sent something";
  EXPECT_EQ(host->StatusOf(bob), cut == std::size(kWholeGame) ? "BLACK win, 5 in row"
                                 : black->game.myTurn         ? "your move"
                                                              : "their move");

  Play(cut, std::size(kWholeGame));
  EXPECT_EQ(black->game.gameResult, "BLACK win, 5 in row");
  EXPECT_EQ(white->game.gameResult, "BLACK win, 5 in row");
  EXPECT_EQ(black->game.moveList, white->game.moveList);
  EXPECT_EQ(ui.driver().UnansweredCount(), 0u);
}

// After the first stone, the opening, white's fourth stone, the proposals,
// the choice, the middle of play and the result.
INSTANTIATE_TEST_SUITE_P(Moments, Restarted, ::testing::Values(1, 3, 4, 6, 7, 9, 11));

}  // namespace
}  // namespace tessaro::testing
