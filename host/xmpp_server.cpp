#include "host/xmpp_server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <glob.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
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

// The same for ejabberd: one loopback client port, plain logins checked by
// ejabberd.py in the folder against accounts/USER (a file holding the
// password, so that accounts can be added before the server runs, as with
// prosody), offline storage, carbons, capabilities and the archive (all
// messages, as prosody keeps them), and no limit on offline messages.
constexpr char kEjabberdConfigTemplate[] = R"yaml(
hosts: ["localhost"]
loglevel: info
log_rotate_count: 0
listen:
  -
    port: @PORT@
    ip: "127.0.0.1"
    module: ejabberd_c2s
    max_stanza_size: 1048576
auth_method: external
extauth_program: @EXTAUTH@
auth_use_cache: false
shaper_rules:
  max_user_offline_messages: 1000000
modules:
  mod_roster: {}
  mod_disco: {}
  mod_caps: {}
  mod_ping: {}
  mod_offline: {}
  mod_carboncopy: {}
  mod_mam: {default: always}
)yaml";

// ejabberd's external authentication protocol (two-byte big-endian lengths on
// stdin and stdout) answered from the account files beside this script.
constexpr char kEjabberdAuthScript[] = R"py(import os
import struct
import sys

accounts = os.path.join(os.path.dirname(os.path.abspath(__file__)), "accounts")


def password(user):
    if not user or user.startswith(".") or "/" in user:
        return None
    try:
        with open(os.path.join(accounts, user), "rb") as f:
            return f.read()
    except OSError:
        return None


while True:
    head = sys.stdin.buffer.read(2)
    if len(head) < 2:
        break
    request = sys.stdin.buffer.read(struct.unpack(">H", head)[0]).split(b":", 3)
    stored = password(request[1].decode("utf-8", "replace")) if len(request) > 1 else None
    if request[0] == b"auth" and len(request) == 4:
        ok = stored is not None and stored == request[3]
    elif request[0] == b"isuser":
        ok = stored is not None
    else:
        ok = False
    sys.stdout.buffer.write(struct.pack(">HH", 2, 1 if ok else 0))
    sys.stdout.buffer.flush()
)py";

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

// A YAML (and Erlang) double-quoted string holding `text`, which has no control
// characters.
std::string QuotedString(std::string_view text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '"' || c == '\\') out += '\\';
    out += c;
  }
  return out + "\"";
}

// The folder of Erlang applications that holds Debian's ejabberd (the
// architecture's library folder), or "" when it is not installed.
std::string EjabberdLibraries() {
  glob_t found{};
  std::string libraries;
  if (::glob("/usr/lib/*/ejabberd-*/ebin/ejabberd.app", 0, nullptr, &found) == 0 &&
      found.gl_pathc > 0) {
    libraries = found.gl_pathv[0];
    for (int up = 0; up < 3; ++up)
      libraries.erase(libraries.rfind('/'));
  }
  ::globfree(&found);
  return libraries;
}

