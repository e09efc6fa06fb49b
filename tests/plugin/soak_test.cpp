// Random games between two windows through the loopback: clicks anywhere
// (legal or not), take-backs, resets from either side, chat, Set Timer, the
// what-if board on and off, saves and loads, and the clock running. After
// every action, once every message has been delivered, both copies of the
// game must agree. A few actions are a click on each board at once, crossing
// on the way (a take-back and the other side's stone, or two first stones).
// Then damaged frames are thrown in: they may show only as the receive error
// and its reply.
//
// A short run by default; TESSARO_SOAK_GAMES=N for a long one (the seed is
// printed, TESSARO_SOAK_SEED=S repeats a run).
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <random>

#include "two_players.h"

namespace tessaro::testing {
namespace {

size_t EnvNumber(const char* name, size_t fallback) {
  const char* text = std::getenv(name);
  return text != nullptr && *text != '\0' ? std::strtoull(text, nullptr, 10) : fallback;
}

// The stones of a board; marks differ with whose board it is.
Board Stones(const Board& board) {
  Board stones = board;
  for (uint32_t& cell : stones.cells)
    cell = cell == Black || cell == White || cell == Proposal ? cell : Empty;
  return stones;
}

class Soak : public TwoPlayers {
 protected:
  size_t Random(size_t n) { return static_cast<size_t>(random() % n); }
  GameWindow& AnyWindow() { return Random(2) == 0 ? *black : *white; }
  int Answer() { return Random(2) == 0 ? IDYES : IDNO; }

  // One random thing a player does; returns its name for the failure text.
  const char* Act() {
    GameWindow& window = AnyWindow();
    ui.driver().ClearScripts();
    // The swap question may come up at the other window after any stone.
    ui.AnswerMessageBox(Answer(), {}, "play as BLACK");
    const size_t what = Random(100);
    if (what < 55) {
      ClickPoint(window, static_cast<int>(Random(16)), static_cast<int>(Random(16)));
      return "click";
    }
    if (what < 62) {
      if (!window.game.moveList.empty()) {
        const Move last = window.game.moveList.back();
        ClickPoint(window, last.x, last.y);
      }
      return "take back";
    }
    if (what < 65) {
      // A take-back (or any click) and a click on the other board in flight
      // at once: both are handled before either side hears of the other.
      GameWindow& other = &window == black ? *white : *black;
      if (!window.game.moveList.empty()) {
        PostClick(window, window.game.moveList.back().x, window.game.moveList.back().y);
      } else {
        PostClick(window, static_cast<int>(Random(15)), static_cast<int>(Random(15)));
      }
      PostClick(other, static_cast<int>(Random(15)), static_cast<int>(Random(15)));
      Settle();
      return "crossing clicks";
    }
    if (what < 75) {
      EXPECT_TRUE(ui.TypeText(window, kChatLine, "line " + std::to_string(Random(1000))));
      EXPECT_TRUE(ui.Focus(*window.GetDlgItem(kChatLine)));
      EXPECT_TRUE(ui.KeyDown(VK_RETURN));
      Settle();
      return "chat";
    }
    if (what < 80) {
      ui.AdvanceClock(1000 * (1 + Random(20)));
      Settle();
      return "clock";
    }
    if (what < 84) {
      ui.driver().ClearScripts();
      ui.AnswerDialog(
          DialogScript{kInputBoxDialogId, {{1001, std::to_string(Random(30))}}, IDOK, {}});
      ui.ChooseMenu(window, kCmdSetTimer);
      Settle();
      return "set timer";
    }
    if (what < 90) {
      ui.PressButton(window, kSimButton);
      Settle();
      return "simulation";
    }
    if (what < 94) {
      ui.driver().ClearScripts();
      ui.AnswerFileDialog("game" + std::to_string(Random(3)) + ".lib");
      ui.ChooseMenu(window, kCmdSaveGame);
      Settle();
      return "save";
    }
    // Also on the what-if board: a load leaves it on both sides.
    if (what < 97) {
      ui.driver().ClearScripts();
      ui.AnswerFileDialog("game" + std::to_string(Random(3)) + ".lib");
      ui.AnswerMessageBox(Answer(), {}, "Are you BLACK?");
      ui.ChooseMenu(window, kCmdLoadGame);
      Settle();
      return "load";
    }
    ui.driver().ClearScripts();
    ui.AnswerMessageBox(IDNO, {}, "save the game");
    ui.ChooseMenu(window, kCmdReset);
    Settle();
    return "reset";
  }

