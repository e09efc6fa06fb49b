#include "apps/player.h"

#include <termios.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>
#include <sstream>

#include "framework/afx.h"
#include "host/xmpp_certificates.h"
#include "host/xmpp_stanza.h"

namespace tessaro {

bool ParseContact(const std::string& text, std::pair<std::string, std::string>& contact) {
  const size_t equals = text.find('=');
  const std::string address = text.substr(0, equals);
  const size_t at = address.find('@');
  if (at == 0 || at == std::string::npos || at + 1 == address.size() ||
      address.find_first_of("/ \t", 0) != std::string::npos) {
    return false;
  }
  std::string name = equals == std::string::npos ? address.substr(0, at) : text.substr(equals + 1);
  if (name.empty()) return false;
  contact = {address, name};
  return true;
}

bool ParseServer(const std::string& text, AccountOptions& options) {
  const size_t colon = text.rfind(':');
  std::string host = text.substr(0, colon);
  long port = 0;
  if (colon != std::string::npos) {
    char* end = nullptr;
    const std::string digits = text.substr(colon + 1);
    port = std::strtol(digits.c_str(), &end, 10);
    if (digits.empty() || *end != '\0' || port < 1 || port > 65535) return false;
  }
  if (host.empty()) return false;
  options.server = host;
  options.port = static_cast<uint16_t>(port);
  return true;
}

std::string ReadPassword(const AccountOptions& options, const std::string& stored,
                         std::string* error) {
  std::string password;
  if (!options.passwordFile.empty()) {
    std::ifstream in(options.passwordFile);
    if (!in || !std::getline(in, password) || password.empty()) {
      if (error) *error = "cannot read a password from " + options.passwordFile;
      return std::string();
    }
    return password;
  }
  if (const char* variable = std::getenv(kPasswordVariable); variable && *variable) {
    return variable;
  }
  if (!stored.empty()) return stored;
  if (isatty(STDIN_FILENO) != 1) {
    if (error) {
      *error = std::string("no password: give --password-file FILE or set ") + kPasswordVariable;
    }
    return std::string();
  }
  termios saved{};
  const bool quiet = tcgetattr(STDIN_FILENO, &saved) == 0;
  if (quiet) {
    termios silent = saved;
    silent.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    tcsetattr(STDIN_FILENO, TCSAFLUSH, &silent);
  }
  std::cerr << "Password for " << options.address << ": " << std::flush;
  std::getline(std::cin, password);
  if (quiet) tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved);
  std::cerr << "\n";
  if (password.empty() && error) *error = "no password given";
  return password;
}

namespace {

// The certificate files the command line names, read into the account.
bool ReadCertificateFiles(const AccountOptions& options, host::XmppAccount& account,
                          std::string* error) {
  const auto read = [&](const std::string& path, std::string& text) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
      if (error) *error = "cannot read " + path;
      return false;
    }
    // A certificate is a few kilobytes: more than a megabyte is not one, and a
    // device that never ends must not be read for ever.
    text.resize((1 << 20) + 1);
    in.read(text.data(), static_cast<std::streamsize>(text.size()));
    text.resize(static_cast<std::size_t>(in.gcount()));
    return true;
  };
  std::string text;
  if (!options.caFile.empty()) {
    if (!read(options.caFile, text)) return false;
    if (!host::CertificateFromPem(text)) {
      if (error) *error = "--ca-file " + options.caFile + ": it holds no PEM certificate";
      return false;
    }
    std::error_code ignored;
    account.ca_file = std::filesystem::absolute(options.caFile, ignored).string();
  }
  if (!options.trustFile.empty()) {
    if (!read(options.trustFile, text)) return false;
    std::string why;
    const std::optional<host::CertificateInfo> trusted = host::ReadTrustedCertificate(text, &why);
    if (!trusted) {
      if (error) *error = "--trust-certificate " + options.trustFile + ": " + why;
      return false;
    }
    account.trusted_certificate = trusted->fingerprint;
  }
  return true;
}

}  // namespace

bool SetUpPlayer(host::Host& host, const AccountOptions& options, std::string* error) {
  if (!options.name.empty() && host.DisplayName(nullptr) != options.name &&
      !host.SetUserName(options.name)) {
    if (error) *error = "the profile cannot store the user's name";
    return false;
  }
  host::XmppAccount account = host.Account().value_or(host::XmppAccount{});
  const bool newAddress = !options.address.empty() && options.address != account.address;
  if (newAddress) {
    if (host::BareAddress(options.address) != options.address) {
      if (error) *error = options.address + " is not a bare address (local@domain)";
      return false;
    }
    account = host::XmppAccount{};
    account.address = options.address;
  }
  if (account.address.empty()) {
    if (error) *error = "the profile has no account yet: give --account ADDRESS";
    return false;
  }
  if (!options.server.empty()) {
    account.server = options.server;
    account.port = options.port;
  }
  // TLS is what the command line says whenever it names the account or the
  // server; a run with the profile alone keeps the stored choice.
  if (newAddress || !options.server.empty() || !options.tls) account.require_tls = options.tls;
  const std::string password = ReadPassword(options, newAddress ? "" : account.password, error);
  if (password.empty()) return false;
  account.password = password;
  if (!ReadCertificateFiles(options, account, error)) return false;
  if (!host.SetAccount(account)) {
    if (error) *error = "the profile cannot store the account";
    return false;
  }
  return true;
}

