#include "apps/local_game.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <ostream>
#include <thread>
#include <tuple>
#include <vector>

#include "apps/account_dialogs.h"
#include "apps/host_window.h"
#include "apps/platform_queue.h"
#include "apps/player.h"
#include "apps/script_runner.h"
#include "framework/afx.h"
#include "host/xmpp_server.h"
#include "host/xmpp_stanza.h"

#if TESSARO_HAVE_DESKTOP
#include "framework/desktop/desktop_driver.h"
#endif

extern char** environ;

namespace tessaro {
namespace {

// The game window is centred on the framework's 1024 x 768 screen; players
// move their windows so that the two games stand side by side.
constexpr int kGameLeft = (1024 - 522) / 2;
constexpr int kGameTop = (768 - 300) / 2;
constexpr int kMainWindowBelow = 360;  // the messenger window under the game
constexpr UINT kDumpTimer = 1;
constexpr UINT kDumpPeriodMs = 200;

// Ends the program's loop when SIGTERM or SIGINT arrives. The signals are
// blocked in every thread, and this one waits for them.
class StopOnSignal {
 public:
  explicit StopOnSignal(Platform& platform) {
    sigemptyset(&set_);
    sigaddset(&set_, SIGTERM);
    sigaddset(&set_, SIGINT);
    // Asleep until a signal comes: the destructor sends this thread one of
    // its own to end it.
    thread_ = std::thread([this, &platform] {
      while (!stop_) {
        if (sigwaitinfo(&set_, nullptr) > 0 && !stop_) platform.PostQuit(0);
      }
    });
  }
  ~StopOnSignal() {
    stop_ = true;
    pthread_kill(thread_.native_handle(), SIGTERM);
    thread_.join();
  }
  static void BlockInThisThread() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGINT);
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
  }

 private:
  sigset_t set_;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

// Keeps DescribeWindows written to a file (replaced whole, never half-written).
class Dumper : public CWnd {
 public:
  explicit Dumper(std::string path) : path_(std::move(path)) {}
  bool Start() {
    const CRect none(0, 0, 0, 0);
    return CreateEx(0, "TessaroDump", "", WS_POPUP, none, nullptr, 0) &&
           SetTimer(kDumpTimer, kDumpPeriodMs) != 0;
  }
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
    if (message == WM_TIMER) {
      Write();
      return 0;
    }
    return CWnd::WindowProc(message, wParam, lParam);
  }
  void Write() {
    const Platform* platform = Platform::Current();
    if (!platform) return;
    const std::string text = DescribeWindows(*platform);
    if (text == last_) return;
    const std::string temporary = path_ + ".new";
    {
      std::ofstream out(temporary, std::ios::trunc);
      out << text;
      if (!out) return;
    }
    std::error_code ec;
    std::filesystem::rename(temporary, path_, ec);
    if (!ec) last_ = text;
  }

 private:
  std::string path_;
  std::string last_;
};

}  // namespace

bool DesktopAvailable(std::string* reason, bool open) {
#if TESSARO_HAVE_DESKTOP
  const char* display = std::getenv("DISPLAY");
  if (!display || !*display) {
    if (reason) *reason = "no display (DISPLAY is not set)";
    return false;
  }
  if (open && !DesktopDriver::OpenDisplay()) {
    if (reason) *reason = std::string("cannot open the display ") + display;
    return false;
  }
  return true;
#else
  (void)open;
  if (reason) *reason = "this build has no desktop backend (configured with -DTESSARO_DESKTOP=OFF)";
  return false;
#endif
}

