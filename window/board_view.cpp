// The board part of the game window: painting the position from the module's
// bitmaps, turning a click into a point, and simulation mode.
#include <string>
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

// The View options ride in a cell's image value above the bitmap and the
// frame, so that a point whose number or mark changed is painted again: the
// stone's number (0: none) and the last-stone mark.
inline constexpr UINT kNumberShift = 17;
inline constexpr UINT kNumberBits = 0xFFu << kNumberShift;  // a board holds 225 stones at most
inline constexpr UINT kLastStoneMark = 1u << 25;
inline constexpr UINT kBitmapBits = 0xFFFFu;
inline constexpr COLORREF kMarkColour = RGB(220, 0, 0);

// The View options as the profile keeps them: a letter each.
inline constexpr char kViewSetting[] = "View";
inline constexpr char kNumbersLetter = 'n';
inline constexpr char kMarkerLetter = 'm';

// Digits 3 pixels wide and 5 high, row by row, the top bit of each row's three
// the leftmost pixel: "225" fits a stone of 15 pixels with a pixel between digits.
inline constexpr uint8_t kDigitRows[10][5] = {
    {7, 5, 5, 5, 7}, {2, 6, 2, 2, 7}, {7, 1, 7, 4, 7}, {7, 1, 7, 1, 7}, {5, 5, 7, 1, 1},
    {7, 4, 7, 1, 7}, {7, 4, 7, 5, 7}, {7, 1, 1, 1, 1}, {7, 5, 7, 5, 7}, {7, 5, 7, 1, 7},
};
inline constexpr int kDigitWidth = 3;
inline constexpr int kDigitHeight = 5;

// A small red diamond, 5 pixels across, in the middle of the last stone.
inline constexpr uint8_t kMarkRows[5] = {0x04, 0x0E, 0x1F, 0x0E, 0x04};

// Beyond this many changed points one rectangle over the whole board is
// cheaper to keep than a region of single points.
inline constexpr int kMostSinglePoints = 32;

// The client pixels of the image of point (x, y).
CRect CellRect(int x, int y) {
  const int left = kStoneOriginX + kPitch * x;
  const int top = kStoneOriginY + kPitch * y;
  return CRect(left, top, left + kStoneSize, top + kStoneSize);
}

void DrawNumber(CDC& dc, const CRect& cell, unsigned number, COLORREF colour) {
  const std::string digits = std::to_string(number);
  const int width = static_cast<int>(digits.size()) * (kDigitWidth + 1) - 1;
  int left = cell.left + (kStoneSize - width) / 2;
  const int top = cell.top + (kStoneSize - kDigitHeight) / 2;
  for (const char digit : digits) {
    for (int row = 0; row < kDigitHeight; ++row) {
      const uint8_t bits = kDigitRows[digit - '0'][row];
      for (int column = 0; column < kDigitWidth; ++column) {
        if (bits & (4 >> column)) dc.FillSolidRect(left + column, top + row, 1, 1, colour);
      }
    }
    left += kDigitWidth + 1;
  }
}

void DrawLastStoneMark(CDC& dc, const CRect& cell) {
  const int middle = kStoneSize / 2;
  for (int row = 0; row < 5; ++row) {
    for (int column = 0; column < 5; ++column) {
      if (kMarkRows[row] & (0x10 >> column)) {
        dc.FillSolidRect(cell.left + middle - 2 + column, cell.top + middle - 2 + row, 1, 1,
                         kMarkColour);
      }
    }
  }
}

}  // namespace

