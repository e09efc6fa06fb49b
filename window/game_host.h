// What a game window needs of the messenger it runs in. The window owns this
// interface; the plug-in implements it with the host's services, and a window
// without one (hidden test windows) sends nothing and keeps nothing.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "framework/afx.h"

namespace tessaro {

class GameHost {
 public:
  virtual ~GameHost() = default;
  // One instant message to the contact through its protocol.
  virtual void SendMessage(HANDLE contact, const std::string& text) = 0;
  // The short status the contact list shows beside the contact.
  virtual void SetContactStatus(HANDLE contact, const std::string& status) = 0;
  // Bytes kept for the contact across runs under `name`: written (false when
  // they could not be), read (empty when none are kept), removed.
  virtual bool WriteKept(HANDLE contact, const char* name, std::string_view bytes) = 0;
  virtual std::optional<std::string> ReadKept(HANDLE contact, const char* name) = 0;
  virtual void DeleteKept(HANDLE contact, const char* name) = 0;
};

}  // namespace tessaro
