// One player: a host process with its own profile, its XMPP account and
// contacts, the messenger's main window and the game window opened for the
// other player. The parts that do not need a display are here, so that they
// work (and are tested) on every backend.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <iosfwd>
#include <string>
#include <utility>
#include <vector>

#include "framework/platform.h"
#include "host/host.h"

namespace tessaro {

inline constexpr char kGameMenuItem[] = "&Tessaro";
// Where a password may come from when no file names it.
inline constexpr char kPasswordVariable[] = "TESSARO_PASSWORD";

// What the command line says of the player's account; whatever is given is
// stored in the profile, so later runs need only the profile.
struct AccountOptions {
  std::string name;          // the user's display name; empty: keep the profile's
  std::string address;       // alice@example.org; empty: the profile's
  std::string server;        // empty: the address's domain (or the profile's)
  uint16_t port = 0;         // 0: the standard port
  bool tls = true;           // false only for a server on this machine
  std::string passwordFile;  // first line is the password
  std::string caFile;        // a CA certificate (PEM) to trust besides the system's
  std::string trustFile;     // a server certificate (PEM) or its SHA-256 fingerprint to trust
  std::vector<std::pair<std::string, std::string>> contacts;  // bare address, display name
};

// Parses "ADDRESS" or "ADDRESS=NAME" (the name defaults to the address's
// local part). False when the address is not local@domain.
bool ParseContact(const std::string& text, std::pair<std::string, std::string>& contact);
// Parses "HOST" or "HOST:PORT" into options.server and options.port.
bool ParseServer(const std::string& text, AccountOptions& options);

// The password for the account: the file's first line, else $TESSARO_PASSWORD,
// else `stored` (the profile's), else asked on the terminal without echo. Empty
// with *error when there is none; never printed.
std::string ReadPassword(const AccountOptions& options, const std::string& stored,
                         std::string* error);

// Stores in the profile what the options give: the user's name and the
// account (a new address starts a new account; its password as ReadPassword
// finds it; TLS as the options say; the CA file, by its absolute path, and the
// fingerprint of the certificate to trust, as the files given say). False
// with *error when the profile has no account after that, a file given cannot
// be read as what it should hold, or the profile cannot store it.
bool SetUpPlayer(host::Host& host, const AccountOptions& options, std::string* error);
// Makes each (address, name) a contact of protocol "ICQ": a known address keeps
// its contact and takes the name; a new one is added (and, while the link
// runs, asked for its presence). `named` (when not null) gets the handles in
// order. False with *error for the player's own address or a failed store.
bool AddContacts(host::Host& host, const std::vector<std::pair<std::string, std::string>>& contacts,
                 std::vector<HANDLE>* named, std::string* error);
// SetUpPlayer, then the host's link through the account's server (it connects
// and reconnects by itself; `changed` runs on the user-interface thread when
// the connection, a presence or the contact requests change), then AddContacts.
bool ConnectPlayer(host::Host& host, const AccountOptions& options, std::vector<HANDLE>* named,
                   std::function<void()> changed, std::string* error);
// How many messages the host sent that still wait for their receipt.
std::size_t UnconfirmedMessages(host::Host& host);

// Chooses the game item of the contact's menu; false when it is not offered.
bool OpenGameWindow(host::Host& host, HANDLE contact);

// What every visible top-level window shows as text, for tests reading a
// running program: a "window TITLE" line, then "control ID TEXT" for each
// control with text (line breaks taken out, as the log's wrap puts them).
std::string DescribeWindows(const Platform& platform);

// Where a player's profile lives by default: $XDG_DATA_HOME/tessaro/USER.db,
// else ~/.local/share/tessaro/USER.db; empty (a profile in memory) without a
// home. The folder is made when missing.
std::string DefaultProfilePath(const std::string& user);

}  // namespace tessaro
