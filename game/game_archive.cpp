#include "game/game_archive.h"

#include <cstring>

#include "game/little_endian.h"

namespace tessaro {

namespace {

constexpr char kMagic[4] = {'T', 'S', 'A', 1};
constexpr size_t kHeaderSize = sizeof kMagic + 8 + 1;

// A game that only reads: restoring a snapshot tells nobody anything.
class Silent : public GameEvents {
 public:
  void SendSide(int32_t) override {}
  void SendMove(const Move&) override {}
  void SendTakeBack() override {}
  void SendText(const std::string&) override {}
  void SendClock(int32_t) override {}
  void SendGameOver() override {}
  void SendGame(const MoveList&) override {}
  void Log(const std::string&) override {}
  bool AskSwap() override { return false; }
  void BoardChanged() override {}
  void SideChanged() override {}
};

}  // namespace

std::string EncodeArchiveEntry(const Game& game, int64_t date, ArchiveReason reason) {
  std::string out(kMagic, sizeof kMagic);
  const auto bits = static_cast<uint64_t>(date);
  AppendUint32LE(out, static_cast<uint32_t>(bits));
  AppendUint32LE(out, static_cast<uint32_t>(bits >> 32));
  out.push_back(static_cast<char>(reason));
  out += game.Snapshot();
  return out;
}

bool DecodeArchiveEntry(std::string_view bytes, ArchivedGame* out, std::string* error) {
  auto fail = [&](const char* why) {
    if (error) *error = why;
    return false;
  };
  if (bytes.size() < kHeaderSize) return fail("it is cut short");
  if (std::memcmp(bytes.data(), kMagic, sizeof kMagic) != 0) return fail("it is no kept game");
  const auto* header = reinterpret_cast<const uint8_t*>(bytes.data()) + sizeof kMagic;
  const uint64_t bits = uint64_t{ReadUint32LE(header)} | uint64_t{ReadUint32LE(header + 4)} << 32;
  const uint8_t reason = header[8];
  if (reason > static_cast<uint8_t>(ArchiveReason::kLoaded)) return fail("its reason is unknown");

  Silent silent;
  Game game(silent);
  if (!game.Restore(bytes.substr(kHeaderSize), error)) return false;
  out->date = static_cast<int64_t>(bits);
  out->reason = static_cast<ArchiveReason>(reason);
  out->myName = std::move(game.myName);
  out->peerName = std::move(game.peerName);
  out->myColor = game.myColor;
  out->result = std::move(game.gameResult);
  out->moves = std::move(game.moveList);
  return true;
}

std::string ArchivedPlayers(const ArchivedGame& game) {
  if (game.myColor == Black) return game.myName + " (black) - " + game.peerName + " (white)";
  if (game.myColor == White) return game.peerName + " (black) - " + game.myName + " (white)";
  return game.myName + " - " + game.peerName;
}

std::string ArchivedOutcome(const ArchivedGame& game) {
  if (!game.result.empty()) return game.result;
  switch (game.reason) {
    case ArchiveReason::kReset:
      return "unfinished: reset";
    case ArchiveReason::kReceived:
      return "unfinished: " + game.peerName + "'s game came over it";
    case ArchiveReason::kLoaded:
      return "unfinished: a loaded game came over it";
    case ArchiveReason::kEnded:
      break;
  }
  return "unfinished";
}

}  // namespace tessaro
