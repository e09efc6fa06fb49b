// The game log and the chat line.
#include "link/frame.h"
#include "link/log_text.h"
#include "window/game_window.h"

namespace tessaro {

namespace {

// The caret to the end of the log, as a paint puts it: the pane follows the
// newest line (unless the reader scrolled back).
void CaretToEnd(CWnd* pane, size_t end) {
  if (auto* log = static_cast<CRichEditCtrl*>(pane)) {
    log->SetSel(static_cast<long>(end), static_cast<long>(end));
  }
}

}  // namespace

CRichEditCtrl* GameWindow::LogPane() const {
  return m_hWnd != nullptr ? static_cast<CRichEditCtrl*>(GetDlgItem(kLogPane)) : nullptr;
}

const std::string& GameWindow::LogText() const {
  const CRichEditCtrl* pane = LogPane();
  return pane != nullptr ? pane->GetTextRef() : logBeforePane;
}

void GameWindow::SetLog(std::string text) {
  CRichEditCtrl* pane = LogPane();
  if (pane == nullptr) {
    logBeforePane = std::move(text);
    return;
  }
  pane->SetText(text);
}

void GameWindow::AppendLog(const std::string& text) {
  const std::string entry = WrapLogEntry(text);
  KeepLogEntry(entry);
  // The pane gets the new entry added at its end, which costs what the entry
  // costs however long the log is; it repaints the lines in view, and the
  // board is not painted again for a line of text.
  CRichEditCtrl* pane = LogPane();
  if (pane == nullptr) {
    logBeforePane += entry;
    return;
  }
  const long end = pane->GetTextLength();
  CaretToEnd(pane, static_cast<size_t>(end));
  pane->ReplaceSel(std::string_view(entry));
}

void GameWindow::OnOK() {
  std::string typed;
  GetDlgItemText(kChatLine, typed);
  // A long line goes as several commands, each logged on both sides as it
  // is sent, so the peer's log holds the same entries as this one.
  GameCommand command(this);
  for (const std::string& piece : SplitChatLine(ChatLine(game.myName, typed), kMaxTextBytes)) {
    command.setText(piece);
    SendCommand(command);
    AppendLog(piece);
  }
  // Each line set the log and its caret already.
  SetDlgItemText(kChatLine, "");
}

}  // namespace tessaro
