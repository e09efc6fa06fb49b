// One player of a game on this machine: a host process with its own user
// name, the other player as an ICQ contact reached over a loopback TCP
// connection, the messenger's main window and the game window opened for the
// other player. The parts that do not need a display are here, so that they
// work (and are tested) on every backend.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <string>

#include "framework/platform.h"
#include "host/host.h"

namespace tessaro {

inline constexpr char kGameMenuItem[] = "&Tessaro";

// Makes the profile the player's: the user's name, and the peer as an ICQ
// contact unless the profile has it already. Returns the peer's handle, or
// nullptr with *error set.
HANDLE SetUpPlayer(host::Host& host, const std::string& user, const std::string& peer,
                   std::string* error);

// Chooses the game item of the contact's menu; false when it is not offered.
bool OpenGameWindow(host::Host& host, HANDLE contact);

// What every visible top-level window shows as text, for tests reading a
// running program: a "window TITLE" line, then "control ID TEXT" for each
// control with text (line breaks taken out, as the log's wrap puts them).
std::string DescribeWindows(const Platform& platform);

// Where a player's profile lives by default: $XDG_DATA_HOME/tessaro/USER.db,
// else ~/.local/share/tessaro/USER.db; empty (a profile in memory) without a
// home. The folder is made when missing.
std::string DefaultProfilePath(const std::string& user);

}  // namespace tessaro
