// The arrays that the build generates from the resource script and the files
// it names (embed_files.cmake writes their definitions). Internal to
// tessaro_resources; everyone else goes through resources/embedded.h.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tessaro::embedded {

struct EmbeddedFile {
  const char* path;  // as the script writes it
  const uint8_t* data;
  size_t size;
};

extern const EmbeddedFile kScript;
// kFileCount entries, in the order of the script's lines.
extern const EmbeddedFile kFiles[];
extern const size_t kFileCount;

}  // namespace tessaro::embedded
