// Whole games between two windows, as the two players see them.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

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
  EXPECT_EQ(black->myColor, Black);
  EXPECT_EQ(white->myColor, White);
  EXPECT_EQ(black->myTurn, 1u);
  EXPECT_EQ(white->myTurn, 0u);
  EXPECT_THAT(SentFrames(bob),
              ElementsAre("#RQ030000000400000002000000", "#RQ00000000080000000700070001000000"));
  // The sides sentence is 33 characters and wraps before its last word.
  EXPECT_THAT(LogLines(*white), ElementsAre("Me plays WHITE; Alice plays", " BLACK"));
  EXPECT_THAT(LogLines(*black), ElementsAre("Me plays WHITE; Alice plays", " BLACK"));
  EXPECT_EQ(white->board.at(7, 7), Black);
}

TEST_F(GameFlow, OpeningWithProposalsEndsInAFive) {
  PlayOpening();
  ASSERT_EQ(ui.driver().UnansweredCount(), 0u);
  EXPECT_EQ(black->moveList.size(), 3u);
  EXPECT_EQ(black->board.at(7, 8), White);  // black's second stone is white
  EXPECT_EQ(white->myTurn, 1u);
  EXPECT_EQ(black->myTurn, 0u);

  PlayProposalsAndChoice();
  for (GameWindow* window : {black, white}) {
    ASSERT_EQ(window->moveList.size(), 8u);
    EXPECT_EQ(window->moveList[6], (Move{9, 9, Black}));
    EXPECT_EQ(window->moveList[7], (Move{6, 9, Empty}));
    EXPECT_EQ(window->board.at(6, 9), Empty);
    EXPECT_EQ(window->board.at(9, 9), Black);
  }
  EXPECT_EQ(white->myTurn, 1u);
  EXPECT_EQ(black->myTurn, 0u);

  ClickPoint(*white, 0, 0);
  ClickPoint(*black, 10, 10);
  ClickPoint(*white, 0, 1);
  ClickPoint(*black, 11, 11);
  EXPECT_EQ(LogLines(*white).back(), "BLACK win, 5 in row");
  EXPECT_EQ(LogLines(*black).back(), "BLACK win, 5 in row");
  EXPECT_EQ(white->board.at(11, 11), Black);  // the stone is placed all the same
  EXPECT_EQ(BoardText(black->board), BoardText(white->board));
}

TEST_F(GameFlow, SwapMakesWhiteBlack) {
  PlayOpening(IDYES);
  EXPECT_EQ(white->myColor, Black);
  EXPECT_EQ(black->myColor, White);
  EXPECT_EQ(white->myTurn, 0u);
  EXPECT_EQ(black->myTurn, 1u);  // the new white plays the fourth stone
  EXPECT_EQ(LogLines(*black).back(), "Me is BLACK now");
  EXPECT_NE(LogLines(*white).back(), "Me is BLACK now");
}

}  // namespace
}  // namespace tessaro::testing
