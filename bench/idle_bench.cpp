// What two players cost while nobody plays: a server of this run's own (with
// TLS and a certificate the players trust, or without), two tessaro-host
// processes in real windows (run it under Xvfb: scripts/idle.sh does), each
// online with its game window open, no clock set. Once both are online and
// settled, every thread of each player is watched for the measured time:
// the CPU it used (utime + stime) and the times it was switched out
// (voluntary and involuntary context switches, the wake-ups), from /proc.
//
// Targets: each host at most 0.2 % of a core and at most 10 wake-ups a second.
//
//   tessaro_bench_idle HOST [--tls] [SECONDS]   (default 60)
//   exit 0: within the targets, 2: a target missed, 1: could not measure
#include <signal.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "host/xmpp_server.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

struct Usage {
  double cpuSeconds = 0;
  long switches = 0;
};

// All threads of a process: CPU from /proc/PID/stat (what its threads used,
// the ended ones included) and the context switches each live thread had.
Usage UsageOf(pid_t pid) {
  Usage usage;
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string line;
  std::getline(stat, line);
  // The fields after the command's closing parenthesis, from field 3 on.
  std::istringstream fields(line.substr(line.rfind(')') + 2));
  std::string field;
  long utime = 0, stime = 0;
  for (int n = 3; fields >> field; ++n) {
    if (n == 14) utime = std::atol(field.c_str());
    if (n == 15) {
      stime = std::atol(field.c_str());
      break;
    }
  }
  usage.cpuSeconds = static_cast<double>(utime + stime) / static_cast<double>(sysconf(_SC_CLK_TCK));
  std::error_code ec;
  for (const auto& task : fs::directory_iterator("/proc/" + std::to_string(pid) + "/task", ec)) {
    std::ifstream status(task.path() / "status");
    for (std::string entry; std::getline(status, entry);) {
      if (entry.starts_with("voluntary_ctxt_switches:") ||
          entry.starts_with("nonvoluntary_ctxt_switches:"))
        usage.switches += std::atol(entry.c_str() + entry.find(':') + 1);
    }
  }
  return usage;
}

