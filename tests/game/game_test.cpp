// The game model without a window: two Games joined by queues of commands, as
// two windows are joined by the network, and the snapshot that keeps a game
// across a restart.
#include "game/game.h"

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <string>
#include <vector>

namespace tessaro {
namespace {

// One side's surroundings: what it sends waits in `outbox` until the pair
// delivers it; log lines and the swap answer stay here.
class Side : public GameEvents {
 public:
  using Command = std::function<void(Game&)>;
  std::deque<Command> outbox;
  std::vector<std::string> log;
  bool swap = false;
  bool draw = false;

  void SendSide(int32_t side) override {
    outbox.push_back([side](Game& g) { g.ReceiveSide(true, side); });
  }
  void SendMove(const Move& move) override {
    outbox.push_back([move](Game& g) {
      g.SettleHeldSide(g.IsFirstStoneOfClash(move));
      g.ReceiveMove(move);
    });
  }
  void SendTakeBack() override {
    outbox.push_back([](Game& g) { g.ReceiveTakeBack(); });
  }
  void SendText(const std::string& text) override {
    outbox.push_back([text](Game& g) { g.ReceiveText(text); });
  }
  void SendClock(int32_t seconds) override {
    outbox.push_back([seconds](Game& g) { g.ReceiveClock(seconds); });
  }
  void SendGameOver() override {
    outbox.push_back([](Game& g) { g.ReceiveGameOver(); });
  }
  void SendGame(const MoveList& moves) override {
    outbox.push_back([moves](Game& g) { g.ReceiveGame(moves); });
  }
  void Log(const std::string& text) override { log.push_back(text); }
  bool AskSwap() override { return swap; }
  bool AskDraw() override { return draw; }
  void BoardChanged() override {}
  void SideChanged() override {}
};

// Two players a level below the plug-in tests' pair of windows
// (tests/plugin/window_pair.h): no host, no windows and no frames, each
// command handed over as a call, so that the rules are tested on the model
// alone. It shares nothing with the window pair on purpose.
struct Pair {
  Side aliceSide, bobSide;
  Game alice{aliceSide}, bob{bobSide};