int RunPlayer(const PlayerOptions& options, std::ostream& err) {
#if TESSARO_HAVE_DESKTOP
  const std::string who =
      "tessaro-host (" +
      (options.account.name.empty() ? options.profilePath : options.account.name) + "): ";
  std::string reason;
  if (!DesktopAvailable(&reason, true)) {
    err << who << reason << "\n";
    return 2;
  }
  StopOnSignal::BlockInThisThread();  // before any thread starts
  DesktopOptions placement;
  placement.originX = options.x - kGameLeft;
  placement.originY = options.y - kGameTop;
  placement.scale = options.scale;
  // The messenger's window and dialogs come from the host's own resources; the
  // module installs its own when it loads. They outlive the platform.
  ResourceModule resources;
  HostWindow::AddResources(resources, CPoint(options.x - placement.originX,
                                             options.y + kMainWindowBelow - placement.originY));
  Platform platform(std::make_unique<DesktopDriver>(placement));
  platform.SetResourceModule(&resources);
  StopOnSignal stop(platform);
  PlatformQueue queue;

  host::HostOptions hostOptions;
  hostOptions.profile_path =
      options.profilePath.empty() ? DefaultProfilePath(options.account.name) : options.profilePath;
  std::string error;
  std::unique_ptr<host::Host> host = host::Host::Create(queue, hostOptions, &error);
  if (!host) {
    err << who << error << "\n";
    return 1;
  }
  AccountOptions account = options.account;
  if (options.setUp && !host->Account()) {
    SetupDialog setup(*host, account.name);
    if (setup.DoModal() != IDOK) {
      err << who << "no account was set up\n";
      return 1;
    }
    account.name.clear();  // the name is the one the dialog stored
  }
  std::vector<HANDLE> named;
  HostWindow* shown = nullptr;  // the messenger window, once it exists
  const auto changed = [&shown] {
    if (shown) shown->Refresh();
  };
  if (!ConnectPlayer(*host, account, &named, changed, &error)) {
    err << who << error << "\n";
    return 1;
  }

  HostWindow window(*host);
  if (!window.Open()) {
    err << who << "cannot make the main window\n";
    return 1;
  }
  shown = &window;
  if (!host->LoadModule(options.modulePath, &error)) {
    err << who << error << "\n";
    return 1;
  }
  window.Refresh();
  // The contacts this run names are the ones the player means to play.
  for (HANDLE contact : named) {
    if (!OpenGameWindow(*host, contact)) err << who << "the contact menu offers no game\n";
  }
  Dumper dumper(options.dumpPath);
  if (!options.dumpPath.empty() && !dumper.Start()) err << who << "cannot keep a dump\n";

  const int status = platform.Run();
  shown = nullptr;
  host.reset();  // the module and its windows go first
  dumper.DestroyWindow();
  window.DestroyWindow();
  platform.SetResourceModule(nullptr);
  return status < 0 ? 1 : status;
#else
  (void)options;
  std::string reason;
  DesktopAvailable(&reason, false);
  err << "tessaro-host: " << reason << "\n";
  return 2;
#endif
}

int RunPlayerScript(const PlayerOptions& options, const std::string& script, std::ostream& out,
                    std::ostream& err) {
  if (options.account.name.empty()) {
    err << "tessaro-host: a player of a two-player script needs --name\n";
    return 2;
  }
  ScriptOptions script_options;
  script_options.modulePath = options.modulePath;
  script_options.player = options.account.name;
  script_options.profilePath = options.profilePath;
  host::Host* connected = nullptr;
  script_options.connect = [&](host::Host& host, std::string* error) {
    connected = &host;
    return ConnectPlayer(host, options.account, nullptr, {}, error);
  };
  script_options.unconfirmed = [&] { return connected ? UnconfirmedMessages(*connected) : 0; };
  return RunScriptFile(script, script_options, out, err);
}

// ---- The launcher ----

namespace {

pid_t Spawn(const std::vector<std::string>& args) {
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  sigset_t none;
  sigemptyset(&none);
  posix_spawnattr_setsigmask(&attributes, &none);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK);
  std::vector<char*> argv;
  for (const std::string& a : args)
    argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  pid_t pid = -1;
  if (posix_spawn(&pid, args[0].c_str(), nullptr, &attributes, argv.data(), environ) != 0) {
    pid = -1;
  }
  posix_spawnattr_destroy(&attributes);
  return pid;
}

struct Seat {
  std::string name;     // Alice
  std::string account;  // alice
  std::string passwordFile;
};

std::vector<std::string> PlayerArgs(const LocalGameOptions& o, const host::LocalXmppServer& server,
                                    const Seat& me, const Seat& other, int x) {
  std::vector<std::string> args = {o.program,
                                   "--name",
                                   me.name,
                                   "--account",
                                   server.Address(me.account),
                                   "--server",
                                   "127.0.0.1:" + std::to_string(server.port()),
                                   "--no-tls",
                                   "--password-file",
                                   me.passwordFile,
                                   "--contact",
                                   server.Address(other.account) + "=" + other.name};
  if (!o.modulePath.empty()) args.insert(args.end(), {"--module", o.modulePath});
  if (o.scale > 0) args.insert(args.end(), {"--scale", std::to_string(o.scale)});
  const std::string& profiles = o.profileDir.empty() ? o.stateDir : o.profileDir;
  args.insert(args.end(), {"--profile", profiles + "/" + me.name + ".db"});
  if (o.headless) {
    args.insert(args.end(), {"--headless", "--script", o.script});
  } else {
    args.insert(args.end(), {"--at", std::to_string(x) + ",10"});
    if (!o.dumpDir.empty()) args.insert(args.end(), {"--dump", o.dumpDir + "/" + me.name + ".txt"});
  }
  return args;
}

