// The game on one machine: a launcher starts a throwaway XMPP server on a
// loopback port with the accounts alice and bob, then two player processes,
// Alice and Bob, each a host with its own profile connected through that
// server, and waits for both. With a display the players play in real windows;
// without one they play a two-player script headless and print the game.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <string>

#include "apps/player.h"

namespace tessaro {

struct PlayerOptions {
  AccountOptions account;
  std::string modulePath;
  std::string profilePath;  // empty: the default profile of the account's name
  std::string dumpPath;     // when set: DescribeWindows is kept written there
  int x = 10;               // where the game window's top-left corner goes on the screen
  int y = 10;
  int scale = 0;  // the windows' scale; 0: from TESSARO_SCALE or the screen
  // A profile without an account asks for one in the set-up dialog (the
  // command line describes none).
  bool setUp = false;
};

struct LocalGameOptions {
  std::string program;     // this executable, to start the players with
  std::string modulePath;  // passed on to the players
  // The server's folder and the profiles, made when missing; empty: a
  // temporary one. profileDir keeps the profiles elsewhere; empty: in
  // stateDir, thrown away at each start.
  std::string stateDir;
  std::string profileDir;
  std::string dumpDir;    // empty: no dumps
  int scale = 0;          // passed on to the players when set
  bool headless = false;  // play `script` without windows
  std::string script;     // a two-player script of Alice and Bob
};

// Whether this program can show windows here; false with a reason. With
// `open`, the display is opened for this process's windows; the launcher only
// looks at DISPLAY.
bool DesktopAvailable(std::string* reason, bool open);
// Runs one player until its main window is closed or it is told to stop
// (SIGTERM, SIGINT). Returns the exit status.
int RunPlayer(const PlayerOptions& options, std::ostream& err);
// Plays the lines of one player (the account's name) of a two-player script,
// connected as RunPlayer is, headless. Returns the script's exit status.
int RunPlayerScript(const PlayerOptions& options, const std::string& script, std::ostream& out,
                    std::ostream& err);
// Starts the server and both players and waits for the players; then stops the
// server. Returns 0 when both ended well.
int RunLocalGame(const LocalGameOptions& options, std::ostream& out, std::ostream& err);

}  // namespace tessaro
