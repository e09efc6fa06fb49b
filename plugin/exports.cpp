// The module's three exports. Everything else in the module is hidden.
#include "plugin/plugin_app.h"

namespace {

// Made when the module is loaded, before the host calls any export, and
// destroyed when it is unloaded, after Unload: every game window goes with it.
tessaro::PluginApp theApp;

}  // namespace

extern "C" {

TESSARO_PLUGIN_EXPORT PLUGININFO* MirandaPluginInfo(DWORD mirandaVersion) {
  (void)mirandaVersion;
  return theApp.PluginInfo();
}

TESSARO_PLUGIN_EXPORT int Load(PLUGINLINK* link) {
  return theApp.Load(link);
}

TESSARO_PLUGIN_EXPORT int Unload(void) {
  return theApp.Unload();
}

}  // extern "C"
