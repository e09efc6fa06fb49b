// tessaro-host: the messenger host with the game plug-in.
//
//   tessaro-host [--state DIR] [--profiles DIR] [--dump DIR] [--script FILE]
//       a game on this machine: a throwaway XMPP server on a loopback port
//       (its folder under DIR/xmpp), then two players, Alice and Bob, each a
//       host process with its own profile. With a display they play in real
//       windows; without one they play the two-player script FILE headless.
//   tessaro-host [--profile FILE] [ACCOUNT] [--at X,Y] [--dump FILE]
//       one player in real windows, over any XMPP server. A profile without an
//       account, on a command line that describes none, asks for it in a dialog.
//   tessaro-host --profile FILE [ACCOUNT] --headless --script FILE
//       one player of a two-player script (lines "NAME: ...").
//   tessaro-host --headless --script FILE
//       plays a script of what people do in one process, the contacts paired
//       in-process, and checks what they should see (apps/script_runner.h).
//   Each form takes --module PATH, the plug-in module to load.
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <string>

#include "apps/local_game.h"
#include "apps/player.h"
#include "apps/script_runner.h"

namespace {

constexpr char kUsage[] =
    "usage: tessaro-host [--state DIR] [--profiles DIR] [--dump DIR] [--script FILE]\n"
    "       tessaro-host [--profile FILE] [ACCOUNT] [--at X,Y] [--dump FILE]\n"
    "       tessaro-host --profile FILE [ACCOUNT] --headless --script FILE\n"
    "       tessaro-host --headless --script FILE\n"
    "\n"
    "With no arguments: a game on this machine. A throwaway XMPP server starts on\n"
    "a free loopback port, then the players Alice and Bob, each a process of its\n"
    "own; without a display they play the sample script and print the game.\n"
    "\n"
    "One player: the profile FILE keeps the account, the name and the contacts.\n"
    "Without --profile it is ~/.local/share/tessaro/NAME.db (under $XDG_DATA_HOME\n"
    "when set), NAME from --name, else from the --account address. The first\n"
    "start of a profile without an account, with a display and no ACCOUNT option\n"
    "but --name and --contact, opens a dialog that asks for the account, tries\n"
    "the connection and stores the account only when the server accepts it.\n"
    "\n"
    "ACCOUNT (stored in the profile, so later runs need only --profile):\n"
    "  --name NAME            your name as others see it in the game\n"
    "  --account ADDRESS      your XMPP address, e.g. alice@example.org\n"
    "  --server HOST[:PORT]   the server, when it is not the address's domain\n"
    "  --no-tls               allow a connection without TLS (only for a server\n"
    "                         on this machine; TLS is required otherwise)\n"
    "  --password-file FILE   the password is FILE's first line; else the\n"
    "                         variable TESSARO_PASSWORD, else the profile's,\n"
    "                         else it is asked for (never on the command line)\n"
    "  --contact ADDRESS[=NAME]  a contact to play (asks for a subscription);\n"
    "                         repeatable\n"
    "  --ca-file FILE         trust the certificate authority in FILE (PEM)\n"
    "                         besides the system's\n"
    "  --trust-certificate FILE  trust the server certificate in FILE (PEM), or\n"
    "                         the SHA-256 fingerprint FILE holds, even when no\n"
    "                         authority vouches for it; another one is refused\n"
    "Other options:\n"
    "  --state DIR            where the local game keeps its server and, thrown\n"
    "                         away at each start, its profiles (made when\n"
    "                         missing; default: a temporary folder)\n"
    "  --profiles DIR         keep the local game's profiles in DIR/Alice.db and\n"
    "                         DIR/Bob.db instead\n"
    "  --dump DIR|FILE        keep what the windows show written there\n"
    "  --at X,Y               where the game window goes on the screen\n"
    "  --scale N              windows drawn N times larger (1 to 8; default: the\n"
    "                         variable TESSARO_SCALE, else from the screen's density)\n"
    "  --module PATH          the plug-in module to load\n"
    "  -h, --help             this text\n";

int Usage() {
  std::cerr << kUsage;
  return 2;
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

// The sample game of an installed host lies in ../share/tessaro/samples/.
std::string DefaultScript(const char* argv0) {
  namespace fs = std::filesystem;
  const fs::path installed = fs::path(ThisProgram(argv0)).parent_path() / ".." / "share" /
                             "tessaro" / "samples" / "network_game.script";
  std::error_code error;
  if (fs::is_regular_file(installed, error)) return installed.lexically_normal().string();
  return TESSARO_SAMPLE_SCRIPT;
}

}  // namespace

int main(int argc, char** argv) {
  bool headless = false;
  std::string script;
  std::string module = DefaultModule(argv[0]);
  tessaro::PlayerOptions player;
  tessaro::LocalGameOptions game;
  bool account = false;    // an option of a single player was given
  bool described = false;  // an option describing the account was given
  bool dumpGiven = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const bool more = i + 1 < argc;
    if (arg == "-h" || arg == "--help") {
      std::cout << kUsage;
      return std::cout.flush() ? 0 : 1;
    } else if (arg == "--headless") {
      headless = true;
    } else if (arg == "--script" && more) {
      script = argv[++i];
    } else if (arg == "--module" && more) {
      module = argv[++i];
    } else if (arg == "--state" && more) {
      game.stateDir = argv[++i];
    } else if (arg == "--profiles" && more) {
      game.profileDir = argv[++i];
    } else if (arg == "--profile" && more) {
      player.profilePath = argv[++i];
      account = true;
    } else if (arg == "--name" && more) {
      player.account.name = argv[++i];
      account = true;
    } else if (arg == "--account" && more) {
      player.account.address = argv[++i];
      account = described = true;
    } else if (arg == "--server" && more) {
      if (!tessaro::ParseServer(argv[++i], player.account)) return Usage();
      account = described = true;
    } else if (arg == "--no-tls") {
      player.account.tls = false;
      account = described = true;
    } else if (arg == "--ca-file" && more) {
      player.account.caFile = argv[++i];
      account = described = true;
    } else if (arg == "--trust-certificate" && more) {
      player.account.trustFile = argv[++i];
      account = described = true;
    } else if (arg == "--password-file" && more) {
      player.account.passwordFile = argv[++i];
      account = described = true;
    } else if (arg == "--contact" && more) {
      std::pair<std::string, std::string> contact;
      if (!tessaro::ParseContact(argv[++i], contact)) {
        std::cerr << "tessaro-host: " << argv[i] << " is not an address (local@domain[=NAME])\n";
        return 2;
      }
      player.account.contacts.push_back(contact);
      account = true;
    } else if (arg == "--dump" && more) {
      player.dumpPath = game.dumpDir = argv[++i];
      dumpGiven = true;
    } else if (arg == "--at" && more) {
      if (!ParsePair(argv[++i], player.x, player.y)) return Usage();
    } else if (arg == "--scale" && more) {
      const std::string value = argv[++i];
      char* end = nullptr;
      const long n = std::strtol(value.c_str(), &end, 10);
      if (value.empty() || *end != '\0' || n < 1 || n > 8) return Usage();
      player.scale = game.scale = static_cast<int>(n);
    } else {
      return Usage();
    }
  }

