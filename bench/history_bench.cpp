// What a long history with one contact costs the messenger. Two profiles, one
// holding 100 messages with Bob and one holding 100,000 (sent and received in
// turn, as a long friendship leaves them), each measured the same way:
//   - start: the host made on the profile, the plug-in loaded and the
//     messenger window opened and drawn (the median of a few starts);
//   - a new message: one to Bob (the loopback hands it back as from Alice)
//     and one from Bob, each stored and handed to the plug-in, until the window
//     is idle again (the median of a few hundred, after a warm-up).
// Both as the process's CPU time (all its threads), which other programs on a
// busy machine do not disturb, with wall-clock time beside it.
// Target: with 100,000 messages both cost at most 1.2 times what they cost with
// 100. The profile is a file, as a player's is.
//
//   tessaro_bench_history [messages] [MODULE]    (default 100000)
#include <time.h>

#include <algorithm>
#include <chrono>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "apps/host_window.h"
#include "apps/platform_queue.h"
#include "bench/bench_stats.h"
#include "framework/headless/headless_driver.h"
#include "host/host.h"
#include "host/transport.h"
#include "sdk/plugin_api.h"

namespace {

using namespace tessaro;
using Clock = std::chrono::steady_clock;
using bench::Median;
using bench::Micros;

constexpr size_t kSmall = 100;
constexpr int kRounds = 9;
constexpr int kWarmUp = 10;    // messages of a round not counted
constexpr int kMessages = 40;  // messages of a round counted

double CpuMicros() {
  timespec now{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) * 1e6 + static_cast<double>(now.tv_nsec) / 1e3;
}

[[noreturn]] void Fail(const std::string& why) {
  std::fprintf(stderr, "history: %s\n", why.c_str());
  std::exit(1);
}

// The messenger on one profile: the host, the plug-in and the window.
class Messenger {
 public:
  Messenger(Platform& platform, std::string profile, std::string module)
      : platform_(platform), profile_(std::move(profile)), module_(std::move(module)) {}

