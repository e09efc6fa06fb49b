#include "host/module_loader.h"

#include <dlfcn.h>

#include <cstdio>
#include <utility>

namespace tessaro::host {

namespace {

template <typename Fn>
Fn Symbol(void* library, const char* name) {
  return reinterpret_cast<Fn>(dlsym(library, name));
}

std::string Quoted(const std::string& text) {
  return "'" + text + "'";
}

}  // namespace

const void* ModuleBaseOf(const void* code) {
  Dl_info info{};
  if (code == nullptr || dladdr(code, &info) == 0) return nullptr;
  return info.dli_fbase;
}

ModuleLoader::ModuleLoader(PLUGINLINK* link, DWORD host_version, ClosedFn closed)
    : link_(link), host_version_(host_version), closed_(std::move(closed)) {}

ModuleLoader::~ModuleLoader() {
  UnloadAll();
}

bool ModuleLoader::Load(const std::string& path, std::string* error) {
  dlerror();
  void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (library == nullptr) {
    const char* reason = dlerror();
    *error = "cannot load module " + Quoted(path) + ": " + (reason ? reason : "unknown error");
    return false;
  }
  // dlopen of an open module hands back the same handle; a second Load would run the
  // module's start-up twice on the same static state.
  for (const LoadedModule& loaded : modules_) {
    if (loaded.library == library) {
      dlclose(library);
      *error = "module " + Quoted(path) + " is already loaded";
      return false;
    }
  }

  ModuleEntries entries;
  entries.pluginInfo = Symbol<MIRANDAPLUGININFO_FN>(library, "MirandaPluginInfo");
  entries.load = Symbol<LOAD_FN>(library, "Load");
  entries.unload = Symbol<UNLOAD_FN>(library, "Unload");
  LoadedModule module;
  module.path = path;
  module.library = library;
  return Start(std::move(module), entries, error);
}

bool ModuleLoader::LoadBuiltin(const std::string& name, const ModuleEntries& entries,
                               std::string* error) {
  for (const LoadedModule& loaded : modules_) {
    if (loaded.library == nullptr && loaded.path == name) {
      *error = "module " + Quoted(name) + " is already loaded";
      return false;
    }
  }
  LoadedModule module;
  module.path = name;
  return Start(std::move(module), entries, error);
}

void ModuleLoader::Close(const LoadedModule& module) {
  if (module.library != nullptr) dlclose(module.library);
}

bool ModuleLoader::Start(LoadedModule module, const ModuleEntries& entries, std::string* error) {
  const std::string& path = module.path;
  std::string missing;
  if (entries.pluginInfo == nullptr) missing += " 'MirandaPluginInfo'";
  if (entries.load == nullptr) missing += " 'Load'";
  if (entries.unload == nullptr) missing += " 'Unload'";
  if (!missing.empty()) {
    Close(module);
    *error = "module " + Quoted(path) + " does not export" + missing;
    return false;
  }

  const PLUGININFO* info = entries.pluginInfo(host_version_);
  if (info == nullptr) {
    Close(module);
    *error = "module " + Quoted(path) + " gave no plug-in information";
    return false;
  }
  if (info->cbSize != static_cast<int>(sizeof(PLUGININFO))) {
    const int size = info->cbSize;
    Close(module);
    *error = "module " + Quoted(path) + " has plug-in information of " + std::to_string(size) +
             " bytes; this host needs " + std::to_string(sizeof(PLUGININFO));
    return false;
  }

  module.base = ModuleBaseOf(reinterpret_cast<const void*>(entries.pluginInfo));
  module.unload = entries.unload;
  module.short_name = info->shortName != nullptr ? info->shortName : "";
  module.version = info->version;

  const int started = entries.load(link_);
  if (started != 0) {
    // What the module registered before failing would point into unmapped code.
    Close(module);
    if (closed_) closed_(module.base);
    *error =
        "module " + Quoted(path) + " failed to start: Load returned " + std::to_string(started);
    return false;
  }
  modules_.push_back(std::move(module));
  return true;
}

void ModuleLoader::UnloadAll() {
  while (!modules_.empty()) {
    LoadedModule module = std::move(modules_.back());
    modules_.pop_back();
    module.unload();
    if (module.library == nullptr) {
      // Built in: its code stays, and what it registered goes with it.
      if (closed_) closed_(module.base);
      continue;
    }
    // The module's static objects are destroyed here; they may still call the host.
    dlclose(module.library);
    if (closed_) closed_(module.base);
    if (void* still = dlopen(module.path.c_str(), RTLD_NOW | RTLD_NOLOAD)) {
      // Its static objects will now be destroyed at exit, without a host to call.
      dlclose(still);
      std::fprintf(stderr, "host: module '%s' stayed loaded after it was closed\n",
                   module.path.c_str());
    }
  }
}

}  // namespace tessaro::host
