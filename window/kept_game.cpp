// A game window's game and log kept in the profile, so that a quit, a crash or
// a reboot loses nothing: the game is written whole when it changed (it is
// small), the log entry by entry as it grows, never rewritten.
//
// Kept under the module's name for the contact:
//   "Game"      u32 LE size of the game's snapshot, the snapshot, then the
//               received text not yet applied (while a received command waits
//               for the player: the game before it, and it with the rest of
//               its decoding as frames again, then the text)
//   "LogFirst"  decimal number of the first entry still in the log
//   "LogNext"   decimal number of the next entry
//   "Log<n>"    entry n as the log holds it (wrapped)
#include <charconv>
#include <string>

#include "game/little_endian.h"
#include "window/game_window.h"

namespace tessaro {

namespace {

constexpr char kGameSetting[] = "Game";
constexpr char kLogFirst[] = "LogFirst";
constexpr char kLogNext[] = "LogNext";

std::string EntryName(uint64_t n) {
  return "Log" + std::to_string(n);
}

uint64_t ReadNumber(GameHost& host, HANDLE contact, const char* name) {
  const std::optional<std::string> text = host.ReadKept(contact, name);
  uint64_t n = 0;
  if (text) std::from_chars(text->data(), text->data() + text->size(), n);
  return n;
}

}  // namespace

void GameWindow::KeepGame() {
  if (!keeping) return;
  std::string record;
  // A received command that has not ended (a box it opened is waiting) is kept
  // as not yet applied, with the rest of its decoding.
  const std::string snapshot = dispatching ? gameBeforeCommand : game.Snapshot();
  AppendUint32LE(record, static_cast<uint32_t>(snapshot.size()));
  record += snapshot;
  if (dispatching) record += link.UndispatchedFrames();
  record += incomingText;
  if (record == keptGame) return;
  if (host->WriteKept(hContact, kGameSetting, record)) keptGame = std::move(record);
}

void GameWindow::KeepLogEntry(const std::string& entry) {
  if (!keeping) return;
  if (host->WriteKept(hContact, EntryName(keptLogNext).c_str(), entry)) {
    ++keptLogNext;
    host->WriteKept(hContact, kLogNext, std::to_string(keptLogNext));
  }
}

void GameWindow::ForgetLog() {
  if (!keeping) return;
  for (uint64_t n = keptLogFirst; n < keptLogNext; ++n)
    host->DeleteKept(hContact, EntryName(n).c_str());
  keptLogFirst = keptLogNext;
  host->WriteKept(hContact, kLogFirst, std::to_string(keptLogFirst));
}

void GameWindow::RestoreKept() {
  if (hContact == nullptr || host == nullptr || keeping) return;
  keeping = true;
  RestoreArchive();
  // The log as it was, before anything this run adds to it.
  keptLogFirst = ReadNumber(*host, hContact, kLogFirst);
  keptLogNext = std::max(keptLogFirst, ReadNumber(*host, hContact, kLogNext));
  std::string log;
  for (uint64_t n = keptLogFirst; n < keptLogNext; ++n) {
    if (std::optional<std::string> entry = host->ReadKept(hContact, EntryName(n).c_str()))
      log += *entry;
  }
  SetLog(log + LogText());

  const std::optional<std::string> kept = host->ReadKept(hContact, kGameSetting);
  if (!kept) return;
  const auto* bytes = reinterpret_cast<const uint8_t*>(kept->data());
  const size_t size = kept->size() >= 4 ? ReadUint32LE(bytes) : 0;
  std::string error = "it is cut short";
  // The names are this run's: the player may have renamed the contact.
  const std::string me = game.myName, peer = game.peerName;
  if (kept->size() < 4 || kept->size() - 4 < size ||
      !game.Restore(std::string_view(*kept).substr(4, size), &error)) {
    AppendLog("The game kept from the last run could not be read (" + error +
              "); a new game starts");
    return;
  }
  game.myName = me;
  game.peerName = peer;
  keptGame = *kept;
  // What had arrived and was not yet applied comes first, then what arrives now.
  incomingText = kept->substr(4 + size) + incomingText;
  if (!incomingText.empty()) link.QueueIncoming();
  if (game.clockSetting != 0) StartClockTimer();
  ShowClocks();
  PublishStatus();
}

}  // namespace tessaro
