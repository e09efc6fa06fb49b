#include "host/xmpp_server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <thread>
#include <vector>

extern char** environ;

namespace tessaro::host {

namespace {

using Clock = std::chrono::steady_clock;

// The server as the host needs it: client connections on one loopback port, no
// server-to-server links, no TLS, plain accounts in files, and no rate limits
// (a burst of game messages must not be throttled). Carbon copies and offline
// storage are on, as on the servers people use.
constexpr char kConfigTemplate[] = R"lua(
local base = @BASE@
@ROOT@
pidfile = base .. "/run/prosody.pid"
data_path = base .. "/data"
certificates = base .. "/certs"
log = { info = base .. "/prosody.log" }
interfaces = { "127.0.0.1" }
c2s_ports = { @PORT@ }
c2s_direct_tls_ports = { }
s2s_ports = { }
s2s_direct_tls_ports = { }
c2s_require_encryption = false
s2s_require_encryption = false
allow_unencrypted_plain_auth = true
authentication = "internal_plain"
storage = "internal"
network_settings = { nagle = false }
modules_enabled = { "roster"; "saslauth"; "disco"; "ping"; "offline"; "carbons"; "mam"; }
modules_disabled = { "s2s"; "s2s_auth_certs"; }
VirtualHost "localhost"
)lua";

// A Lua string literal holding `text` exactly.
std::string LuaString(std::string_view text) {
  std::string out = "\"";
  for (unsigned char c : text) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 0x20 || c == 0x7f) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\%03u", c);
      out += escaped;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out + "\"";
}

// The file name prosody's storage gives a user: every byte that is not a letter
// or digit becomes %xx.
std::string StorageName(std::string_view name) {
  std::string out;
  for (unsigned char c : name) {
    if (std::isalnum(c) != 0) {
      out += static_cast<char>(c);
    } else {
      char escaped[4];
      std::snprintf(escaped, sizeof escaped, "%%%02x", c);
      out += escaped;
    }
  }
  return out;
}

void Replace(std::string& text, std::string_view from, std::string_view to) {
  for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at)) {
    text.replace(at, from.size(), to);
    at += to.size();
  }
}

bool MakeFolder(const std::string& path, std::string* error) {
  if (::mkdir(path.c_str(), 0700) == 0 || errno == EEXIST) return true;
  *error = "cannot create '" + path + "': " + std::strerror(errno);
  return false;
}

bool WriteFile(const std::string& path, const std::string& text, std::string* error) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
  out.close();
  if (out) return true;
  *error = "cannot write '" + path + "'";
  return false;
}

std::string ReadFrom(const std::string& path, std::streamoff offset) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return {};
  in.seekg(offset);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

std::streamoff FileSize(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 ? static_cast<std::streamoff>(info.st_size) : 0;
}

// A port of 127.0.0.1 that nobody listens on right now (the kernel's choice).
uint16_t FreePort() {
  int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  if (fd < 0) return 0;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t size = sizeof address;
  uint16_t port = 0;
  if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) == 0) {
    port = ntohs(address.sin_port);
  }
  ::close(fd);
  return port;
}

}  // namespace

bool LocalXmppServer::Installed() {
  const char* path = std::getenv("PATH");
  std::string dirs = path != nullptr ? path : "/usr/bin:/bin";
  std::stringstream list(dirs);
  std::string dir;
  while (std::getline(list, dir, ':')) {
    if (!dir.empty() && ::access((dir + "/prosody").c_str(), X_OK) == 0) return true;
  }
  return false;
}

std::unique_ptr<LocalXmppServer> LocalXmppServer::Create(const std::string& folder,
                                                         std::string* error) {
  if (!Installed()) {
    *error = "prosody is not installed (Debian package 'prosody')";
    return nullptr;
  }
  for (const char* sub : {"", "/data", "/run", "/certs"}) {
    if (!MakeFolder(folder + sub, error)) return nullptr;
  }
  const uint16_t port = FreePort();
  if (port == 0) {
    *error = std::string("cannot find a free port on 127.0.0.1: ") + std::strerror(errno);
    return nullptr;
  }
  std::unique_ptr<LocalXmppServer> server(new LocalXmppServer(folder, port));
  if (!server->WriteConfig(error)) return nullptr;
  return server;
}

LocalXmppServer::~LocalXmppServer() {
  Stop();
}

