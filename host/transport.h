// How the protocol "ICQ" moves message texts between contacts.
//
// A Transport carries texts out; a MessageSink takes texts in. The host owns both
// and destroys the transport first, so a transport may keep a reference to its sink.
#pragma once

#include <map>
#include <string>
#include <string_view>

#include "sdk/plugin_api.h"

namespace tessaro::host {

// ---- Interfaces ----

class MessageSink {
 public:
  virtual ~MessageSink();
  // Thread-safe: a message arrived from the contact `from`. It is handed to the
  // user-interface thread and stored there; never handled inside this call.
  virtual void Receive(HANDLE from, std::string text) = 0;
};

class Transport {
 public:
  virtual ~Transport();
  // On the user-interface thread: send `text` to the contact `to` as one message,
  // whole and after every message sent before it. Returns false when it cannot be
  // sent. Must not hand anything to a sink inside this call on the same thread.
  virtual bool Send(HANDLE to, std::string_view text) = 0;
  // Whether Send stores the sent message as the contact's event itself (in one
  // transaction with what it needs to deliver it later); the protocol then does
  // not store it again.
  virtual bool StoresSentMessages() const { return false; }
};

// ---- Loopback: contacts of this host paired as mirrors ----

// A text sent to one contact of a pair arrives as a text received from the other,
// so two windows in one process talk to each other. Used on the user-interface
// thread only.
class LoopbackTransport final : public Transport {
 public:
  explicit LoopbackTransport(MessageSink& sink) : sink_(sink) {}

  // Pairs two different contacts. False for a null or equal handle, or when either
  // is already paired.
  bool Pair(HANDLE a, HANDLE b);
  // The other contact of a's pair, or nullptr.
  HANDLE MirrorOf(HANDLE a) const;
  // Hands the text to the sink as from the mirror of `to`. False for an unpaired contact.
  bool Send(HANDLE to, std::string_view text) override;

 private:
  MessageSink& sink_;
  std::map<HANDLE, HANDLE> mirrors_;
};

}  // namespace tessaro::host
