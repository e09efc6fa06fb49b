// How fast a stone travels through a local XMPP server, and how soon the game
// is ready to play.
//
// Alice and Bob are two processes (one host each: a host is one per process),
// each with the real plug-in module on the headless backend, a profile of its
// own and the XMPP link, through a prosody of this run's own. Figures:
//   - ready: from starting the server to both players online;
//   - click to stone: Alice clicks a point; Bob's board shows her stone (read
//     off his window's pixels). 200 moves: she places her stone, Bob sees it,
//     she takes it back, Bob sees it go, and again;
//   - the floor, in the same run through the same server: a bare libstrophe
//     message from one connection to another (one way), and its echo back.
// Both processes read CLOCK_MONOTONIC, which the machine shares.
//
//   tessaro_bench_click_latency [MODULE]    exit 0 when the figures were measured
#include <signal.h>
#include <strophe.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "apps/platform_queue.h"
#include "apps/player.h"
#include "framework/afx.h"
#include "framework/headless/headless.h"
#include "host/host.h"
#include "host/xmpp_server.h"

namespace {

using namespace tessaro;
using Clock = std::chrono::steady_clock;

constexpr int kMoves = 200;
constexpr UINT kGameDialog = 102;
constexpr auto kPatience = std::chrono::seconds(20);

int64_t NowNs() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch())
      .count();
}

double Ms(int64_t ns) {
  return static_cast<double>(ns) / 1e6;
}

// "h8" -> (7, 7): column letter, row from the bottom.
CPoint Point(const char* name) {
  return CPoint(name[0] - 'a', 15 - std::atoi(name + 1));
}

// What a stone's body looks like a little off its crossing.
std::string Cell(COLORREF pixel) {
  switch (pixel) {
    case RGB(0, 0, 0):
      return "black";
    case RGB(255, 255, 255):
      return "white";
    case RGB(0, 128, 0):
      return "proposal";
    default:
      return "empty";
  }
}

// ---- One player ----

class Side {
 public:
  Side(const std::string& name, const std::string& profile, const AccountOptions& account,
       const std::string& module) {
    ui_.driver().SetIdleWait(50);
    std::string error;
    host::HostOptions options;
    options.profile_path = profile;
    host_ = host::Host::Create(queue_, options, &error);
    std::vector<HANDLE> named;
    if (!host_ || !ConnectPlayer(*host_, account, &named, {}, &error) ||
        !host_->LoadModule(module, &error) || named.empty()) {
      Fail(name + ": " + error);
    }
    peer_ = named.front();
  }

  void Fail(const std::string& why) {
    std::fprintf(stderr, "click_latency: %s\n", why.c_str());
    std::_Exit(1);
  }

  void WaitOnline() {
    Until([&] { return host_->ConnectionState() == host::LinkState::kOnline; }, "online");
  }
  void Open() {
    if (!OpenGameWindow(*host_, peer_)) Fail("no game window");
    ui_.RunUntilIdle();
  }
  void AnswerNo() { ui_.AnswerMessageBox(IDNO); }
  void Click(const char* point) {
    const CPoint p = Point(point);
    if (!ui_.Click(Window(), CPoint(19 + 17 * p.x, 15 + 17 * p.y))) Fail("cannot click");
  }
  // Waits until the point shows `what` (black, white, proposal or empty);
  // returns when it saw it.
  int64_t Wait(const char* point, const std::string& what) {
    const CPoint p = Point(point);
    Until([&] { return Cell(ui_.Pixel(Window(), 19 + 17 * p.x + 3, 15 + 17 * p.y + 3)) == what; },
          std::string(point) + " " + what);
    return NowNs();
  }

 private:
  CWnd& Window() {
    for (HWND hwnd : ui_.platform().Windows()) {
      auto* dialog = dynamic_cast<CDialog*>(CWnd::FromHandle(hwnd));
      if (dialog != nullptr && dialog->GetTemplateId() == kGameDialog) return *dialog;
    }
    Fail("no game window");
    std::abort();
  }
  // Runs what arrives, sleeping until the next post, until `done` holds.
  template <typename Done>
  void Until(Done done, const std::string& what) {
    const auto until = Clock::now() + kPatience;
    for (;;) {
      ui_.RunUntilIdle();
      if (done()) return;
      if (Clock::now() > until) Fail("waited too long for " + what);
      ui_.driver().WaitForWork(std::nullopt);
    }
  }

  Headless ui_;
  PlatformQueue queue_;
  std::unique_ptr<host::Host> host_;
  HANDLE peer_ = nullptr;
};

// ---- Bob in a child process, told what to do through a pipe ----

struct Pipe {
  int read = -1;
  int write = -1;
};

void Say(int fd, const std::string& line) {
  const std::string text = line + "\n";
  if (::write(fd, text.data(), text.size()) != static_cast<ssize_t>(text.size())) std::_Exit(1);
}

