// The plug-in's calls into the host, through the PLUGINLINK table that Load
// stores. Every call is made on the host's user-interface thread. Before Load
// (or after a failed one) there is no table and every call does nothing.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "sdk/plugin_api.h"

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

}  // namespace tessaro
