#include "host/transport.h"

namespace tessaro::host {

MessageSink::~MessageSink() = default;
Transport::~Transport() = default;

bool LoopbackTransport::Pair(HANDLE a, HANDLE b) {
  if (a == nullptr || b == nullptr || a == b) return false;
  if (mirrors_.count(a) != 0 || mirrors_.count(b) != 0) return false;
  mirrors_[a] = b;
  mirrors_[b] = a;
  return true;
}

HANDLE LoopbackTransport::MirrorOf(HANDLE a) const {
  auto it = mirrors_.find(a);
  return it == mirrors_.end() ? nullptr : it->second;
}

bool LoopbackTransport::Send(HANDLE to, std::string_view text) {
  HANDLE from = MirrorOf(to);
  if (from == nullptr) return false;
  // The sink posts to the user-interface queue, so the arrival comes after this
  // call has returned and after every earlier arrival.
  sink_.Receive(from, std::string(text));
  return true;
}

}  // namespace tessaro::host