  if (account) {
    if (player.profilePath.empty()) {
      const std::string& address = player.account.address;
      const std::string name =
          !player.account.name.empty() ? player.account.name : address.substr(0, address.find('@'));
      if (!name.empty()) player.profilePath = tessaro::DefaultProfilePath(name);
    }
    if (player.profilePath.empty()) {
      std::cerr << "tessaro-host: a player needs --profile FILE\n";
      return 2;
    }
    player.modulePath = module;
    player.setUp = !described;
    if (headless) {
      if (script.empty()) return Usage();
      return tessaro::RunPlayerScript(player, script, std::cout, std::cerr);
    }
    if (!script.empty()) return Usage();
    return tessaro::RunPlayer(player, std::cerr);
  }

  if (headless) {
    if (script.empty()) return Usage();
    tessaro::ScriptOptions options;
    options.modulePath = module;
    return tessaro::RunScriptFile(script, options, std::cout, std::cerr);
  }

  game.program = ThisProgram(argv[0]);
  game.modulePath = module;
  std::string reason;
  if (!tessaro::DesktopAvailable(&reason, false)) {
    if (dumpGiven) {
      std::cerr << "tessaro-host: " << reason << "; --dump needs windows\n";
      return 2;
    }
    game.headless = true;
    game.script = script.empty() ? DefaultScript(argv[0]) : script;
    std::cout << "tessaro-host: " << reason << "; Alice and Bob play "
              << std::filesystem::path(game.script).filename().string() << " headless.\n";
  } else if (!script.empty()) {
    return Usage();
  }
  return tessaro::RunLocalGame(game, std::cout, std::cerr);
}