bool LocalXmppServer::WriteConfig(std::string* error) const {
  std::string config = kConfigTemplate;
  Replace(config, "@BASE@", LuaString(folder_));
  // Prosody refuses to run as root unless told to; as anyone else it must not be told.
  Replace(config, "@ROOT@", ::geteuid() == 0 ? "run_as_root = true" : "");
  Replace(config, "@PORT@", std::to_string(port_));
  if (!archive_) Replace(config, " \"mam\"; }", " }");
  if (!certificate_.empty()) {
    Replace(config, "modules_enabled = { ", "modules_enabled = { \"tls\"; ");
    Replace(config, "\nVirtualHost ",
            "\nssl = { certificate = " + LuaString(certificate_) + "; key = " + LuaString(key_) +
                "; }\nVirtualHost ");
  }
  return WriteFile(folder_ + "/prosody.cfg.lua", config, error);
}

bool LocalXmppServer::UseArchive(bool archive, std::string* error) {
  archive_ = archive;
  return WriteConfig(error);
}

bool LocalXmppServer::UseCertificate(const std::string& certificate, const std::string& key,
                                     std::string* error) {
  certificate_ = certificate;
  key_ = key;
  return WriteConfig(error);
}

std::string LocalXmppServer::Address(std::string_view user) const {
  return std::string(user) + "@" + kDomain;
}

bool LocalXmppServer::AddAccount(std::string_view user, std::string_view password,
                                 std::string* error) {
  if (user.empty() ||
      user.find_first_not_of("abcdefghijklmnopqrstuvwxyz0123456789.-_") != std::string::npos) {
    *error = "account name '" + std::string(user) + "' is not lower-case letters, digits, .-_";
    return false;
  }
  const std::string dir = folder_ + "/data/" + StorageName(kDomain);
  if (!MakeFolder(dir, error) || !MakeFolder(dir + "/accounts", error)) return false;
  // What prosody's internal_plain storage itself writes for an account.
  const std::string record = "return {\n\t[\"password\"] = " + LuaString(password) + ";\n};\n";
  return WriteFile(dir + "/accounts/" + StorageName(user) + ".dat", record, error);
}

bool LocalXmppServer::Start(std::string* error) {
  if (running()) return true;
  const std::string log_path = folder_ + "/prosody.log";
  const std::string out_path = folder_ + "/prosody.out";
  const std::string config = folder_ + "/prosody.cfg.lua";
  // The log grows across restarts: only what this start writes counts.
  const std::streamoff log_start = FileSize(log_path);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, out_path.c_str(),
                                   O_WRONLY | O_CREAT | O_APPEND, 0600);
  posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
  std::vector<std::string> args = {"prosody", "--config", config, "-F"};
  std::vector<char*> argv;
  for (std::string& arg : args)
    argv.push_back(arg.data());
  argv.push_back(nullptr);
  pid_t pid = -1;
  const int rc = ::posix_spawnp(&pid, "prosody", &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) {
    *error = std::string("cannot start prosody: ") + std::strerror(rc);
    return false;
  }
  pid_ = pid;

  // Ready when the log says the client port is open. Prosody keeps running when the
  // port is taken, so that line, and not the process being alive, is the test.
  const std::string ready = "Activated service 'c2s' on [127.0.0.1]:" + std::to_string(port_);
  const auto deadline = Clock::now() + kStartTimeout;
  while (true) {
    const std::string log = ReadFrom(log_path, log_start);
    if (log.find(ready) != std::string::npos) return true;
    std::string why;
    int status = 0;
    if (::waitpid(pid_, &status, WNOHANG) == pid_) {
      pid_ = -1;
      why = "prosody exited during start";
    } else if (log.find("Failed to open server port") != std::string::npos) {
      why = "port " + std::to_string(port_) + " of 127.0.0.1 is taken";
    } else if (Clock::now() > deadline) {
      why = "prosody did not open its client port within " + std::to_string(kStartTimeout.count()) +
            " ms";
    }
    if (!why.empty()) {
      Kill();
      *error = why + "; its log ends:\n" + LogTail();
      return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
}

void LocalXmppServer::Stop() {
  Reap(SIGTERM, std::chrono::milliseconds(5000));
}

void LocalXmppServer::Kill() {
  Reap(SIGKILL, std::chrono::milliseconds(5000));
}

void LocalXmppServer::Reap(int signal, std::chrono::milliseconds patience) {
  if (pid_ <= 0) return;
  ::kill(pid_, signal);
  const auto deadline = Clock::now() + patience;
  int status = 0;
  while (::waitpid(pid_, &status, WNOHANG) == 0) {
    if (Clock::now() > deadline) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, &status, 0);
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  pid_ = -1;
}

std::string LocalXmppServer::LogTail() const {
  std::string text = ReadFrom(folder_ + "/prosody.log", 0) + ReadFrom(folder_ + "/prosody.out", 0);
  constexpr std::size_t kTail = 2000;
  return text.size() > kTail ? text.substr(text.size() - kTail) : text;
}

}  // namespace tessaro::host