  // The profile's first start: the contacts, and `messages` with Bob stored
  // before the plug-in is there to see them.
  void Fill(size_t messages) {
    MakeHost();
    bob_ = host_->AddContact("Bob");
    alice_ = host_->AddContact("Alice");
    host_->SetUserName("Me");
    for (size_t i = 0; i < messages; ++i) {
      host::EventRecord event;
      event.contact = bob_;
      event.module = host::kIcqProtocol;
      event.timestamp = static_cast<uint32_t>(1'700'000'000 + i);
      event.flags = DBEF_READ | (i % 2 == 0 ? DBEF_SENT : 0);
      event.blob = "message " + std::to_string(i) + " of a long friendship";
      event.blob.push_back('\0');
      if (host_->AddEvent(event) == nullptr) Fail("cannot store message " + std::to_string(i));
    }
    Close();
  }

  void Start() {
    MakeHost();
    bob_ = host_->FindContact("Bob");
    alice_ = host_->FindContact("Alice");
    auto loopback = std::make_unique<host::LoopbackTransport>(host_->IncomingSink());
    if (bob_ == nullptr || alice_ == nullptr || !loopback->Pair(bob_, alice_))
      Fail("the contacts are missing");
    host_->SetTransport(std::move(loopback));
    // As the messenger starts: its window first, then the plug-in.
    window_ = std::make_unique<HostWindow>(*host_);
    if (!window_->Open()) Fail("cannot make the messenger window");
    std::string error;
    if (!host_->LoadModule(module_, &error)) Fail(error);
    platform_.RunUntilIdle();
  }

  // Bob's messages in the profile (read whole: only to check the run).
  size_t StoredWithBob() const { return host_->EventsOf(bob_).size(); }

  void Close() {
    window_.reset();
    host_.reset();
    platform_.RunUntilIdle();
  }

  // One message to Bob and one from him, until everything is idle.
  void Exchange(size_t n) {
    const std::string text = "new message " + std::to_string(n);
    CCSDATA ccs{};
    ccs.hContact = bob_;
    ccs.szProtoService = PSS_MESSAGE;
    ccs.lParam = reinterpret_cast<LPARAM>(text.c_str());
    if (host_->CallService(MS_PROTO_CALLCONTACTSERVICE, 0, reinterpret_cast<LPARAM>(&ccs)) == 0)
      Fail("cannot send " + text);
    host_->IncomingSink().Receive(bob_, "answer " + std::to_string(n));
    platform_.RunUntilIdle();
  }

 private:
  void MakeHost() {
    host::HostOptions options;
    options.profile_path = profile_;
    std::string error;
    host_ = host::Host::Create(queue_, options, &error);
    if (!host_) Fail(error);
  }

  Platform& platform_;
  std::string profile_;
  std::string module_;
  PlatformQueue queue_;
  std::unique_ptr<host::Host> host_;
  std::unique_ptr<HostWindow> window_;
  HANDLE bob_ = nullptr;
  HANDLE alice_ = nullptr;
};

// What the rounds on one profile measured, in us.
struct Samples {
  std::vector<double> start, startWall, message, messageWall;
  size_t exchanged = 0;
};

// One round on a profile: a start, a few messages after a warm-up, and the
// close. The two profiles take turns, so that what else the machine does
// falls on both alike.
void Round(Messenger& messenger, Samples& samples) {
  double cpuStart = CpuMicros();
  auto start = Clock::now();
  messenger.Start();
  samples.start.push_back(CpuMicros() - cpuStart);
  samples.startWall.push_back(Micros(Clock::now() - start));
  for (int i = 0; i < kWarmUp + kMessages; ++i) {
    cpuStart = CpuMicros();
    start = Clock::now();
    messenger.Exchange(samples.exchanged++);
    if (i < kWarmUp) continue;
    samples.message.push_back(CpuMicros() - cpuStart);
    samples.messageWall.push_back(Micros(Clock::now() - start));
  }
  messenger.Close();
}

}  // namespace

int main(int argc, char** argv) {
  const size_t large = argc > 1 ? static_cast<size_t>(std::max(1L, std::atol(argv[1]))) : 100000;
  const std::string module = argc > 2 ? argv[2] : TESSARO_PLUGIN;
  char pattern[] = "/tmp/tessaro-history-bench-XXXXXX";
  if (mkdtemp(pattern) == nullptr) return 1;
  const std::string folder = pattern;

  ResourceModule resources;
  HostWindow::AddResources(resources);
  Platform platform(std::make_unique<HeadlessDriver>());
  platform.SetResourceModule(&resources);
  Messenger small(platform, folder + "/small.db", module);
  Messenger big(platform, folder + "/large.db", module);
  small.Fill(kSmall);
  big.Fill(large);
  Samples smallSamples, bigSamples;
  for (int round = 0; round < kRounds; ++round) {
    if (round % 2 == 0) {
      Round(small, smallSamples);
      Round(big, bigSamples);
    } else {
      Round(big, bigSamples);
      Round(small, smallSamples);
    }
  }
  // Every message went in: Bob has what the profile held and two of each exchange.
  for (auto [messenger, held, samples] :
       {std::tuple{&small, kSmall, &smallSamples}, std::tuple{&big, large, &bigSamples}}) {
    messenger->Start();
    const size_t stored = messenger->StoredWithBob();
    messenger->Close();
    if (stored != held + 2 * samples->exchanged)
      Fail("Bob has " + std::to_string(stored) + " messages stored, not " +
           std::to_string(held + 2 * samples->exchanged));
  }
  platform.SetResourceModule(nullptr);
  std::error_code ignored;
  std::filesystem::remove_all(folder, ignored);

  const double startRatio = Median(bigSamples.start) / Median(smallSamples.start);
  const double messageRatio = Median(bigSamples.message) / Median(smallSamples.message);
  const auto line = [](const char* what, const std::vector<double>& of,
                       const std::vector<double>& to) {
    std::printf("%-28s %8.1f us   %8.1f us   ratio %.2f\n", what, Median(to), Median(of),
                Median(of) / Median(to));
  };
  std::printf("messages with one contact:   %8zu      %8zu      (medians of %d rounds)\n", kSmall,
              large, kRounds);
  line("start, CPU:", bigSamples.start, smallSamples.start);
  line("start, wall:", bigSamples.startWall, smallSamples.startWall);
  line("new message, CPU:", bigSamples.message, smallSamples.message);
  line("new message, wall:", bigSamples.messageWall, smallSamples.messageWall);
  const bool flat = startRatio <= 1.2 && messageRatio <= 1.2;
  std::printf("%s\n", flat ? "flat: within the targets" : "NOT flat: a target is missed");
  return flat ? 0 : 2;
}
