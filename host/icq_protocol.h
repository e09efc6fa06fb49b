// The protocol module "ICQ": the service "ICQ/SendMsg" and the way in for received
// messages. Both store the message in the event database as an instant message of
// the contact: sent ones with DBEF_SENT, received ones without.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "host/transport.h"
#include "host/ui_queue.h"
#include "sdk/plugin_api.h"

namespace tessaro::host {

class Host;

class IcqProtocol final : public MessageSink {
 public:
  IcqProtocol(Host& host, UiQueue& queue);
  // Destroys the transport first; received messages still queued are dropped.
  ~IcqProtocol() override;

  // The service behind "ICQ" PSS_MESSAGE: wParam 0, lParam CCSDATA* whose lParam
  // is the text. Hands the text to the transport, then stores it with DBEF_SENT.
  // Returns a non-zero message number, or 0 when nothing was sent (bad record,
  // unknown or non-ICQ contact, no transport, transport refused).
  INT_PTR SendMessage(WPARAM wParam, LPARAM lParam);

  // Thread-safe: posts the text to the user-interface thread, which stores it as
  // received from `from` (dropped if that is no longer an ICQ contact).
  void Receive(HANDLE from, std::string text) override;

  void SetTransport(std::unique_ptr<Transport> transport);

 private:
  void Store(HANDLE contact, std::string_view text, uint32_t flags);
  bool IsIcqContact(HANDLE contact) const;

  Host& host_;
  UiQueue& queue_;
  std::unique_ptr<Transport> transport_;
  // Posted tasks hold a weak reference; once this object is gone they do nothing.
  std::shared_ptr<char> alive_ = std::make_shared<char>();
  INT_PTR next_message_ = 1;
};

}  // namespace tessaro::host
