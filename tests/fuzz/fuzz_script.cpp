// Script files for the scripted host. Lines that would write outside the
// run's own folder (a path with '/') or take long (more than 9999 seconds of
// clock) are left out: the fuzzer is not to write files around the disk.
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>

#include "apps/script_runner.h"

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
  options.modulePath = TESSARO_PLUGIN_MODULE;
  tessaro::RunScript(in, "fuzz", options, out, err);
  return 0;
}
