// Loads plug-in modules with dlopen and runs their life: MirandaPluginInfo and Load
// when opened, Unload and then dlclose at the end.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "sdk/plugin_api.h"

namespace tessaro::host {

// The three exports of a module built into the executable instead of opened
// from a file.
struct ModuleEntries {
  MIRANDAPLUGININFO_FN pluginInfo = nullptr;
  LOAD_FN load = nullptr;
  UNLOAD_FN unload = nullptr;
};

struct LoadedModule {
  std::string path;
  void* library = nullptr;     // the dlopen handle; nullptr for a built-in module
  const void* base = nullptr;  // load address; tags the module's services and hooks
  UNLOAD_FN unload = nullptr;
  std::string short_name;
  DWORD version = 0;
};

class ModuleLoader {
 public:
  // Called after a module has been closed, with its load address, so the host can
  // drop what still points into it.
  using ClosedFn = std::function<void(const void* base)>;

  ModuleLoader(PLUGINLINK* link, DWORD host_version, ClosedFn closed);
  ~ModuleLoader();  // UnloadAll
  ModuleLoader(const ModuleLoader&) = delete;
  ModuleLoader& operator=(const ModuleLoader&) = delete;

  // Opens the module (RTLD_NOW | RTLD_LOCAL), finds the three exports, asks for its
  // PLUGININFO and checks cbSize, then calls Load. On any failure the module is
  // closed again (Unload is not called) and *error says which module and why.
  bool Load(const std::string& path, std::string* error);
  // The same life for a module built into the executable, named `name` in
  // messages: nothing is opened or closed, so its code and its coverage
  // counters stay mapped for the life of the process.
  bool LoadBuiltin(const std::string& name, const ModuleEntries& entries, std::string* error);
  // Last loaded first: Unload, then dlclose (not for a built-in module), then
  // the ClosedFn.
  void UnloadAll();
  const std::vector<LoadedModule>& modules() const { return modules_; }

 private:
  // Asks for the PLUGININFO, checks it and calls Load; on failure closes the
  // library (if any) and says why.
  bool Start(LoadedModule module, const ModuleEntries& entries, std::string* error);
  void Close(const LoadedModule& module);

  PLUGINLINK* link_;
  DWORD host_version_;
  ClosedFn closed_;
  std::vector<LoadedModule> modules_;  // in load order
};

// The load address of the shared object that holds `code`, or nullptr.
const void* ModuleBaseOf(const void* code);

}  // namespace tessaro::host
