// What the XMPP tests share: a temporary folder that is removed afterwards, and
// (in XmppTest) a local server of the test's own with accounts.
#pragma once

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "host/xmpp_server.h"
#include "host/xmpp_transport.h"

extern char** environ;

namespace tessaro::host::testing {

class TempFolder {
 public:
  TempFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "tessaro-XXXXXX").string();
    if (::mkdtemp(pattern.data()) != nullptr) path_ = pattern;
  }
  ~TempFolder() {
    std::error_code ignored;
    if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

// Generous: waits end as soon as their condition holds; the limit only keeps a
// broken build from hanging.
inline constexpr auto kXmppPatience = std::chrono::seconds(60);

// Polls `condition`, running `pump` (e.g. a queue) between looks.
inline bool WaitUntil(const std::function<bool()>& condition,
                      const std::function<void()>& pump = {},
                      std::chrono::milliseconds patience = kXmppPatience) {
  const auto end = std::chrono::steady_clock::now() + patience;
  while (true) {
    if (pump) pump();
    if (condition()) return true;
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}

// A server certificate made with openssl for a test: FOLDER/NAME.pem, its key
// NAME.key and its fingerprint NAME.fp as openssl prints it, for `host`, valid
// `days` from now (negative: expired since), signed by itself or by the
// folder's CA, ca.pem (made with the first certificate that needs it).
inline bool MakeCertificate(const std::string& folder, const std::string& name,
                            const std::string& host, int days, bool self_signed,
                            std::string* error) {
  const std::string base = folder + "/" + name;
  const std::string key = " -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes";
  const std::string quiet = " 2>/dev/null";
  std::vector<std::string> commands;
  if (self_signed) {
    commands.push_back("openssl req -x509" + key + " -keyout " + base + ".key -out " + base +
                       ".pem -days " + std::to_string(days) + " -subj /CN=" + host +
                       " -addext subjectAltName=DNS:" + host);
  } else {
    if (!std::filesystem::exists(folder + "/ca.pem")) {
      commands.push_back("openssl req -x509" + key + " -keyout " + folder + "/ca.key -out " +
                         folder + "/ca.pem -days 30 -subj /CN=Tessaro-Test-CA");
    }
    std::ofstream(base + ".ext") << "subjectAltName=DNS:" << host << "\n";
    commands.push_back("openssl req" + key + " -keyout " + base + ".key -out " + base +
                       ".csr -subj /CN=" + host);
    commands.push_back("openssl x509 -req -in " + base + ".csr -CA " + folder + "/ca.pem -CAkey " +
                       folder + "/ca.key -set_serial " +
                       std::to_string(std::hash<std::string>{}(name) % 1000000007) + " -days " +
                       std::to_string(days) + " -extfile " + base + ".ext -out " + base + ".pem");
  }
  commands.push_back("openssl x509 -noout -fingerprint -sha256 -in " + base + ".pem > " + base +
                     ".fp");
  for (const std::string& command : commands) {
    if (std::system((command + quiet).c_str()) != 0) {
      *error = "openssl failed: " + command;
      return false;
    }
  }
  return true;
}

inline std::string ReadWhole(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Records what a transport reports, for tests that drive a bare transport.
class RecordingListener final : public XmppTransport::Listener {
 public:
  void OnState(LinkState state, const std::string& detail) override {
    std::lock_guard<std::mutex> lock(mutex);
    states.push_back(state);
    details.push_back(detail);
  }
  void OnProblem(const ConnectionProblem& problem) override {
    std::lock_guard<std::mutex> lock(mutex);
    problems.push_back(problem);
  }
  void OnMessage(IncomingStanza stanza) override {
    std::lock_guard<std::mutex> lock(mutex);
    messages.push_back(std::move(stanza));
  }
  void OnPresence(const IncomingPresence& presence) override {
    std::lock_guard<std::mutex> lock(mutex);
    presences.push_back(presence.from + " " + presence.type + " " + presence.caps_ver);
  }
  void OnRoster(std::vector<RosterItem> items) override {
    std::lock_guard<std::mutex> lock(mutex);
    roster = std::move(items);
  }
  std::size_t MessageCount() {
    std::lock_guard<std::mutex> lock(mutex);
    return messages.size();
  }

  std::mutex mutex;
  std::vector<LinkState> states;
  std::vector<std::string> details;  // each state's
  std::vector<ConnectionProblem> problems;
  std::vector<IncomingStanza> messages;
  std::vector<std::string> presences;
  std::vector<RosterItem> roster;
};

// Another client of an account, as a phone would be: it turns carbon copies on,
// answers every message from a client with a delivery receipt, asked for or
// not, and records what it gets (a carbon copy comes from the account's bare
// address, and is not answered).
class OtherClient final : public XmppTransport::Listener {
 public:
  explicit OtherClient(XmppAccount account) : transport_(std::move(account), *this) {}
  void Start() { transport_.Start(); }
  bool online() const { return transport_.online(); }
  XmppTransport& transport() { return transport_; }
  std::vector<IncomingStanza> Messages() {
    std::lock_guard<std::mutex> lock(mutex_);
    return messages_;
  }
  std::vector<std::string> Presences() {
    std::lock_guard<std::mutex> lock(mutex_);
    return presences_;
  }

 private:
  void OnState(LinkState state, const std::string&) override {
    if (state == LinkState::kOnline)
      transport_.SendRaw("<iq type='set' id='carbons'><enable xmlns='urn:xmpp:carbons:2'/></iq>");
  }
  void OnMessage(IncomingStanza stanza) override {
    if (!stanza.id.empty() && !stanza.has_receipt && stanza.from.find('/') != std::string::npos)
      transport_.SendReceipt(stanza.from, stanza.id);
    std::lock_guard<std::mutex> lock(mutex_);
    messages_.push_back(std::move(stanza));
  }
  void OnPresence(const IncomingPresence& presence) override {
    std::lock_guard<std::mutex> lock(mutex_);
    presences_.push_back(presence.from + " " + presence.type);
  }
  void OnRoster(std::vector<RosterItem>) override {}

  std::mutex mutex_;
  std::vector<IncomingStanza> messages_;
  std::vector<std::string> presences_;
  XmppTransport transport_;  // last: its thread stops before the rest goes
};

// The same as a program people use: Debian's slixmpp running `script`
// (tests/host/phone.py), carbons on, every message with an id answered with a
// receipt. Records the lines the program prints; stops when the object goes.
class DebianPhone {
 public:
  static constexpr char kPython[] = "/usr/bin/python3";
  // Whether Debian's python3 with slixmpp is installed.
  static bool Installed() {
    return std::system("/usr/bin/python3 -c 'import slixmpp' >/dev/null 2>&1") == 0;
  }
  DebianPhone(const XmppAccount& account, const std::string& script) {
    int in[2], out[2];
    if (::pipe2(in, O_CLOEXEC) != 0) return;
    if (::pipe2(out, O_CLOEXEC) != 0) {
      ::close(in[0]);
      ::close(in[1]);
      return;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    const std::vector<std::string> args = {kPython,         script,
                                           account.address, account.password,
                                           account.server,  std::to_string(account.port)};
    std::vector<char*> argv;
    for (const std::string& arg : args)
      argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    if (::posix_spawn(&pid_, kPython, &actions, nullptr, argv.data(), environ) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
    ::close(in[0]);
    ::close(out[1]);
    stdin_ = in[1];
    reader_ = std::thread([this, fd = out[0]] {
      std::string pending;
      char buffer[4096];
      for (ssize_t n; (n = ::read(fd, buffer, sizeof buffer)) > 0;) {
        pending.append(buffer, static_cast<size_t>(n));
        for (size_t end; (end = pending.find('\n')) != std::string::npos;) {
          std::lock_guard<std::mutex> lock(mutex_);
          lines_.push_back(pending.substr(0, end));
          pending.erase(0, end + 1);
        }
      }
      ::close(fd);
    });
  }
  ~DebianPhone() {
    if (stdin_ >= 0) ::close(stdin_);  // the program's signal to log out and end
    if (pid_ > 0) {
      int status = 0;
      if (!WaitUntil([&] { return ::waitpid(pid_, &status, WNOHANG) == pid_; }, {},
                     std::chrono::seconds(5))) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, &status, 0);
      }
    }
    if (reader_.joinable()) reader_.join();
  }
  DebianPhone(const DebianPhone&) = delete;
  DebianPhone& operator=(const DebianPhone&) = delete;

  bool started() const { return pid_ > 0; }
  std::vector<std::string> Lines() {
    std::lock_guard<std::mutex> lock(mutex_);
    return lines_;
  }
  bool online() {
    const std::vector<std::string> lines = Lines();
    return std::find(lines.begin(), lines.end(), "online") != lines.end();
  }
  // The lines of messages (and carbon copies) it got.
  std::vector<std::string> Messages() {
    std::vector<std::string> messages;
    for (const std::string& line : Lines())
      if (line != "online") messages.push_back(line);
    return messages;
  }

 private:
  pid_t pid_ = -1;
  int stdin_ = -1;
  std::mutex mutex_;
  std::vector<std::string> lines_;
  std::thread reader_;
};

// The name of a test run on a server of that kind: "Prosody" or "Ejabberd"
// (CMake runs the tests whose names hold "Ejabberd" in one process).
inline std::string ServerName(const ::testing::TestParamInfo<LocalXmppServer::Software>& info) {
  return info.param == LocalXmppServer::Software::kProsody ? "Prosody" : "Ejabberd";
}

// A local server, running, with the accounts alice, bob and carol (password
// "pw"): prosody of the test's own, unless the fixture asks for another
// server. The ejabberd tests of one program share a server, started once (an
// Erlang system takes seconds to boot), and each test has accounts of its own
// there (alice.N and so on; User and Address give them), so that nothing one
// test left on the server (offline messages, rosters, archives) reaches
// another. Skips the test when the server is not installed.
class XmppTest : public ::testing::Test {
 protected:
  using Software = LocalXmppServer::Software;
  virtual Software software() const { return Software::kProsody; }
  virtual bool archive() const { return true; }

  void SetUp() override {
    if (!LocalXmppServer::Installed(software()))
      GTEST_SKIP() << LocalXmppServer::Name(software()) << " is not installed";
    std::string error;
    if (software() == Software::kProsody) {
      own_server_ = LocalXmppServer::Create(folder.path() + "/server", &error);
      ASSERT_NE(own_server_, nullptr) << error;
      ASSERT_TRUE(own_server_->UseArchive(archive(), &error)) << error;
      server = own_server_.get();
    } else {
      server = SharedServer(software(), archive(), &error);
      ASSERT_NE(server, nullptr) << error;
      static int tests = 0;
      suffix_ = "." + std::to_string(++tests);
    }
    for (const char* user : {"alice", "bob", "carol"})
      ASSERT_TRUE(server->AddAccount(User(user), "pw", &error)) << error;
    ASSERT_TRUE(server->Start(&error)) << error;
  }

  // The account name and address the server knows this test's `user` by.
  std::string User(const std::string& user) const { return user + suffix_; }
  std::string Address(const std::string& user) const { return server->Address(User(user)); }
  XmppAccount Account(const std::string& user) const {
    return XmppAccount{Address(user), "127.0.0.1", server->port(), "pw", false};
  }

  TempFolder folder;
  LocalXmppServer* server = nullptr;

 private:
  // The program's server of that kind, started at the first call and stopped
  // when the program ends.
  static LocalXmppServer* SharedServer(Software software, bool archive, std::string* error) {
    struct Shared {
      TempFolder folder;
      std::unique_ptr<LocalXmppServer> server;  // stops before its folder goes
    };
    static std::map<std::pair<Software, bool>, std::unique_ptr<Shared>> servers;
    std::unique_ptr<Shared>& shared = servers[{software, archive}];
    if (shared == nullptr) {
      auto made = std::make_unique<Shared>();
      made->server = LocalXmppServer::Create(made->folder.path() + "/server", error, software);
      if (made->server == nullptr || !made->server->UseArchive(archive, error) ||
          !made->server->Start(error))
        return nullptr;
      shared = std::move(made);
    }
    return shared->server.get();
  }

  std::unique_ptr<LocalXmppServer> own_server_;
  std::string suffix_;  // of the account names; empty on a server of the test's own
};

}  // namespace tessaro::host::testing
