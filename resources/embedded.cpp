#include "resources/embedded.h"

#include "resources/embedded_table.h"

namespace tessaro {

std::string_view PluginResourceScript() {
  return {reinterpret_cast<const char*>(embedded::kScript.data), embedded::kScript.size};
}

std::optional<std::span<const uint8_t>> PluginResourceFile(std::string_view path) {
  // A dozen entries: a straight search is as fast as anything cleverer.
  for (size_t i = 0; i < embedded::kFileCount; ++i) {
    const embedded::EmbeddedFile& file = embedded::kFiles[i];
    if (path == file.path) return std::span<const uint8_t>(file.data, file.size);
  }
  return std::nullopt;
}

}  // namespace tessaro
