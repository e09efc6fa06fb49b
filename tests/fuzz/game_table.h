// Two game windows on the headless backend, paired through the host's
// loopback, kept for a whole fuzz run: what one window sends is dispatched by
// the other, so replies are fuzzed too. Each input starts from a fresh game.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "apps/platform_queue.h"
#include "framework/headless/headless.h"
#include "host/host.h"
#include "plugin/plugin_app.h"

namespace tessaro::fuzzing {

class GameTable {
 public:
  // The one table of the process, made on first use in a folder of its own
  // (Save Game and Load Game work in the current folder).
  static GameTable& Get();

  // Both windows back to a fresh game, the host's stored events dropped now
  // and then so that a long run does not grow without end.
  void StartInput();
  // A message as the host stores one it received from `fromAlice ? alice : bob`.
  void Store(bool toBlack, const std::string& module, uint32_t flags, uint16_t type,
             std::string blob);
  void Settle() { ui.RunUntilIdle(); }

  Headless ui;
  PlatformQueue queue;
  std::unique_ptr<host::Host> host;
  std::unique_ptr<PluginApp> app;
  HANDLE bob = nullptr;
  HANDLE alice = nullptr;
  GameWindow* black = nullptr;  // the window for Bob
  GameWindow* white = nullptr;  // the window for Alice

 private:
  GameTable() = default;
  void Open();
  int inputs_ = 0;
};

}  // namespace tessaro::fuzzing
