// The local half of a game that asks the player: starting a new game.
#include "window/game_window.h"

namespace tessaro {

void GameWindow::ResetGame() {
  StartClockTimer();
  game.RestartClocks();
  if (!game.moveList.empty() && m_hWnd != nullptr &&
      MessageBox("Do you want to save the game?", "Reset Game", MB_YESNO) == IDYES) {
    SaveGame();
  }
  game.Reset();
}

void GameWindow::OnReset() {
  ResetGame();
  GameCommand command(this);
  command.setReset();
  SendCommand(command);
}

}  // namespace tessaro
