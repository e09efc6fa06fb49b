// The board part of the game window: painting the position from the module's
// bitmaps, turning a click into a point, and simulation mode.
#include "window/game_window.h"

namespace tessaro {

namespace {

// Geometry in client pixels.
inline constexpr int kBoardImageX = 11;
inline constexpr int kBoardImageY = 7;
inline constexpr int kBoardImageSize = 259;  // of the 260 x 260 image
inline constexpr int kPitch = 17;
inline constexpr int kStoneOriginX = 12;  // top-left of the image of point (0, 0)
inline constexpr int kStoneOriginY = 8;
inline constexpr int kStoneSize = 15;

// Bitmap resources.
inline constexpr UINT kBoardBitmap = 156;
inline constexpr UINT kBlackStone = 157;
inline constexpr UINT kWhiteStone = 158;
inline constexpr UINT kForbiddenMarkImage = 163;
inline constexpr UINT kProposalStone = 164;
inline constexpr UINT kLastBlack = 165;
inline constexpr UINT kLastWhite = 166;
inline constexpr UINT kSimWhiteStone = 167;
inline constexpr UINT kLastSimWhite = 168;

// Marks are drawn once the opening is under way; before that the reset filler
// would cover the whole board.
inline constexpr size_t kMarksDrawnAfter = 3;

void DrawCell(CDC& dc, UINT bitmap, int x, int y) {
  dc.DrawBitmap(bitmap, kStoneOriginX + kPitch * x, kStoneOriginY + kPitch * y, kStoneSize,
                kStoneSize);
}

}  // namespace

void GameWindow::DrawBoard() {
  if (m_hWnd == nullptr) return;
  CPaintDC dc(this);
  dc.DrawBitmap(kBoardBitmap, kBoardImageX, kBoardImageY, kBoardImageSize, kBoardImageSize);

  const UINT icon = myColor == Black   ? kBlackIconId
                    : myColor == White ? kWhiteIconId
                                       : kNoSideIconId;
  hIcon = ::LoadIcon(icon);
  SetIcon(hIcon, FALSE);

  const Board& shown = CurrentBoard();
  const MoveList& moves = CurrentMoveList();
  for (int x = 0; x < kBoardSize; ++x) {
    for (int y = 0; y < kBoardSize; ++y) {
      switch (shown.at(x, y)) {
        case Black:
          DrawCell(dc, kBlackStone, x, y);
          break;
        case White:
          DrawCell(dc, simulationMode ? kSimWhiteStone : kWhiteStone, x, y);
          break;
        case Proposal:
          DrawCell(dc, kProposalStone, x, y);
          break;
        case ForbiddenMark:
          if (moves.size() > kMarksDrawnAfter) DrawCell(dc, kForbiddenMarkImage, x, y);
          break;
        default:
          break;
      }
    }
  }

  if (!moves.empty() && OnBoard(moves.back().x, moves.back().y)) {
    const Move& last = moves.back();
    if (last.value == Black) DrawCell(dc, kLastBlack, last.x, last.y);
    if (last.value == White) {
      DrawCell(dc, simulationMode ? kLastSimWhite : kLastWhite, last.x, last.y);
    }
  }
}

void GameWindow::OnLButtonDown(UINT nFlags, CPoint point) {
  (void)nFlags;
  // Truncating division: clicks a few pixels left of or above the first
  // column or row still land on it.
  const int x = (point.x - kStoneOriginX) / kPitch;
  const int y = (point.y - kStoneOriginY) / kPitch;
  if (simulationMode && OnBoard(x, y)) {
    SimulationClick(x, y);
    return;
  }
  LocalMove(x, y);
}

void GameWindow::SimulationClick(int x, int y) {
  const uint32_t colour =
      !simMoveList.empty() && simMoveList.back().value == Black ? uint32_t{White} : uint32_t{Black};
  uint32_t& cell = simBoard.at(x, y);
  if (cell == ForbiddenMark) cell = Empty;
  if (cell != Empty) return;
  cell = colour;
  simMoveList.push_back(Move{static_cast<int16_t>(x), static_cast<int16_t>(y), colour});
  RefreshMarks();
  Invalidate(TRUE);
}

void GameWindow::OnKeyDown(UINT nChar, UINT nRepCnt, UINT nFlags) {
  (void)nRepCnt;
  (void)nFlags;
  if (nChar != VK_SPACE) return;
  simulationMode = simulationMode ? 0 : 1;
  if (simulationMode) CopyToSimulation();
  if (m_hWnd != nullptr) Invalidate(TRUE);
  // A real key goes on to the default handling; the "&sim" button comes here
  // from a command, which has none.
  const Platform* platform = Platform::Current();
  const MSG* message = platform != nullptr ? platform->CurrentMessage() : nullptr;
  if (message != nullptr && message->message == WM_KEYDOWN) Default();
}

void GameWindow::OnSim() {
  OnKeyDown(VK_SPACE, 0, 0);
}

}  // namespace tessaro
