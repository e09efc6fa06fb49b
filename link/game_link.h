// A window's end of the game link: sends command packets as "#RQ" frames to
// the window's contact, and queues the frame texts that arrive for it until
// the window's next paint decodes and dispatches them.
//
// The link knows the window only through LinkEndpoint, which it owns and the
// game window implements: where frames go, where received text waits, and who
// acts on a decoded command.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace tessaro {

class GameCommand;
class GameLink;
struct ReceivedCommand;

// Set while a window drains its inbox. One flag for the whole plug-in: a modal
// box opened by Dispatch runs a nested message loop, and a paint of any window
// inside it must not start a second drain.
extern int receiveBusy;

class LinkEndpoint {
 public:
  virtual ~LinkEndpoint() = default;
  // Sends one frame text to the contact as one message.
  virtual void SendFrame(const std::string& frame) = 0;
  // The received text not yet decoded; the link takes it whole and puts back
  // a rest that did not fit one decoding.
  virtual std::string& IncomingText() = 0;
  // Queues `link` for the next drain (the window's paint).
  virtual void QueueDrain(GameLink& link) = 0;
  // Acts on one received command.
  virtual void Dispatch(GameCommand& command) = 0;
  // Tells the player that a received frame was damaged (the box "Receive
  // error 0x01").
  virtual void ShowReceiveError() = 0;
};

class GameLink {
 public:
  explicit GameLink(LinkEndpoint& endpoint) : endpoint_(endpoint) {}
  GameLink(const GameLink&) = delete;
  GameLink& operator=(const GameLink&) = delete;

  // Sends one frame with `count` packet bytes to the window's contact. Nothing
  // is sent for a count below 1. Always returns 0: the host's result is not
  // examined and nothing is retried.
  int32_t SendBytes(const uint8_t* bytes, int32_t count);

  // Takes the window's incoming text whole and decodes it into `buffer`; the
  // number of bytes, 0 when nothing usable was found.
  int32_t DecodeIncoming(uint8_t* buffer, int32_t capacity);

  // Queues this link for the endpoint's next drain, which decodes and
  // dispatches what arrived.
  void QueueIncoming() { endpoint_.QueueDrain(*this); }

  LinkEndpoint& Endpoint() const { return endpoint_; }

  // While a decoding is dispatched: the commands from the one being
  // dispatched to the last, as frames again, so that a game kept while one of
  // them waits for the player (a box it opened) is kept with them still to
  // come. Empty otherwise.
  std::string UndispatchedFrames() const;

 private:
  friend class GameCommand;

  LinkEndpoint& endpoint_;
  const std::vector<ReceivedCommand>* dispatching_ = nullptr;
  size_t dispatchingFrom_ = 0;
};

}  // namespace tessaro
