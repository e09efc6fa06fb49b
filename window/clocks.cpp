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