std::string Hear(int fd) {
  std::string line;
  char c;
  while (::read(fd, &c, 1) == 1 && c != '\n')
    line += c;
  return line;
}

void RunBob(Side& bob, int in, int out) {
  for (;;) {
    const std::string line = Hear(in);
    char point[8] = {};
    char what[16] = {};
    if (line == "online") {
      bob.WaitOnline();
      Say(out, std::to_string(NowNs()));
    } else if (line == "open") {
      bob.Open();
      Say(out, "ok");
    } else if (line == "no") {
      bob.AnswerNo();
      Say(out, "ok");
    } else if (std::sscanf(line.c_str(), "click %7s", point) == 1) {
      bob.Click(point);
      Say(out, "ok");
    } else if (std::sscanf(line.c_str(), "wait %7s %15s", point, what) == 2) {
      Say(out, std::to_string(bob.Wait(point, what)));
    } else {
      return;  // "quit", or the parent is gone
    }
  }
}

// ---- The floor: bare libstrophe through the same server ----

struct Floor {
  xmpp_ctx_t* ctx = nullptr;
  xmpp_conn_t* from = nullptr;
  xmpp_conn_t* to = nullptr;
  int online = 0;
  int64_t sent = 0;
  int64_t arrived = 0;
  int64_t back = 0;
  std::vector<int64_t> oneWay;
  std::vector<int64_t> roundTrip;
};

int OnFloorMessage(xmpp_conn_t* conn, xmpp_stanza_t* stanza, void* data) {
  auto* floor = static_cast<Floor*>(data);
  if (conn == floor->to) {
    floor->arrived = NowNs();
    xmpp_stanza_t* echo = xmpp_message_new(floor->ctx, "chat", "carol@localhost/floor", nullptr);
    xmpp_message_set_body(echo, "echo");
    xmpp_send(conn, echo);
    xmpp_stanza_release(echo);
  } else {
    floor->back = NowNs();
  }
  (void)stanza;
  return 1;
}

void OnFloorState(xmpp_conn_t* conn, xmpp_conn_event_t event, int, xmpp_stream_error_t*,
                  void* data) {
  auto* floor = static_cast<Floor*>(data);
  if (event != XMPP_CONN_CONNECT) return;
  xmpp_stanza_t* presence = xmpp_presence_new(floor->ctx);
  xmpp_send(conn, presence);
  xmpp_stanza_release(presence);
  ++floor->online;
}

bool MeasureFloor(uint16_t port, Floor& floor) {
  xmpp_initialize();
  floor.ctx = xmpp_ctx_new(nullptr, xmpp_get_default_logger(XMPP_LEVEL_ERROR));
  for (auto [conn, jid] : {std::pair{&floor.from, "carol@localhost/floor"},
                           std::pair{&floor.to, "dave@localhost/floor"}}) {
    *conn = xmpp_conn_new(floor.ctx);
    xmpp_conn_set_flags(*conn, XMPP_CONN_FLAG_DISABLE_TLS);
    xmpp_conn_set_jid(*conn, jid);
    xmpp_conn_set_pass(*conn, "floor");
    xmpp_handler_add(*conn, OnFloorMessage, nullptr, "message", nullptr, &floor);
    xmpp_connect_client(*conn, "127.0.0.1", port, OnFloorState, &floor);
  }
  const auto until = Clock::now() + kPatience;
  while (floor.online < 2 && Clock::now() < until)
    xmpp_run_once(floor.ctx, 1);
  bool ok = floor.online == 2;
  for (int i = 0; ok && i < kMoves; ++i) {
    floor.arrived = floor.back = 0;
    xmpp_stanza_t* message = xmpp_message_new(floor.ctx, "chat", "dave@localhost/floor", nullptr);
    xmpp_message_set_body(message, "#stone");
    floor.sent = NowNs();
    xmpp_send(floor.from, message);
    xmpp_stanza_release(message);
    while (floor.back == 0 && Clock::now() < until)
      xmpp_run_once(floor.ctx, 1);
    ok = floor.back != 0;
    floor.oneWay.push_back(floor.arrived - floor.sent);
    floor.roundTrip.push_back(floor.back - floor.sent);
  }
  for (xmpp_conn_t* conn : {floor.from, floor.to}) {
    xmpp_disconnect(conn);
  }
  for (int i = 0; i < 20; ++i)
    xmpp_run_once(floor.ctx, 5);
  xmpp_conn_release(floor.from);
  xmpp_conn_release(floor.to);
  xmpp_ctx_free(floor.ctx);
  xmpp_shutdown();
  return ok;
}

void Report(const char* what, std::vector<int64_t> ns) {
  std::sort(ns.begin(), ns.end());
  const auto at = [&](double q) {
    return Ms(ns[static_cast<size_t>(q * static_cast<double>(ns.size() - 1))]);
  };
  std::printf("%-44s median %6.3f ms  p99 %6.3f ms  max %6.3f ms  (n=%zu)\n", what, at(0.5),
              at(0.99), Ms(ns.back()), ns.size());
}

}  // namespace

