// The BMP and ICO decoders; the first byte picks one.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>

#include "framework/image.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace tessaro;
  if (size == 0) return 0;
  const std::span<const uint8_t> file(data + 1, size - 1);
  std::string error;
  if (data[0] & 1) {
    IconImages icons;
    DecodeIco(file, icons, error);
  } else {
    Image image;
    DecodeBmp(file, image, error);
  }
  return 0;
}
