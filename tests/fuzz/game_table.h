// The two game windows of the plug-in's tests (WindowPair: the host's loopback
// on the headless backend, profile in memory), kept for a whole fuzz run: what
// one window sends is dispatched by the other, so replies are fuzzed too. Each
// input starts from a fresh game.
#pragma once

#include <cstdint>
#include <string>

#include "tests/plugin/window_pair.h"

namespace tessaro::fuzzing {

class GameTable : public testing::WindowPair {
 public:
  // The one table of the process, made on first use in a folder of its own
  // (Save Game and Load Game work in the current folder).
  static GameTable& Get();

  // Both windows back to a fresh game, the host's stored events dropped now
  // and then so that a long run does not grow without end.
  void StartInput();
  // A message as the host stores one it received from `toBlack ? bob : alice`.
  void Store(bool toBlack, const std::string& module, uint32_t flags, uint16_t type,
             std::string blob);
  void Settle() { ui.RunUntilIdle(); }

 private:
  GameTable() = default;
  void Open();
  int inputs_ = 0;
};

}  // namespace tessaro::fuzzing
