// The plug-in's calls into the host, through the PLUGINLINK table that Load
// stores. Every call is made on the host's user-interface thread. Before Load
// (or after a failed one) there is no table and every call does nothing.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "sdk/plugin_api.h"
#include "window/game_host.h"

namespace tessaro {

// The host's table as handed to Load; null until then.
extern PLUGINLINK* pluginLink;

// CallService, or 0 without a host.
INT_PTR CallHostService(const char* name, WPARAM wParam, LPARAM lParam);

// The display name of a contact (0: the user), copied at once; empty when the
// host gives none.
std::string ContactDisplayName(HANDLE hContact);

// Sends `text` as one instant message to the contact through its protocol's
// "/SendMsg". The host's result is not examined.
void SendMessageToContact(HANDLE hContact, const std::string& text);

// Bytes the plug-in keeps for a contact in the host's profile under its own
// module name, across runs. WriteKept is false when the host refused or could
// not store them; ReadKept is empty when nothing is kept (or without a host).
bool WriteKept(HANDLE hContact, const char* name, std::string_view bytes);
std::optional<std::string> ReadKept(HANDLE hContact, const char* name);
void DeleteKept(HANDLE hContact, const char* name);

// The game windows' messenger: each call through the host's services.
class HostCalls final : public GameHost {
 public:
  void SendMessage(HANDLE contact, const std::string& text) override {
    SendMessageToContact(contact, text);
  }
  void SetContactStatus(HANDLE contact, const std::string& status) override;
  bool WriteKept(HANDLE contact, const char* name, std::string_view bytes) override {
    return tessaro::WriteKept(contact, name, bytes);
  }
  std::optional<std::string> ReadKept(HANDLE contact, const char* name) override {
    return tessaro::ReadKept(contact, name);
  }
  void DeleteKept(HANDLE contact, const char* name) override { tessaro::DeleteKept(contact, name); }
};

}  // namespace tessaro
