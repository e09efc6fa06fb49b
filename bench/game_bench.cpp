// What a click and a chat line cost as a game grows: two game windows on the
// headless backend play games of 210 moves through the host's loopback, with
// a chat line from the mover after every stone. Each click and each chat line
// is timed from the input to the moment both windows are idle again (the peer
// has received and dispatched it).
//
// Prints the median cost around move 10 and around move 200 and their ratio,
// and the very first click of the run. The first stone of every game does
// more than a later stone (it settles the sides: one more message each way
// and the sides sentence in both logs), so the first click of the run is held
// against the first stones of the later games, which do the same work without
// anything being set up at first use; the median click is printed beside it.
// Targets: both ratios at most 1.2, the first click at most twice the median
// first stone of the later games (with one game, twice the median click).
//
//   tessaro_bench_game [games]   (default 5)
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "apps/platform_queue.h"
#include "bench/bench_stats.h"
#include "framework/headless/headless.h"
#include "game/judge.h"
#include "host/host.h"
#include "host/transport.h"
#include "plugin/plugin_app.h"

namespace {

using namespace tessaro;
using Clock = std::chrono::steady_clock;

constexpr int kMoves = 210;

using bench::Median;
using bench::Micros;

bool EndsTheGame(const GameWindow& mover, int x, int y) {
  const uint32_t cell = mover.game.board.at(x, y);
  if (cell != Empty) return true;  // also a forbidden point: black may not play there
  Board board = mover.game.board;
  const auto px = static_cast<int16_t>(x), py = static_cast<int16_t>(y);
  if (mover.game.myColor == White) return WhiteFiveAt(board, px, py);
  return JudgePoint(board, px, py) || board.at(x, y) == ForbiddenMark;
}

class Table {
 public:
  bool Open() {
    std::string error;
    host_ = host::Host::Create(queue_, {}, &error);
    if (!host_) {
      std::fprintf(stderr, "host: %s\n", error.c_str());
      return false;
    }
    host_->SetUserName("Me");
    bob_ = host_->AddContact("Bob");
    alice_ = host_->AddContact("Alice");
    auto loopback = std::make_unique<host::LoopbackTransport>(host_->IncomingSink());
    if (!loopback->Pair(bob_, alice_)) return false;
    host_->SetTransport(std::move(loopback));
    app_ = std::make_unique<PluginApp>();
    if (!app_->resourcesLoaded() || app_->Load(host_->link()) != 0) return false;
    app_->OpenGameWindow(bob_);
    app_->OpenGameWindow(alice_);
    black_ = app_->FindOrCreateWindow(bob_);
    white_ = app_->FindOrCreateWindow(alice_);
    return ui_.RunUntilIdle();
  }

  ~Table() {
    app_.reset();
    host_.reset();
    ui_.RunUntilIdle();
  }

  // Clicks point (x, y) and waits until both windows are idle; the time taken.
  double Click(GameWindow& window, int x, int y) {
    const auto start = Clock::now();
    ui_.Click(window, CPoint(12 + 17 * x + 7, 8 + 17 * y + 7));
    ui_.RunUntilIdle();
    return Micros(Clock::now() - start);
  }

  double Say(GameWindow& window, const std::string& text) {
    const auto start = Clock::now();
    ui_.TypeText(window, kChatLine, text);
    ui_.KeyDown(VK_RETURN);
    ui_.RunUntilIdle();
    return Micros(Clock::now() - start);
  }

