#include "host/service_table.h"

#include <algorithm>
#include <utility>

namespace tessaro::host {

namespace {

uintptr_t IdOf(HANDLE handle) {
  return reinterpret_cast<uintptr_t>(handle);
}

}  // namespace

HANDLE ServiceTable::NextHandle(uintptr_t* id) {
  *id = next_id_++;
  return reinterpret_cast<HANDLE>(*id);
}

// ---- Services ----

HANDLE ServiceTable::CreateService(std::string_view name, ServiceFn fn, const void* owner) {
  if (name.empty() || !fn || services_.find(name) != services_.end()) return nullptr;
  uintptr_t id = 0;
  HANDLE handle = NextHandle(&id);
  services_.emplace(std::string(name), Service{id, std::move(fn), owner});
  service_names_.emplace(id, std::string(name));
  return handle;
}

bool ServiceTable::DestroyService(HANDLE service) {
  auto name = service_names_.find(IdOf(service));
  if (name == service_names_.end()) return false;
  services_.erase(name->second);
  service_names_.erase(name);
  return true;
}

INT_PTR ServiceTable::Call(std::string_view name, WPARAM wParam, LPARAM lParam) const {
  auto it = services_.find(name);
  if (it == services_.end()) return CALLSERVICE_NOTFOUND;
  // A copy, so the service may destroy itself (or the table may change) while it runs.
  ServiceFn fn = it->second.fn;
  return fn(wParam, lParam);
}

bool ServiceTable::Exists(std::string_view name) const {
  return services_.find(name) != services_.end();
}

// ---- Events ----

HANDLE ServiceTable::CreateEvent(std::string_view name) {
  if (name.empty() || events_.find(name) != events_.end()) return nullptr;
  uintptr_t id = 0;
  HANDLE handle = NextHandle(&id);
  events_.emplace(std::string(name), Event{id, {}});
  event_names_.emplace(id, std::string(name));
  return handle;
}

bool ServiceTable::DestroyEvent(HANDLE event) {
  auto name = event_names_.find(IdOf(event));
  if (name == event_names_.end()) return false;
  auto it = events_.find(name->second);
  for (const HookEntry& hook : it->second.hooks)
    hook_events_.erase(hook.id);
  events_.erase(it);
  event_names_.erase(name);
  return true;
}

HANDLE ServiceTable::FindEvent(std::string_view name) const {
  auto it = events_.find(name);
  return it == events_.end() ? nullptr : reinterpret_cast<HANDLE>(it->second.id);
}

HANDLE ServiceTable::Hook(std::string_view event_name, HookFn fn, const void* owner) {
  auto it = events_.find(event_name);
  if (it == events_.end() || !fn) return nullptr;
  uintptr_t id = 0;
  HANDLE handle = NextHandle(&id);
  it->second.hooks.push_back(HookEntry{id, std::move(fn), owner});
  hook_events_.emplace(id, it->first);
  return handle;
}

bool ServiceTable::Unhook(HANDLE hook) {
  auto entry = hook_events_.find(IdOf(hook));
  if (entry == hook_events_.end()) return false;
  auto event = events_.find(entry->second);
  if (event != events_.end()) {
    std::erase_if(event->second.hooks,
                  [id = entry->first](const HookEntry& h) { return h.id == id; });
  }
  hook_events_.erase(entry);
  return true;
}

int ServiceTable::Notify(HANDLE event, WPARAM wParam, LPARAM lParam) const {
  auto name = event_names_.find(IdOf(event));
  if (name == event_names_.end()) return -1;
  // The chain as it stands now; a hook may hook, unhook or destroy while it runs.
  const std::vector<HookEntry> chain = events_.find(name->second)->second.hooks;
  for (const HookEntry& hook : chain) {
    if (hook_events_.find(hook.id) == hook_events_.end()) continue;  // removed meanwhile
    int result = hook.fn(wParam, lParam);
    if (result != 0) return result;
  }
  return 0;
}

std::size_t ServiceTable::HookCount(std::string_view event_name) const {
  auto it = events_.find(event_name);
  return it == events_.end() ? 0 : it->second.hooks.size();
}

// ---- Clean-up ----

std::size_t ServiceTable::RemoveOwnedBy(const void* owner) {
  if (owner == nullptr) return 0;
  std::size_t removed = 0;
  for (auto it = services_.begin(); it != services_.end();) {
    if (it->second.owner == owner) {
      service_names_.erase(it->second.id);
      it = services_.erase(it);
      ++removed;
    } else {
      ++it;
    }
  }
  for (auto& [name, event] : events_) {
    removed += std::erase_if(event.hooks, [&](const HookEntry& hook) {
      if (hook.owner != owner) return false;
      hook_events_.erase(hook.id);
      return true;
    });
  }
  return removed;
}

void ServiceTable::Clear() {
  services_.clear();
  service_names_.clear();
  events_.clear();
  event_names_.clear();
  hook_events_.clear();
}

}  // namespace tessaro::host