UINT GameWindow::CellImage(int x, int y) const {
  UINT image = StoneImage(x, y);
  if (image == 0) return 0;
  if (winningCells[static_cast<size_t>(CellIndex(x, y))]) image |= kWinningFrame;
  if (!showMoveNumbers && !showLastStoneMarker) return image;
  // A stone's number counts the stones placed up to it, so the fifth-move
  // proposals and their removal leave the chosen one the fifth; the last
  // stone is the last one placed that is still there, a removal record after
  // it or not.
  const Board& shown = game.simulationMode ? game.simBoard : game.board;
  const MoveList& moves = game.simulationMode ? game.simMoveList : game.moveList;
  const uint32_t cell = shown.at(x, y);
  if (cell != Black && cell != White) return image;
  unsigned stones = 0, number = 0;
  bool last = false;
  for (const Move& move : moves) {
    if (move.value != Black && move.value != White) continue;
    ++stones;
    const bool here = move.x == x && move.y == y;
    if (here) number = stones;
    if (shown.read(move.x, move.y) == move.value) last = here;
  }
  if (number == 0) return image;
  if (showLastStoneMarker && last) {
    // The mark stands in for the grey corners of the classic last stone.
    if (image & kBitmapBits) {
      const UINT bitmap = image & kBitmapBits;
      const UINT plain = bitmap == kLastBlack      ? kBlackStone
                         : bitmap == kLastWhite    ? kWhiteStone
                         : bitmap == kLastSimWhite ? kSimWhiteStone
                                                   : bitmap;
      image = (image & ~kBitmapBits) | plain;
    }
    image |= kLastStoneMark;
  }
  if (showMoveNumbers) image |= (number & 0xFFu) << kNumberShift;
  return image;
}

void GameWindow::LoadViewOptions() {
  const std::optional<std::string> kept =
      host != nullptr ? host->ReadKept(nullptr, kViewSetting) : std::nullopt;
  if (!kept) return;
  SetViewOption(kCmdMoveNumbers, kept->find(kNumbersLetter) != std::string::npos);
  SetViewOption(kCmdLastStoneMarker, kept->find(kMarkerLetter) != std::string::npos);
}

void GameWindow::SetViewOption(UINT command, bool on) {
  (command == kCmdMoveNumbers ? showMoveNumbers : showLastStoneMarker) = on;
  if (CMenu* menu = GetMenu(); menu != nullptr) menu->CheckMenuItem(command, on ? MF_CHECKED : 0);
  InvalidateBoard();
}

void GameWindow::OnMoveNumbers() {
  SetViewOption(kCmdMoveNumbers, !showMoveNumbers);
  KeepViewOptions();
}

void GameWindow::OnLastStoneMarker() {
  SetViewOption(kCmdLastStoneMarker, !showLastStoneMarker);
  KeepViewOptions();
}

void GameWindow::KeepViewOptions() {
  if (host == nullptr) return;
  std::string letters;
  if (showMoveNumbers) letters += kNumbersLetter;
  if (showLastStoneMarker) letters += kMarkerLetter;
  host->WriteKept(nullptr, kViewSetting, letters);
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
  // A point whose image changed without being invalidated (the row that won
  // is found only once the result is there, after the stone that made it
  // asked for its own point) is painted now with the rest.
  InvalidateBoard();
  CPaintDC dc(this);
  // Drawing is clipped to what is invalid: a few points after a move.
  dc.DrawBitmap(kBoardBitmap, kBoardImageX, kBoardImageY, kBoardImageSize, kBoardImageSize);

  const UINT icon = game.myColor == Black   ? kBlackIconId
                    : game.myColor == White ? kWhiteIconId
                                            : kNoSideIconId;
  hIcon = ::LoadIcon(icon);
  SetIcon(hIcon, FALSE);

  const Board& shown = game.simulationMode ? game.simBoard : game.board;
  for (int x = 0; x < kBoardSize; ++x) {
    for (int y = 0; y < kBoardSize; ++y) {
      const CRect cell = CellRect(x, y);
      if (!dc.RectVisible(&cell)) continue;
      const UINT image = CellImage(x, y);
      if (image != 0) {
        dc.DrawBitmap(image & kBitmapBits, cell.left, cell.top, kStoneSize, kStoneSize);
      }
      if (const UINT number = (image & kNumberBits) >> kNumberShift; number != 0) {
        const COLORREF ink = image & kLastStoneMark    ? kMarkColour
                             : shown.at(x, y) == Black ? RGB(255, 255, 255)
                                                       : RGB(0, 0, 0);
        DrawNumber(dc, cell, number, ink);
      } else if (image & kLastStoneMark) {
        DrawLastStoneMark(dc, cell);
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
  if (StepKey(nChar)) return;
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
