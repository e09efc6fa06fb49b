// Named services and hookable events: the registry behind PLUGINLINK.
//
// Used on the user-interface thread only; nothing is locked. Services and hooks may
// be created, destroyed, hooked or unhooked from inside a running service or hook:
// a running call keeps its own copy of the function, and a notification skips the
// hooks removed while it runs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "sdk/plugin_api.h"

namespace tessaro::host {

using ServiceFn = std::function<INT_PTR(WPARAM, LPARAM)>;
using HookFn = std::function<int(WPARAM, LPARAM)>;

class ServiceTable {
 public:
  // ---- Services ----
  // `owner` tags the registration with the module whose code it calls (nullptr for
  // the host's own), so the registration can be dropped when that module is closed.
  // Returns 0 for an empty name, an empty function or a name already taken.
  HANDLE CreateService(std::string_view name, ServiceFn fn, const void* owner = nullptr);
  bool DestroyService(HANDLE service);
  // CALLSERVICE_NOTFOUND when no service of that name exists.
  INT_PTR Call(std::string_view name, WPARAM wParam, LPARAM lParam) const;
  bool Exists(std::string_view name) const;

  // ---- Events ----
  // Returns 0 for an empty name or a name already taken.
  HANDLE CreateEvent(std::string_view name);
  bool DestroyEvent(HANDLE event);
  HANDLE FindEvent(std::string_view name) const;
  // Appends to the event's chain. Returns 0 if the event does not exist.
  HANDLE Hook(std::string_view event_name, HookFn fn, const void* owner = nullptr);
  bool Unhook(HANDLE hook);
  // Calls the hooks in order until one returns non-zero, and returns that value
  // (0 when all returned 0). -1 for an unknown event.
  int Notify(HANDLE event, WPARAM wParam, LPARAM lParam) const;
  std::size_t HookCount(std::string_view event_name) const;

  // ---- Clean-up ----
  // Drops every service and hook tagged with `owner`. Returns how many went.
  std::size_t RemoveOwnedBy(const void* owner);
  void Clear();

 private:
  struct Service {
    uintptr_t id;
    ServiceFn fn;
    const void* owner;
  };
  struct HookEntry {
    uintptr_t id;
    HookFn fn;
    const void* owner;
  };
  struct Event {
    uintptr_t id;
    std::vector<HookEntry> hooks;
  };

  HANDLE NextHandle(uintptr_t* id);

  uintptr_t next_id_ = 1;  // one counter for all kinds, so no two handles are equal
  std::map<std::string, Service, std::less<>> services_;
  std::unordered_map<uintptr_t, std::string> service_names_;
  std::map<std::string, Event, std::less<>> events_;
  std::unordered_map<uintptr_t, std::string> event_names_;
  std::unordered_map<uintptr_t, std::string> hook_events_;  // hook id -> its event's name
};

}  // namespace tessaro::host
