// tessaro-host: the messenger host with the game plug-in.
//
//   tessaro-host [--profiles DIR] [--dump DIR]
//       a game on this machine in real windows: two players, "Alice" and
//       "Bob", each a host process of its own, connected over loopback TCP.
//       --profiles keeps their profiles in DIR (default: each user's data
//       folder); --dump keeps what their windows show in DIR/NAME.txt.
//   tessaro-host --player NAME --peer NAME (--listen PORT [--port-fd FD] |
//                --connect HOST:PORT) [--profile FILE] [--at X,Y] [--dump FILE]
//       one such player.
//   tessaro-host --headless --script FILE
//       plays a script of what people do and checks what they should see
//       (see apps/script_runner.h for the commands); exit status 0 when every
//       expectation held.
//   Each form takes --module PATH, the plug-in module to load.
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <string>

#include "apps/local_game.h"
#include "apps/script_runner.h"

namespace {

int Usage() {
  std::cerr << "usage: tessaro-host [--profiles DIR] [--dump DIR] [--module PATH]\n"
               "       tessaro-host --player NAME --peer NAME (--listen PORT | --connect "
               "HOST:PORT) [--profile FILE] [--at X,Y] [--dump FILE] [--module PATH]\n"
               "       tessaro-host --headless --script FILE [--module PATH]\n";
  return 2;
}

bool ParsePort(const std::string& text, uint16_t& port) {
  char* end = nullptr;
  const long value = std::strtol(text.c_str(), &end, 10);
  if (text.empty() || *end != '\0' || value < 0 || value > 65535) return false;
  port = static_cast<uint16_t>(value);
  return true;
}

bool ParsePair(const std::string& text, int& x, int& y) {
  const size_t comma = text.find(',');
  if (comma == std::string::npos) return false;
  char* end = nullptr;
  x = static_cast<int>(std::strtol(text.c_str(), &end, 10));
  if (end != text.c_str() + comma) return false;
  y = static_cast<int>(std::strtol(text.c_str() + comma + 1, &end, 10));
  return *end == '\0';
}

std::string ThisProgram(const char* argv0) {
  char path[PATH_MAX];
  const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
  if (n <= 0) return argv0;
  return std::string(path, static_cast<size_t>(n));
}

// The plug-in module of an installed host lies in ../lib/tessaro/ beside it;
// a host run from the build tree takes the module this build made.
std::string DefaultModule(const char* argv0) {
  namespace fs = std::filesystem;
  const fs::path installed =
      fs::path(ThisProgram(argv0)).parent_path() / ".." / TESSARO_INSTALLED_MODULE;
  std::error_code error;
  if (fs::is_regular_file(installed, error)) return installed.lexically_normal().string();
  return TESSARO_DEFAULT_MODULE;
}

}  // namespace

int main(int argc, char** argv) {
  bool headless = false;
  std::string script;
  std::string module = DefaultModule(argv[0]);
  tessaro::PlayerOptions player;
  tessaro::LocalGameOptions game;
  bool connect = false;
  bool listen = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const bool more = i + 1 < argc;
    if (arg == "--headless") {
      headless = true;
    } else if (arg == "--script" && more) {
      script = argv[++i];
    } else if (arg == "--module" && more) {
      module = argv[++i];
    } else if (arg == "--profiles" && more) {
      game.profileDir = argv[++i];
    } else if (arg == "--player" && more) {
      player.user = argv[++i];
    } else if (arg == "--peer" && more) {
      player.peer = argv[++i];
    } else if (arg == "--profile" && more) {
      player.profilePath = argv[++i];
    } else if (arg == "--dump" && more) {
      player.dumpPath = game.dumpDir = argv[++i];
    } else if (arg == "--listen" && more) {
      listen = true;
      if (!ParsePort(argv[++i], player.port)) return Usage();
    } else if (arg == "--port-fd" && more) {
      player.portFd = std::atoi(argv[++i]);
    } else if (arg == "--connect" && more) {
      const std::string at = argv[++i];
      const size_t colon = at.rfind(':');
      if (colon == std::string::npos || !ParsePort(at.substr(colon + 1), player.port)) {
        return Usage();
      }
      player.address = at.substr(0, colon);
      connect = true;
    } else if (arg == "--at" && more) {
      if (!ParsePair(argv[++i], player.x, player.y)) return Usage();
    } else {
      return Usage();
    }
  }

  if (headless) {
    if (script.empty()) return Usage();
    tessaro::ScriptOptions options;
    options.modulePath = module;
    return tessaro::RunScriptFile(script, options, std::cout, std::cerr);
  }
  if (!script.empty()) return Usage();

  std::string reason;
  if (!tessaro::DesktopAvailable(&reason, false)) {
    std::cerr << "tessaro-host: " << reason
              << "; to play without one: tessaro-host --headless --script FILE\n";
    return 2;
  }
  if (!player.user.empty()) {
    if (player.peer.empty() || listen == connect) return Usage();
    player.listen = listen;
    player.modulePath = module;
    return tessaro::RunPlayer(player, std::cerr);
  }
  game.program = ThisProgram(argv[0]);
  game.modulePath = module;
  return tessaro::RunLocalGame(game, std::cerr);
}