// The last state the player's profile logged for its connection.
std::string LastState(const std::string& profile) {
  sqlite3* db = nullptr;
  std::string state;
  if (sqlite3_open_v2(profile.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
    sqlite3_busy_timeout(db, 1000);
    sqlite3_stmt* q = nullptr;
    if (sqlite3_prepare_v2(db, "SELECT state FROM connection_log ORDER BY id DESC LIMIT 1", -1, &q,
                           nullptr) == SQLITE_OK &&
        sqlite3_step(q) == SQLITE_ROW) {
      state = reinterpret_cast<const char*>(sqlite3_column_text(q, 0));
    }
    sqlite3_finalize(q);
  }
  sqlite3_close(db);
  return state;
}

bool Run(const std::string& command) {
  return std::system((command + " >/dev/null 2>&1").c_str()) == 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: tessaro_bench_idle HOST [--tls] [SECONDS]\n");
    return 1;
  }
  const std::string hostProgram = fs::absolute(argv[1]).string();
  bool tls = false;
  int seconds = 60;
  for (int i = 2; i < argc; ++i) {
    if (std::strcmp(argv[i], "--tls") == 0) {
      tls = true;
    } else {
      seconds = std::max(1, std::atoi(argv[i]));
    }
  }
  if (!tessaro::host::LocalXmppServer::Installed()) {
    std::fprintf(stderr, "idle: prosody is not installed\n");
    return 1;
  }
  std::string folder = (fs::temp_directory_path() / "tessaro-idle-XXXXXX").string();
  if (mkdtemp(folder.data()) == nullptr) return 1;
  std::string error;
  auto server = tessaro::host::LocalXmppServer::Create(folder + "/xmpp", &error);
  bool ok = server != nullptr;
  for (const char* user : {"alice", "bob"}) {
    ok = ok && server->AddAccount(user, "pw", &error);
    std::ofstream(folder + "/" + user + ".password") << "pw\n";
  }
  const std::string certificate = folder + "/server.pem";
  if (ok && tls) {
    // A certificate for localhost that the players trust by its file.
    ok = Run("openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -days 2"
             " -subj /CN=localhost -addext subjectAltName=DNS:localhost -keyout '" +
             folder + "/server.key' -out '" + certificate + "'") &&
         server->UseCertificate(certificate, folder + "/server.key", &error);
    if (!ok && error.empty()) error = "openssl could not make a certificate";
  }
  ok = ok && server->Start(&error);
  if (!ok) {
    std::fprintf(stderr, "idle: %s\n", error.c_str());
    return 1;
  }

  struct Player {
    const char* name;
    const char* user;
    const char* peer;
    const char* peerName;
    int x;
    pid_t pid = -1;
  };
  Player players[] = {{"Alice", "alice", "bob", "Bob", 0}, {"Bob", "bob", "alice", "Alice", 540}};
  const std::string port = std::to_string(server->port());
  for (Player& p : players) {
    std::vector<std::string> args = {hostProgram,
                                     "--profile",
                                     folder + "/" + p.name + ".db",
                                     "--name",
                                     p.name,
                                     "--account",
                                     server->Address(p.user),
                                     "--server",
                                     "127.0.0.1:" + port,
                                     "--password-file",
                                     folder + "/" + p.user + ".password",
                                     "--contact",
                                     server->Address(p.peer) + "=" + p.peerName,
                                     "--at",
                                     std::to_string(p.x) + ",0"};
    if (tls) {
      args.insert(args.end(), {"--trust-certificate", certificate});
    } else {
      args.emplace_back("--no-tls");
    }
    p.pid = fork();
    if (p.pid == 0) {
      std::vector<char*> argv2;
      for (std::string& a : args)
        argv2.push_back(a.data());
      argv2.push_back(nullptr);
      const std::string log = folder + "/" + p.name + ".log";
      if (!freopen(log.c_str(), "w", stdout) || !freopen(log.c_str(), "a", stderr)) _exit(127);
      execv(argv2[0], argv2.data());
      _exit(127);
    }
  }
  // Both online, then a few seconds for the start's work (the roster, the
  // presences, the windows' first paints) to settle.
  const auto patience = Clock::now() + std::chrono::seconds(30);
  bool online = false;
  while (!online && Clock::now() < patience) {
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    online =
        LastState(folder + "/Alice.db") == "online" && LastState(folder + "/Bob.db") == "online";
  }
  int status = 1;
  if (!online) {
    std::fprintf(stderr, "idle: the players did not come online (logs in %s)\n", folder.c_str());
  } else {
    std::this_thread::sleep_for(std::chrono::seconds(5));
    Usage before[2], after[2];
    for (int i = 0; i < 2; ++i)
      before[i] = UsageOf(players[i].pid);
    const auto start = Clock::now();
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
    status = 0;
    std::printf("idle, %s, %d s: two players online in windows, nobody playing\n",
                tls ? "with TLS" : "without TLS", seconds);
    for (int i = 0; i < 2; ++i) {
      after[i] = UsageOf(players[i].pid);
      const double cpu = 100 * (after[i].cpuSeconds - before[i].cpuSeconds) / elapsed;
      const double wakeups = static_cast<double>(after[i].switches - before[i].switches) / elapsed;
      std::printf("  %-5s  CPU %5.3f %% of a core   wake-ups %6.1f a second\n", players[i].name,
                  cpu, wakeups);
      if (cpu > 0.2 || wakeups > 10) status = 2;
      if (LastState(folder + "/" + players[i].name + ".db") != "online") {
        std::printf("  %s is no longer online\n", players[i].name);
        status = 1;
      }
    }
    std::printf("    targets: each at most 0.2 %% of a core and 10 wake-ups a second: %s\n",
                status == 0 ? "met" : "MISSED");
  }
  for (Player& p : players) {
    if (p.pid > 0) {
      kill(p.pid, SIGTERM);
      waitpid(p.pid, nullptr, 0);
    }
  }
  server.reset();
  std::error_code ignored;
  if (status == 0) fs::remove_all(folder, ignored);
  return status;
}
