// The board view: what the window's pixels show for a position, which point a
// click selects, and simulation mode. Expected pixels come from the module's
// own bitmaps, read through the framework's resource module.
#include <gtest/gtest.h>

#include <ostream>

#include "two_players.h"

namespace tessaro::testing {
namespace {

// Bitmap resources of the view.
constexpr UINT kBoardImage = 156;
constexpr UINT kBlackImage = 157;
constexpr UINT kWhiteImage = 158;
constexpr UINT kMarkImage = 163;
constexpr UINT kProposalImage = 164;
constexpr UINT kLastBlackImage = 165;
constexpr UINT kLastWhiteImage = 166;
constexpr UINT kSimWhiteImage = 167;
constexpr UINT kLastSimWhiteImage = 168;
constexpr UINT kNothing = 0;  // the board image shows through

// Top-left client pixel of a point's 15 x 15 image, and its grid crossing.
constexpr int ImageLeft(int x) {
  return 12 + 17 * x;
}
constexpr int ImageTop(int y) {
  return 8 + 17 * y;
}
constexpr int CrossingX(int x) {
  return 19 + 17 * x;
}
constexpr int CrossingY(int y) {
  return 15 + 17 * y;
}

class BoardView : public TwoPlayers {
 protected:
  const Image& Bitmap(UINT id) {
    const Image* image = ui.platform().GetResourceModule()->FindBitmap(id);
    EXPECT_NE(image, nullptr) << "bitmap " << id;
    static const Image kNone;
    return image != nullptr ? *image : kNone;
  }

  // The 15 x 15 pixels of point (x, y) are those of the bitmap, or, for
  // kNothing, those of the board image at that place.
  ::testing::AssertionResult PointShows(const GameWindow& window, int x, int y, UINT bitmap) {
    const Image shot = ui.Snapshot(window);
    const Image& expected = Bitmap(bitmap == kNothing ? kBoardImage : bitmap);
    // The board image is drawn at (11, 7).
    const int fromX = bitmap == kNothing ? ImageLeft(x) - 11 : 0;
    const int fromY = bitmap == kNothing ? ImageTop(y) - 7 : 0;
    for (int dy = 0; dy < 15; ++dy) {
      for (int dx = 0; dx < 15; ++dx) {
        const int px = ImageLeft(x) + dx, py = ImageTop(y) + dy;
        if (!shot.Contains(px, py) || !expected.Contains(fromX + dx, fromY + dy)) {
          return ::testing::AssertionFailure() << "pixel (" << px << ", " << py << ") missing";
        }
        const uint32_t seen = shot.At(px, py) | kOpaque;
        const uint32_t want = expected.At(fromX + dx, fromY + dy) | kOpaque;
        if (seen != want) {
          return ::testing::AssertionFailure()
                 << "point (" << x << ", " << y << ") pixel (" << dx << ", " << dy << ") is "
                 << std::hex << seen << ", image " << std::dec << bitmap << " has " << std::hex
                 << want;
        }
      }
    }
    return ::testing::AssertionSuccess();
  }

  COLORREF CrossingPixel(const GameWindow& window, int x, int y) {
    return ui.Pixel(window, CrossingX(x), CrossingY(y));
  }

  void Repaint(GameWindow& window) {
    window.Invalidate(TRUE);
    Settle();
  }

  // A game window on its own with an empty game, shown and painted.
  GameWindow& Alone() {
    app->OpenGameWindow(bob);
    Settle();
    return WindowFor(bob);
  }

