// Script files for the scripted host. Lines that would write outside the
// run's own folder (a path with '/') or take long (more than 9999 seconds of
// clock) are left out: the fuzzer is not to write files around the disk.
//
// The plug-in is built into this program rather than opened from its module
// file: a module closed after every input would take its coverage counters
// with it, which libFuzzer goes on reading. Each input still gets a plug-in of
// its own, made when the host asks for its information and gone at Unload, as
// a module's static objects are when it is closed.
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <sstream>
#include <string>

#include "apps/script_runner.h"
#include "host/module_loader.h"
#include "plugin/plugin_app.h"

namespace {

std::unique_ptr<tessaro::PluginApp> plugin;

PLUGININFO* PluginInfo(DWORD) {
  if (!plugin) plugin = std::make_unique<tessaro::PluginApp>();
  return plugin->PluginInfo();
}
int Load(PLUGINLINK* link) {
  return plugin->Load(link);
}
int Unload() {
  const int result = plugin->Unload();
  plugin.reset();
  return result;
}

const tessaro::host::ModuleEntries kBuiltIn{&PluginInfo, &Load, &Unload};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool inFolder = [] {
    char pattern[] = "/tmp/tessaro-fuzz-script-XXXXXX";
    return mkdtemp(pattern) != nullptr && chdir(pattern) == 0;
  }();
  if (!inFolder) std::abort();
  std::istringstream lines(std::string(reinterpret_cast<const char*>(data), size));
  std::string script, line;
  while (std::getline(lines, line)) {
    if (line.find('/') != std::string::npos) continue;
    if (line.find("advance") != std::string::npos &&
        std::count_if(line.begin(), line.end(), [](char c) { return c >= '0' && c <= '9'; }) > 4)
      continue;
    script += line + "\n";
  }
  std::istringstream in(script);
  std::ostringstream out, err;
  tessaro::ScriptOptions options;
  options.builtinModule = &kBuiltIn;
  tessaro::RunScript(in, "fuzz", options, out, err);
  return 0;
}
