// The local half of a game that asks the player: starting a new game.
#include "window/game_window.h"

namespace tessaro {

void GameWindow::ResetGame() {
  // Kept before the question: whatever the answer and whatever the save
  // dialog does, the game is not lost.
  ArchiveReplaced(ArchiveReason::kReset);
  if (!game.moveList.empty() && m_hWnd != nullptr &&
      MessageBox("Do you want to save the game?", "Reset Game", MB_YESNO) == IDYES) {
    SaveGame();
  }
  // The new game's clocks start once the question is answered: the time it
  // stood open belongs to no game.
  StartClockTimer();
  game.RestartClocks();
  game.Reset();
}

void GameWindow::OnResign() {
  if (game.InPlay() &&
      MessageBox("Do you want to resign this game?", "Resign", MB_YESNO) == IDYES) {
    game.Resign();
  }
}

void GameWindow::OnOfferDraw() {
  game.OfferDraw();
}

void GameWindow::OnReset() {
  ResetGame();
  GameCommand command(this);
  command.setReset();
  SendCommand(command);
}

}  // namespace tessaro
