#include "link/game_link.h"

#include <vector>

#include "game/little_endian.h"
#include "link/frame.h"
#include "link/game_command.h"

namespace tessaro {

int receiveBusy = 0;

// ---- GameLink ----

int32_t GameLink::SendBytes(const uint8_t* bytes, int32_t count) {
  if (count < 1) return 0;
  endpoint_.SendFrame(EncodeFrame(bytes, static_cast<size_t>(count)));
  return 0;
}

int32_t GameLink::DecodeIncoming(uint8_t* buffer, int32_t capacity) {
  return DecodeIncomingText(endpoint_.IncomingText(), buffer, capacity);
}

std::string GameLink::UndispatchedFrames() const {
  std::string frames;
  if (dispatching_ == nullptr) return frames;
  for (size_t i = dispatchingFrom_; i < dispatching_->size(); ++i) {
    const ReceivedCommand& command = (*dispatching_)[i];
    std::vector<uint8_t> packet;
    AppendUint32LE(packet, static_cast<uint32_t>(command.code));
    AppendUint32LE(packet, static_cast<uint32_t>(command.data.size()));
    packet.insert(packet.end(), command.data.begin(), command.data.end());
    frames += EncodeFrame(packet.data(), packet.size());
  }
  return frames;
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
  CommandCut cut = CutCommands(buffer, n, kReceiveCapacity, link.Endpoint().IncomingText());
  link.dispatching_ = &cut.commands;
  for (size_t i = 0; i < cut.commands.size(); ++i) {
    link.dispatchingFrom_ = i;
    code = cut.commands[i].code;
    data = cut.commands[i].data;
    owner->Dispatch(*this);
  }
  link.dispatching_ = nullptr;
  if (cut.receiveError) {
    link.Endpoint().ShowReceiveError();
    setText(ReceiveErrorText(buffer, n));
    send(link);
  }
}

}  // namespace tessaro
