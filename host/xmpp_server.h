// A throwaway XMPP server on this machine: prosody (or ejabberd, for the tests
// that check the game on both) with its own configuration and data in a folder
// of the caller's, listening on a free port of 127.0.0.1 only, without TLS (the
// link never leaves the machine) unless given a certificate. Tests, the local
// game and the benchmark run their players through it.
//
// The server keeps its port and its data across Stop/Kill and Start, so a restart
// looks to clients like the same server coming back. Every wait has a time limit;
// a failure returns false with a message that says what happened. Nothing here
// reads or writes the system's own server configuration, data or logs, and
// nothing runs as another user.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>

namespace tessaro::host {

class LocalXmppServer {
 public:
  // The domain of every account: user@localhost.
  static constexpr char kDomain[] = "localhost";
  // Which server program runs.
  enum class Software { kProsody, kEjabberd };
  // How long Start waits for the client port to be activated: prosody opens it
  // within a second; ejabberd boots an Erlang system first, which takes seconds,
  // and many more on a busy machine.
  static constexpr std::chrono::milliseconds kStartTimeout{10'000};
  static constexpr std::chrono::milliseconds kEjabberdStartTimeout{90'000};

  // ---- Life ----
  // Writes the configuration under `folder` (created if missing; it should be a
  // fresh or earlier server's folder) and picks a free loopback port. Does not
  // start the server. Returns nullptr and a message when the program is not
  // installed or the folder cannot be written.
  static std::unique_ptr<LocalXmppServer> Create(const std::string& folder, std::string* error,
                                                 Software software = Software::kProsody);
  // Stops the server if it runs. The folder stays.
  ~LocalXmppServer();
  LocalXmppServer(const LocalXmppServer&) = delete;
  LocalXmppServer& operator=(const LocalXmppServer&) = delete;

  // Whether the program exists on this machine (tests skip without it).
  static bool Installed(Software software = Software::kProsody);
  // "prosody" or "ejabberd", as Debian's package is called.
  static const char* Name(Software software);

  // ---- Accounts ----
  // Registers user@localhost with the password, or changes its password. Works
  // before Start and while the server runs (the account is read at each login).
  // `user` is a node part of letters, digits and ".-_".
  bool AddAccount(std::string_view user, std::string_view password, std::string* error);

  // Offers TLS with this certificate and key (PEM files) from the next Start on;
  // empty paths: no TLS, as by default. Tests of refused certificates use it.
  // Prosody only: for ejabberd it returns false with a message.
  bool UseCertificate(const std::string& certificate, const std::string& key, std::string* error);

  // Keeps the accounts' message archive (mod_mam), as by default, or not (as on
  // servers without one), from the next Start on.
  bool UseArchive(bool archive, std::string* error);

  // ---- Running ----
  // Starts the server and waits until it serves clients on port(). False with a
  // message (including the end of the server's log) when it exits or times out.
  bool Start(std::string* error);
  // SIGTERM, then waits for the process (SIGKILL after 5 s). Idempotent.
  void Stop();
  // SIGKILL and reap: the server vanishes as if the machine lost it.
  void Kill();
  bool running() const { return pid_ > 0; }

  // ---- Where clients find it ----
  uint16_t port() const { return port_; }
  Software software() const { return software_; }
  std::string domain() const { return kDomain; }
  const std::string& folder() const { return folder_; }
  // The address of an account of this server: "user@localhost".
  std::string Address(std::string_view user) const;

 private:
  LocalXmppServer(std::string folder, uint16_t port, Software software)
      : folder_(std::move(folder)), port_(port), software_(software) {}
  bool WriteConfig(std::string* error) const;
  bool WriteEjabberdConfig(std::string* error) const;
  bool Spawn(std::string* error);
  std::string LogTail() const;
  void Reap(int signal, std::chrono::milliseconds patience);

  std::string folder_;
  uint16_t port_;
  Software software_;
  std::string certificate_, key_;  // empty: no TLS
  bool archive_ = true;
  pid_t pid_ = -1;
};

}  // namespace tessaro::host
