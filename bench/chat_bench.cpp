// What a chat line costs as a chat grows long: two game windows of one host
// talk through the host's loopback, line after line, each line from the Enter
// in the sender's chat line until both windows are idle again (stored, sent,
// received, logged and painted on both sides), on the headless backend or on
// the desktop backend (real windows: run it under Xvfb), where the changed
// pixels also go to the X server.
//
// Prints the median cost of the first 100 lines (after 100 lines of warm-up)
// and of the last 100 lines and their ratio, as the process's CPU time (all
// its threads), which other programs on a busy machine do not disturb, and
// as wall-clock time beside it; the messenger's start (the host made on the profile and the plug-in
// loaded) after the first 100 lines and after all of them; and how much the
// process's resident memory grew over the lines against the bytes both logs
// gained. Targets: both ratios at most 1.2, memory at most 3 times the logs'
// bytes. The profile is a file, as a player's is; every line is stored in it
// as a sent and a received message and as an entry of both kept logs.
//
//   tessaro_bench_chat [lines] [--desktop]   (default 100000 lines, headless)
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "apps/platform_queue.h"
#include "bench/bench_stats.h"
#include "framework/headless/headless_driver.h"
#include "host/host.h"
#include "host/transport.h"
#include "plugin/plugin_app.h"
#ifdef TESSARO_BENCH_DESKTOP
#include "framework/desktop/desktop_driver.h"
#endif

namespace {

using namespace tessaro;
using Clock = std::chrono::steady_clock;

constexpr size_t kEnds = 100;
constexpr int kRestarts = 7;

using bench::Median;
using bench::Micros;

// The CPU time of the whole process so far (every thread), in microseconds.
double CpuMicros() {
  timespec now{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) * 1e6 + static_cast<double>(now.tv_nsec) / 1e3;
}

long ResidentBytes() {
  std::ifstream statm("/proc/self/statm");
  long size = 0, resident = 0;
  statm >> size >> resident;
  return resident * sysconf(_SC_PAGESIZE);
}

// The host on the profile, the plug-in loaded, the two contacts' game windows
// open; made again on the same profile after a restart.
class Session {
 public:
  explicit Session(std::string profile) : profile_(std::move(profile)) {}

  bool Open() {
    host::HostOptions options;
    options.profile_path = profile_;
    std::string error;
    host_ = host::Host::Create(queue_, options, &error);
    if (!host_) {
      std::fprintf(stderr, "host: %s\n", error.c_str());
      return false;
    }
    HANDLE bob = host_->FindContact("Bob");
    HANDLE alice = host_->FindContact("Alice");
    if (bob == nullptr || alice == nullptr) {
      host_->SetUserName("Me");
      bob = host_->AddContact("Bob");
      alice = host_->AddContact("Alice");
    }
    auto loopback = std::make_unique<host::LoopbackTransport>(host_->IncomingSink());
    if (!loopback->Pair(bob, alice)) return false;
    host_->SetTransport(std::move(loopback));
    app_ = std::make_unique<PluginApp>();
    if (!app_->resourcesLoaded() || app_->Load(host_->link()) != 0) return false;
    contacts_[0] = bob;
    contacts_[1] = alice;
    return true;
  }
  void OpenWindows() {
    for (int i = 0; i < 2; ++i) {
      app_->OpenGameWindow(contacts_[i]);
      windows_[i] = app_->FindOrCreateWindow(contacts_[i]);
    }
  }
  void Close() {
    app_.reset();
    host_.reset();
  }
  GameWindow& window(size_t i) { return *windows_[i % 2]; }
  size_t LogBytes() const { return windows_[0]->LogText().size() + windows_[1]->LogText().size(); }

