// Two game windows playing each other through the host's loopback, on the
// headless backend: contact "Bob" and contact "Alice" are mirrors, so what
// the window for Bob sends arrives at the window for Alice and back.
//
// The one setup of two players that the plug-in's tests (TwoPlayers, in
// two_players.h) and the fuzz targets (GameTable) start from. It knows no test
// framework, since a fuzz target is a plain program: a failure is returned
// with its reason, and each user asserts or aborts in its own way.
//
// The game model's own tests pair two Games without this (tests/game): no
// host, no windows and no frames, a level below on purpose.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "apps/platform_queue.h"
#include "framework/headless/headless.h"
#include "host/host.h"
#include "plugin/plugin_app.h"

namespace tessaro::testing {

class WindowPair {
 public:
  // The host on a profile (a file; an empty path keeps it in memory) with the
  // contacts Bob and Alice, found there or added, mirrored onto each other; the
  // plug-in loaded. On failure returns false and says why in *error.
  bool Start(const std::string& profilePath, std::string* error);
  // The plug-in and the host go, and every window with them.
  void Stop();
  // Both contacts' windows opened from the contact menu, shown.
  bool OpenBoth();
  // Both windows made hidden, as a received game message makes one: they
  // receive and act all the same, and no time goes into painting.
  bool MakeBoth();
  // A message stored as the host stores one received from `contact`; the hook
  // queues it for the contact's window at once. The event's handle, or nullptr.
  HANDLE StoreReceived(HANDLE contact, const std::string& module, uint32_t flags, uint16_t type,
                       std::string blob);
  // The middle of point (x, y) on a window's board, in client coordinates.
  static CPoint BoardPoint(int x, int y);

  Headless ui;
  PlatformQueue queue;
  std::unique_ptr<host::Host> host;
  std::unique_ptr<PluginApp> app;
  HANDLE bob = nullptr;
  HANDLE alice = nullptr;
  GameWindow* black = nullptr;  // the window for Bob
  GameWindow* white = nullptr;  // the window for Alice
};

}  // namespace tessaro::testing
