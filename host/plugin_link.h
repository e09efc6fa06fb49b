// The PLUGINLINK table that the host hands to every module's Load.
#pragma once

#include "sdk/plugin_api.h"

namespace tessaro::host {

// A table of C functions that act on Host::Current().
PLUGINLINK MakePluginLink();

}  // namespace tessaro::host