bool AddContacts(host::Host& host, const std::vector<std::pair<std::string, std::string>>& contacts,
                 std::vector<HANDLE>* named, std::string* error) {
  const std::optional<host::XmppAccount> account = host.Account();
  const std::string own = account ? host::BareAddress(account->address) : std::string();
  for (const auto& [given, name] : contacts) {
    const std::string address = host::BareAddress(given);
    if (address.empty() || address == own) {
      if (error) *error = given + " cannot be a contact of " + (own.empty() ? "this profile" : own);
      return false;
    }
    HANDLE contact = host.ContactByAddress(address);
    if (contact != nullptr && host.DisplayName(contact) != name) host.RenameContact(contact, name);
    if (contact == nullptr) contact = host.AddContact(name, host::kIcqProtocol, address);
    if (contact == nullptr) {
      if (error) *error = "the profile cannot store the contact " + address;
      return false;
    }
    if (named) named->push_back(contact);
  }
  return true;
}

namespace {

// For tests of two host processes only: TESSARO_TEST_LOSE_SENT=N loses this
// profile's message number N on the way (only the answer to a request for it
// goes out); TESSARO_TEST_FORGET_SENT=N also forgets it, so that it is lost for
// good. A value that is not a number above 0 is refused.
bool LoseSentForTest(host::XmppLink& link, std::string* error) {
  for (const auto& [variable, forget] :
       {std::pair{"TESSARO_TEST_LOSE_SENT", false}, std::pair{"TESSARO_TEST_FORGET_SENT", true}}) {
    const char* value = std::getenv(variable);
    if (value == nullptr || *value == '\0') continue;
    char* end = nullptr;
    errno = 0;
    const unsigned long long seq = std::strtoull(value, &end, 10);
    if (errno != 0 || *end != '\0' || seq == 0 ||
        !std::isdigit(static_cast<unsigned char>(*value))) {
      if (error) *error = std::string(variable) + " must be a message number above 0";
      return false;
    }
    link.LoseSentForTest(seq, forget);
  }
  return true;
}

}  // namespace

bool ConnectPlayer(host::Host& host, const AccountOptions& options, std::vector<HANDLE>* named,
                   std::function<void()> changed, std::string* error) {
  return SetUpPlayer(host, options, error) && host.ConnectXmpp(error, std::move(changed)) &&
         LoseSentForTest(*host.Link(), error) && AddContacts(host, options.contacts, named, error);
}

std::size_t UnconfirmedMessages(host::Host& host) {
  host::XmppLink* link = host.Link();
  return link ? link->Unconfirmed() : 0;
}

bool OpenGameWindow(host::Host& host, HANDLE contact) {
  for (const host::MenuItem& item : host.MenuItemsFor(contact)) {
    if (item.name == kGameMenuItem) return host.InvokeMenuItem(contact, item.handle);
  }
  return false;
}

std::string DescribeWindows(const Platform& platform) {
  std::ostringstream out;
  for (HWND hwnd : platform.Windows()) {
    const WindowRecord* rec = platform.Find(hwnd);
    if (!rec || rec->child || !platform.IsVisible(hwnd)) continue;
    out << "window " << rec->text << "\n";
    for (HWND child : rec->children) {
      const WindowRecord* c = platform.Find(child);
      if (!c || c->text.empty()) continue;
      std::string text;
      for (char ch : c->text) {
        if (ch != '\r' && ch != '\n') text += ch;
      }
      out << "control " << c->id << " " << text << "\n";
    }
  }
  return out.str();
}

std::string DefaultProfilePath(const std::string& user) {
  namespace fs = std::filesystem;
  fs::path folder;
  if (const char* data = std::getenv("XDG_DATA_HOME"); data && *data) {
    folder = fs::path(data) / "tessaro";
  } else if (const char* home = std::getenv("HOME"); home && *home) {
    folder = fs::path(home) / ".local" / "share" / "tessaro";
  } else {
    return std::string();
  }
  std::error_code ec;
  fs::create_directories(folder, ec);
  if (ec) return std::string();
  // The name becomes a file name: nothing of it may lead out of the folder.
  std::string file;
  for (char c : user)
    file += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
  return (folder / (file + ".db")).string();
}

}  // namespace tessaro
