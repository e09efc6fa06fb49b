// The game log and the chat line.
#include "link/log_text.h"
#include "window/game_window.h"

namespace tessaro {

void GameWindow::AppendLog(const std::string& text) {
  logText += WrapLogEntry(text);
  logView = logText;
  if (m_hWnd == nullptr) return;
  UpdateData(FALSE);
  Invalidate(TRUE);
}

void GameWindow::OnOK() {
  std::string typed;
  GetDlgItemText(kChatLine, typed);
  const std::string line = ChatLine(myName, typed);
  GameCommand command(this);
  command.setText(line);
  SendCommand(command);
  AppendLog(line);
  SetDlgItemText(kChatLine, "");
  UpdateData(FALSE);
}

}  // namespace tessaro
