// A window's end of the game link: sends command packets as "#RQ" frames to
// the window's contact, and queues the frame texts that arrive for it until
// the window's next paint decodes and dispatches them.
#pragma once

#include <cstdint>

namespace tessaro {

class GameWindow;

// Set while a window drains its inbox. One flag for the whole plug-in: a modal
// box opened by Dispatch runs a nested message loop, and a paint of any window
// inside it must not start a second drain.
extern int receiveBusy;

class GameLink {
 public:
  explicit GameLink(GameWindow& window) : window_(window) {}
  GameLink(const GameLink&) = delete;
  GameLink& operator=(const GameLink&) = delete;

  // Sends one frame with `count` packet bytes to the window's contact. Nothing
  // is sent for a count below 1. Always returns 0: the host's result is not
  // examined and nothing is retried.
  int32_t SendBytes(const uint8_t* bytes, int32_t count);

  // Takes the window's incomingText whole and decodes it into `buffer`; the
  // number of bytes, 0 when nothing usable was found.
  int32_t DecodeIncoming(uint8_t* buffer, int32_t capacity);

  // Queues this link in the window's inbox and posts the window WM_PAINT, whose
  // handler decodes and dispatches what arrived.
  void QueueIncoming();

  GameWindow& window() const { return window_; }

 private:
  GameWindow& window_;
};

}  // namespace tessaro
