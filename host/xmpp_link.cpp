#include "host/xmpp_link.h"

#include <cstdio>
#include <ctime>
#include <utility>

#include "host/host.h"

namespace tessaro::host {

namespace {

using Clock = std::chrono::steady_clock;

}  // namespace

XmppLink::XmppLink(Database& db, UiQueue& queue, XmppAccount account, LinkHooks hooks)
    : db_(db),
      queue_(queue),
      hooks_(std::move(hooks)),
      own_address_(BareAddress(account.address)),
      epoch_(db.Epoch()),
      transport_(std::make_unique<XmppTransport>(std::move(account),
                                                 static_cast<XmppTransport::Listener&>(*this))) {}

XmppLink::~XmppLink() {
  transport_.reset();  // joins the network thread: no more posts
  alive_.reset();
}

void XmppLink::Start() {
  for (HANDLE contact : db_.ContactsWithHeld())
    DeliverHeld(contact);
  transport_->Start();
}

uint32_t XmppLink::Now() const {
  return hooks_.clock ? hooks_.clock() : static_cast<uint32_t>(std::time(nullptr));
}

void XmppLink::Log(const std::string& line) const {
  if (hooks_.log) {
    hooks_.log(line);
  } else {
    std::fprintf(stderr, "tessaro-host: xmpp: %s\n", line.c_str());
  }
}

// ---- From the network thread ----

void XmppLink::Post(std::function<void()> task) {
  std::weak_ptr<char> alive = alive_;
  queue_.Post([alive, task = std::move(task)] {
    if (!alive.expired()) task();
  });
}

void XmppLink::OnState(LinkState state, const std::string& detail) {
  Post([this, state, detail] { HandleState(state, detail); });
}

void XmppLink::OnMessage(IncomingStanza stanza) {
  Post([this, stanza = std::move(stanza)] { HandleStanza(stanza); });
}

void XmppLink::OnPresence(const std::string& from, const std::string& type) {
  Post([this, from, type] { HandlePresence(from, type); });
}

void XmppLink::OnRoster(std::vector<RosterItem> items) {
  Post([this, items = std::move(items)] { HandleRoster(items); });
}

void XmppLink::OnTick() {
  Post([this] {
    // A delivery that failed (the profile was busy) is tried again here.
    for (HANDLE contact : db_.ContactsWithHeld())
      DeliverHeld(contact);
    ResendOverdue();
  });
}

// ---- Sending ----

bool XmppLink::Send(HANDLE to, std::string_view text) {
  if (db_.AddressOf(to).empty()) return false;
  if (text.size() > kMaxBodyBytes || !IsSendableText(text)) {
    Log("not sent: a text of " + std::to_string(text.size()) +
        " bytes that is too long or not valid UTF-8 text");
    return false;
  }
  OutboxRecord message{NewMessageId(), to, 0, std::string(text)};
  HANDLE event = nullptr;
  {
    Database::Transaction transaction(db_);
    std::optional<uint64_t> seq;
    if (transaction.ok()) seq = db_.TakeOutboundSeq(to);
    if (seq) message.seq = *seq;
    if (!seq || !db_.AddOutbox(message) || !(event = StoreEvent(to, text, DBEF_SENT)) ||
        !transaction.Commit()) {
      Log("cannot store a message to " + db_.AddressOf(to) + ": " + db_.LastError());
      return false;
    }
  }
  if (hooks_.event_added) hooks_.event_added(to, event);
  SendStored(message);
  return true;
}

void XmppLink::SendStored(const OutboxRecord& message) {
  // While offline nothing is sent: the whole outbox goes out at the next login.
  if (state_ != LinkState::kOnline) return;
  transport_->Send({db_.AddressOf(message.contact), message.id, message.body, message.seq, epoch_});
  last_sent_[message.id] = Clock::now();
}

void XmppLink::ResendOverdue() {
  if (state_ != LinkState::kOnline) return;
  const auto due = Clock::now() - kResendAfter;
  for (const OutboxRecord& message : db_.Outbox()) {
    // An offline contact gets its messages from the server's offline storage, which
    // already holds them since the last login.
    if (!IsOnline(message.contact)) continue;
    auto sent = last_sent_.find(message.id);
    if (sent == last_sent_.end() || sent->second < due) SendStored(message);
  }
}

HANDLE XmppLink::StoreEvent(HANDLE contact, std::string_view text, uint32_t flags) {
  EventRecord event;
  event.contact = contact;
  event.module = kIcqProtocol;
  event.timestamp = Now();
  event.flags = flags;
  event.type = EVENTTYPE_MESSAGE;
  // A message's blob is its text with the closing zero, as readers expect.
  event.blob.assign(text);
  event.blob.push_back('\0');
  return db_.AddEvent(event);
}

// ---- Receiving ----

void XmppLink::HandleStanza(const IncomingStanza& stanza) {
  const ParsedStanza parsed = ParseStanza(stanza);
  switch (parsed.kind) {
    case ParsedStanza::Kind::kIgnore:
      Log("ignored: " + parsed.reason);
      return;
    case ParsedStanza::Kind::kReceipt:
      HandleReceipt(parsed);
      return;
    case ParsedStanza::Kind::kMessage:
      HandleIncoming(parsed, stanza.from);
      return;
  }
}

void XmppLink::HandleIncoming(const ParsedStanza& message, const std::string& full_from) {
  const std::string& from = message.from;
  const uint32_t now = Now();
  HANDLE contact = db_.ContactByAddress(from);
  if (contact == nullptr) {
    // Not a contact: never a game's business. Kept for the player to accept.
    if (db_.AddRequest(from, message.body, now)) {
      if (hooks_.changed) hooks_.changed();
    } else {
      Log("cannot keep the contact request of " + from + ": " + db_.LastError());
    }
    return;
  }
  if (!message.id.empty()) {
    if (std::optional<HANDLE> sender = db_.ReceivedFrom(message.id)) {
      if (*sender != contact) {
        Log("ignored: message from " + from + " with the id " + message.id +
            " of another contact's message");
        return;
      }
      Log("ignored: message " + message.id + " from " + from + " arrived again");
      if (message.wants_receipt) transport_->SendReceipt(full_from, message.id);
      return;
    }
  }
  HANDLE event = nullptr;
  {
    Database::Transaction transaction(db_);
    bool ok = transaction.ok();
    if (message.seq == 0) {
      ok = ok && (message.id.empty() || db_.MarkReceived(message.id, contact)) &&
           (event = StoreEvent(contact, message.body, 0)) != nullptr;
    } else {
      InboundState in = db_.Inbound(contact);
      if (message.epoch < in.epoch) {
        // From a profile the contact has since replaced: its order is over.
        Log("ignored: message " + message.id + " from " + from + " of an earlier profile");
        if (message.wants_receipt) transport_->SendReceipt(full_from, message.id);
        return;
      }
      if (message.epoch > in.epoch) {
        // A new profile of the contact counts from 1; what the old one left waiting
        // can never be completed.
        in = InboundState{message.epoch, 1};
        ok = ok && db_.DropHeld(contact) && db_.SetInbound(contact, in);
      }
      if (ok && message.seq < in.next) {
        Log("ignored: message " + std::to_string(message.seq) + " from " + from +
            " was handed on before");
        if (message.wants_receipt) transport_->SendReceipt(full_from, message.id);
        return;
      }
      ok = ok && db_.MarkReceived(message.id, contact);
      if (message.seq == in.next) {
        ++in.next;
        ok = ok && (event = StoreEvent(contact, message.body, 0)) != nullptr &&
             db_.SetInbound(contact, in);
      } else {
        ok = ok && db_.Hold(contact, message.seq, message.body);
      }
    }
    if (!ok || !transaction.Commit()) {
      // No receipt: the sender keeps the message and sends it again.
      Log("cannot store message " + message.id + " from " + from + ": " + db_.LastError() +
          "; not acknowledged");
      return;
    }
  }
  if (message.wants_receipt) transport_->SendReceipt(full_from, message.id);
  if (event != nullptr && hooks_.event_added) hooks_.event_added(contact, event);
  DeliverHeld(contact);
}

void XmppLink::DeliverHeld(HANDLE contact) {
  while (true) {
    const InboundState in = db_.Inbound(contact);
    std::optional<std::string> body = db_.Held(contact, in.next);
    if (!body) return;
    HANDLE event = nullptr;
    {
      Database::Transaction transaction(db_);
      if (!transaction.ok() || !(event = StoreEvent(contact, *body, 0)) ||
          !db_.RemoveHeld(contact, in.next) ||
          !db_.SetInbound(contact, InboundState{in.epoch, in.next + 1}) || !transaction.Commit()) {
        Log("cannot hand on a held message: " + db_.LastError() + "; trying again later");
        return;
      }
    }
    if (hooks_.event_added) hooks_.event_added(contact, event);
  }
}

void XmppLink::HandleReceipt(const ParsedStanza& receipt) {
  HANDLE contact = db_.ContactByAddress(receipt.from);
  if (contact == nullptr || !db_.RemoveOutbox(receipt.id, contact)) {
    Log("ignored: receipt from " + receipt.from + " for unknown message " + receipt.id);
    return;
  }
  last_sent_.erase(receipt.id);
}

// ---- State, presence and roster ----

void XmppLink::HandleState(LinkState state, const std::string& detail) {
  const LinkState before = state_;
  state_ = state;
  state_detail_ = detail;
  if (state != LinkState::kOnline) resources_.clear();
  // The history keeps the changes that matter to a player, not every attempt.
  if (state != before && state != LinkState::kConnecting) {
    db_.LogConnection(Now(), LinkStateName(state), detail);
  }
  if (state == LinkState::kOnline) {
    for (const OutboxRecord& message : db_.Outbox())
      SendStored(message);
  }
  if (hooks_.changed) hooks_.changed();
}

bool XmppLink::IsOnline(HANDLE contact) const {
  auto it = resources_.find(db_.AddressOf(contact));
  return it != resources_.end() && !it->second.empty();
}

void XmppLink::HandlePresence(const std::string& from, const std::string& type) {
  const std::string bare = BareAddress(from);
  if (bare.empty() || bare == own_address_) return;
  HANDLE contact = db_.ContactByAddress(bare);
  if (type.empty() || type == "unavailable") {
    if (contact == nullptr) return;
    const bool was_online = IsOnline(contact);
    if (type.empty()) {
      resources_[bare].insert(from);
    } else {
      resources_[bare].erase(from);
    }
    const bool online = IsOnline(contact);
    // The contact's host may have lost what was in flight to it: send again what
    // did not just go out (that is in the server's offline storage for it).
    if (online && !was_online) {
      const auto recent = Clock::now() - std::chrono::seconds(1);
      for (const OutboxRecord& message : db_.Outbox(contact)) {
        auto sent = last_sent_.find(message.id);
        if (sent == last_sent_.end() || sent->second < recent) SendStored(message);
      }
    }
    if (online != was_online && hooks_.changed) hooks_.changed();
  } else if (type == "subscribe") {
    if (contact != nullptr) {
      Approve(bare);
    } else if (db_.AddRequest(bare, "", Now())) {
      if (hooks_.changed) hooks_.changed();
    }
  }
}

void XmppLink::HandleRoster(const std::vector<RosterItem>& items) {
  std::map<std::string, std::string> subscription;
  for (const RosterItem& item : items) {
    if (item.address.empty()) continue;
    subscription[item.address] = item.subscription;
    if (db_.ContactByAddress(item.address) == nullptr && hooks_.add_contact)
      hooks_.add_contact(item.name.empty() ? item.address : item.name, item.address);
  }
  for (const ContactRecord& contact : db_.Contacts()) {
    if (contact.address.empty()) continue;
    auto it = subscription.find(contact.address);
    if (it == subscription.end() || (it->second != "to" && it->second != "both"))
      Subscribe(contact.handle);
  }
}

void XmppLink::Subscribe(HANDLE contact) {
  for (const ContactRecord& record : db_.Contacts()) {
    if (record.handle != contact || record.address.empty()) continue;
    transport_->AddToRoster(record.address, record.name);
    transport_->SendPresence(record.address, "subscribe");
    // Approved ahead, so the contact sees us online as soon as it asks.
    Approve(record.address);
  }
}

void XmppLink::Approve(const std::string& address) {
  transport_->SendPresence(address, "subscribed");
}

}  // namespace tessaro::host
