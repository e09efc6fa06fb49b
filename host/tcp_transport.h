// The network transport of "ICQ": each contact is reached over its own TCP
// connection to the peer's host process, one side listening and the other
// connecting. A message travels as a 4-byte little-endian length and then the
// text's bytes, so it arrives whole, once and in the order sent.
//
// Listen, Connect and Send run on the user-interface thread; one reader thread per
// connection hands arrivals to the sink. The destructor closes every connection
// and joins the readers, so the sink is never called after it.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

#include "host/transport.h"

namespace tessaro::host {

class TcpTransport final : public Transport {
 public:
  // Longer messages are refused on sending, and end the connection on receiving.
  static constexpr uint32_t kMaxMessage = 1u << 20;

  explicit TcpTransport(MessageSink& sink);
  ~TcpTransport() override;
  TcpTransport(const TcpTransport&) = delete;
  TcpTransport& operator=(const TcpTransport&) = delete;

  // ---- Connecting ----
  // Waits on 127.0.0.1:port (0: a free port) for the peer of `contact` to connect.
  // Returns the port, or 0 with *error set (the contact has a connection already,
  // or the port cannot be bound).
  uint16_t Listen(HANDLE contact, uint16_t port, std::string* error);
  // Connects `contact` to a peer that listens at address:port.
  bool Connect(HANDLE contact, const std::string& address, uint16_t port, std::string* error);
  // Whether the contact's connection is up: accepted or connected, and not closed.
  bool IsConnected(HANDLE contact) const;

  // ---- Transport ----
  // False when the contact has no open connection, the text is too long or the
  // connection fails while writing (it is closed then).
  bool Send(HANDLE to, std::string_view text) override;

 private:
  struct Endpoint;
  void AcceptThenRead(Endpoint* endpoint);
  void ReadLoop(Endpoint* endpoint, int fd);
  void MarkClosed(Endpoint* endpoint);

  MessageSink& sink_;
  mutable std::mutex mutex_;  // guards endpoints_, each endpoint's fd and stopping_
  bool stopping_ = false;
  std::map<HANDLE, std::unique_ptr<Endpoint>> endpoints_;
};

}  // namespace tessaro::host
