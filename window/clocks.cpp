// The move clocks: each side may run its own clock, which counts down one
// second per second while it is that side's turn.
#include "link/log_text.h"
#include "window/game_window.h"
#include "window/input_box.h"

namespace tessaro {

void GameWindow::StartClockTimer() {
  if (m_hWnd != nullptr) SetTimer(kClockTimer, kClockPeriodMs);
}

void GameWindow::OnSetTimer() {
  InputBox box("Enter number of seconds");
  box.DoModal();
  if (box.answer.empty()) return;
  game.SetTimer(ReadDecimal(box.answer));
  StartClockTimer();
  // A log line no longer repaints the whole window, so the new setting is
  // shown here rather than at the next paint.
  ShowClocks();
}

void GameWindow::ShowClocks() {
  if (m_hWnd == nullptr) return;
  SetDlgItemText(kOwnClockLabel, DecimalText(game.myClock));
  SetDlgItemText(kPeerClockLabel, DecimalText(game.peerClock));
  if (CWnd* label = GetDlgItem(kOwnClockLabel)) label->Invalidate(TRUE);
  if (CWnd* label = GetDlgItem(kPeerClockLabel)) label->Invalidate(TRUE);
}

// Each clock's caption names whose it is; the one of the side to move is
// bold while a game is on.
void GameWindow::ShowClockCaptions() {
  CWnd* own = GetDlgItem(kOwnClockCaption);
  CWnd* peer = GetDlgItem(kPeerClockCaption);
  if (own == nullptr || peer == nullptr) return;
  std::string text;
  own->GetWindowText(text);
  if (text != game.myName) own->SetWindowText(game.myName);
  peer->GetWindowText(text);
  if (text != game.peerName) peer->SetWindowText(game.peerName);
  const bool playing =
      game.myColor != Empty && game.gameResult.empty() && game.outOfTime == Game::kNobodyOutOfTime;
  const int owner = !playing ? 2 : game.myTurn ? 0 : 1;
  if (owner == shownTurnOwner) return;
  shownTurnOwner = owner;
  if (boldCaption.GetSafeHandle() == nullptr) {
    LOGFONT font{};
    if (CFont* normal = GetFont(); normal == nullptr || !normal->GetLogFont(&font))
      font.lfHeight = -11;
    font.lfWeight = FW_BOLD;
    boldCaption.CreateFontIndirect(&font);
  }
  own->SetFont(owner == 0 ? &boldCaption : GetFont());
  peer->SetFont(owner == 1 ? &boldCaption : GetFont());
}

void GameWindow::OnTimer(UINT_PTR nIDEvent) {
  (void)nIDEvent;
  StartClockTimer();
  // Nothing on the board changes, so no paint would show the clock or tell
  // the messenger's list that it ran out.
  if (game.Tick()) {
    ShowClocks();
    PublishStatus();
  }
}

}  // namespace tessaro
