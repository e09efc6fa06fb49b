#include "host/icq_protocol.h"

#include <cstring>
#include <utility>

#include "host/host.h"

namespace tessaro::host {

IcqProtocol::IcqProtocol(Host& host, UiQueue& queue) : host_(host), queue_(queue) {}

IcqProtocol::~IcqProtocol() {
  // A transport's reader thread may still call Receive until it is stopped.
  transport_.reset();
}

void IcqProtocol::SetTransport(std::unique_ptr<Transport> transport) {
  transport_.reset();
  transport_ = std::move(transport);
}

bool IcqProtocol::IsIcqContact(HANDLE contact) const {
  std::optional<std::string> protocol = host_.ProtocolOf(contact);
  return protocol && *protocol == kIcqProtocol;
}

INT_PTR IcqProtocol::SendMessage(WPARAM, LPARAM lParam) {
  const auto* ccs = reinterpret_cast<const CCSDATA*>(lParam);
  if (ccs == nullptr || ccs->lParam == 0 || !IsIcqContact(ccs->hContact)) return 0;
  if (!transport_) return 0;
  const std::string_view text(reinterpret_cast<const char*>(ccs->lParam));
  if (!transport_->Send(ccs->hContact, text)) return 0;
  if (!transport_->StoresSentMessages()) Store(ccs->hContact, text, DBEF_SENT);
  return next_message_++;
}

void IcqProtocol::Receive(HANDLE from, std::string text) {
  std::weak_ptr<char> alive = alive_;
  queue_.Post([this, alive, from, text = std::move(text)] {
    if (alive.expired()) return;
    if (IsIcqContact(from)) Store(from, text, 0);
  });
}

void IcqProtocol::Store(HANDLE contact, std::string_view text, uint32_t flags) {
  EventRecord event;
  event.contact = contact;
  event.module = kIcqProtocol;
  event.timestamp = host_.Now();
  event.flags = flags;
  event.type = EVENTTYPE_MESSAGE;
  // A message's blob is its text with the closing zero, as readers expect.
  event.blob.assign(text);
  event.blob.push_back('\0');
  host_.AddEvent(std::move(event));
}

}  // namespace tessaro::host
