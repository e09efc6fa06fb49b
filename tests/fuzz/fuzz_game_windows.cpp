// Event records into the module's event hook, and the frames and commands in
// them dispatched into a pair of game windows (each window's replies go to the
// other). The input is a run of records:
//   1 byte   what: bit 0 to the window for Alice (else Bob); bit 1 the bytes
//            are packet bytes, sent as one frame (else the message text as
//            it is); bit 2 marked as sent by the user; bit 3 not a message;
//            bit 4 from a protocol other than ICQ; bit 5 no closing zero
//   2 bytes  length, little-endian; then that many bytes
// Then everything delivered is dispatched, and the boards must stay sound.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "game_table.h"
#include "link/frame.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace tessaro;
  fuzzing::GameTable& table = fuzzing::GameTable::Get();
  table.StartInput();
  size_t p = 0;
  while (p + 3 <= size) {
    const uint8_t what = data[p];
    const size_t length = std::min<size_t>(data[p + 1] | (data[p + 2] << 8), size - p - 3);
    std::string bytes(reinterpret_cast<const char*>(data + p + 3), length);
    p += 3 + length;
    std::string blob =
        (what & 2) ? EncodeFrame(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size())
                   : bytes;
    if (!(what & 32)) blob.push_back('\0');
    table.Store((what & 1) == 0, (what & 16) ? "MSN" : "ICQ", (what & 4) ? DBEF_SENT : 0,
                (what & 8) ? 1 : EVENTTYPE_MESSAGE, std::move(blob));
    if (what & 64) table.Settle();
  }
  table.Settle();
  for (GameWindow* window : {table.black, table.white}) {
    for (const Move& move : window->game.moveList) {
      if (!MoveOnBoard(move) || move.value > Proposal) std::abort();
    }
    if (window->game.myColor > White) std::abort();
  }
  return 0;
}
