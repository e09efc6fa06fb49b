// Earlier games kept for a contact: each one a game snapshot with the moment
// it was kept and why, written once and never rewritten, so an archive of any
// length costs each new game one write.
//
// An entry's layout, all numbers little-endian:
//
//   "TSA" 1          magic and layout version (4 bytes)
//   u32 date low, date high   seconds since 1970-01-01 UTC (a signed 64-bit number)
//   u8  reason       why it was kept (ArchiveReason)
//   the game's snapshot (game_snapshot.cpp), to the end
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "game/board.h"
#include "game/game.h"

namespace tessaro {

// Why a game was kept: it ended, or something took its place before it did.
enum class ArchiveReason : uint8_t {
  kEnded = 0,     // a result came
  kReset = 1,     // either side's Reset
  kReceived = 2,  // the peer's game arrived over it
  kLoaded = 3,    // Load Game put a file's game over it
};

// What an entry tells: who played, when, how it ended, and its moves.
struct ArchivedGame {
  int64_t date = 0;  // seconds since 1970-01-01 UTC
  ArchiveReason reason = ArchiveReason::kEnded;
  std::string myName;
  std::string peerName;
  uint32_t myColor = Empty;  // Empty while no side was taken
  std::string result;        // "" when the game had none
  MoveList moves;
};

// The entry of `game` kept at `date` for `reason`.
std::string EncodeArchiveEntry(const Game& game, int64_t date, ArchiveReason reason);
// Reads an entry back. Bytes that are not an entry of this layout, or whose
// game a snapshot refuses, give false with the reason in `error`.
bool DecodeArchiveEntry(std::string_view bytes, ArchivedGame* out, std::string* error);

// "Bob (black) - Alice (white)", black first; the two names alone while no
// side was taken.
std::string ArchivedPlayers(const ArchivedGame& game);
// The result, or why a game without one was kept ("unfinished: reset").
std::string ArchivedOutcome(const ArchivedGame& game);

}  // namespace tessaro