bool OnPath(const char* program) {
  const char* path = std::getenv("PATH");
  std::string dirs = path != nullptr ? path : "/usr/bin:/bin";
  std::stringstream list(dirs);
  std::string dir;
  while (std::getline(list, dir, ':')) {
    if (!dir.empty() && ::access((dir + "/" + program).c_str(), X_OK) == 0) return true;
  }
  return false;
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

bool LocalXmppServer::Installed(Software software) {
  if (software == Software::kProsody) return OnPath("prosody");
  return OnPath("erl") && OnPath("python3") && !EjabberdLibraries().empty();
}

const char* LocalXmppServer::Name(Software software) {
  return software == Software::kProsody ? "prosody" : "ejabberd";
}

std::unique_ptr<LocalXmppServer> LocalXmppServer::Create(const std::string& folder,
                                                         std::string* error, Software software) {
  if (!Installed(software)) {
    *error =
        std::string(Name(software)) + " is not installed (Debian package '" + Name(software) + "')";
    return nullptr;
  }
  // ejabberd is handed the folder in a command line and Erlang terms: keep it plain.
  if (software == Software::kEjabberd &&
      folder.find_first_not_of(
          "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789/._-") !=
          std::string::npos) {
    *error = "the folder '" + folder + "' has characters other than letters, digits and /._-";
    return nullptr;
  }
  const auto subfolders = software == Software::kProsody
                              ? std::vector<const char*>{"", "/data", "/run", "/certs"}
                              : std::vector<const char*>{"", "/spool", "/accounts"};
  for (const char* sub : subfolders) {
    if (!MakeFolder(folder + sub, error)) return nullptr;
  }
  const uint16_t port = FreePort();
  if (port == 0) {
    *error = std::string("cannot find a free port on 127.0.0.1: ") + std::strerror(errno);
    return nullptr;
  }
  std::unique_ptr<LocalXmppServer> server(new LocalXmppServer(folder, port, software));
  if (!server->WriteConfig(error)) return nullptr;
  return server;
}

LocalXmppServer::~LocalXmppServer() {
  Stop();
}

bool LocalXmppServer::WriteConfig(std::string* error) const {
  if (software_ == Software::kEjabberd) return WriteEjabberdConfig(error);
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

bool LocalXmppServer::WriteEjabberdConfig(std::string* error) const {
  std::string config = kEjabberdConfigTemplate;
  Replace(config, "@PORT@", std::to_string(port_));
  Replace(config, "@EXTAUTH@", QuotedString("python3 " + folder_ + "/ejabberd.py"));
  if (!archive_) Replace(config, "  mod_mam: {default: always}\n", "");
  return WriteFile(folder_ + "/ejabberd.py", kEjabberdAuthScript, error) &&
         WriteFile(folder_ + "/ejabberd.yml", config, error);
}

bool LocalXmppServer::UseArchive(bool archive, std::string* error) {
  archive_ = archive;
  return WriteConfig(error);
}

bool LocalXmppServer::UseCertificate(const std::string& certificate, const std::string& key,
                                     std::string* error) {
  if (software_ == Software::kEjabberd && !certificate.empty()) {
    *error = "certificates are set up for prosody only";
    return false;
  }
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
  if (software_ == Software::kEjabberd)
    return WriteFile(folder_ + "/accounts/" + std::string(user), std::string(password), error);
  const std::string dir = folder_ + "/data/" + StorageName(kDomain);
  if (!MakeFolder(dir, error) || !MakeFolder(dir + "/accounts", error)) return false;
  // What prosody's internal_plain storage itself writes for an account.
  const std::string record = "return {\n\t[\"password\"] = " + LuaString(password) + ";\n};\n";
  return WriteFile(dir + "/accounts/" + StorageName(user) + ".dat", record, error);
}

bool LocalXmppServer::Start(std::string* error) {
  if (running()) return true;
  const bool prosody = software_ == Software::kProsody;
  const std::string name = Name(software_);
  const std::string log_path = folder_ + "/" + name + ".log";
  const std::string port = std::to_string(port_);
  // The log grows across restarts: only what this start writes counts.
  const std::streamoff log_start = FileSize(log_path);
  if (!Spawn(error)) return false;

  // Ready when the log says the client port is open. Prosody keeps running when the
  // port is taken, so that line, and not the process being alive, is the test.
  const std::string ready =
      prosody ? "Activated service 'c2s' on [127.0.0.1]:" + port
              : "Start accepting TCP connections at 127.0.0.1:" + port + " for ejabberd_c2s";
  const std::string taken =
      prosody ? "Failed to open server port" : "Failed to open socket at 127.0.0.1:" + port;
  const auto timeout = prosody ? kStartTimeout : kEjabberdStartTimeout;
  const auto deadline = Clock::now() + timeout;
  while (true) {
    const std::string log = ReadFrom(log_path, log_start);
    if (log.find(ready) != std::string::npos) return true;
    std::string why;
    int status = 0;
    if (::waitpid(pid_, &status, WNOHANG) == pid_) {
      pid_ = -1;
      why = name + " exited during start";
    } else if (log.find(taken) != std::string::npos) {
      why = "port " + port + " of 127.0.0.1 is taken";
    } else if (Clock::now() > deadline) {
      why =
          name + " did not open its client port within " + std::to_string(timeout.count()) + " ms";
    }
    if (!why.empty()) {
      Kill();
      *error = why + "; its log ends:\n" + LogTail();
      return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
}

// Prosody in the foreground; ejabberd as a plain Erlang system without a node
// name, so that no port mapper daemon starts (it would outlive the server and
// be shared with every other Erlang node of the machine), no control script
// reads the system's configuration, and the server runs as the caller.
bool LocalXmppServer::Spawn(std::string* error) {
  const bool prosody = software_ == Software::kProsody;
  const std::string name = Name(software_);
  const std::string out_path = folder_ + "/" + name + ".out";
  std::vector<std::string> args;
  std::vector<std::string> variables;
  if (prosody) {
    args = {"prosody", "--config", folder_ + "/prosody.cfg.lua", "-F"};
  } else {
    args = {"erl", "-noinput", "-mnesia", "dir", QuotedString(folder_ + "/spool"),
            "-s",  "ejabberd"};
    variables = {"ERL_LIBS=" + EjabberdLibraries(),
                 "EJABBERD_CONFIG_PATH=" + folder_ + "/ejabberd.yml",
                 "EJABBERD_LOG_PATH=" + folder_ + "/ejabberd.log",
                 "ERL_CRASH_DUMP=" + folder_ + "/erl_crash.dump"};
  }
  std::vector<char*> env;
  for (std::string& variable : variables)
    env.push_back(variable.data());
  for (char** entry = environ; *entry != nullptr; ++entry) {
    const std::string_view text(*entry);
    const bool replaced =
        std::any_of(variables.begin(), variables.end(), [&](const std::string& v) {
          return text.substr(0, text.find('=') + 1) == v.substr(0, v.find('=') + 1);
        });
    if (!replaced) env.push_back(*entry);
  }
  env.push_back(nullptr);
  std::vector<char*> argv;
  for (std::string& arg : args)
    argv.push_back(arg.data());
  argv.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, out_path.c_str(),
                                   O_WRONLY | O_CREAT | O_APPEND, 0600);
  posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
  pid_t pid = -1;
  const int rc = ::posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), env.data());
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) {
    *error = "cannot start " + name + ": " + std::strerror(rc);
    return false;
  }
  pid_ = pid;
  return true;
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
  const std::string name = Name(software_);
  std::string text =
      ReadFrom(folder_ + "/" + name + ".log", 0) + ReadFrom(folder_ + "/" + name + ".out", 0);
  constexpr std::size_t kTail = 2000;
  return text.size() > kTail ? text.substr(text.size() - kTail) : text;
}

}  // namespace tessaro::host
