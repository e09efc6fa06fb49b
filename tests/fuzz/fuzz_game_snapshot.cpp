// Kept games read back from a profile after a restart.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "game/game.h"

namespace {

class Quiet : public tessaro::GameEvents {
 public:
  void SendSide(int32_t) override {}
  void SendMove(const tessaro::Move&) override {}
  void SendTakeBack() override {}
  void SendText(const std::string&) override {}
  void SendClock(int32_t) override {}
  void SendGameOver() override {}
  void SendGame(const tessaro::MoveList&) override {}
  void Log(const std::string&) override {}
  bool AskSwap() override { return false; }
  void BoardChanged() override {}
  void SideChanged() override {}
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Quiet events;
  tessaro::Game game(events);
  const std::string before = game.Snapshot();
  std::string error;
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  if (!game.Restore(bytes, &error)) {
    // A refused snapshot leaves the game as it was, and says why.
    if (error.empty() || game.Snapshot() != before) std::abort();
    return 0;
  }
  // What was taken back is written again byte for byte, and play goes on.
  if (game.Snapshot() != bytes) std::abort();
  game.LocalMove(7, 7);
  game.ReceiveTakeBack();
  return 0;
}
