// The C functions of PLUGINLINK. Each finds the process's one host; with no host
// (a module's destructor running after the host is gone) each reports failure.
#include "host/plugin_link.h"

#include "host/host.h"
#include "host/module_loader.h"

namespace tessaro::host {

namespace {

// The module whose code a hook or service runs, so it can be dropped with the module.
template <typename Fn>
const void* OwnerOf(Fn fn) {
  return ModuleBaseOf(reinterpret_cast<const void*>(fn));
}

HANDLE CreateHookableEvent(const char* name) {
  Host* host = Host::Current();
  if (host == nullptr || name == nullptr) return nullptr;
  return host->services().CreateEvent(name);
}

int DestroyHookableEvent(HANDLE event) {
  Host* host = Host::Current();
  return host != nullptr && host->services().DestroyEvent(event) ? 0 : -1;
}

int NotifyEventHooks(HANDLE event, WPARAM wParam, LPARAM lParam) {
  Host* host = Host::Current();
  return host == nullptr ? -1 : host->services().Notify(event, wParam, lParam);
}

HANDLE HookEvent(const char* name, MIRANDAHOOK hook) {
  Host* host = Host::Current();
  if (host == nullptr || name == nullptr || hook == nullptr) return nullptr;
  return host->services().Hook(name, hook, OwnerOf(hook));
}

int UnhookEvent(HANDLE hook) {
  Host* host = Host::Current();
  return host != nullptr && host->services().Unhook(hook) ? 0 : -1;
}

HANDLE CreateServiceFunction(const char* name, MIRANDASERVICE service) {
  Host* host = Host::Current();
  if (host == nullptr || name == nullptr || service == nullptr) return nullptr;
  return host->services().CreateService(name, service, OwnerOf(service));
}

int DestroyServiceFunction(HANDLE service) {
  Host* host = Host::Current();
  return host != nullptr && host->services().DestroyService(service) ? 0 : -1;
}

INT_PTR CallService(const char* name, WPARAM wParam, LPARAM lParam) {
  Host* host = Host::Current();
  if (host == nullptr || name == nullptr) return CALLSERVICE_NOTFOUND;
  return host->services().Call(name, wParam, lParam);
}

int ServiceExists(const char* name) {
  Host* host = Host::Current();
  return host != nullptr && name != nullptr && host->services().Exists(name) ? 1 : 0;
}

}  // namespace

PLUGINLINK MakePluginLink() {
  PLUGINLINK link{};
  link.CreateHookableEvent = &CreateHookableEvent;
  link.DestroyHookableEvent = &DestroyHookableEvent;
  link.NotifyEventHooks = &NotifyEventHooks;
  link.HookEvent = &HookEvent;
  link.UnhookEvent = &UnhookEvent;
  link.CreateServiceFunction = &CreateServiceFunction;
  link.DestroyServiceFunction = &DestroyServiceFunction;
  link.CallService = &CallService;
  link.ServiceExists = &ServiceExists;
  return link;
}

}  // namespace tessaro::host
