#include "host/xmpp_link.h"

#include <cstdio>
#include <ctime>
#include <utility>
#include <vector>

#include "host/host.h"
#include "host/xmpp_peers.h"

namespace tessaro::host {

XmppLink::XmppLink(Database& db, UiQueue& queue, XmppAccount account, LinkHooks hooks)
    : db_(db),
      queue_(queue),
      hooks_(std::move(hooks)),
      own_address_(BareAddress(account.address)),
      epoch_(db.Epoch()),
      own_full_(own_address_ + "/tessaro-" + std::to_string(epoch_)),
      transport_(std::make_unique<XmppTransport>(WithResource(std::move(account), own_full_),
                                                 static_cast<XmppTransport::Listener&>(*this),
                                                 true)) {}

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

void XmppLink::OnPresence(const IncomingPresence& presence) {
  Post([this, presence] { HandlePresence(presence); });
}

void XmppLink::OnRoster(std::vector<RosterItem> items) {
  Post([this, items = std::move(items)] { HandleRoster(items); });
}

void XmppLink::OnTick() {
  Post([this] { HandleTick(); });
}

void XmppLink::OnProblem(const ConnectionProblem& problem) {
  Post([this, problem] { problem_ = problem; });
}

void XmppLink::TrustCertificate(const std::string& fingerprint) {
  transport_->TrustCertificate(fingerprint);
  transport_->Retry();
}

void XmppLink::HandleTick() {
  const auto now = Clock::now();
  // A delivery that failed (the profile was busy) is tried again here.
  const std::vector<HANDLE> holding = db_.ContactsWithHeld();
  for (HANDLE contact : holding)
    DeliverHeld(contact);
  std::erase_if(gaps_, [&](const auto& gap) { return !db_.FirstHeld(gap.first); });
  for (HANDLE contact : holding)
    AskForGap(contact, now);
  if (state_ == LinkState::kOnline && send_offline_at_ && now >= *send_offline_at_) {
    send_offline_at_.reset();
    for (const OutboxRecord& message : db_.Outbox()) {
      // Sent since the login: to the bare address already. A second copy would
      // reach the contact's other clients again and gain nothing.
      const auto sent = last_sent_.find(message.id);
      if (sent != last_sent_.end() && sent->second >= online_since_) continue;
      if (!HostOnline(message.contact)) SendStored(message);
    }
  }
  ResendOverdue();
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
  // Handed to the network thread before the hooks look at the stored copy: the
  // message need not wait for them.
  const bool forget = message.seq == lose_seq_ && forget_lost_;
  if (!forget) SendStored(message);
  if (hooks_.event_added) hooks_.event_added(to, event);
  if (forget) {
    Log("test: message " + std::to_string(message.seq) + " to " + db_.AddressOf(to) +
        " forgotten on purpose");
    forgotten_.insert({to, message.seq});
    db_.ConfirmOutbox(message.id, to);
  }
  return true;
}

void XmppLink::SendStored(const OutboxRecord& message) {
  // While offline nothing is sent: the whole outbox goes out after the next login.
  if (state_ != LinkState::kOnline) return;
  if (std::string host = HostAddress(message.contact); !host.empty()) {
    // The first copy goes unkept; a copy sent again (it was lost, or is late)
    // is kept, in case the host's connection died unnoticed.
    SendTo(host, message, last_sent_.count(message.id) != 0);
    return;
  }
  // No host online: the server keeps it offline, or hands it to another client
  // of the contact (which ignores it) and keeps it in the contact's archive. It
  // stays in the outbox until a host confirms it, and goes to the contact's host
  // again when one shows.
  SendTo(db_.AddressOf(message.contact), message);
}

void XmppLink::SendTo(const std::string& to, const OutboxRecord& message, bool keep) {
  if (message.seq != lose_seq_)
    transport_->Send({to, message.id, message.body, message.seq, epoch_, keep});
  last_sent_[message.id] = Clock::now();
}

void XmppLink::ResendOverdue() {
  if (state_ != LinkState::kOnline) return;
  const auto due = Clock::now() - kResendAfter;
  // A few a turn: a peer that is only slow would otherwise get the whole outbox
  // again every kResendAfter, answer each copy, fall further behind with each,
  // and what is new would wait behind copies of copies. One acknowledgement's
  // `upto` confirms everything the peer has; a gap it asks for.
  std::map<HANDLE, std::size_t> resent;
  for (const OutboxRecord& message : db_.Outbox()) {
    // A contact without a host online gets its messages from the server's
    // offline storage, or from the resending when its host comes online.
    if (!HostOnline(message.contact)) continue;
    auto sent = last_sent_.find(message.id);
    if (sent != last_sent_.end() && sent->second >= due) continue;
    if (resent[message.contact]++ < kResendWindow) SendStored(message);
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
    case ParsedStanza::Kind::kAck:
      HandleAck(parsed);
      return;
    case ParsedStanza::Kind::kMissing:
      HandleMissing(parsed, stanza.from);
      return;
    case ParsedStanza::Kind::kGone:
      HandleGone(parsed, stanza.from);
      return;
    case ParsedStanza::Kind::kMessage:
      HandleIncoming(parsed, stanza.from);
      return;
  }
}

void XmppLink::HandleIncoming(const ParsedStanza& message, const std::string& full_from) {
  const std::string& from = message.from;
  HANDLE contact = db_.ContactByAddress(from);
  if (contact == nullptr) {
    // Not a contact: never a game's business. Kept for the player to accept.
    if (db_.AddRequest(from, message.body, Now())) {
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
      if (message.seq != 0) {
        Acknowledge(contact, full_from, message.id, message.epoch, message.seq);
      } else if (message.wants_receipt) {
        transport_->SendReceipt(full_from, message.id);
      }
      return;
    }
  }
  if (message.seq != 0) {
    HandleGame(contact, message, full_from);
    return;
  }
  // A chat line of an ordinary client: taken as it comes.
  HANDLE event = nullptr;
  {
    Database::Transaction transaction(db_);
    if (!transaction.ok() || (!message.id.empty() && !db_.MarkReceived(message.id, contact)) ||
        (event = StoreEvent(contact, message.body, 0)) == nullptr || !transaction.Commit()) {
      Log("cannot store message " + message.id + " from " + from + ": " + db_.LastError());
      return;
    }
  }
  if (message.wants_receipt) transport_->SendReceipt(full_from, message.id);
  if (hooks_.event_added) hooks_.event_added(contact, event);
}

void XmppLink::HandleGame(HANDLE contact, const ParsedStanza& message,
                          const std::string& full_from) {
  const std::string& from = message.from;
  const std::string what = "message " + std::to_string(message.seq) + " from " + from;
  InboundState in = db_.Inbound(contact);
  // What is dropped is acknowledged all the same, so that the sender stops.
  const auto drop = [&](const std::string& reason) {
    Log("ignored: " + what + " " + reason);
    Acknowledge(contact, full_from, message.id, message.epoch, message.seq);
  };
  if (message.epoch < in.epoch) return drop("of an earlier profile of the contact");
  if (message.epoch == in.epoch && message.seq < in.next) return drop("was handed on before");
  // A server's stamp has whole seconds: only a message kept a whole second
  // before this profile was made is surely older than the profile.
  if (message.sent_at && *message.sent_at + 1'000'000 <= epoch_) {
    // It was meant for a former profile of this account; what follows it
    // belongs to this one.
    Database::Transaction transaction(db_);
    bool ok = transaction.ok() && db_.MarkReceived(message.id, contact);
    if (message.epoch > in.epoch) {
      ok = ok && db_.DropHeld(contact) && db_.SetInbound(contact, {message.epoch, message.seq + 1});
    } else {
      ok = ok && db_.DropHeld(contact, message.seq) &&
           db_.SetInbound(contact, {in.epoch, message.seq + 1});
    }
    if (!ok || !transaction.Commit()) {
      Log("cannot store where " + from + "'s messages stand: " + db_.LastError());
      return;
    }
    return drop("was kept by the server since before this profile was made");
  }
  HANDLE event = nullptr;
  {
    Database::Transaction transaction(db_);
    bool ok = transaction.ok();
    if (message.epoch > in.epoch) {
      // A new profile of the contact counts from 1; what the old one left waiting
      // can never be completed.
      in = InboundState{message.epoch, 1};
      ok = ok && db_.DropHeld(contact) && db_.SetInbound(contact, in);
    }
    ok = ok && db_.MarkReceived(message.id, contact);
    if (message.seq == in.next) {
      ++in.next;
      ok = ok && (event = StoreEvent(contact, message.body, 0)) != nullptr &&
           db_.SetInbound(contact, in);
    } else {
      ok = ok && db_.Hold(contact, message.seq, message.body);
    }
    if (!ok || !transaction.Commit()) {
      // Not acknowledged: the sender keeps the message and sends it again.
      Log("cannot store message " + message.id + " from " + from + ": " + db_.LastError() +
          "; not acknowledged");
      return;
    }
  }
  if (event != nullptr && hooks_.event_added) hooks_.event_added(contact, event);
  RememberPlaying(contact, full_from);
  DeliverHeld(contact);
  // A message that came straight from the contact's host is confirmed to it
  // unkept. One sent to the bare address may lie in this account's archive,
  // where another host of the account looks for its confirmation.
  const bool keep = !message.direct || !IsHost(from, full_from);
  Acknowledge(contact, full_from, message.id, message.epoch, message.seq, keep);
}

void XmppLink::Acknowledge(HANDLE contact, const std::string& to, const std::string& id,
                           uint64_t epoch, uint64_t seq, bool keep) {
  const InboundState in = db_.Inbound(contact);
  LinkNotice ack{LinkNotice::Kind::kAck, to, id, epoch, 0, 0, false, keep};
  if (in.epoch == epoch) ack.last = in.next - 1;
  ack.id_within_last = !id.empty() && seq != 0 && seq <= ack.last;
  if (!ack.id.empty() || ack.last != 0) transport_->SendNotice(std::move(ack));
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

void XmppLink::AskForGap(HANDLE contact, Clock::time_point now) {
  const std::optional<uint64_t> held = db_.FirstHeld(contact);
  const InboundState in = db_.Inbound(contact);
  if (!held || *held <= in.next) return;
  Gap& gap = gaps_[contact];
  if (gap.first != in.next) gap = Gap{in.next, now, std::nullopt};  // a new gap
  if (state_ != LinkState::kOnline || now - gap.since < kGapWait) return;
  // Asked once, the question waits in the server's storage for a sender who is
  // away; asked again only while the sender's host is online.
  const std::string host = HostAddress(contact);
  if (gap.asked && (host.empty() || now - *gap.asked < kGapAskAgain)) return;
  gap.asked = now;
  const std::string address = db_.AddressOf(contact);
  Log("asked " + address + " for its messages " + std::to_string(in.next) + " to " +
      std::to_string(*held - 1) + ", missing before those held");
  transport_->SendNotice({LinkNotice::Kind::kMissing,
                          host.empty() ? address : host,
                          {},
                          in.epoch,
                          in.next,
                          *held - 1});
}

void XmppLink::HandleAck(const ParsedStanza& ack) {
  HANDLE contact = db_.ContactByAddress(ack.from);
  if (contact == nullptr) {
    Log("ignored: acknowledgement from " + ack.from + ", who is not a contact");
    return;
  }
  if (ack.epoch != epoch_) {
    Log("ignored: acknowledgement from " + ack.from + " for an earlier profile of this account");
    return;
  }
  // One commit for what the ack confirms.
  Database::Transaction transaction(db_);
  bool by_id = false;
  std::optional<std::size_t> by_range = 0;
  if (transaction.ok()) {
    by_id = !ack.id.empty() && db_.ConfirmOutbox(ack.id, contact);
    if (ack.upto != 0) by_range = db_.ConfirmOutboxUpTo(contact, ack.upto);
  }
  if (!transaction.ok() || !by_range || !transaction.Commit()) {
    Log("cannot confirm messages to " + ack.from + ": " + db_.LastError());
    return;
  }
  if (by_id) last_sent_.erase(ack.id);
  if (*by_range != 0) {
    // Their own acknowledgements were lost: forget when they were sent.
    std::map<std::string, Clock::time_point> still;
    for (const OutboxRecord& message : db_.Outbox()) {
      auto it = last_sent_.find(message.id);
      if (it != last_sent_.end()) still.insert(*it);
    }
    last_sent_.swap(still);
  }
}

void XmppLink::HandleMissing(const ParsedStanza& request, const std::string& full_from) {
  HANDLE contact = db_.ContactByAddress(request.from);
  if (contact == nullptr) {
    Log("ignored: request for messages from " + request.from + ", who is not a contact");
    return;
  }
  std::vector<OutboxRecord> kept;
  if (request.epoch == epoch_) kept = db_.SentMessages(contact, request.first, request.last);
  std::erase_if(kept, [&](const OutboxRecord& message) {
    return forgotten_.count({contact, message.seq}) != 0;
  });
  // Numbers this profile no longer has (or an earlier profile sent) are gone.
  uint64_t next = request.first;
  bool lost = false;
  const auto gone = [&](uint64_t last) {
    if (last < next) return;
    LogLost("messages " + std::to_string(next) + " to " + std::to_string(last) + " to " +
            request.from + " were lost: no longer kept by this profile");
    transport_->SendNotice({LinkNotice::Kind::kGone, full_from, {}, request.epoch, next, last});
    lost = true;
  };
  for (const OutboxRecord& message : kept) {
    gone(message.seq - 1);
    transport_->Send({full_from, message.id, message.body, message.seq, epoch_});
    next = message.seq + 1;
  }
  gone(request.last);
  // What this side sends now follows the <gone/>: the contact's game gets it
  // after skipping the numbers.
  uint64_t& told = told_lost_[contact];
  if (lost && request.last > told) {
    told = request.last;
    if (hooks_.messages_lost) hooks_.messages_lost(contact, true);
  }
}

void XmppLink::HandleGone(const ParsedStanza& gone, const std::string& full_from) {
  HANDLE contact = db_.ContactByAddress(gone.from);
  if (contact == nullptr) return;
  bool skipped = false;
  while (true) {
    DeliverHeld(contact);
    const InboundState in = db_.Inbound(contact);
    if (gone.epoch != in.epoch || in.next < gone.first || in.next > gone.last) break;
    // Skip to the next message held, or past what the sender no longer has.
    uint64_t last = gone.last;
    if (std::optional<uint64_t> held = db_.FirstHeld(contact); held && *held - 1 < last)
      last = *held - 1;
    if (!db_.SetInbound(contact, {in.epoch, last + 1})) {
      Log("cannot skip lost messages from " + gone.from + ": " + db_.LastError());
      return;
    }
    LogLost("messages " + std::to_string(in.next) + " to " + std::to_string(last) + " from " +
            gone.from + " were lost: the sender no longer has them");
    // Told before what the sender sent after them is handed on.
    if (!skipped && hooks_.messages_lost) hooks_.messages_lost(contact, false);
    skipped = true;
  }
  if (skipped) Acknowledge(contact, full_from, {}, gone.epoch, 0);
}

void XmppLink::LogLost(const std::string& what) {
  Log(what);
  db_.LogConnection(Now(), "messages lost", what);
}

// ---- State, presence and roster ----

void XmppLink::HandleState(LinkState state, const std::string& detail) {
  state_ = state;
  state_detail_ = detail;
  if (state != LinkState::kOnline) {
    resources_.clear();
    disco_asked_.clear();
    archive_query_.clear();
    archive_page_.clear();
  }
  if (state == LinkState::kOnline) problem_ = {};
  // The history keeps the changes that matter to a player, not every attempt:
  // a row when the state or its reason changes, whatever the next attempt's time.
  const std::string reason = detail.substr(0, detail.find(kNextAttempt));
  const std::string row = std::string(LinkStateName(state)) + '\n' + reason;
  if (state != LinkState::kConnecting && row != last_logged_) {
    last_logged_ = row;
    db_.LogConnection(Now(), LinkStateName(state), reason);
  }
  // Contacts whose host shows its presence get the outbox then; the rest, once
  // presence had time to come, through the server's offline storage.
  if (state == LinkState::kOnline) {
    online_since_ = Clock::now();
    send_offline_at_ = online_since_ + std::chrono::seconds(1);
  }
  // What other clients of this account took while this host was away.
  if (state == LinkState::kOnline && archive_query_.empty()) AskArchive({});
  if (hooks_.changed) hooks_.changed();
}

// IsOnline, HostOnline and HandlePresence: xmpp_link_peers.cpp

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

void XmppLink::Refuse(const std::string& address) {
  transport_->SendPresence(address, "unsubscribed");
}

}  // namespace tessaro::host
