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

  auto info_fn = Symbol<MIRANDAPLUGININFO_FN>(library, "MirandaPluginInfo");
  auto load_fn = Symbol<LOAD_FN>(library, "Load");
  auto unload_fn = Symbol<UNLOAD_FN>(library, "Unload");
  std::string missing;
  if (info_fn == nullptr) missing += " 'MirandaPluginInfo'";
  if (load_fn == nullptr) missing += " 'Load'";
  if (unload_fn == nullptr) missing += " 'Unload'";
  if (!missing.empty()) {
    dlclose(library);
    *error = "module " + Quoted(path) + " does not export" + missing;
    return false;
  }

  const PLUGININFO* info = info_fn(host_version_);
  if (info == nullptr) {
    dlclose(library);
    *error = "module " + Quoted(path) + " gave no plug-in information";
    return false;
  }
  if (info->cbSize != static_cast<int>(sizeof(PLUGININFO))) {
    const int size = info->cbSize;
    dlclose(library);
    *error = "module " + Quoted(path) + " has plug-in information of " + std::to_string(size) +
             " bytes; this host needs " + std::to_string(sizeof(PLUGININFO));
    return false;
  }

  LoadedModule module;
  module.path = path;
  module.library = library;
  module.base = ModuleBaseOf(reinterpret_cast<const void*>(info_fn));
  module.unload = unload_fn;
  module.short_name = info->shortName != nullptr ? info->shortName : "";
  module.version = info->version;

  const int started = load_fn(link_);
  if (started != 0) {
    // What the module registered before failing would point into unmapped code.
    dlclose(library);
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
