// The game log and the chat line.
#include "link/frame.h"
#include "link/log_text.h"
#include "window/game_window.h"

namespace tessaro {

void GameWindow::AppendLog(const std::string& text) {
  logText += WrapLogEntry(text);
  logView = logText;
  if (m_hWnd == nullptr) return;
  // The pane repaints itself when its text is set; the board is not painted
  // again for a line of text, so a line costs the same late in a game.
  UpdateData(FALSE);
}

void GameWindow::OnOK() {
  std::string typed;
  GetDlgItemText(kChatLine, typed);
  // A long line goes as several commands, each logged on both sides as it
  // is sent, so the peer's log holds the same entries as this one.
  GameCommand command(this);
  for (const std::string& piece : SplitChatLine(ChatLine(myName, typed), kMaxTextBytes)) {
    command.setText(piece);
    SendCommand(command);
    AppendLog(piece);
  }
  SetDlgItemText(kChatLine, "");
  UpdateData(FALSE);
}

}  // namespace tessaro
