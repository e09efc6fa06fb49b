// The move clocks: each side may run its own clock, which counts down one
// second per second while it is that side's turn.
#include <algorithm>

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
  // A negative number of seconds would count away from zero and never run
  // out; it switches the clock off like any answer that is not a number.
  clockSetting = std::max<int32_t>(0, ReadDecimal(box.answer));
  myClock = clockSetting;
  StartClockTimer();
  // A log line no longer repaints the whole window, so the new setting is
  // shown here rather than at the next paint.
  ShowClocks();
  const std::string text = myName + " set timer to " + DecimalText(clockSetting);
  GameCommand command(this);
  command.setText(text);
  SendCommand(command);
  AppendLog(text);
}

void GameWindow::ShowClocks() {
  if (m_hWnd == nullptr) return;
  SetDlgItemText(kOwnClockLabel, DecimalText(myClock));
  SetDlgItemText(kPeerClockLabel, DecimalText(peerClock));
  if (CWnd* label = GetDlgItem(kOwnClockLabel)) label->Invalidate(TRUE);
  if (CWnd* label = GetDlgItem(kPeerClockLabel)) label->Invalidate(TRUE);
}

void GameWindow::OnTimer(UINT_PTR nIDEvent) {
  (void)nIDEvent;
  StartClockTimer();
  if (myClock == 0 || myTurn == 0 || moveList.empty()) return;
  --myClock;
  if (myClock != 0) {
    ShowClocks();
    return;
  }
  const std::string text = myName + " is out of time";
  GameCommand command(this);
  command.setText(text);
  SendCommand(command);
  AppendLog(text);
  gameResult = text;
  // Nothing on the board changes, so no paint would show the emptied clock
  // or tell the messenger's list.
  ShowClocks();
  PublishStatus();
}

}  // namespace tessaro
