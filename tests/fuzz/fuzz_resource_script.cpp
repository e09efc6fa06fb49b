// The resource script parser: any text, with images read from the module's
// own files (a name the module does not have reads as missing).
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "framework/resources.h"
#include "resources/embedded.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace tessaro;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  ResourceModule module;
  std::string error;
  ResourceModule::Parse(
      text,
      [](std::string_view path) -> std::optional<std::vector<uint8_t>> {
        const auto file = PluginResourceFile(path);
        if (!file) return std::nullopt;
        return std::vector<uint8_t>(file->begin(), file->end());
      },
      module, error);
  return 0;
}
