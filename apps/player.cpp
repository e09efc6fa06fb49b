#include "apps/player.h"

#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <sstream>

#include "framework/afx.h"

namespace tessaro {

HANDLE SetUpPlayer(host::Host& host, const std::string& user, const std::string& peer,
                   std::string* error) {
  if (user.empty() || peer.empty() || user == peer) {
    if (error) *error = "the two players need two different names";
    return nullptr;
  }
  if (host.DisplayName(nullptr) != user && !host.SetUserName(user)) {
    if (error) *error = "the profile cannot store the user's name";
    return nullptr;
  }
  HANDLE contact = host.FindContact(peer);
  if (contact != nullptr && host.ProtocolOf(contact).value_or("") != host::kIcqProtocol) {
    contact = nullptr;  // a namesake on another network is someone else
  }
  for (HANDLE c : host.Contacts()) {
    if (contact == nullptr && host.DisplayName(c) == peer &&
        host.ProtocolOf(c).value_or("") == host::kIcqProtocol)
      contact = c;
  }
  if (contact == nullptr) contact = host.AddContact(peer, host::kIcqProtocol);
  if (contact == nullptr && error) *error = "the profile cannot store the contact " + peer;
  return contact;
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