  // Both copies of the game agree. Before the first stone of a game either
  // side may place it, so both have the turn; otherwise exactly one has it.
  void ExpectInStep(const char* action) {
    ASSERT_EQ(black->game.moveList, white->game.moveList) << action;
    ASSERT_EQ(Stones(black->game.board), Stones(white->game.board))
        << action << "\n"
        << BoardText(black->game.board) << "\n"
        << BoardText(white->game.board);
    if (black->game.myColor == Empty && white->game.myColor == Empty) {
      ASSERT_TRUE(black->game.moveList.empty()) << action;
      ASSERT_EQ(black->game.myTurn + white->game.myTurn, 2u) << action;
      return;
    }
    ASSERT_EQ(black->game.myColor + white->game.myColor, 3u) << action;
    ASSERT_NE(black->game.myColor, Empty) << action;
    ASSERT_EQ(black->game.myTurn + white->game.myTurn, 1u)
        << action << ", " << black->game.moveList.size() << " moves, colours "
        << black->game.myColor << "/" << white->game.myColor << ", turns " << black->game.myTurn
        << "/" << white->game.myTurn << ", proposing " << black->game.proposingFifth << "/"
        << white->game.proposingFifth << "\n"
        << BoardText(black->game.board);
  }

  // One action, traced, then the check.
  void ActInStep() {
    const char* action = Act();
    trace += std::string(action) + " n" + std::to_string(black->game.moveList.size()) + " c" +
             std::to_string(black->game.myColor) + std::to_string(white->game.myColor) + " t" +
             std::to_string(black->game.myTurn) + std::to_string(white->game.myTurn) + " p" +
             std::to_string(black->game.proposingFifth) +
             std::to_string(white->game.proposingFifth) + "\n";
    ExpectInStep(action);
  }

