// The game on one machine in real windows: a launcher starts two player
// processes ("Alice" listens on a loopback port, "Bob" connects to it) and
// waits for both; each player is a host with the desktop backend.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <string>

namespace tessaro {

struct PlayerOptions {
  std::string user;
  std::string peer;
  std::string modulePath;
  std::string profilePath;  // empty: the default profile of the user
  std::string dumpPath;     // when set: DescribeWindows is kept written there
  bool listen = true;       // false: connect to address:port
  std::string address = "127.0.0.1";
  uint16_t port = 0;  // listening: 0 picks a free port
  int portFd = -1;    // listening: the chosen port is written there as a line
  int x = 10;         // where the game window's top-left corner goes on the screen
  int y = 10;
};

struct LocalGameOptions {
  std::string program;     // this executable, to start the players with
  std::string modulePath;  // passed on to the players
  std::string profileDir;  // empty: each player's default profile
  std::string dumpDir;     // empty: no dumps
};

// Whether this program can show windows here; false with a reason. With
// `open`, the display is opened for this process's windows; the launcher only
// looks at DISPLAY.
bool DesktopAvailable(std::string* reason, bool open);
// Runs one player until its main window is closed or it is told to stop
// (SIGTERM, SIGINT). Returns the exit status.
int RunPlayer(const PlayerOptions& options, std::ostream& err);
// Starts both players and waits for them. Returns 0 when both ended well.
int RunLocalGame(const LocalGameOptions& options, std::ostream& err);

}  // namespace tessaro
