#include "link/game_link.h"

#include <algorithm>
#include <vector>

#include "link/frame.h"
#include "plugin/host_calls.h"
#include "window/game_window.h"

namespace tessaro {

int receiveBusy = 0;

namespace {

// Windows whose paint found a drain in progress. Their inbox waits for their
// next paint, which might otherwise come only with some unrelated repaint; the
// drain that kept them out posts them one when it ends. Handles, not objects:
// a message to a window that no longer exists is simply dropped.
std::vector<HWND> deferredDrains;

}  // namespace

// ---- GameLink ----

int32_t GameLink::SendBytes(const uint8_t* bytes, int32_t count) {
  if (count < 1) return 0;
  SendMessageToContact(window_.hContact, EncodeFrame(bytes, static_cast<size_t>(count)));
  return 0;
}

int32_t GameLink::DecodeIncoming(uint8_t* buffer, int32_t capacity) {
  return DecodeIncomingText(window_.incomingText, buffer, capacity);
}

void GameLink::QueueIncoming() {
  ++window_.messagesQueued;
  window_.inbox.push_back(this);
  if (window_.m_hWnd != nullptr) window_.PostMessage(WM_PAINT, 0, 0);
}

// ---- GameCommand transport ----

void GameCommand::send(GameLink& link) const {
  const std::vector<uint8_t> bytes = packet();
  link.SendBytes(bytes.data(), static_cast<int32_t>(bytes.size()));
}

void GameCommand::receive(GameLink& link) {
  uint8_t buffer[kReceiveCapacity];
  const int32_t n = link.DecodeIncoming(buffer, kReceiveCapacity);
  // Cut at once: a box opened by a dispatched command runs a nested loop in
  // which more text may arrive behind whatever the cut puts back.
  CommandCut cut = CutCommands(buffer, n, kReceiveCapacity, link.window().incomingText);
  for (ReceivedCommand& received : cut.commands) {
    code = received.code;
    data = std::move(received.data);
    owner->Dispatch(*this);
  }
  if (cut.receiveError) {
    AfxMessageBox(std::string(kReceiveErrorMessage), MB_OK);
    setText(ReceiveErrorText(buffer, n));
    send(link);
  }
}

// ---- The window's side ----

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

}  // namespace tessaro
