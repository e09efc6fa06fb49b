// Loads plug-in modules with dlopen and runs their life: MirandaPluginInfo and Load
// when opened, Unload and then dlclose at the end.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "sdk/plugin_api.h"

namespace tessaro::host {

struct LoadedModule {
  std::string path;
  void* library = nullptr;     // the dlopen handle
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
  // Last loaded first: Unload, then dlclose, then the ClosedFn.
  void UnloadAll();
  const std::vector<LoadedModule>& modules() const { return modules_; }

 private:
  PLUGINLINK* link_;
  DWORD host_version_;
  ClosedFn closed_;
  std::vector<LoadedModule> modules_;  // in load order
};

// The load address of the shared object that holds `code`, or nullptr.
const void* ModuleBaseOf(const void* code);

}  // namespace tessaro::host
