// The move clocks on virtual time: Set Timer, the countdown during the own
// turn, the reports to the peer, running out, a result and a reset.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>

#include "two_players.h"

namespace tessaro::testing {
namespace {

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::Not;

class Clocks : public TwoPlayers {
 protected:
  // Game > Set Timer, answered with `answer` and OK (or Cancel).
  void SetTimer(GameWindow& window, const std::string& answer, int button = IDOK) {
    ui.AnswerDialog(DialogScript{kInputBoxDialogId, {{1001, answer}}, button, {}});
    ASSERT_TRUE(ui.ChooseMenu(window, kCmdSetTimer));
  }
  static std::string Label(const GameWindow& window, int id) {
    std::string text;
    window.GetDlgItemText(id, text);
    return text;
  }
  // Repaints a window as the next paint would, so that its labels show the
  // clocks.
  void Repaint(GameWindow& window) {
    window.Invalidate(TRUE);
    Settle();
  }
  std::vector<std::string> ClockFrames(HANDLE contact) const {
    std::vector<std::string> frames;
    for (const std::string& frame : SentFrames(contact)) {
      if (frame.starts_with("#RQ06")) frames.push_back(frame);
    }
    return frames;
  }
  static size_t CountLines(const GameWindow& window, const std::string& line) {
    const std::vector<std::string> lines = LogLines(window);
    return static_cast<size_t>(std::count(lines.begin(), lines.end(), line));
  }
};

TEST_F(Clocks, TheOwnClockRunsOnlyDuringTheOwnTurnAndIsReported) {
  OpenBoth();
  SetTimer(*black, "60");
  const std::vector<ShownRecord> shown = ui.driver().Shown();
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].kind, ShownKind::Dialog);
  EXPECT_EQ(shown[0].templateId, kInputBoxDialogId);
  EXPECT_EQ(shown[0].caption, "Enter number of seconds");
  EXPECT_THAT(LogLines(*black), ElementsAre("Me set timer to 60"));
  EXPECT_THAT(LogLines(*white), ElementsAre("Me set timer to 60"));
  EXPECT_EQ(SentFrames(bob).back(), FrameOf(CmdText, "Me set timer to 60"));
  EXPECT_EQ(white->game.clockSetting, 0);  // the setting is not the peer's

  ui.AdvanceClock(5000);  // no stone yet: nothing runs
  EXPECT_EQ(black->game.myClock, 60);

  // Black keeps the turn for its three opening stones; its clock runs through
  // all three and is reported right behind each stone.
  struct Step {
    int x, y;            // black's stone
    uint64_t thinkMs;    // time on black's clock after it
    int32_t reported;    // the CmdClock behind the stone
    int32_t afterThink;  // black's clock after the thinking
  };
  const Step steps[] = {{7, 7, 1000, 60, 59}, {7, 8, 2000, 59, 57}, {8, 8, 0, 57, 57}};
  for (const Step& step : steps) {
    SCOPED_TRACE(::testing::Message() << "stone (" << step.x << "," << step.y << ")");
    ClickPoint(*black, step.x, step.y);
    EXPECT_EQ(SentFrames(bob).back(), FrameOf(CmdClock, std::to_string(step.reported)));
    EXPECT_EQ(SentFrames(bob)[SentFrames(bob).size() - 2].substr(0, 5), "#RQ00");  // the stone
    EXPECT_EQ(white->game.peerClock, step.reported);
    EXPECT_EQ(Label(*white, kPeerClockLabel), std::to_string(step.reported));
    ui.AdvanceClock(step.thinkMs);
    EXPECT_EQ(black->game.myClock, step.afterThink);
    if (step.thinkMs > 0) {
      EXPECT_EQ(Label(*black, kOwnClockLabel), std::to_string(step.afterThink));
    }
  }
  // White's turn: black's clock waits, and the peer's label does not count.
  ui.AdvanceClock(10000);
  EXPECT_EQ(black->game.myClock, 57);
  Repaint(*white);
  EXPECT_EQ(Label(*white, kPeerClockLabel), "57");
  EXPECT_EQ(Label(*white, kOwnClockLabel), "0");  // white set no clock
  EXPECT_THAT(ClockFrames(alice), IsEmpty());

