// Kept games read back from a profile after a restart, and earlier games (a
// snapshot behind a small header) read back for the Earlier Games box.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "game/game.h"
#include "game/game_archive.h"

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

// The input as an earlier game's entry whole, and behind a header whose
// reason comes from its first byte (the values past the last reason included):
// an entry reads back exactly when its header is sound and its snapshot does,
// and then as what it holds.
void CheckArchiveEntry(std::string_view bytes) {
  tessaro::ArchivedGame archived;
  std::string error;
  if (!tessaro::DecodeArchiveEntry(bytes, &archived, &error) && error.empty()) std::abort();

  const auto reason = static_cast<uint8_t>(bytes.empty() ? 0 : static_cast<uint8_t>(bytes[0]) % 5);
  std::string entry = {'T', 'S', 'A', 1, 0x78, 0x56, 0x34, 0x12, 0, 0, 0, 0};
  entry.push_back(static_cast<char>(reason));
  entry += bytes;
  Quiet events;
  tessaro::Game game(events);
  const bool snapshot = game.Restore(bytes, &error);
  error.clear();
  if (tessaro::DecodeArchiveEntry(entry, &archived, &error) != (snapshot && reason <= 3))
    std::abort();
  if (!snapshot || reason > 3) {
    if (error.empty()) std::abort();
    return;
  }
  if (archived.date != 0x12345678 || archived.moves != game.moveList ||
      archived.result != game.gameResult || archived.myColor != game.myColor ||
      tessaro::EncodeArchiveEntry(game, archived.date, archived.reason) != entry) {
    std::abort();
  }
  (void)tessaro::ArchivedPlayers(archived);
  (void)tessaro::ArchivedOutcome(archived);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  CheckArchiveEntry(std::string_view(reinterpret_cast<const char*>(data), size));
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
