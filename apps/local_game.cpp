#include "apps/local_game.h"

#include <fcntl.h>
#include <poll.h>
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
#include <vector>

#include "apps/host_window.h"
#include "apps/platform_queue.h"
#include "apps/player.h"
#include "framework/afx.h"
#include "host/tcp_transport.h"

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
    thread_ = std::thread([this, &platform] {
      const timespec tick{0, 100 * 1000 * 1000};
      while (!stop_) {
        if (sigtimedwait(&set_, nullptr, &tick) > 0) platform.PostQuit(0);
      }
    });
  }
  ~StopOnSignal() {
    stop_ = true;
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
  const std::string who = "tessaro-host (" + options.user + "): ";
  std::string reason;
  if (!DesktopAvailable(&reason, true)) {
    err << who << reason << "\n";
    return 2;
  }
  StopOnSignal::BlockInThisThread();  // before any thread starts
  DesktopOptions placement;
  placement.originX = options.x - kGameLeft;
  placement.originY = options.y - kGameTop;
  Platform platform(std::make_unique<DesktopDriver>(placement));
  StopOnSignal stop(platform);
  PlatformQueue queue;

  host::HostOptions hostOptions;
  hostOptions.profile_path =
      options.profilePath.empty() ? DefaultProfilePath(options.user) : options.profilePath;
  std::string error;
  std::unique_ptr<host::Host> host = host::Host::Create(queue, hostOptions, &error);
  if (!host) {
    err << who << error << "\n";
    return 1;
  }
  const HANDLE peer = SetUpPlayer(*host, options.user, options.peer, &error);
  if (!peer) {
    err << who << error << "\n";
    return 1;
  }
  auto transport = std::make_unique<host::TcpTransport>(host->IncomingSink());
  host::TcpTransport& tcp = *transport;
  host->SetTransport(std::move(transport));
  if (options.listen) {
    const uint16_t port = tcp.Listen(peer, options.port, &error);
    if (port == 0) {
      err << who << error << "\n";
      return 1;
    }
    if (options.portFd >= 0) {
      const std::string line = std::to_string(port) + "\n";
      const ssize_t written = write(options.portFd, line.data(), line.size());
      close(options.portFd);
      if (written != static_cast<ssize_t>(line.size())) {
        err << who << "cannot tell the port\n";
        return 1;
      }
    }
  } else if (!tcp.Connect(peer, options.address, options.port, &error)) {
    err << who << error << "\n";
    return 1;
  }

  // The messenger window comes from the host's own resources; the module
  // installs its own when it loads.
  ResourceModule resources;
  HostWindow::AddResources(resources, CPoint(options.x - placement.originX,
                                             options.y + kMainWindowBelow - placement.originY));
  platform.SetResourceModule(&resources);
  HostWindow window(*host);
  if (!window.Open()) {
    err << who << "cannot make the main window\n";
    return 1;
  }
  if (!host->LoadModule(options.modulePath, &error)) {
    err << who << error << "\n";
    return 1;
  }
  window.Refresh();
  if (!OpenGameWindow(*host, peer)) err << who << "the contact menu offers no game\n";
  Dumper dumper(options.dumpPath);
  if (!options.dumpPath.empty() && !dumper.Start()) err << who << "cannot keep a dump\n";

  const int status = platform.Run();
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

// ---- The launcher ----

namespace {

pid_t Spawn(const std::vector<std::string>& args, int portFd) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (portFd >= 0) posix_spawn_file_actions_adddup2(&actions, portFd, 3);
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
  if (posix_spawn(&pid, args[0].c_str(), &actions, &attributes, argv.data(), environ) != 0) {
    pid = -1;
  }
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  return pid;
}

std::vector<std::string> PlayerArgs(const LocalGameOptions& o, const std::string& user,
                                    const std::string& peer, int x) {
  std::vector<std::string> args = {
      o.program, "--player", user, "--peer", peer, "--at", std::to_string(x) + ",10"};
  if (!o.modulePath.empty()) args.insert(args.end(), {"--module", o.modulePath});
  if (!o.profileDir.empty())
    args.insert(args.end(), {"--profile", o.profileDir + "/" + user + ".db"});
  if (!o.dumpDir.empty()) args.insert(args.end(), {"--dump", o.dumpDir + "/" + user + ".txt"});
  return args;
}

// Reads the listening player's port, waiting up to ten seconds.
uint16_t ReadPort(int fd) {
  std::string line;
  for (int waited = 0; waited < 100 && line.find('\n') == std::string::npos;) {
    pollfd p{fd, POLLIN, 0};
    const int ready = poll(&p, 1, 100);
    if (ready == 0) {
      ++waited;
      continue;
    }
    char buffer[16];
    const ssize_t n = read(fd, buffer, sizeof buffer);
    if (n <= 0) break;  // the player ended without telling
    line.append(buffer, static_cast<size_t>(n));
  }
  const long port = std::strtol(line.c_str(), nullptr, 10);
  return port > 0 && port < 65536 ? static_cast<uint16_t>(port) : 0;
}

}  // namespace

int RunLocalGame(const LocalGameOptions& options, std::ostream& err) {
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGTERM);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGCHLD);
  sigprocmask(SIG_BLOCK, &signals, nullptr);

  int pipeFds[2];
  if (pipe2(pipeFds, O_CLOEXEC) != 0) {
    err << "tessaro-host: cannot make a pipe\n";
    return 1;
  }
  std::vector<std::string> alice = PlayerArgs(options, "Alice", "Bob", 10);
  alice.insert(alice.end(), {"--listen", "0", "--port-fd", "3"});
  const pid_t first = Spawn(alice, pipeFds[1]);
  close(pipeFds[1]);
  const uint16_t port = first > 0 ? ReadPort(pipeFds[0]) : 0;
  close(pipeFds[0]);
  if (port == 0) {
    err << "tessaro-host: the first player did not start\n";
    if (first > 0) {
      kill(first, SIGTERM);
      waitpid(first, nullptr, 0);
    }
    return 1;
  }
  std::vector<std::string> bob = PlayerArgs(options, "Bob", "Alice", 560);
  bob.insert(bob.end(), {"--connect", "127.0.0.1:" + std::to_string(port)});
  const pid_t second = Spawn(bob, -1);

  std::vector<pid_t> running = {first};
  if (second > 0) running.push_back(second);
  if (second <= 0) {
    err << "tessaro-host: the second player did not start\n";
    kill(first, SIGTERM);
  }
  int result = second > 0 ? 0 : 1;
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
  return result;
}

}  // namespace tessaro