  // White's stone gives black the turn back.
  ClickPoint(*white, 6, 6);
  ui.AdvanceClock(3000);
  EXPECT_EQ(black->game.myClock, 54);
  EXPECT_EQ(white->game.peerClock, 57);  // reported again only with black's next stone
}

TEST_F(Clocks, RunningOutIsReportedOnceAndEndsNothing) {
  OpenBoth();
  SetTimer(*black, "1");
  ClickPoint(*black, 7, 7);
  ui.AdvanceClock(5000);
  EXPECT_EQ(black->game.myClock, 0);
  for (GameWindow* window : {black, white}) {
    EXPECT_EQ(LogLines(*window).back(), "Me is out of time");
    EXPECT_EQ(CountLines(*window, "Me is out of time"), 1u);
  }
  // Shown at once, though nothing on the board asks for a paint.
  EXPECT_EQ(Label(*black, kOwnClockLabel), "0");
  EXPECT_EQ(host->StatusOf(bob), "Me is out of time");
  // The game goes on, without clock reports.
  EXPECT_EQ(black->game.myTurn, 1u);
  ClickPoint(*black, 7, 8);
  EXPECT_EQ(white->game.board.at(7, 8), White);
  EXPECT_THAT(ClockFrames(bob), ElementsAre(FrameOf(CmdClock, "1")));
}

TEST_F(Clocks, AResultStopsBothClocksUntilTheReset) {
  OpenBoth();
  SetTimer(*black, "100");
  SetTimer(*white, "200");
  PlayThroughChoice();
  // White five in column 0; black answers far away.
  const std::pair<int, int> moves[] = {{0, 0}, {14, 14}, {0, 1}, {14, 11},
                                       {0, 2}, {11, 14}, {0, 3}, {14, 8}};
  for (size_t i = 0; i < std::size(moves); ++i)
    ClickPoint(i % 2 == 0 ? *white : *black, moves[i].first, moves[i].second);
  ui.AdvanceClock(3000);  // white thinks
  ASSERT_EQ(white->game.myClock, 197);
  ClickPoint(*white, 0, 4);
  ASSERT_EQ(LogLines(*black).back(), "WHITE win, 5 in row");
  EXPECT_EQ(black->game.myClock, 0);
  EXPECT_EQ(white->game.myClock, 0);
  EXPECT_EQ(black->game.peerClock, 197);

  // Neither clock runs again, whoever holds the turn.
  ui.AdvanceClock(5000);
  ClickPoint(*black, 2, 12);
  ui.AdvanceClock(5000);
  EXPECT_EQ(black->game.myClock, 0);
  EXPECT_EQ(white->game.myClock, 0);
  for (GameWindow* window : {black, white})
    EXPECT_THAT(LogLines(*window), Not(Contains("Me is out of time")));

  // A reset gives each side its full setting back, and 0 to the peer's label,
  // however long the save question stayed open: the new game's clock starts
  // once it is answered.
  ui.AnswerMessageBox(
      IDNO, [&] { ui.AdvanceClock(12000); }, "Do you want to save the game?");
  ui.AnswerMessageBox(
      IDNO, [&] { ui.AdvanceClock(12000); }, "Do you want to save the game?");
  ASSERT_TRUE(ui.ChooseMenu(*white, kCmdReset));
  EXPECT_EQ(black->game.myClock, 100);
  EXPECT_EQ(white->game.myClock, 200);
  for (GameWindow* window : {black, white}) {
    EXPECT_EQ(window->game.peerClock, 0);
    EXPECT_EQ(Label(*window, kPeerClockLabel), "0");
  }
  EXPECT_EQ(Label(*black, kOwnClockLabel), "100");
}