// A password nobody needs to know, in a file only this user can read.
bool WritePassword(const std::string& path, std::string* password) {
  *password = host::NewMessageId();
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd < 0) return false;
  const std::string line = *password + "\n";
  const bool written = write(fd, line.data(), line.size()) == static_cast<ssize_t>(line.size());
  return close(fd) == 0 && written;
}

}  // namespace

int RunLocalGame(const LocalGameOptions& given, std::ostream& out, std::ostream& err) {
  namespace fs = std::filesystem;
  LocalGameOptions options = given;
  std::error_code ec;
  bool temporary = false;
  if (options.stateDir.empty()) {
    std::string pattern = (fs::temp_directory_path(ec) / "tessaro-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
      err << "tessaro-host: cannot make a temporary folder\n";
      return 1;
    }
    options.stateDir = pattern;
    temporary = true;
  }
  options.stateDir = fs::absolute(options.stateDir, ec).string();
  fs::create_directories(options.stateDir, ec);
  if (ec) {
    err << "tessaro-host: cannot make the folder " << options.stateDir << ": " << ec.message()
        << "\n";
    return 1;
  }
  // The server is thrown away with each game: nothing of an earlier one (an
  // offline message, a half-played game's profiles) may leak into this one.
  const std::string serverDir = options.stateDir + "/xmpp";
  fs::remove_all(serverDir, ec);
  if (options.profileDir.empty()) {
    for (const char* name : {"Alice", "Bob"}) {
      for (const char* suffix : {".db", ".db-wal", ".db-shm"})
        fs::remove(options.stateDir + "/" + name + suffix, ec);
    }
  }
  const auto cleanUp = [&] {
    if (temporary) fs::remove_all(options.stateDir, ec);
  };

  std::string error;
  std::unique_ptr<host::LocalXmppServer> server = host::LocalXmppServer::Create(serverDir, &error);
  const Seat alice{"Alice", "alice", serverDir + "/alice.password"};
  const Seat bob{"Bob", "bob", serverDir + "/bob.password"};
  bool ready = server != nullptr;
  for (const Seat* seat : {&alice, &bob}) {
    std::string password;
    if (ready && !WritePassword(seat->passwordFile, &password)) {
      error = "cannot write " + seat->passwordFile;
      ready = false;
    }
    ready = ready && server->AddAccount(seat->account, password, &error);
  }
  ready = ready && server->Start(&error);
  if (!ready) {
    err << "tessaro-host: the local XMPP server did not start: " << error << "\n";
    server.reset();
    cleanUp();
    return 1;
  }
  if (options.headless) {
    out << "Alice (" << server->Address(alice.account) << ") and Bob ("
        << server->Address(bob.account)
        << ") play through the XMPP server on 127.0.0.1:" << server->port() << "\n"
        << std::flush;
  }

  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGTERM);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGCHLD);
  sigset_t before;
  sigprocmask(SIG_BLOCK, &signals, &before);

  std::vector<pid_t> running;
  int result = 0;
  for (const auto& [me, other, x] : {std::tuple{&alice, &bob, 10}, std::tuple{&bob, &alice, 560}}) {
    const pid_t pid = Spawn(PlayerArgs(options, *server, *me, *other, x));
    if (pid > 0) {
      running.push_back(pid);
    } else {
      err << "tessaro-host: " << me->name << "'s player did not start\n";
      result = 1;
    }
  }
  if (result != 0) {
    for (pid_t pid : running)
      kill(pid, SIGTERM);
  }
  while (!running.empty()) {
    int signal = 0;
    if (sigwait(&signals, &signal) != 0) break;
    if (signal == SIGTERM || signal == SIGINT) {
      for (pid_t pid : running)
        kill(pid, SIGTERM);
      continue;
    }
    for (auto it = running.begin(); it != running.end();) {
      int status = 0;
      if (waitpid(*it, &status, WNOHANG) == *it) {
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) result = 1;
        it = running.erase(it);
      } else {
        ++it;
      }
    }
  }
  server.reset();  // stopped once the players are gone
  sigprocmask(SIG_SETMASK, &before, nullptr);
  cleanUp();
  return result;
}

}  // namespace tessaro