 public:
  // The two ways to switch simulation mode.
  bool SwitchBySpace(GameWindow& window) { return ui.Focus(window) && ui.KeyDown(VK_SPACE); }
  bool SwitchByButton(GameWindow& window) { return ui.PressButton(window, kSimButton); }
};

// ---- Drawing ----

TEST_F(BoardView, PaletteOfTheImages) {
  // The colours the images are described with, at each image's centre.
  struct Case {
    UINT bitmap;
    uint32_t centre;
  };
  const Case cases[] = {
      {kBlackImage, Argb(0, 0, 0)},        {kWhiteImage, Argb(255, 255, 255)},
      {kSimWhiteImage, Argb(255, 255, 0)}, {kProposalImage, Argb(0, 128, 0)},
      {kMarkImage, Argb(255, 0, 0)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.bitmap);
    const Image& image = Bitmap(c.bitmap);
    ASSERT_EQ(image.width, 15);
    ASSERT_EQ(image.height, 15);
    EXPECT_EQ(image.At(7, 7) | kOpaque, c.centre);
  }
  EXPECT_EQ(Bitmap(kBoardImage).width, 260);
  EXPECT_EQ(Bitmap(kBoardImage).At(4, 4) | kOpaque, Argb(128, 128, 128));
}

TEST_F(BoardView, StonesAreCentredOnTheirCrossings) {
  OpenBoth();
  ClickPoint(*black, 7, 7);
  ClickPoint(*black, 0, 14);  // black's second stone is a white one
  ui.AnswerMessageBox(IDNO, {}, "Do you want to play as BLACK?");
  for (GameWindow* window : {black, white}) {
    SCOPED_TRACE(window->game.peerName);
    EXPECT_TRUE(PointShows(*window, 7, 7, kBlackImage));
    EXPECT_TRUE(PointShows(*window, 0, 14, kLastWhiteImage));
    EXPECT_EQ(CrossingPixel(*window, 7, 7), RGB(0, 0, 0));
    EXPECT_EQ(CrossingPixel(*window, 0, 14), RGB(255, 255, 255));
    EXPECT_TRUE(PointShows(*window, 8, 7, kNothing));
    EXPECT_TRUE(PointShows(*window, 14, 0, kNothing));
    // Right of the last column and below the last row lies the board image.
    const Image shot = ui.Snapshot(*window);
    const Image& board = Bitmap(kBoardImage);
    for (int y = 7; y < 7 + 259; y += 37) {
      EXPECT_EQ(shot.At(11 + 258, y) | kOpaque, board.At(258, y - 7) | kOpaque) << y;
    }
  }
  ClickPoint(*black, 8, 8);
  EXPECT_TRUE(PointShows(*black, 8, 8, kLastBlackImage));
  EXPECT_TRUE(PointShows(*black, 0, 14, kWhiteImage));
}

struct CellCase {
  const char* name;
  uint32_t cell;
  size_t records;
  bool simulation;
  UINT shows;
};
void PrintTo(const CellCase& c, std::ostream* os) {
  *os << c.name;
}

class CellDrawing : public BoardView, public ::testing::WithParamInterface<CellCase> {};

TEST_P(CellDrawing, ShowsTheImageOfTheCell) {
  const CellCase& c = GetParam();
  GameWindow& window = Alone();
  Board position;
  position.at(3, 4) = c.cell;
  // Removal records at a far corner: they count but highlight nothing.
  const MoveList moves(c.records, Move{14, 14, Empty});
  window.game.board = position;
  window.game.moveList = moves;
  window.game.simBoard = c.simulation ? position : Board{};
  window.game.simMoveList = c.simulation ? moves : MoveList{};
  window.game.simulationMode = c.simulation ? 1 : 0;
  Repaint(window);
  EXPECT_TRUE(PointShows(window, 3, 4, c.shows));
  EXPECT_TRUE(PointShows(window, 14, 14, kNothing));
}

INSTANTIATE_TEST_SUITE_P(
    Cells, CellDrawing,
    ::testing::Values(CellCase{"Empty", Empty, 5, false, kNothing},
                      CellCase{"Black", Black, 0, false, kBlackImage},
                      CellCase{"White", White, 0, false, kWhiteImage},
                      CellCase{"WhiteInSimulation", White, 0, true, kSimWhiteImage},
                      CellCase{"BlackInSimulation", Black, 0, true, kBlackImage},
                      CellCase{"Proposal", Proposal, 5, false, kProposalImage},
                      CellCase{"MarkWithNoRecords", ForbiddenMark, 0, false, kNothing},
                      CellCase{"MarkWithThreeRecords", ForbiddenMark, 3, false, kNothing},
                      CellCase{"MarkWithFourRecords", ForbiddenMark, 4, false, kMarkImage},
                      CellCase{"MarkWithManyRecords", ForbiddenMark, 40, false, kMarkImage},
                      CellCase{"MarkInSimulation", ForbiddenMark, 4, true, kMarkImage},
                      CellCase{"UnknownValue", 7, 5, false, kNothing},
                      CellCase{"LargeValue", 0xFFFFFFFF, 5, false, kNothing}),
    [](const ::testing::TestParamInfo<CellCase>& param) { return param.param.name; });

struct LastMoveCase {
  const char* name;
  uint32_t value;
  bool simulation;
  UINT shows;
};
void PrintTo(const LastMoveCase& c, std::ostream* os) {
  *os << c.name;
}

class LastMove : public BoardView, public ::testing::WithParamInterface<LastMoveCase> {};

TEST_P(LastMove, HighlightsOnlyStones) {
  const LastMoveCase& c = GetParam();
  GameWindow& window = Alone();
  Board position;
  position.at(2, 2) = Black;
  position.at(5, 6) = c.value;
  const MoveList moves{{2, 2, Black}, {5, 6, c.value}};
  window.game.board = position;
  window.game.moveList = moves;
  window.game.simBoard = position;
  window.game.simMoveList = moves;
  window.game.simulationMode = c.simulation ? 1 : 0;
  Repaint(window);
  EXPECT_TRUE(PointShows(window, 5, 6, c.shows));
  EXPECT_TRUE(PointShows(window, 2, 2, kBlackImage));  // only the last record
}

INSTANTIATE_TEST_SUITE_P(
    Values, LastMove,
    ::testing::Values(LastMoveCase{"Black", Black, false, kLastBlackImage},
                      LastMoveCase{"BlackInSimulation", Black, true, kLastBlackImage},
                      LastMoveCase{"White", White, false, kLastWhiteImage},
                      LastMoveCase{"WhiteInSimulation", White, true, kLastSimWhiteImage},
                      LastMoveCase{"Proposal", Proposal, false, kProposalImage},
                      LastMoveCase{"Removal", Empty, false, kNothing}),
    [](const ::testing::TestParamInfo<LastMoveCase>& param) { return param.param.name; });

TEST_F(BoardView, LastRecordOffTheBoardHighlightsNothing) {
  GameWindow& window = Alone();
  window.game.moveList = MoveList{{7, 7, Black}, {15, 3, Black}, {-1, 0, White}};
  window.game.board.at(7, 7) = Black;
  Repaint(window);
  EXPECT_TRUE(PointShows(window, 7, 7, kBlackImage));
}

// ---- Repainting only what changed ----

// A change repaints only the points whose image changed (the new stone, the
// ring leaving the previous stone, marks coming and going). After every step
// of a game each window must look exactly as a repaint of the whole window
// makes it look.
TEST_F(BoardView, RepaintingOnlyTheChangedPointsLooksLikeAFullRepaint) {
  enum class Act { Click, Space, Reset };
  struct Step {
    bool byBlack;
    Act act;
    int x, y;
  };
  constexpr bool kBlack = true, kWhite = false;
  // After the opening white has the turn. Black's (10,2), (11,2), (12,3) and
  // (12,4) make (12,2) a double three: a mark comes, goes with the take-back
  // of (12,4) and comes again; the simulation shows its own white stones.
  const Step steps[] = {
      {kWhite, Act::Click, 0, 0},  {kBlack, Act::Click, 10, 2},  {kWhite, Act::Click, 0, 14},
      {kBlack, Act::Click, 11, 2}, {kWhite, Act::Click, 14, 14}, {kBlack, Act::Click, 12, 3},
      {kWhite, Act::Click, 1, 13}, {kBlack, Act::Click, 12, 4},  {kBlack, Act::Click, 12, 4},
      {kBlack, Act::Click, 12, 4}, {kWhite, Act::Click, 2, 12},  {kBlack, Act::Space, 0, 0},
      {kBlack, Act::Click, 3, 3},  {kBlack, Act::Click, 12, 2},  {kWhite, Act::Click, 4, 4},
      {kBlack, Act::Space, 0, 0},  {kBlack, Act::Click, 5, 5},   {kWhite, Act::Reset, 0, 0},
      {kBlack, Act::Click, 7, 7},  {kBlack, Act::Click, 8, 7},
  };
  OpenBoth();
  PlayThroughChoice();
  int marksSeen = 0;
  for (size_t i = 0; i < std::size(steps); ++i) {
    const Step& step = steps[i];
    SCOPED_TRACE(::testing::Message() << "step " << i);
    GameWindow& window = step.byBlack ? *black : *white;
    switch (step.act) {
      case Act::Click:
        ClickPoint(window, step.x, step.y);
        break;
      case Act::Space:
        ASSERT_TRUE(SwitchBySpace(window));
        Settle();
        break;
      case Act::Reset:
        ui.AnswerMessageBox(IDNO, {}, "Do you want to save the game?");
        ui.AnswerMessageBox(IDNO, {}, "Do you want to save the game?");
        ASSERT_TRUE(ui.ChooseMenu(window, kCmdReset));
        Settle();
        break;
    }
    marksSeen += black->game.board.at(12, 2) == ForbiddenMark;
    for (GameWindow* shown : {black, white}) {
      SCOPED_TRACE(shown->game.peerName);
      const Image partly = ui.Snapshot(*shown);
      Repaint(*shown);
      const Image whole = ui.Snapshot(*shown);
      ASSERT_EQ(partly.width, whole.width);
      ASSERT_EQ(partly.height, whole.height);
      size_t differ = 0;
      for (size_t k = 0; k < whole.pixels.size(); ++k)
        differ += partly.pixels[k] != whole.pixels[k];
      EXPECT_EQ(differ, 0u);
    }
  }
  EXPECT_GE(marksSeen, 2);  // the mark came and went
  EXPECT_EQ(black->game.moveList.size(), 2u);
}

// Both boards frame the stones of the row that won in red, drawn with the
// stone that completes it as a repaint of the whole board draws them.
TEST_F(BoardView, TheWinningRowIsFramedOnBothBoards) {
  OpenBoth();
  PlayThroughChoice();
  // White's five in column 0; black answers far away.
  const std::pair<int, int> moves[] = {{0, 0},   {14, 14}, {0, 1},  {14, 11}, {0, 2},
                                       {11, 14}, {0, 3},   {14, 8}, {0, 4}};
  for (size_t i = 0; i < std::size(moves); ++i)
    ClickPoint(i % 2 == 0 ? *white : *black, moves[i].first, moves[i].second);
  ASSERT_EQ(white->game.gameResult, "WHITE win, 5 in row");
  constexpr COLORREF kRed = RGB(220, 0, 0);
  for (GameWindow* window : {black, white}) {
    SCOPED_TRACE(window->game.peerName);
    for (int y = 0; y < 5; ++y)
      EXPECT_EQ(ui.Pixel(*window, 12, 8 + 17 * y), kRed) << "0," << y;
    EXPECT_NE(ui.Pixel(*window, 12 + 17 * 14, 8 + 17 * 14), kRed) << "a stone outside the row";
    const Image partly = ui.Snapshot(*window);
    Repaint(*window);
    EXPECT_TRUE(partly.pixels == ui.Snapshot(*window).pixels);
  }
}

// The View options: each stone numbered in the order the stones came (the
// chosen proposal is the fifth, its removed twin counts for nothing), and a
// mark on the last stone that stays when a removal record follows it. Both
// are drawn as a repaint of the whole board draws them, and are kept in the
// profile for the windows of the next run.
TEST_F(BoardView, ViewOptionsNumberTheStonesAndMarkTheLastOne) {
  OpenBoth();
  PlayThroughChoice();  // the last record removes the proposal at (6, 9)
  ASSERT_EQ(black->game.moveList.back().value, static_cast<uint32_t>(Empty));
  EXPECT_TRUE(PointShows(*black, 9, 9, kBlackImage));  // the classic look: no mark
  constexpr COLORREF kRed = RGB(220, 0, 0), kWhite = RGB(255, 255, 255), kBlack = RGB(0, 0, 0);
  // The top row of a digit, 5 pixels down and centred; the middle of a stone.
  const auto digitTop = [&](int x, int y, int column) {
    return ui.Pixel(*black, ImageLeft(x) + 6 + column, ImageTop(y) + 5);
  };
  const auto middle = [&](int x, int y) {
    return ui.Pixel(*black, ImageLeft(x) + 7, ImageTop(y) + 7);
  };

  ASSERT_TRUE(ui.ChooseMenu(*black, kCmdLastStoneMarker));
  EXPECT_EQ(middle(9, 9), kRed);
  EXPECT_NE(middle(8, 8), kRed);
  ASSERT_TRUE(ui.ChooseMenu(*black, kCmdMoveNumbers));
  // "5" on the last stone in red, "1" white on black, "2" (black's white
  // opening stone) black on white.
  EXPECT_EQ(digitTop(9, 9, 0), kRed);
  EXPECT_EQ(digitTop(9, 9, 2), kRed);
  EXPECT_EQ(digitTop(7, 7, 1), kWhite);
  EXPECT_NE(digitTop(7, 7, 0), kWhite);
  EXPECT_EQ(digitTop(7, 8, 0), kBlack);
  EXPECT_EQ(black->GetMenu()->GetMenuState(kCmdMoveNumbers, MF_BYCOMMAND) & MF_CHECKED, MF_CHECKED);
  const Image partly = ui.Snapshot(*black);
  Repaint(*black);
  EXPECT_TRUE(partly.pixels == ui.Snapshot(*black).pixels);

  // The next stone takes the mark; the peer's window keeps its own look.
  ClickPoint(*white, 10, 10);
  EXPECT_EQ(digitTop(9, 9, 0), kWhite);
  EXPECT_EQ(ui.Pixel(*black, ImageLeft(10) + 6, ImageTop(10) + 5), kRed);
  EXPECT_TRUE(PointShows(*white, 9, 9, kBlackImage));

  Restart();
  OpenBoth();
  for (GameWindow* window : {black, white}) {
    SCOPED_TRACE(window->game.peerName);
    EXPECT_TRUE(window->showMoveNumbers);
    EXPECT_TRUE(window->showLastStoneMarker);
  }
  ASSERT_TRUE(ui.ChooseMenu(*black, kCmdMoveNumbers));
  ASSERT_TRUE(ui.ChooseMenu(*black, kCmdLastStoneMarker));
  EXPECT_TRUE(PointShows(*black, 9, 9, kBlackImage));
  EXPECT_TRUE(PointShows(*black, 10, 10, kLastWhiteImage));
  EXPECT_EQ(black->GetMenu()->GetMenuState(kCmdMoveNumbers, MF_BYCOMMAND) & MF_CHECKED, 0u);
}

// ---- Click to point ----

TEST_F(BoardView, ClickSelectsThePointUnderIt) {
  GameWindow& window = Alone();
  ASSERT_TRUE(SwitchBySpace(window));
  struct Case {
    CPoint click;
    bool onBoard;
    int x, y;
  };
  const Case cases[] = {
      {{12, 8}, true, 0, 0},      {{0, 0}, true, 0, 0},      {{28, 24}, true, 0, 0},
      {{29, 25}, true, 1, 1},     {{19, 15}, true, 0, 0},    {{148, 8}, true, 8, 0},
      {{266, 262}, true, 14, 14}, {{250, 8}, true, 14, 0},   {{267, 100}, false, 0, 0},
      {{100, 263}, false, 0, 0},  {{267, 263}, false, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << "click at " << c.click.x << ", " << c.click.y);
    ASSERT_TRUE(ui.Click(window, c.click));
    Settle();
    if (c.onBoard) {
      ASSERT_EQ(window.game.simMoveList.size(), 1u);
      EXPECT_EQ(window.game.simMoveList[0],
                (Move{static_cast<int16_t>(c.x), static_cast<int16_t>(c.y), Black}));
      EXPECT_EQ(window.game.simBoard.at(c.x, c.y), Black);
    } else {
      EXPECT_TRUE(window.game.simMoveList.empty());
    }
    // Off and on again: a fresh copy of the empty game.
    ASSERT_TRUE(SwitchBySpace(window));
    ASSERT_TRUE(SwitchBySpace(window));
    ASSERT_TRUE(window.game.simMoveList.empty());
  }
  EXPECT_TRUE(window.game.moveList.empty());
  EXPECT_TRUE(SentFrames(bob).empty());
}

TEST_F(BoardView, RealClicksAtTheEdgesPlayThere) {
  OpenBoth();
  ASSERT_TRUE(ui.Click(*black, CPoint(266, 262)));
  Settle();
  EXPECT_EQ(white->game.board.at(14, 14), Black);
  ASSERT_TRUE(ui.Click(*black, CPoint(267, 100)));  // off the board: nothing
  Settle();
  EXPECT_EQ(black->game.moveList.size(), 1u);
  ASSERT_TRUE(ui.Click(*black, CPoint(0, 0)));
  Settle();
  EXPECT_EQ(white->game.moveList, (MoveList{{14, 14, Black}, {0, 0, White}}));
}

// ---- Simulation ----

struct SwitchCase {
  const char* name;
  bool (BoardView::*flip)(GameWindow&);
};
void PrintTo(const SwitchCase& c, std::ostream* os) {
  *os << c.name;
}

class SimulationSwitch : public BoardView, public ::testing::WithParamInterface<SwitchCase> {
 protected:
  bool Flip(GameWindow& window) { return (this->*GetParam().flip)(window); }
};

TEST_P(SimulationSwitch, TriesMovesOnACopyAndReturnsTwice) {
  OpenBoth();
  ClickPoint(*black, 7, 7);
  const Board realBoard = black->game.board;

  ASSERT_TRUE(Flip(*black));
  EXPECT_EQ(black->game.simulationMode, 1u);
  EXPECT_EQ(black->game.simBoard, black->game.board);
  EXPECT_EQ(black->game.simMoveList, black->game.moveList);

  // Black's stone was last, so the simulation goes on with white.
  ClickPoint(*black, 3, 3);
  ClickPoint(*black, 4, 3);
  EXPECT_EQ(black->game.simBoard.at(3, 3), White);
  EXPECT_EQ(black->game.simBoard.at(4, 3), Black);
  EXPECT_TRUE(PointShows(*black, 3, 3, kSimWhiteImage));
  EXPECT_TRUE(PointShows(*black, 4, 3, kLastBlackImage));
  EXPECT_TRUE(PointShows(*black, 7, 7, kBlackImage));

  ASSERT_TRUE(Flip(*black));
  EXPECT_EQ(black->game.simulationMode, 0u);
  EXPECT_EQ(black->game.board, realBoard);
  EXPECT_EQ(black->game.simBoard.at(3, 3), White);  // kept, but not shown
  EXPECT_TRUE(PointShows(*black, 3, 3, kNothing));
  EXPECT_TRUE(PointShows(*black, 4, 3, kNothing));
  EXPECT_TRUE(PointShows(*black, 7, 7, kLastBlackImage));

  ASSERT_TRUE(Flip(*black));  // starts again from the real position
  EXPECT_EQ(black->game.simBoard, black->game.board);
  EXPECT_EQ(black->game.simMoveList, black->game.moveList);
  EXPECT_TRUE(PointShows(*black, 3, 3, kNothing));
}

INSTANTIATE_TEST_SUITE_P(BothSwitches, SimulationSwitch,
                         ::testing::Values(SwitchCase{"Space", &BoardView::SwitchBySpace},
                                           SwitchCase{"SimButton", &BoardView::SwitchByButton}),
                         [](const ::testing::TestParamInfo<SwitchCase>& param) {
                           return param.param.name;
                         });

TEST_F(BoardView, SpaceAndButtonFlipTheSameSwitch) {
  GameWindow& window = Alone();
  ASSERT_TRUE(SwitchBySpace(window));
  EXPECT_EQ(window.game.simulationMode, 1u);
  ASSERT_TRUE(SwitchByButton(window));
  EXPECT_EQ(window.game.simulationMode, 0u);
  ASSERT_TRUE(SwitchByButton(window));
  EXPECT_EQ(window.game.simulationMode, 1u);
  ASSERT_TRUE(SwitchBySpace(window));
  EXPECT_EQ(window.game.simulationMode, 0u);
  // Other keys do nothing.
  ASSERT_TRUE(ui.Focus(window));
  ASSERT_TRUE(ui.KeyDown('A'));
  EXPECT_EQ(window.game.simulationMode, 0u);
}

TEST_F(BoardView, SimulatedClicksOnOccupiedAndMarkedPoints) {
  OpenBoth();
  ASSERT_TRUE(SwitchBySpace(*black));  // an empty game: every point but the centre marked
  ASSERT_EQ(black->game.simBoard.at(0, 0), ForbiddenMark);
  ClickPoint(*black, 0, 0);
  EXPECT_EQ(black->game.simBoard.at(0, 0), Black);
  EXPECT_EQ(black->game.simMoveList, (MoveList{{0, 0, Black}}));

  ClickPoint(*black, 0, 0);  // occupied: nothing changes
  EXPECT_EQ(black->game.simBoard.at(0, 0), Black);
  EXPECT_EQ(black->game.simMoveList.size(), 1u);

  ClickPoint(*black, 7, 7);
  EXPECT_EQ(black->game.simBoard.at(7, 7), White);
  const MoveList before = black->game.simMoveList;
  ClickPoint(*black, 7, 7);
  EXPECT_EQ(black->game.simMoveList, before);
  EXPECT_TRUE(PointShows(*black, 7, 7, kLastSimWhiteImage));
}

TEST_F(BoardView, SimulationColourFollowsTheLastRecord) {
  GameWindow& window = Alone();
  struct Case {
    const char* name;
    MoveList moves;
    uint32_t next;
  };
  const Case cases[] = {
      {"empty game", {}, Black},
      {"after black", {{7, 7, Black}}, White},
      {"after white", {{7, 7, Black}, {7, 8, White}}, Black},
      {"after a proposal", {{7, 7, Black}, {9, 9, Proposal}}, Black},
      {"after a removal", {{7, 7, Black}, {9, 9, Empty}}, Black},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    window.game.moveList = c.moves;
    Replay(window.game.board, c.moves);
    ASSERT_TRUE(SwitchBySpace(window));
    ClickPoint(window, 12, 12);
    EXPECT_EQ(window.game.simBoard.at(12, 12), c.next);
    ASSERT_TRUE(SwitchBySpace(window));
  }
}

TEST_F(BoardView, SimulationNeverReachesThePeer) {
  OpenBoth();
  ClickPoint(*black, 7, 7);
  ClickPoint(*black, 7, 8);
  const auto sentBefore = SentFrames(bob);
  const MoveList peerMoves = white->game.moveList;
  const Board peerBoard = white->game.board;
  const uint32_t turn = black->game.myTurn;

  ASSERT_TRUE(SwitchBySpace(*black));
  for (int x = 0; x < 5; ++x)
    ClickPoint(*black, x, 2);
  EXPECT_EQ(black->game.simMoveList.size(), 7u);
  ASSERT_TRUE(SwitchBySpace(*black));

  EXPECT_EQ(SentFrames(bob), sentBefore);
  EXPECT_EQ(white->game.moveList, peerMoves);
  EXPECT_EQ(white->game.board, peerBoard);
  EXPECT_EQ(black->game.moveList.size(), 2u);
  EXPECT_EQ(black->game.myTurn, turn);
}

TEST_F(BoardView, PeerStonesDuringASimulationWaitUnseen) {
  OpenBoth();
  ClickPoint(*black, 7, 7);
  ASSERT_TRUE(SwitchBySpace(*white));
  ClickPoint(*black, 7, 8);
  EXPECT_EQ(white->game.board.at(7, 8), White);  // the game has it
  EXPECT_TRUE(PointShows(*white, 7, 8, kNothing));
  ASSERT_TRUE(SwitchBySpace(*white));
  EXPECT_TRUE(PointShows(*white, 7, 8, kLastWhiteImage));
}

}  // namespace
}  // namespace tessaro::testing
