#include "game_table.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <utility>

namespace tessaro::fuzzing {

GameTable& GameTable::Get() {
  static GameTable* table = [] {
    char pattern[] = "/tmp/tessaro-fuzz-XXXXXX";
    if (mkdtemp(pattern) == nullptr || chdir(pattern) != 0) std::abort();
    auto* made = new GameTable();
    made->Open();
    return made;
  }();
  return *table;
}

void GameTable::Open() {
  Stop();
  std::string error;
  // Hidden, as a window made by an incoming message is: it receives and acts
  // all the same, and no time goes into painting pixels nobody checks.
  if (!Start("", &error)) {
    std::fprintf(stderr, "two windows: %s\n", error.c_str());
    std::abort();
  }
  MakeBoth();
}

void GameTable::StartInput() {
  if (++inputs_ % 2000 == 0) Open();
  ui.driver().ClearScripts();
  for (GameWindow* window : {black, white}) {
    window->game.simulationMode = 0;
    window->game.moveList.clear();  // no question about saving the old game
    window->ResetGame();
    window->SetLog({});
    window->game.clockSetting = 0;
    window->game.myClock = 0;
  }
  Settle();
  ui.driver().ClearShown();
}

void GameTable::Store(bool toBlack, const std::string& module, uint32_t flags, uint16_t type,
                      std::string blob) {
  StoreReceived(toBlack ? bob : alice, module, flags, type, std::move(blob));
}

}  // namespace tessaro::fuzzing
