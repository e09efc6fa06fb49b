// The plug-in module's resources, compiled into the module itself so that it
// needs no files beside it: the resource script and the image files that its
// ICON and BITMAP lines name.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace tessaro {

// The text of resources/tessaro.rc as it was when the module was built.
std::string_view PluginResourceScript();

// The bytes of a file the script names, looked up by its path exactly as the
// script writes it ("icons/icon128.ico"): no case folding, no other
// separators. Any other path gives nullopt. The bytes live as long as the
// module does.
std::optional<std::span<const uint8_t>> PluginResourceFile(std::string_view path);

}  // namespace tessaro