int main(int argc, char** argv) {
  signal(SIGPIPE, SIG_IGN);
  const std::string module = argc > 1 ? argv[1] : TESSARO_PLUGIN;
  if (!host::LocalXmppServer::Installed()) {
    std::fprintf(stderr, "click_latency: prosody is not installed\n");
    return 2;
  }
  std::string folder = (std::filesystem::temp_directory_path() / "tessaro-bench-XXXXXX").string();
  if (mkdtemp(folder.data()) == nullptr) return 1;
  std::string error;
  auto server = host::LocalXmppServer::Create(folder + "/xmpp", &error);
  bool ok = server != nullptr;
  for (const char* user : {"alice", "bob", "carol", "dave"}) {
    const std::string password = std::string(user) == "carol" || std::string(user) == "dave"
                                     ? std::string("floor")
                                     : std::string("pw-") + user;
    ok = ok && server->AddAccount(user, password, &error);
    std::ofstream(folder + "/" + user + ".password") << password << "\n";
  }
  if (!ok) {
    std::fprintf(stderr, "click_latency: %s\n", error.c_str());
    return 1;
  }
  const auto account = [&](const char* name, const char* user, const char* peerName,
                           const char* peer) {
    AccountOptions a;
    a.name = name;
    a.address = server->Address(user);
    a.server = "127.0.0.1";
    a.port = server->port();
    a.tls = false;
    a.passwordFile = folder + "/" + user + ".password";
    a.contacts = {{server->Address(peer), peerName}};
    return a;
  };

  const int64_t start = NowNs();
  if (!server->Start(&error)) {
    std::fprintf(stderr, "click_latency: %s\n", error.c_str());
    return 1;
  }
  Pipe toBob, fromBob;
  int fds[2];
  if (pipe(fds) != 0) return 1;
  toBob = {fds[0], fds[1]};
  if (pipe(fds) != 0) return 1;
  fromBob = {fds[0], fds[1]};
  const pid_t child = fork();
  if (child == 0) {
    close(toBob.write);
    close(fromBob.read);
    {
      Side bob("Bob", folder + "/Bob.db", account("Bob", "bob", "Alice", "alice"), module);
      RunBob(bob, toBob.read, fromBob.write);
    }
    std::_Exit(0);
  }
  close(toBob.read);
  close(fromBob.write);
  const auto ask = [&](const std::string& line) {
    Say(toBob.write, line);
    return Hear(fromBob.read);
  };
  std::vector<int64_t> clicks;
  std::vector<int64_t> handled;  // the click's own handling in Alice's host
  int64_t ready = 0;
  int childStatus = 0;
  {
    Side alice("Alice", folder + "/Alice.db", account("Alice", "alice", "Bob", "bob"), module);
    alice.WaitOnline();
    const int64_t aliceOnline = NowNs();
    const int64_t bobOnline = std::atoll(ask("online").c_str());
    ready = std::max(aliceOnline, bobOnline) - start;

    // The opening, as in the sample game, up to Alice's seventh stone.
    alice.Open();
    ask("open");
    ask("no");
    for (const char* p : {"h8", "h9", "i9"})
      alice.Click(p);
    ask("wait i9 black");
    ask("click g10");
    alice.Wait("g10", "white");
    alice.Click("j10");
    alice.Click("f7");
    ask("wait f7 proposal");
    ask("click j10");
    alice.Wait("j10", "black");
    ask("wait f7 empty");  // Bob's turn comes with the other proposal taken away
    ask("click a1");
    alice.Wait("a1", "white");

    // Her stone, seen by Bob; taken back, seen gone; again.
    for (int i = 0; i < kMoves; ++i) {
      const int64_t clicked = NowNs();
      alice.Click("k11");
      handled.push_back(NowNs() - clicked);
      const int64_t seen = std::atoll(ask("wait k11 black").c_str());
      clicks.push_back(seen - clicked);
      alice.Click("k11");
      ask("wait k11 empty");
    }
    Say(toBob.write, "quit");
    waitpid(child, &childStatus, 0);
  }

  // The floor, once the players are gone.
  Floor floor;
  const bool floorOk = MeasureFloor(server->port(), floor);
  {
    std::printf("ready: server start to both players online       %8.1f ms   (target <= 1000 ms)\n",
                Ms(ready));
    Report("click to stone on the peer's board", clicks);
    Report("  of which the click in Alice's host", handled);
    std::printf("    targets: median <= 2 ms, p99 <= 10 ms\n");
    if (floorOk) {
      Report("floor: bare libstrophe message, one way", floor.oneWay);
      Report("floor: bare libstrophe echo, round trip", floor.roundTrip);
    } else {
      std::printf("floor: not measured\n");
    }
  }
  const int status = floorOk && WIFEXITED(childStatus) && WEXITSTATUS(childStatus) == 0 ? 0 : 1;
  server.reset();
  std::filesystem::remove_all(folder);
  return status;
}