TEST_F(Clocks, AResetWithoutASettingLeavesTheClockOff) {
  OpenBoth();
  ASSERT_TRUE(ui.ChooseMenu(*black, kCmdReset));
  ClickPoint(*black, 7, 7);
  ui.AdvanceClock(5000);
  EXPECT_EQ(black->game.myClock, 0);
  EXPECT_THAT(ClockFrames(bob), IsEmpty());
  EXPECT_EQ(Label(*black, kOwnClockLabel), "0");
}

// ---- Set Timer answers -----------------------------------------------------

// Each case follows a Set Timer of 30 on the black window.
struct AnswerCase {
  const char* name;
  std::string answer;
  int button;
  int32_t setting;   // clockSetting and myClock afterwards
  const char* line;  // the line in both logs; nullptr: none
};
void PrintTo(const AnswerCase& test, std::ostream* out) {
  *out << test.name;
}

class TimerAnswers : public Clocks, public ::testing::WithParamInterface<AnswerCase> {};

TEST_P(TimerAnswers, SetTheOwnClock) {
  const AnswerCase& test = GetParam();
  OpenBoth();
  SetTimer(*black, "30");
  const size_t sentBefore = SentFrames(bob).size();
  SetTimer(*black, test.answer, test.button);

  EXPECT_EQ(black->game.clockSetting, test.setting);
  EXPECT_EQ(black->game.myClock, test.setting);
  std::vector<std::string> expected = {"Me set timer to 30"};
  if (test.line != nullptr) expected.push_back(test.line);
  EXPECT_EQ(LogLines(*black), expected);
  EXPECT_EQ(LogLines(*white), expected);
  EXPECT_EQ(SentFrames(bob).size(), sentBefore + (test.line != nullptr ? 1 : 0));

  // The clock runs, or stays off, from the first stone on.
  ClickPoint(*black, 7, 7);
  ui.AdvanceClock(2000);
  EXPECT_EQ(black->game.myClock, std::max(test.setting - 2, 0));
  EXPECT_EQ(ClockFrames(bob).size(), test.setting != 0 ? 1u : 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Answers, TimerAnswers,
    ::testing::Values(
        AnswerCase{"a number", "60", IDOK, 60, "Me set timer to 60"},
        AnswerCase{"blanks and trailing letters", "  42s", IDOK, 42, "Me set timer to 42"},
        AnswerCase{"a plus sign", "+7", IDOK, 7, "Me set timer to 7"},
        AnswerCase{"a negative number", "-5", IDOK, 0, "Me set timer to 0"},
        AnswerCase{"no number", "abc", IDOK, 0, "Me set timer to 0"},
        AnswerCase{"zero", "0", IDOK, 0, "Me set timer to 0"},
        AnswerCase{"beyond 32 bits", "99999999999", IDOK, INT32_MAX, "Me set timer to 2147483647"},
        AnswerCase{"an empty answer", "", IDOK, 30, nullptr},
        AnswerCase{"cancelled", "60", IDCANCEL, 30, nullptr}));

// ---- The peer's reports ----------------------------------------------------

TEST_F(Clocks, ThePeerLabelShowsWhatCmdClockSays) {
  OpenBoth();
  const std::pair<std::string, int32_t> cases[] = {
      {"59", 59},
      {"-7", -7},
      {" 12x", 12},
      {"abc", 0},
      {"", 0},
      {"99999999999", INT32_MAX},
      {"-99999999999", INT32_MIN},
  };
  for (const auto& [data, seconds] : cases) {
    SCOPED_TRACE(data);
    Deliver(bob, FrameOf(CmdClock, data));
    Settle();
    EXPECT_EQ(black->game.peerClock, seconds);
    EXPECT_EQ(Label(*black, kPeerClockLabel), std::to_string(seconds));
  }
  EXPECT_THAT(LogLines(*black), IsEmpty());
}

}  // namespace
}  // namespace tessaro::testing
