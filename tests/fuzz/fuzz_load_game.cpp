// Load Game from bytes on disk: the window for Bob loads the file and sends
// the game to the window for Alice, which takes it or refuses it whole.
// The first byte answers "Are you BLACK?" (bit 0) and picks the what-if board
// (bit 1); the rest is the file.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <fstream>

#include "game_table.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace tessaro;
  if (size == 0) return 0;
  fuzzing::GameTable& table = fuzzing::GameTable::Get();
  table.StartInput();
  std::ofstream("input.lib", std::ios::binary | std::ios::trunc)
      .write(reinterpret_cast<const char*>(data + 1), static_cast<std::streamsize>(size - 1));
  if (data[0] & 2) table.ui.PressButton(*table.black, kSimButton);
  table.ui.AnswerFileDialog("input.lib");
  table.ui.AnswerMessageBox((data[0] & 1) ? IDYES : IDNO, {}, "Are you BLACK?");
  table.ui.ChooseMenu(*table.black, kCmdLoadGame);
  table.Settle();
  if (table.white->game.myColor > White || table.black->game.myColor > White) std::abort();
  return 0;
}
