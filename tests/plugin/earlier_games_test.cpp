// Earlier games: every game that ends, and every game a reset, a received or
// a loaded game replaces, is kept for the contact, listed in the Earlier Games
// box, opened on the what-if board to be stepped through, and saved as a game
// library; across a restart of the host too.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "files/file_io.h"
#include "files/lib_file.h"
#include "two_players.h"
#include "window/earlier_games.h"

namespace tessaro::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

using Reasons = std::vector<ArchiveReason>;
constexpr ArchiveReason kReset = ArchiveReason::kReset;
constexpr ArchiveReason kEnded = ArchiveReason::kEnded;

// 2023-11-14 22:13:20 UTC.
int64_t FixedClock() {
  return 1700000000;
}

class EarlierGames : public TwoPlayers {
 public:  // the table of replacements drives the fixture too
  void SetUp() override {
    // Dates are shown in local time: the test's is UTC.
    setenv("TZ", "UTC", 1);
    tzset();
    TwoPlayers::SetUp();
  }
  void OpenBoth() {
    TwoPlayers::OpenBoth();
    black->wallClock = white->wallClock = &FixedClock;
  }
  void Menu(GameWindow& window, UINT command) {
    ASSERT_TRUE(ui.ChooseMenu(window, command));
    Settle();
  }
  // The opening, the choice and black's five on the diagonal: 12 records.
  void PlayToFive() {
    PlayThroughChoice();
    ClickPoint(*white, 0, 0);
    ClickPoint(*black, 10, 10);
    ClickPoint(*white, 0, 1);
    ClickPoint(*black, 11, 11);
  }
  static Reasons ReasonsOf(GameWindow& window) {
    Reasons reasons;
    for (const ArchiveLine& line : window.ReadArchive())
      reasons.push_back(line.game.reason);
    return reasons;
  }
  // The Earlier Games box of `window`, `number` typed into it and `button`
  // pressed; the list it showed.
  std::string ChooseEarlier(GameWindow& window, const std::string& number, int button) {
    std::string list;
    DialogScript script{kEarlierGamesDialogId, {{kEarlierNumber, number}}, button, {}};
    script.whileOpen = [&] {
      const HWND dialog = ui.platform().Find(ui.platform().Focus())->parent;
      CWnd::FromHandle(dialog)->GetDlgItemText(kEarlierList, list);
    };
    ui.AnswerDialog(std::move(script));
    Menu(window, kCmdEarlierGames);
    return list;
  }
};

// Whatever replaces a game before it ended, each side keeps it: a reset
// answered "Yes" and then cancelled in the save dialog, the peer's reset
// (answered "No"), a game loaded over it and that game arriving at the peer.
// A reset of an empty board keeps nothing.
struct Replacement {
  const char* name;
  size_t clicks;  // of PlayThroughChoice's 8, before the replacement
  std::function<void(EarlierGames&)> replace;
  Reasons black, white;
};

void PrintTo(const Replacement& row, std::ostream* out) {
  *out << row.name;
}

class Replaced : public EarlierGames, public ::testing::WithParamInterface<Replacement> {};