 private:
  std::string profile_;
  PlatformQueue queue_;
  std::unique_ptr<host::Host> host_;
  std::unique_ptr<PluginApp> app_;
  HANDLE contacts_[2] = {};
  GameWindow* windows_[2] = {};
};

int Run(size_t lines, bool desktop, const std::string& folder) {
  std::unique_ptr<Driver> driver;
#ifdef TESSARO_BENCH_DESKTOP
  if (desktop) {
    if (!DesktopDriver::OpenDisplay()) {
      std::fprintf(stderr, "no display: run it under Xvfb\n");
      return 1;
    }
    driver = std::make_unique<DesktopDriver>(DesktopOptions{0, 0, 1});
  }
#endif
  if (desktop && !driver) {
    std::fprintf(stderr, "built without the desktop backend\n");
    return 1;
  }
  if (!driver) driver = std::make_unique<HeadlessDriver>();
  Driver& shown = *driver;
  Platform platform(std::move(driver));
  // Both windows idle and what they drew handed to the screen.
  auto settle = [&] {
    platform.RunUntilIdle();
    if (desktop) shown.WaitForWork(shown.NowMs());  // draws what changed, waits for nothing
  };
  Session session(folder + "/profile.db");
  // The messenger started on the profile: the host made and the plug-in loaded.
  // Its cost is mostly the profile's file work, which a busy disk makes
  // noisy: the median of a few restarts.
  auto restart = [&] {
    std::vector<double> costs;
    for (int i = 0; i < kRestarts; ++i) {
      session.Close();
      settle();
      const auto start = Clock::now();
      if (!session.Open()) std::exit(1);
      settle();
      costs.push_back(Micros(Clock::now() - start));
    }
    session.OpenWindows();
    settle();
    return Median(costs);
  };
  if (!session.Open()) return 1;
  session.OpenWindows();
  settle();

  // The first lines after a warm-up (the first allocations, the caches):
  // both ends are then measured on a process in its steady state.
  const size_t ends = std::min(kEnds, lines / 3);
  const size_t warmUp = ends;
  std::vector<double> costs, cpuCosts;
  costs.reserve(lines);
  cpuCosts.reserve(lines);
  long memoryBefore = 0;
  size_t logBefore = 0;
  double startSmall = 0;
  for (size_t i = 0; i < lines; ++i) {
    if (i == warmUp + ends) {
      // A restart with a short chat in the profile, then the memory the long
      // chat is measured from.
      startSmall = restart();
      memoryBefore = ResidentBytes();
      logBefore = session.LogBytes();
    }
    GameWindow& sender = session.window(i);
    sender.SetDlgItemText(kChatLine, "line " + std::to_string(i) + " of a long evening's chat");
    const double cpuStart = CpuMicros();
    const auto start = Clock::now();
    sender.SendMessage(WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    settle();
    costs.push_back(Micros(Clock::now() - start));
    cpuCosts.push_back(CpuMicros() - cpuStart);
  }
  const long memoryGrowth = ResidentBytes() - memoryBefore;
  const size_t logGrowth = session.LogBytes() - logBefore;
  const double startLarge = restart();
  session.Close();
  settle();

  const auto ratioOf = [&](const std::vector<double>& all, double* first, double* last) {
    const auto from = all.begin() + static_cast<long>(warmUp);
    *first = Median({from, from + static_cast<long>(ends)});
    *last = Median({all.end() - static_cast<long>(ends), all.end()});
    return *last / *first;
  };
  double first = 0, last = 0, cpuFirst = 0, cpuLast = 0;
  const double wallRatio = ratioOf(costs, &first, &last);
  const double cpuRatio = ratioOf(cpuCosts, &cpuFirst, &cpuLast);
  const double memoryRatio =
      logGrowth ? static_cast<double>(memoryGrowth) / static_cast<double>(logGrowth) : 0;
  std::printf("%s backend, %zu chat lines (each stored twice in the profile)\n",
              desktop ? "desktop" : "headless", lines);
  std::printf("chat line CPU:  first %zu %8.1f us   last %zu %8.1f us   ratio %.2f\n", ends,
              cpuFirst, ends, cpuLast, cpuRatio);
  std::printf("chat line wall: first %zu %8.1f us   last %zu %8.1f us   ratio %.2f\n", ends, first,
              ends, last, wallRatio);
  std::printf("start:     after %zu %8.1f us   after %zu %8.1f us   ratio %.2f\n", warmUp + ends,
              startSmall, lines, startLarge, startLarge / startSmall);
  std::printf("resident memory grew %.1f MB for %.1f MB of log text: %.2f times\n",
              static_cast<double>(memoryGrowth) / 1e6, static_cast<double>(logGrowth) / 1e6,
              memoryRatio);
  const bool flat = cpuRatio <= 1.2 && startLarge / startSmall <= 1.2 && memoryRatio <= 3;
  std::printf("%s\n", flat ? "flat: within the targets" : "NOT flat: a target is missed");
  return flat ? 0 : 2;
}

}  // namespace

int main(int argc, char** argv) {
  size_t lines = 100000;
  bool desktop = false;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--desktop") == 0) {
      desktop = true;
    } else {
      lines = static_cast<size_t>(std::max(2L, std::atol(argv[i])));
    }
  }
  // The profile, and anything saved, in a fresh folder.
  char pattern[] = "/tmp/tessaro-chat-bench-XXXXXX";
  if (mkdtemp(pattern) == nullptr || chdir(pattern) != 0) return 1;
  const int result = Run(lines, desktop, pattern);
  std::error_code ignored;
  std::filesystem::remove_all(pattern, ignored);
  return result;
}
