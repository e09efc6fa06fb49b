// The local half of a game: what a click on the real board does, take-back,
// and starting a new game.
#include "game/judge.h"
#include "window/game_window.h"

namespace tessaro {

void GameWindow::LocalMove(int x, int y) {
  if (!OnBoard(x, y)) return;
  if (!myTurn) {
    TakeBackClick(x, y);
    return;
  }
  int proposals = 0;
  for (uint32_t cell : board.cells)
    proposals += cell == Proposal;

  // A forbidden mark never stops a click: it is the white side that judges.
  uint32_t& cell = board.at(x, y);
  if (cell == ForbiddenMark) cell = Empty;
  bool choosingProposal = false;
  if (cell != Empty) {
    if (cell != Proposal || myColor != White) return;
    choosingProposal = true;
  } else if (myColor == White && proposals != 0) {
    return;  // while proposals lie on the board, white may only choose one
  }

  const size_t n = moveList.size();
  // The fifth-move proposals are black's fifth and sixth records. A flag left
  // from an earlier moment (white took its fourth stone back, the sides were
  // swapped, a game was loaded) must not turn a later stone into a proposal.
  if (proposingFifth && !(myColor == Black && (n == 4 || n == 5))) proposingFifth = 0;
  uint32_t value = Black;
  if (myColor == Empty) {
    // The first stone of a game makes this side black and the peer white.
    myColor = Black;
    GameCommand side(this);
    side.setSide(White);
    SendCommand(side);
  } else if (myColor == Black && n == 1) {
    value = White;  // black's second opening stone is a white one
  } else if (myColor == White && !choosingProposal) {
    value = White;
  }
  if (proposingFifth) {
    value = Proposal;
    if (n == 5) proposingFifth = 0;
  }

  const auto px = static_cast<int16_t>(x), py = static_cast<int16_t>(y);
  GameCommand command(this);
  command.setMove(Move{px, py, value});
  SendCommand(command);
  if (myClock != 0) {
    command.setClock(myClock);
    SendCommand(command);
  }
  PlaceMove(px, py, value);
  ++ownTail;

  myTurn = (myColor == Black && (moveList.size() < 3 || proposingFifth)) ? 1 : 0;
}

// A click while waiting: the own last stone goes back on both sides and the
// turn returns. The cell decides, not the record, so a proposal or black's
// white opening stone cannot be taken back: not by black, whose colour it is
// not, and not by white either, which waits while black places the first
// stones (the peer could not tell that take-back from one crossing black's
// next stone, and the boards would part).
void GameWindow::TakeBackClick(int x, int y) {
  if (moveList.empty() || moveList.back().x != x || moveList.back().y != y) return;
  if (myColor == White && moveList.size() <= 2) return;
  const uint32_t cell = board.at(x, y);
  if (!((myColor == Black && cell == Black) || (myColor == White && cell == White))) return;
  TakeBack();
  if (ownTail > 0) --ownTail;
  GameCommand command(this);
  command.setTakeBack();
  SendCommand(command);
  myTurn = 1;
}

void GameWindow::ResetGame() {
  StartClockTimer();
  myClock = clockSetting;
  peerClock = 0;
  if (!moveList.empty() && m_hWnd != nullptr &&
      MessageBox("Do you want to save the game?", "Reset Game", MB_YESNO) == IDYES) {
    SaveGame();
  }
  moveList.clear();
  ownTail = 0;
  myColor = Empty;
  myTurn = 1;
  proposingFifth = 0;
  firstStoneClash = false;
  gameResult.clear();
  // With the list empty this rewrites every cell of the board.
  RefreshBoardMarks(board, 0);
  InvalidateBoard();
  AppendLog("Game reset\r\n");
}

void GameWindow::OnReset() {
  ResetGame();
  GameCommand command(this);
  command.setReset();
  SendCommand(command);
}

}  // namespace tessaro