  std::mt19937 random;
  std::string trace;
};

TEST_F(Soak, RandomGamesKeepBothCopiesInStep) {
  const size_t games = EnvNumber("TESSARO_SOAK_GAMES", 25);
  const auto seed = static_cast<unsigned>(EnvNumber("TESSARO_SOAK_SEED", std::random_device{}()));
  random.seed(seed);
  RecordProperty("seed", std::to_string(seed));
  std::printf("soak seed %u\n", seed);
  const auto start = std::chrono::steady_clock::now();
  OpenBoth();
  size_t actions = 0;
  for (size_t game = 0; game < games; ++game) {
    const size_t length = 20 + Random(120);
    for (size_t i = 0; i < length; ++i, ++actions) {
      ASSERT_NO_FATAL_FAILURE(ActInStep()) << "seed " << seed << ", game " << game << trace;
    }
    ui.driver().ClearShown();
    ui.driver().ClearScripts();
    ui.AnswerMessageBox(IDNO, {}, "save the game");
    ui.ChooseMenu(AnyWindow(), kCmdReset);
    Settle();
  }
  const size_t messages = host->EventsOf(bob).size() + host->EventsOf(alice).size();
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::printf("soak: %zu games, %zu actions, %zu messages, %.1f s\n", games, actions, messages,
              seconds);
}

// Damage that no command can survive, put into a frame the peer really sent.
struct Damage {
  const char* name;
  bool receiveError;  // otherwise the text is dropped without a word
  std::string (*apply)(const std::string& frame);
};

TEST_F(Soak, DamagedFramesShowOnlyAsTheReceiveError) {
  const Damage damages[] = {
      {"data cut short", true, [](const std::string& f) { return f.substr(0, f.size() - 2); }},
      {"header cut short", true, [](const std::string& f) { return f.substr(0, 13); }},
      {"negative length", true,
       [](const std::string& f) { return f.substr(0, 11) + "FFFFFFFF" + f.substr(19); }},
      {"a lower-case digit", false,
       [](const std::string& f) { return f.substr(0, 3) + "a" + f.substr(4); }},
      {"a blank", false, [](const std::string& f) { return f.substr(0, 5) + " " + f.substr(5); }},
  };
  const size_t games = EnvNumber("TESSARO_SOAK_GAMES", 25);
  const auto seed = static_cast<unsigned>(EnvNumber("TESSARO_SOAK_SEED", std::random_device{}()));
  random.seed(seed);
  std::printf("soak seed %u\n", seed);
  OpenBoth();
  size_t injected = 0;
  for (size_t game = 0; game < games; ++game) {
    for (size_t i = 0, length = 10 + Random(60); i < length; ++i) {
      ASSERT_NO_FATAL_FAILURE(ActInStep()) << "seed " << seed << trace;
      // A frame such as the peer sends, damaged on the way.
      const std::string frames[] = {
          MoveFrame(static_cast<int>(Random(15)), static_cast<int>(Random(15)),
                    static_cast<uint32_t>(1 + Random(2))),
          FrameOf(CmdText, "line " + std::to_string(Random(1000))),
          FrameOf(CmdSide, std::string(1, static_cast<char>(1 + Random(2))) + std::string(3, '\0')),
          FrameOf(CmdTakeBack, ""),
          FrameOf(CmdGame, "\x77\x78\x87"),
          FrameOf(CmdClock, "30"),
      };
      const Damage& damage = damages[Random(std::size(damages))];
      const bool toBlack = Random(2) == 0;
      GameWindow& receiver = toBlack ? *black : *white;
      GameWindow& peer = toBlack ? *white : *black;
      const std::vector<Move> moves = receiver.game.moveList;
      const Board board = receiver.game.board;
      const uint32_t colour = receiver.game.myColor, turn = receiver.game.myTurn;
      const std::string peerLog = peer.LogText();
      ui.driver().ClearShown();
      ui.driver().ClearScripts();
      Deliver(toBlack ? bob : alice, damage.apply(frames[Random(std::size(frames))]));
      Settle();
      ++injected;
      SCOPED_TRACE(damage.name);
      EXPECT_EQ(receiver.game.moveList, moves);
      EXPECT_EQ(receiver.game.board, board);
      EXPECT_EQ(receiver.game.myColor, colour);
      EXPECT_EQ(receiver.game.myTurn, turn);
      const std::vector<ShownRecord> boxes = ui.driver().MessageBoxes();
      if (damage.receiveError) {
        // The box, and the reply the peer logs.
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].text, "Receive error 0x01");
        ASSERT_GT(peer.LogText().size(), peerLog.size());
        EXPECT_EQ(peer.LogText().compare(0, peerLog.size(), peerLog), 0);
        EXPECT_EQ(peer.LogText().substr(peerLog.size(), 13), "Receive error");
      } else {
        EXPECT_TRUE(boxes.empty());
        EXPECT_EQ(peer.LogText(), peerLog);
      }
      ASSERT_NO_FATAL_FAILURE(ExpectInStep(damage.name)) << "seed " << seed;
    }
    ui.driver().ClearScripts();
    ui.AnswerMessageBox(IDNO, {}, "save the game");
    ui.ChooseMenu(AnyWindow(), kCmdReset);
    Settle();
  }
  std::printf("soak with damage: %zu games, %zu damaged frames\n", games, injected);
}

}  // namespace
}  // namespace tessaro::testing
