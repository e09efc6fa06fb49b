// Positions typed by players for the judge tool.
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>

#include "game/judge.h"
#include "game/text_board.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace tessaro;
  std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
  TextPositionReader reader(in);
  TextPosition position;
  for (int i = 0; i < 16 && reader.Next(position); ++i) {
    RefreshBoardMarks(position.board, position.moves);
    (void)FormatBoard(position.board);
  }
  return 0;
}
