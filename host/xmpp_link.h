// The protocol "ICQ" over XMPP: each message to a contact reaches the peer's
// plug-in whole, once and in the order sent, across lost connections, server
// restarts and crashes of either host.
//
// Sending: the sent event, the message's place in the outbox and its sequence
// number are stored in one transaction; then the message goes out with an id, a
// receipt request and its sequence number (see xmpp_stanza.h). It stays in the
// outbox until the peer's receipt arrives and is sent again, with the same id,
// after every login, when the contact comes online, and when unconfirmed for
// kResendAfter while online.
//
// Receiving: a message is stored before its receipt is sent; if storing fails
// there is no receipt, so the sender tries again. Messages are handed on (stored
// as events, then "DB/Event/Added") in the sender's order; those ahead of a gap
// wait in the profile. An id seen before gets its receipt again and nothing else.
// Only contacts get through: a message from any other address becomes a contact
// request. Any resource of a contact's bare address is that contact.
//
// Runs on the user-interface thread, except what the transport's network thread
// posts to the queue. Not copyable; destroy it before the database.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <string_view>

#include "host/database.h"
#include "host/transport.h"
#include "host/ui_queue.h"
#include "host/xmpp_transport.h"

namespace tessaro::host {

struct LinkHooks {
  // After an event of a contact was stored (sent or received): notify the hooks.
  std::function<void(HANDLE contact, HANDLE event)> event_added;
  // The connection state, a contact's presence or the contact requests changed.
  std::function<void()> changed;
  // A roster item that is not a contact yet: add it, return its handle.
  std::function<HANDLE(const std::string& name, const std::string& address)> add_contact;
  // One line about something ignored or failed; empty: stderr.
  std::function<void(const std::string&)> log;
  std::function<uint32_t()> clock;  // event timestamps; empty: the system clock
};

class XmppLink final : public Transport, private XmppTransport::Listener {
 public:
  static constexpr auto kResendAfter = std::chrono::seconds(3);

  XmppLink(Database& db, UiQueue& queue, XmppAccount account, LinkHooks hooks);
  // Stops the network thread; tasks it posted and that have not run do nothing.
  ~XmppLink() override;
  XmppLink(const XmppLink&) = delete;
  XmppLink& operator=(const XmppLink&) = delete;

  // Starts connecting; held messages left by an earlier run are handed on first.
  void Start();

  // ---- Transport ----
  // False when the contact has no address, the text is longer than kMaxBodyBytes or
  // not sendable as XML text, or the profile cannot store it.
  bool Send(HANDLE to, std::string_view text) override;
  bool StoresSentMessages() const override { return true; }

  // ---- Contacts ----
  // Adds the contact to the server's roster and asks for its presence.
  void Subscribe(HANDLE contact);
  // Lets the address see our presence (answer to its subscription request).
  void Approve(const std::string& address);

  // ---- Incoming ----
  // What the network thread posts for each received message stanza, on the
  // user-interface thread. Public so that a fuzzer or a test can feed stanzas to
  // the link without a network (before Start, receipts just wait in the queue).
  void HandleStanza(const IncomingStanza& stanza);

  // ---- State ----
  LinkState state() const { return state_; }
  const std::string& state_detail() const { return state_detail_; }
  bool IsOnline(HANDLE contact) const;
  const std::string& own_address() const { return own_address_; }
  // How many sent messages still wait for their receipt.
  std::size_t Unconfirmed() const { return db_.Outbox().size(); }
  XmppTransport& transport() { return *transport_; }

 private:
  // XmppTransport::Listener, on the network thread: each posts to the queue.
  void OnState(LinkState state, const std::string& detail) override;
  void OnMessage(IncomingStanza stanza) override;
  void OnPresence(const std::string& from, const std::string& type) override;
  void OnRoster(std::vector<RosterItem> items) override;
  void OnTick() override;
  void Post(std::function<void()> task);

  // On the user-interface thread.
  void HandleState(LinkState state, const std::string& detail);
  void HandleIncoming(const ParsedStanza& message, const std::string& full_from);
  void HandleReceipt(const ParsedStanza& receipt);
  void HandlePresence(const std::string& from, const std::string& type);
  void HandleRoster(const std::vector<RosterItem>& items);
  // Stores held messages of the contact that are now next in order.
  void DeliverHeld(HANDLE contact);
  // Stores a message of the contact as an event inside the open transaction.
  HANDLE StoreEvent(HANDLE contact, std::string_view text, uint32_t flags);
  void SendStored(const OutboxRecord& message);
  void ResendOverdue();
  void Log(const std::string& line) const;
  uint32_t Now() const;

  Database& db_;
  UiQueue& queue_;
  LinkHooks hooks_;
  std::string own_address_;
  uint64_t epoch_;
  std::unique_ptr<XmppTransport> transport_;
  LinkState state_ = LinkState::kOffline;
  std::string state_detail_;
  std::map<std::string, std::set<std::string>> resources_;  // bare -> online resources
  std::map<std::string, std::chrono::steady_clock::time_point> last_sent_;  // outbox id
  std::shared_ptr<char> alive_ = std::make_shared<char>();
};

}  // namespace tessaro::host
