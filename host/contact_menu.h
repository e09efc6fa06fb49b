// The contact menu: items that modules add with "CList/AddContactMenuItem", offered
// per protocol and in ascending position.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "sdk/plugin_api.h"

namespace tessaro::host {

// A copy of one CLISTMENUITEM; the strings belong to the host.
struct MenuItem {
  HANDLE handle = nullptr;
  std::string name;
  uint32_t flags = 0;
  int position = 0;
  HICON icon = nullptr;  // the module's, not owned
  std::string service;
  std::optional<std::string> popup;
  int popup_position = 0;
  uint32_t hot_key = 0;
  std::optional<std::string> owner;  // the protocol it is offered for; none: every contact
};

class ContactMenu {
 public:
  // Copies the item. Returns its handle, or nullptr when the record is refused:
  // NULL, a cbSize other than sizeof(CLISTMENUITEM), no name or no service.
  HANDLE Add(const CLISTMENUITEM* item);
  // The items offered to a contact of `protocol`, by ascending position; items of
  // equal position keep the order they were added in.
  std::vector<MenuItem> ItemsFor(std::string_view protocol) const;
  const MenuItem* Find(HANDLE item) const;
  std::size_t size() const { return items_.size(); }

 private:
  uintptr_t next_id_ = 1;
  std::vector<MenuItem> items_;  // in the order they were added
};

}  // namespace tessaro::host