  // One game: clicks[i] and chats[i] get the cost of move i.
  void Play(std::mt19937& random, std::vector<double>& clicks, std::vector<double>& chats) {
    // The opening as two people play it: black's three stones (the swap
    // declined), white's fourth, black's two proposals, white's choice.
    ui_.AnswerMessageBox(IDNO, {}, "Do you want to play as BLACK?");
    struct Step {
      GameWindow* window;
      int x, y;
    };
    const Step opening[] = {{black_, 7, 7}, {black_, 7, 8}, {black_, 8, 8}, {white_, 6, 6},
                            {black_, 9, 9}, {black_, 6, 9}, {white_, 9, 9}};
    for (const Step& step : opening) {
      clicks.push_back(Click(*step.window, step.x, step.y));
      chats.push_back(Say(*step.window, "placed a stone"));
    }
    GameWindow* mover = black_;
    while (clicks.size() < kMoves) {
      int x, y;
      // Every stone does the same work: none ends the game (no five, no
      // forbidden point), so no result is announced late in the game only.
      // A crowded board may have no such point left: then any free one.
      int tries = 0;
      do {
        x = static_cast<int>(random() % kBoardSize);
        y = static_cast<int>(random() % kBoardSize);
      } while (++tries < 5000 ? EndsTheGame(*mover, x, y)
                              : mover->game.board.at(x, y) != Empty &&
                                    mover->game.board.at(x, y) != ForbiddenMark);
      clicks.push_back(Click(*mover, x, y));
      chats.push_back(Say(*mover, "my stone is down, your move now"));
      mover = mover == black_ ? white_ : black_;
    }
    // Every box of the game has been answered or dismissed; start afresh.
    ui_.driver().ClearShown();
  }

  void Reset() {
    ui_.AnswerMessageBox(IDNO);
    ui_.ChooseMenu(*black_, kCmdReset);
    ui_.RunUntilIdle();
    black_->SetLog({});
    white_->SetLog({});
    ui_.driver().ClearShown();
  }

 private:
  Headless ui_;
  PlatformQueue queue_;
  std::unique_ptr<host::Host> host_;
  std::unique_ptr<PluginApp> app_;
  HANDLE bob_ = nullptr;
  HANDLE alice_ = nullptr;
  GameWindow* black_ = nullptr;
  GameWindow* white_ = nullptr;
};

}  // namespace

int main(int argc, char** argv) {
  const int games = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
  // Save Game would write into the current folder: work in a fresh one.
  char pattern[] = "/tmp/tessaro-bench-XXXXXX";
  if (mkdtemp(pattern) == nullptr || chdir(pattern) != 0) return 1;

  std::mt19937 random(20261209);
  std::vector<double> early, late, earlyChat, lateChat, all, laterFirsts;
  double firstClick = 0;
  {
    Table table;
    if (!table.Open()) return 1;
    for (int game = 0; game < games; ++game) {
      std::vector<double> clicks, chats;
      table.Play(random, clicks, chats);
      if (game == 0) {
        firstClick = clicks.front();
      } else {
        laterFirsts.push_back(clicks.front());
      }
      for (int i = 5; i < 15; ++i) {
        early.push_back(clicks[i]);
        earlyChat.push_back(chats[i]);
      }
      for (int i = 195; i < 205; ++i) {
        late.push_back(clicks[i]);
        lateChat.push_back(chats[i]);
      }
      all.insert(all.end(), clicks.begin() + 1, clicks.end());
      table.Reset();
    }
  }
  std::error_code ignored;
  std::filesystem::remove_all(pattern, ignored);

  const double click10 = Median(early), click200 = Median(late);
  const double chat10 = Median(earlyChat), chat200 = Median(lateChat);
  const double median = Median(all);
  const double firstStone = laterFirsts.empty() ? median : Median(laterFirsts);
  std::printf("games %d, %d moves each, a chat line after every move\n", games, kMoves);
  std::printf("click:      move 10 %8.1f us   move 200 %8.1f us   ratio %.2f\n", click10, click200,
              click200 / click10);
  std::printf("chat line:  move 10 %8.1f us   move 200 %8.1f us   ratio %.2f\n", chat10, chat200,
              chat200 / chat10);
  std::printf("first click %8.1f us   first stone of later games %8.1f us   ratio %.2f\n",
              firstClick, firstStone, firstClick / firstStone);
  std::printf("median click %7.1f us   first click / median click %.2f\n", median,
              firstClick / median);
  const bool flat =
      click200 / click10 <= 1.2 && chat200 / chat10 <= 1.2 && firstClick <= 2 * firstStone;
  std::printf("%s\n", flat ? "flat: within the targets" : "NOT flat: a target is missed");
  return flat ? 0 : 2;
}
