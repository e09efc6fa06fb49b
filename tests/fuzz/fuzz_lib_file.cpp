// Game files from anywhere: nothing off the board may come out of them.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "files/lib_file.h"
#include "files/lib_tree.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace tessaro;
  const LibLine line = DecodeLibFile(std::span<const uint8_t>(data, size));
  MoveList moves;
  for (const LibMove& move : line.moves) {
    if (!OnBoard(move.x, move.y) || (move.colour != Black && move.colour != White)) std::abort();
    moves.push_back(Move{move.x, move.y, move.colour});
  }
  // What we read back we can write, and it reads back the same.
  const LibLine again = DecodeLibFile(EncodeLibFile(moves, line.title));
  if (again.moves.size() != line.moves.size()) std::abort();

  // The whole tree: every node hangs on one read before it, and showing it
  // ends whatever the bytes.
  const LibTree tree = ReadLibTree(std::span<const uint8_t>(data, size));
  for (size_t i = 1; i < tree.nodes.size(); ++i) {
    if (tree.nodes[i].parent >= i) std::abort();
  }
  if (FormatLibTree(tree).empty()) std::abort();
  return 0;
}