TEST_P(Replaced, EachSideKeepsTheGame) {
  const Replacement& c = GetParam();
  OpenBoth();
  const std::vector<std::pair<GameWindow*, CPoint>> clicks = {
      {black, {7, 7}}, {black, {7, 8}}, {black, {8, 8}}, {white, {6, 6}}};
  ui.AnswerMessageBox(IDNO, {}, "Do you want to play as BLACK?");
  for (size_t i = 0; i < c.clicks; ++i)
    ClickPoint(*clicks[i].first, clicks[i].second.x, clicks[i].second.y);
  const MoveList played = black->game.moveList;
  ui.driver().ClearScripts();
  c.replace(*this);
  EXPECT_EQ(ReasonsOf(*black), c.black);
  EXPECT_EQ(ReasonsOf(*white), c.white);
  for (GameWindow* window : {black, white}) {
    for (const ArchiveLine& line : window->ReadArchive())
      EXPECT_EQ(line.game.moves, played);
  }
  EXPECT_EQ(ui.driver().UnansweredCount(), 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Ways, Replaced,
    ::testing::Values(Replacement{"ResetYesThenCancel",
                                  4,
                                  [](EarlierGames& w) {
                                    w.ui.AnswerMessageBox(IDYES, {},
                                                          "Do you want to save the game?");
                                    w.ui.AnswerFileDialog(std::nullopt);
                                    w.ui.AnswerMessageBox(IDNO, {},
                                                          "Do you want to save the game?");
                                    w.Menu(*w.black, kCmdReset);
                                  },
                                  {kReset},
                                  {kReset}},
                      Replacement{"LoadGameOverIt",
                                  4,
                                  [](EarlierGames& w) {
                                    std::string error;
                                    ASSERT_TRUE(WriteFileAtomically(
                                        "other.lib",
                                        EncodeLibFile({{3, 3, Black}, {4, 4, White}}, "other"),
                                        error));
                                    w.ui.AnswerFileDialog("other.lib");
                                    w.ui.AnswerMessageBox(IDYES, {}, "Are you BLACK?");
                                    w.Menu(*w.white, kCmdLoadGame);
                                  },
                                  {ArchiveReason::kReceived},
                                  {ArchiveReason::kLoaded}},
                      Replacement{"ResetOfAnEmptyBoard",
                                  0,
                                  [](EarlierGames& w) { w.Menu(*w.black, kCmdReset); },
                                  {},
                                  {}}),
    [](const auto& row) { return std::string(row.param.name); });

// A game that ends is kept once on each side: not again when it is reset,
// also after a restart of the host in between; the entries come back with
// the profile, and the game after them is kept as another one.
TEST_F(EarlierGames, AnEndedGameIsKeptOnceAndSurvivesARestart) {
  OpenBoth();
  PlayToFive();
  EXPECT_EQ(ReasonsOf(*black), Reasons{kEnded});
  EXPECT_EQ(ReasonsOf(*white), Reasons{kEnded});

  Restart();
  OpenBoth();
  ui.AnswerMessageBox(IDNO, {}, "Do you want to save the game?");
  ui.AnswerMessageBox(IDNO, {}, "Do you want to save the game?");
  Menu(*black, kCmdReset);
  EXPECT_EQ(ReasonsOf(*black), Reasons{kEnded});
  EXPECT_EQ(ReasonsOf(*white), Reasons{kEnded});

  // The same opening again, reset before it ends: a second entry, newest first.
  PlayThroughChoice();
  ui.AnswerMessageBox(IDNO, {}, "Do you want to save the game?");
  ui.AnswerMessageBox(IDNO, {}, "Do you want to save the game?");
  Menu(*white, kCmdReset);
  EXPECT_EQ(ReasonsOf(*black), (Reasons{kReset, kEnded}));
  EXPECT_EQ(ReasonsOf(*white), (Reasons{kReset, kEnded}));
  EXPECT_EQ(ui.driver().UnansweredCount(), 0u);
}

// The box lists date, players and result; the game opened from it is on the
// what-if board, stepped through with Left, Right, Home and End; saved from
// it, it is a game library that loads back to the same moves.
TEST_F(EarlierGames, ListedOpenedSteppedAndSaved) {
  OpenBoth();
  PlayToFive();
  const MoveList game = black->game.moveList;
  ui.AnswerFileDialog("live.lib");
  Menu(*black, kCmdSaveGame);
  ui.AnswerMessageBox(IDNO, {}, "Do you want to save the game?");
  ui.AnswerMessageBox(IDNO, {}, "Do you want to save the game?");
  Menu(*black, kCmdReset);

  const std::string me = black->game.myName;
  EXPECT_EQ(
      ChooseEarlier(*black, "1", IDCANCEL),
      "1. 2023-11-14 22:13  " + me + " (black) - Bob (white)  BLACK win, 5 in row  (9 stones)\r\n");
  EXPECT_EQ(black->game.simulationMode, 0u);

  ChooseEarlier(*black, "1", IDOK);
  ASSERT_EQ(black->game.simulationMode, 1u);
  EXPECT_EQ(black->game.simMoveList, game);
  EXPECT_TRUE(black->game.moveList.empty()) << "the real game is not touched";
  const struct {
    UINT key;
    size_t records;
  } kSteps[] = {{VK_LEFT, 11}, {VK_LEFT, 10}, {VK_RIGHT, 11}, {VK_HOME, 0},
                {VK_LEFT, 0},  {VK_RIGHT, 1}, {VK_END, 12},   {VK_RIGHT, 12}};
  for (const auto& step : kSteps) {
    ASSERT_TRUE(ui.KeyDown(step.key));
    Settle();
    EXPECT_EQ(black->game.simMoveList, MoveList(game.begin(), game.begin() + step.records));
    Board replayed;
    Replay(replayed, black->game.simMoveList);
    for (int i = 0; i < kCellCount; ++i) {
      if (black->game.simBoard.cells[i] != ForbiddenMark) {
        ASSERT_EQ(black->game.simBoard.cells[i], replayed.cells[i]) << "cell " << i;
      }
    }
  }

  ui.AnswerFileDialog("earlier.lib");
  ChooseEarlier(*black, "1", kSaveEarlierButton);
  // The same file as Save Game wrote while the game was on the board.
  std::vector<uint8_t> saved, live;
  std::string error;
  ASSERT_TRUE(ReadLibFile("earlier.lib", saved, error)) << error;
  ASSERT_TRUE(ReadLibFile("live.lib", live, error)) << error;
  EXPECT_EQ(saved, live);
  ui.AnswerFileDialog("earlier.lib");
  ui.AnswerMessageBox(IDYES, {}, "Are you BLACK?");
  Menu(*white, kCmdLoadGame);
  MoveList stones;
  for (const Move& move : game)
    if (move.value == Black || move.value == White) stones.push_back(move);
  EXPECT_EQ(white->game.moveList, stones);

  // A number that is in no line is said so, and nothing opens.
  ui.AnswerMessageBox(IDOK, {}, "There is no game 7 to open in the list.");
  ChooseEarlier(*white, "7", IDOK);
  EXPECT_EQ(white->game.simulationMode, 0u);
  EXPECT_EQ(ui.driver().UnansweredCount(), 0u);
}

}  // namespace
}  // namespace tessaro::testing
