// The board part of the game window: painting the position from the module's
// bitmaps, turning a click into a point, and simulation mode.
#include <vector>

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

// A cell image with this bit is the stone's image framed in red: a stone of
// the row that won.
inline constexpr UINT kWinningFrame = 0x10000;
inline constexpr COLORREF kWinningColour = RGB(220, 0, 0);

// Beyond this many changed points one rectangle over the whole board is
// cheaper to keep than a region of single points.
inline constexpr int kMostSinglePoints = 32;

// The client pixels of the image of point (x, y).
CRect CellRect(int x, int y) {
  const int left = kStoneOriginX + kPitch * x;
  const int top = kStoneOriginY + kPitch * y;
  return CRect(left, top, left + kStoneSize, top + kStoneSize);
}

}  // namespace

UINT GameWindow::CellImage(int x, int y) const {
  const UINT image = StoneImage(x, y);
  return image != 0 && winningCells[static_cast<size_t>(CellIndex(x, y))] ? image | kWinningFrame
                                                                          : image;
}

void GameWindow::FindWinningRow() {
  winningCells.reset();
  if (game.simulationMode) return;
  for (const int cell : game.WinningRow())
    winningCells.set(static_cast<size_t>(cell));
}

UINT GameWindow::StoneImage(int x, int y) const {
  const bool simulationMode = game.simulationMode != 0;
  const Board& shown = simulationMode ? game.simBoard : game.board;
  const MoveList& moves = simulationMode ? game.simMoveList : game.moveList;
  // The last stone wears a ring, whatever its cell holds by now.
  if (!moves.empty() && moves.back().x == x && moves.back().y == y) {
    if (moves.back().value == Black) return kLastBlack;
    if (moves.back().value == White) return simulationMode ? kLastSimWhite : kLastWhite;
  }
  switch (shown.at(x, y)) {
    case Black:
      return kBlackStone;
    case White:
      return simulationMode ? kSimWhiteStone : kWhiteStone;
    case Proposal:
      return kProposalStone;
    case ForbiddenMark:
      return moves.size() > kMarksDrawnAfter ? kForbiddenMarkImage : 0;
    default:
      return 0;
  }
}

void GameWindow::InvalidateBoard() {
  if (m_hWnd == nullptr) return;
  FindWinningRow();
  std::vector<CRect> changed;
  for (int x = 0; x < kBoardSize; ++x) {
    for (int y = 0; y < kBoardSize; ++y) {
      if (CellImage(x, y) != paintedCells[static_cast<size_t>(CellIndex(x, y))])
        changed.push_back(CellRect(x, y));
    }
  }
  if (changed.size() > static_cast<size_t>(kMostSinglePoints)) {
    const CRect whole(kBoardImageX, kBoardImageY, kBoardImageX + kBoardImageSize,
                      kBoardImageY + kBoardImageSize);
    InvalidateRect(&whole, TRUE);
    return;
  }
  for (const CRect& cell : changed)
    InvalidateRect(&cell, TRUE);
}

void GameWindow::DrawBoard() {
  if (m_hWnd == nullptr) return;
  CPaintDC dc(this);
  FindWinningRow();
  // Drawing is clipped to what is invalid: a few points after a move.
  dc.DrawBitmap(kBoardBitmap, kBoardImageX, kBoardImageY, kBoardImageSize, kBoardImageSize);

  const UINT icon = game.myColor == Black   ? kBlackIconId
                    : game.myColor == White ? kWhiteIconId
                                            : kNoSideIconId;
  hIcon = ::LoadIcon(icon);
  SetIcon(hIcon, FALSE);

  for (int x = 0; x < kBoardSize; ++x) {
    for (int y = 0; y < kBoardSize; ++y) {
      const CRect cell = CellRect(x, y);
      if (!dc.RectVisible(&cell)) continue;
      const UINT image = CellImage(x, y);
      if (image != 0) {
        dc.DrawBitmap(image & ~kWinningFrame, cell.left, cell.top, kStoneSize, kStoneSize);
      }
      if (image & kWinningFrame) {
        dc.FillSolidRect(cell.left, cell.top, kStoneSize, 1, kWinningColour);
        dc.FillSolidRect(cell.left, cell.bottom - 1, kStoneSize, 1, kWinningColour);
        dc.FillSolidRect(cell.left, cell.top, 1, kStoneSize, kWinningColour);
        dc.FillSolidRect(cell.right - 1, cell.top, 1, kStoneSize, kWinningColour);
      }
      // A point painted in part shows a mix of old and new: it is painted
      // again at the next change whatever its image then.
      paintedCells[static_cast<size_t>(CellIndex(x, y))] =
          dc.RectWhollyVisible(&cell) ? image : kCellNotPainted;
    }
  }
}

void GameWindow::OnLButtonDown(UINT nFlags, CPoint point) {
  (void)nFlags;
  // Truncating division: clicks a few pixels left of or above the first
  // column or row still land on it.
  const int x = (point.x - kStoneOriginX) / kPitch;
  const int y = (point.y - kStoneOriginY) / kPitch;
  if (game.simulationMode && OnBoard(x, y)) {
    game.SimulationMove(x, y);
    return;
  }
  game.LocalMove(x, y);
}

void GameWindow::OnKeyDown(UINT nChar, UINT nRepCnt, UINT nFlags) {
  (void)nRepCnt;
  (void)nFlags;
  if (nChar != VK_SPACE) return;
  game.ToggleSimulation();
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
