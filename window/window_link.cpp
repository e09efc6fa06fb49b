// The game window's side of the link: sending commands, draining what
// arrived, and what the link asks of its endpoint.
#include <algorithm>
#include <vector>

#include "link/frame.h"
#include "window/game_window.h"

namespace tessaro {

namespace {

// Windows whose paint found a drain in progress. Their inbox waits for their
// next paint, which might otherwise come only with some unrelated repaint; the
// drain that kept them out posts them one when it ends. Handles, not objects:
// a message to a window that no longer exists is simply dropped.
std::vector<HWND> deferredDrains;

}  // namespace

void GameWindow::SendCommand(const GameCommand& command) {
  command.send(link);
}

void GameWindow::DrainInbox() {
  if (inbox.empty()) return;
  if (receiveBusy) {
    if (m_hWnd != nullptr &&
        std::find(deferredDrains.begin(), deferredDrains.end(), m_hWnd) == deferredDrains.end()) {
      deferredDrains.push_back(m_hWnd);
    }
    return;
  }
  receiveBusy = 1;
  while (!inbox.empty()) {
    GameLink* entry = inbox.front();
    inbox.pop_front();
    GameCommand command(this);
    command.receive(*entry);
    // A rest put back after a decoding filled up is read at once, not when
    // some later message happens to arrive.
    if (inbox.empty() && !incomingText.empty()) inbox.push_back(&link);
  }
  receiveBusy = 0;

  std::vector<HWND> waiting;
  waiting.swap(deferredDrains);
  for (HWND hwnd : waiting)
    ::PostMessage(hwnd, WM_PAINT, 0, 0);
}

void GameWindow::SendFrame(const std::string& frame) {
  if (host != nullptr) host->SendMessage(hContact, frame);
}

std::string& GameWindow::IncomingText() {
  return incomingText;
}

void GameWindow::QueueDrain(GameLink& queued) {
  ++messagesQueued;
  inbox.push_back(&queued);
  if (m_hWnd != nullptr) PostMessage(WM_PAINT, 0, 0);
}

void GameWindow::ShowReceiveError() {
  AfxMessageBox(std::string(kReceiveErrorMessage), MB_OK);
}

}  // namespace tessaro
