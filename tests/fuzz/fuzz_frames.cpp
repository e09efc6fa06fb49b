// Received frame texts: decoding, cutting into commands and every getter.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "link/frame.h"
#include "link/game_command.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace tessaro;
  std::string incoming(reinterpret_cast<const char*>(data), size);
  // As a window would: receive until nothing is left (the rest of a decoding
  // that filled its capacity comes back behind a fresh "#RQ").
  for (int round = 0; round < 64 && !incoming.empty(); ++round) {
    uint8_t buffer[kReceiveCapacity];
    const int32_t n = DecodeIncomingText(incoming, buffer, kReceiveCapacity);
    if (n < 0 || n > kReceiveCapacity) std::abort();
    const CommandCut cut = CutCommands(buffer, n, kReceiveCapacity, incoming);
    for (const ReceivedCommand& received : cut.commands) {
      GameCommand command(nullptr);
      command.code = received.code;
      command.data = received.data;
      Move move;
      if (command.getMove(move) && command.code != CmdMove) std::abort();
      std::string text;
      command.getText(text);
      int32_t number = 0;
      command.getSide(number);
      command.getClock(number);
      MoveList moves;
      if (command.getGame(moves)) {
        for (const Move& m : moves) {
          if (!MoveOnBoard(m)) std::abort();
        }
      }
    }
    if (cut.receiveError) (void)ReceiveErrorText(buffer, n);
  }
  return 0;
}