  Pair() {
    alice.myName = bob.peerName = "Alice";
    bob.myName = alice.peerName = "Bob";
    alice.Start();
    bob.Start();
  }
  // Every command in flight, in order, until both queues are empty.
  void Deliver() {
    while (!aliceSide.outbox.empty() || !bobSide.outbox.empty()) {
      for (auto [from, to] : {std::pair{&aliceSide, &bob}, std::pair{&bobSide, &alice}}) {
        while (!from->outbox.empty()) {
          Side::Command command = std::move(from->outbox.front());
          from->outbox.pop_front();
          command(*to);
        }
      }
    }
  }
  void Click(Game& who, int x, int y) {
    who.LocalMove(x, y);
    Deliver();
  }
};

// A short game: Alice black, the opening with Bob keeping white and taking the
// proposal (9, 5), then black's diagonal (6, 8) to (10, 4).
struct Step {
  bool alice;
  int x, y;
};
constexpr Step kGame[] = {{true, 7, 7},  {true, 7, 6},  {true, 8, 6},  {false, 1, 1},
                          {true, 9, 5},  {true, 4, 11}, {false, 9, 5}, {false, 2, 1},
                          {true, 10, 4}, {false, 3, 1}, {true, 6, 8}};

TEST(Game, TwoGamesPlayTheOpeningAndAgreeOnTheResult) {
  Pair pair;
  for (const Step& step : kGame) {
    EXPECT_EQ((step.alice ? pair.alice : pair.bob).myTurn, 1u) << "at " << step.x << "," << step.y;
    pair.Click(step.alice ? pair.alice : pair.bob, step.x, step.y);
    EXPECT_EQ(pair.alice.moveList, pair.bob.moveList);
    EXPECT_EQ(pair.alice.board, pair.bob.board);
  }
  EXPECT_EQ(pair.alice.myColor, Black);
  EXPECT_EQ(pair.bob.myColor, White);
  EXPECT_EQ(pair.bob.board.at(4, 11), Empty) << "the proposal not chosen stays";
  EXPECT_EQ(pair.alice.gameResult, kBlackFive);
  EXPECT_EQ(pair.bob.gameResult, kBlackFive);
  EXPECT_EQ(pair.alice.StatusText(), kBlackFive);
}

// The line under each board, step by step through every state of a game's
// flow: both sides' lines against the state they were reached from.
TEST(Game, TheStatusLineSaysWhereTheGameStands) {
  Pair pair;
  Game& a = pair.alice;
  Game& b = pair.bob;
  const struct {
    const char* what;
    std::function<void()> act;
    const char* alice;
    const char* bob;
  } steps[] = {
      {"fresh", [] {}, "Place the first stone to play black",
       "Place the first stone to play black"},
      {"first stone", [&] { pair.Click(a, 7, 7); }, "Your move: opening stone 2 of 3 (white)",
       "Opening: Alice places the first three stones"},
      {"second stone", [&] { pair.Click(a, 7, 6); }, "Your move: opening stone 3 of 3 (black)",
       "Opening: Alice places the first three stones"},
      {"third stone, swap declined", [&] { pair.Click(a, 8, 6); },
       "Opening: Bob decides whether to swap", "Your move (white)"},
      {"fourth stone", [&] { pair.Click(b, 1, 1); }, "Your move: offer the fifth stone (1 of 2)",
       "Opening: Alice offers the fifth stone"},
      {"one proposal", [&] { pair.Click(a, 9, 5); }, "Your move: offer the fifth stone (2 of 2)",
       "Opening: Alice offers the fifth stone"},
      {"two proposals", [&] { pair.Click(a, 4, 11); }, "Opening: Bob chooses a proposal",
       "Choose one of the two proposals"},
      {"choice", [&] { pair.Click(b, 9, 5); }, "Bob's move (white)", "Your move (white)"},
      {"play", [&] { pair.Click(b, 2, 1); }, "Your move (black)", "Alice's move (black)"},
      {"what-if board", [&] { a.ToggleSimulation(); },
       "What-if board: your stones stay here. Space or sim goes back", "Alice's move (black)"},
      {"back", [&] { a.ToggleSimulation(); }, "Your move (black)", "Alice's move (black)"},
      {"an earlier game on the what-if board",
       [&] {
         a.OpenOnSimulation({{7, 7, Black}, {7, 6, White}, {8, 6, Black}});
       },
       "Earlier game: Left, Right, Home and End step through it. Space goes back",
       "Alice's move (black)"},
      {"a step back through it", [&] { EXPECT_TRUE(a.StepSimulation(-1)); },
       "Earlier game: Left, Right, Home and End step through it. Space goes back",
       "Alice's move (black)"},
      {"back from it", [&] { a.ToggleSimulation(); }, "Your move (black)", "Alice's move (black)"},
      {"the what-if board again, a copy of this game", [&] { a.ToggleSimulation(); },
       "What-if board: your stones stay here. Space or sim goes back", "Alice's move (black)"},
      {"back again", [&] { a.ToggleSimulation(); }, "Your move (black)", "Alice's move (black)"},
      {"more play",
       [&] {
         pair.Click(a, 10, 4);
         pair.Click(b, 3, 1);
       },
       "Your move (black)", "Alice's move (black)"},
      {"five", [&] { pair.Click(a, 6, 8); },
       "Game over: BLACK win, 5 in row. Reset starts a new game",
       "Game over: BLACK win, 5 in row. Reset starts a new game"},
      {"take-back after the result", [&] { pair.Click(a, 6, 8); },
       "Game over: BLACK win, 5 in row. Reset starts a new game",
       "Game over: BLACK win, 5 in row. Reset starts a new game"},
      {"reset",
       [&] {
         a.Reset();
         b.Reset();
       },
       "Place the first stone to play black", "Place the first stone to play black"},
      {"a loaded game without a result",
       [&] {
         // (7,7) would make two threes: forbidden to black, marked on both.
         a.PutLoadedLine({{5, 7, Black},
                          {0, 0, White},
                          {6, 7, Black},
                          {0, 1, White},
                          {7, 5, Black},
                          {0, 2, White},
                          {7, 6, Black},
                          {14, 14, White}});
         a.PlayLoadedLine(true);
         pair.Deliver();
       },
       "Your move (black)", "Alice's move (black)"},
      {"a loaded game with a result",
       [&] {
         MoveList five;
         for (int16_t i = 0; i < 5; ++i) {
           five.push_back(Move{i, 0, Black});
           five.push_back(Move{i, 2, White});
         }
         five.pop_back();
         a.PutLoadedLine(five);
         a.PlayLoadedLine(false);
         pair.Deliver();
       },
       "Game over: BLACK win, 5 in row. Reset starts a new game",
       "Game over: BLACK win, 5 in row. Reset starts a new game"},
      {"out of time",
       [&] {
         a.Reset();
         b.Reset();
         a.SetTimer(1);
         pair.Deliver();
         pair.Click(a, 7, 7);
         pair.Click(a, 7, 6);
         a.Tick();
         pair.Deliver();
       },
       "You are out of time", "Alice is out of time"},
      {"a chat line is no clock", [&] { b.ReceiveText("Bob: Carol is out of time"); },
       "You are out of time", "Alice is out of time"},
  };
  for (const auto& step : steps) {
    step.act();
    EXPECT_EQ(a.StatusLine(), step.alice) << step.what;
    EXPECT_EQ(b.StatusLine(), step.bob) << step.what;
    // Both boards agree, forbidden marks included, however the game came.
    EXPECT_EQ(a.board, b.board) << step.what;
    if (std::string(step.what) == "a loaded game without a result") {
      EXPECT_EQ(a.board.at(7, 7), ForbiddenMark);
    }
  }
}

// After every step each side is written down and taken back into a new Game,
// as a restart does; the rest of the game is played by the restored copies
// and ends exactly as the game played without a restart.
// Resigning and draws, as both logs and results show them; each only while a
// game is on.
TEST(Game, AGameEndsByResignationOrAgreedDraw) {
  const struct {
    const char* what;
    std::function<void(Pair&)> act;
    const char* result;
    std::vector<std::string> aliceLog;  // from the last opening stone on
  } cases[] = {
      {"black resigns",
       [](Pair& p) { p.alice.Resign(); },
       kBlackResigned,
       {"Alice resigns", kBlackResigned}},
      {"white resigns",
       [](Pair& p) { p.bob.Resign(); },
       kWhiteResigned,
       {"Bob resigns", kWhiteResigned}},
      {"a draw accepted",
       [](Pair& p) {
         p.bobSide.draw = true;
         p.alice.OfferDraw();
       },
       kDrawAgreed,
       {"Alice offers a draw", kDrawAgreed}},
      {"a draw declined",
       [](Pair& p) { p.bob.OfferDraw(); },
       "",
       {"Bob offers a draw", "Alice declines the draw"}},
  };
  for (const auto& c : cases) {
    Pair pair;
    for (const Step& step : {kGame[0], kGame[1], kGame[2]})
      pair.Click(step.alice ? pair.alice : pair.bob, step.x, step.y);
    pair.aliceSide.log.clear();
    c.act(pair);
    pair.Deliver();
    EXPECT_EQ(pair.aliceSide.log, c.aliceLog) << c.what;
    EXPECT_EQ(pair.alice.gameResult, c.result) << c.what;
    EXPECT_EQ(pair.bob.gameResult, c.result) << c.what;
    // Once the game is over, both lines say how, and neither side ends it again.
    const size_t logged = pair.aliceSide.log.size();
    if (*c.result != '\0') {
      EXPECT_EQ(pair.alice.StatusLine(), pair.bob.StatusLine()) << c.what;
      pair.alice.Resign();
      pair.alice.OfferDraw();
      pair.Deliver();
      EXPECT_EQ(pair.aliceSide.log.size(), logged) << c.what;
    }
  }
  // A chat line that reads like an offer is chat.
  Pair pair;
  pair.Click(pair.alice, 7, 7);
  pair.bobSide.draw = true;
  pair.bob.ReceiveText("Bob: Alice offers a draw");
  EXPECT_TRUE(pair.bobSide.outbox.empty());
}

TEST(Game, ASnapshotAtAnyMomentPlaysOnAsTheGameItKept) {
  Pair whole;
  for (const Step& step : kGame)
    whole.Click(step.alice ? whole.alice : whole.bob, step.x, step.y);

  for (size_t cut = 0; cut <= std::size(kGame); ++cut) {
    Pair first;
    for (size_t i = 0; i < cut; ++i)
      first.Click(kGame[i].alice ? first.alice : first.bob, kGame[i].x, kGame[i].y);
    Pair again;
    std::string error;
    ASSERT_TRUE(again.alice.Restore(first.alice.Snapshot(), &error)) << error;
    ASSERT_TRUE(again.bob.Restore(first.bob.Snapshot(), &error)) << error;
    EXPECT_EQ(again.alice.board, first.alice.board) << "after " << cut << " steps";
    EXPECT_EQ(again.bob.board, first.bob.board) << "after " << cut << " steps";
    for (size_t i = cut; i < std::size(kGame); ++i)
      again.Click(kGame[i].alice ? again.alice : again.bob, kGame[i].x, kGame[i].y);
    EXPECT_EQ(again.alice.Snapshot(), whole.alice.Snapshot()) << "cut after " << cut;
    EXPECT_EQ(again.bob.Snapshot(), whole.bob.Snapshot()) << "cut after " << cut;
  }
}

TEST(Game, ASnapshotKeepsClocksTheWhatIfBoardAndTheResult) {
  Pair pair;
  pair.alice.SetTimer(300);
  pair.Click(pair.alice, 7, 7);
  pair.alice.ToggleSimulation();
  pair.alice.SimulationMove(3, 3);
  pair.alice.Tick();
  pair.bob.ReceiveGameOver();
  pair.bob.ReceiveText("Alice is out of time");

  Side side;
  Game copy(side);
  std::string error;
  ASSERT_TRUE(copy.Restore(pair.alice.Snapshot(), &error)) << error;
  EXPECT_EQ(copy.clockSetting, 300);
  EXPECT_EQ(copy.myClock, pair.alice.myClock);
  EXPECT_EQ(copy.simulationMode, 1u);
  EXPECT_EQ(copy.simBoard, pair.alice.simBoard);
  EXPECT_EQ(copy.myName, "Alice");
  ASSERT_TRUE(copy.Restore(pair.bob.Snapshot(), &error)) << error;
  EXPECT_EQ(copy.gameResult, "Alice is out of time");
  EXPECT_TRUE(side.outbox.empty()) << "restoring sends nothing";
}

// Damaged bytes change nothing and say why: every cut of a good snapshot,
// and fields that name a state no game reaches.
TEST(Game, ADamagedSnapshotIsRefusedWhole) {
  Pair pair;
  for (const Step& step : kGame)
    pair.Click(step.alice ? pair.alice : pair.bob, step.x, step.y);
  const std::string good = pair.alice.Snapshot();
  Side side;
  Game game(side);
  const std::string fresh = game.Snapshot();
  std::string error;
  for (size_t n = 0; n < good.size(); ++n) {
    error.clear();
    EXPECT_FALSE(game.Restore(good.substr(0, n), &error)) << "cut at " << n;
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(game.Snapshot(), fresh);
  }
  // The what-if list is empty: its count closes the snapshot.
  ASSERT_TRUE(pair.alice.simMoveList.empty());
  const size_t firstRecord = good.size() - 4 - 8 * pair.alice.moveList.size();
  struct Damage {
    size_t at;
    char byte;
    const char* error;
  } const damages[] = {
      {4, 3, "the colour is out of range"},
      {32, 2, "the result flag is not 0 or 1"},
      {firstRecord, 15, "the move list holds a record off the board"},
      {firstRecord + 4, 9, "the move list holds a record off the board"},
  };
  for (const Damage& d : damages) {
    std::string bad = good;
    bad[d.at] = d.byte;
    EXPECT_FALSE(game.Restore(bad, &error));
    EXPECT_EQ(error, d.error) << "byte " << d.at;
  }
  EXPECT_FALSE(game.Restore(good + '\0', &error));
  EXPECT_EQ(error, "bytes follow the game");
  EXPECT_TRUE(game.Restore(good, &error)) << error;
}

}  // namespace
}  // namespace tessaro
