// Runs a fuzz target without libFuzzer (g++ builds): each file named on the
// command line once, then random inputs grown from seeds for -runs=N rounds.
// Deterministic for a given -seed=S, so a failure can be replayed.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

// Pieces that make inputs likely to reach deep into the parsers.
const char* const kPieces[] = {
    "#RQ", "0", "1",  "2",    "5",        "7",      "8",         "A",
    "F",   "f", "00", "0000", "FFFFFFFF", "\n",     "moves 7\n", "...............\n",
    "x",   "o", "#",  ".",    "\xff",     "RenLib", "\x00",      "\x48",
    "\x78"};

}  // namespace

int main(int argc, char** argv) {
  long runs = 10000;
  unsigned seed = 1;
  // Seeds: files, or every file of a folder (a libFuzzer corpus).
  std::vector<std::string> seeds;
  const auto readSeed = [&seeds](const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    seeds.emplace_back((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  };
  for (int i = 1; i < argc; ++i) {
    if (std::strncmp(argv[i], "-runs=", 6) == 0) {
      runs = std::strtol(argv[i] + 6, nullptr, 10);
    } else if (std::strncmp(argv[i], "-seed=", 6) == 0) {
      seed = static_cast<unsigned>(std::strtoul(argv[i] + 6, nullptr, 10));
    } else if (std::filesystem::is_directory(argv[i])) {
      for (const auto& entry : std::filesystem::directory_iterator(argv[i]))
        readSeed(entry.path());
    } else {
      readSeed(argv[i]);
    }
  }
  for (const std::string& bytes : seeds)
    LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
  std::mt19937 random(seed);
  std::string input;
  for (long run = 0; run < runs; ++run) {
    if (random() % 8 == 0) input = seeds.empty() ? std::string() : seeds[random() % seeds.size()];
    const int edits = 1 + static_cast<int>(random() % 8);
    for (int e = 0; e < edits; ++e) {
      const size_t at = input.empty() ? 0 : random() % (input.size() + 1);
      switch (random() % 4) {
        case 0: {
          const char* piece = kPieces[random() % std::size(kPieces)];
          input.insert(at, piece, std::max<size_t>(1, std::strlen(piece)));
          break;
        }
        case 1:
          input.insert(at, 1, static_cast<char>(random() % 256));
          break;
        case 2:
          if (!input.empty()) input.erase(at == input.size() ? at - 1 : at, 1 + random() % 4);
          break;
        default:
          if (!input.empty()) input[random() % input.size()] = static_cast<char>(random() % 256);
          break;
      }
    }
    if (input.size() > 20000) input.resize(20000);
    LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(input.data()), input.size());
  }
  std::printf("%ld inputs, seed %u: no fault\n", runs, seed);
  return 0;
}
