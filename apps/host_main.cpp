// tessaro-host: the messenger host with the game plug-in.
//
//   tessaro-host --headless --script FILE [--module PATH]
//       plays a script of what people do and checks what they should see
//       (see apps/script_runner.h for the commands); exit status 0 when every
//       expectation held.
#include <cstring>
#include <fstream>
#include <iostream>
#include <string>

#include "apps/script_runner.h"

namespace {

int Usage() {
  std::cerr << "usage: tessaro-host --headless --script FILE [--module PATH]\n";
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  bool headless = false;
  std::string script;
  tessaro::ScriptOptions options;
  options.modulePath = TESSARO_DEFAULT_MODULE;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--headless") {
      headless = true;
    } else if (arg == "--script" && i + 1 < argc) {
      script = argv[++i];
    } else if (arg == "--module" && i + 1 < argc) {
      options.modulePath = argv[++i];
    } else {
      return Usage();
    }
  }
  if (!headless || script.empty()) return Usage();
  std::ifstream in(script);
  if (!in) {
    std::cerr << "tessaro-host: cannot read " << script << "\n";
    return 2;
  }
  return tessaro::RunScript(in, script, options, std::cout, std::cerr);
}
