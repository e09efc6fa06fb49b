#include "game_table.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "host/transport.h"

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
  app.reset();
  host.reset();
  std::string error;
  host = host::Host::Create(queue, {}, &error);
  if (!host) {
    std::fprintf(stderr, "host: %s\n", error.c_str());
    std::abort();
  }
  host->SetUserName("Me");
  bob = host->AddContact("Bob");
  alice = host->AddContact("Alice");
  auto loopback = std::make_unique<host::LoopbackTransport>(host->IncomingSink());
  if (!loopback->Pair(bob, alice)) std::abort();
  host->SetTransport(std::move(loopback));
  app = std::make_unique<PluginApp>();
  if (!app->resourcesLoaded() || app->Load(host->link()) != 0) std::abort();
  // Hidden, as a window made by an incoming message is: it receives and acts
  // all the same, and no time goes into painting pixels nobody checks.
  black = app->FindOrCreateWindow(bob);
  white = app->FindOrCreateWindow(alice);
  Settle();
}

void GameTable::StartInput() {
  if (++inputs_ % 2000 == 0) Open();
  ui.driver().ClearScripts();
  for (GameWindow* window : {black, white}) {
    window->game.simulationMode = 0;
    window->game.moveList.clear();  // no question about saving the old game
    window->ResetGame();
    window->logText.clear();
    window->logView.clear();
    window->game.clockSetting = 0;
    window->game.myClock = 0;
  }
  Settle();
  ui.driver().ClearShown();
}

void GameTable::Store(bool toBlack, const std::string& module, uint32_t flags, uint16_t type,
                      std::string blob) {
  host::EventRecord event;
  event.contact = toBlack ? bob : alice;
  event.module = module;
  event.timestamp = host->Now();
  event.flags = flags;
  event.type = type;
  event.blob = std::move(blob);
  host->AddEvent(std::move(event));
}

}  // namespace tessaro::fuzzing
