// The link's view of the contacts' clients: which resources run Tessaro (by
// their capabilities and disco answers, see xmpp_peers.h), which host of a
// contact plays the game, and what the account's archive kept while this host
// was away.
//
// Of two hosts of one account (two machines), the one that sent the last game
// message to a contact plays the game with that contact: the contact's host
// sends only to it while it is online (else to the first host of the account
// online, else to the bare address), and a host fetching the archive takes only
// what was sent to itself or to the bare address, and nothing that another host
// of the account has acknowledged.
#include <algorithm>
#include <set>
#include <utility>

#include "host/xmpp_link.h"
#include "host/xmpp_peers.h"
#include "host/xmpp_stanza.h"

namespace tessaro::host {

namespace {

constexpr char kArchiveLastKey[] = "xmpp_archive_last";
constexpr char kLinkModule[] = "XMPP";
constexpr char kPlayingSetting[] = "playing";

}  // namespace

XmppAccount XmppLink::WithResource(XmppAccount account, const std::string& full) {
  account.address = full;
  return account;
}

void XmppLink::OnDiscoInfo(IncomingDiscoInfo info) {
  Post([this, info = std::move(info)] { HandleDiscoInfo(info); });
}

void XmppLink::OnArchived(IncomingArchived item) {
  Post([this, item = std::move(item)] { HandleArchived(item); });
}

void XmppLink::OnArchiveEnd(IncomingArchiveEnd end) {
  Post([this, end = std::move(end)] { HandleArchiveEnd(end); });
}

// ---- Who is online, and with what ----

bool XmppLink::IsOnline(HANDLE contact) const {
  return StatusOf(contact).kind != PeerStatus::Kind::kOffline;
}

bool XmppLink::HostOnline(HANDLE contact) const {
  return StatusOf(contact).kind == PeerStatus::Kind::kHost;
}

XmppLink::PeerStatus XmppLink::StatusOf(HANDLE contact) const {
  auto it = resources_.find(db_.AddressOf(contact));
  if (it == resources_.end() || it->second.empty()) return {};
  PeerStatus status{PeerStatus::Kind::kOnline, 0};
  for (const auto& [full, resource] : it->second) {
    if (!resource.known) continue;
    if (resource.game.kind == PeerGame::Kind::kSame) return {PeerStatus::Kind::kHost, 0};
    if (resource.game.kind == PeerGame::Kind::kOther)
      status = {PeerStatus::Kind::kOtherVersion, resource.game.version};
  }
  return status;
}

bool XmppLink::IsHost(const std::string& bare, const std::string& full) const {
  auto it = resources_.find(bare);
  if (it == resources_.end()) return false;
  auto found = it->second.find(full);
  return found != it->second.end() && found->second.RunsThisGame();
}

std::string XmppLink::HostAddress(HANDLE contact) const {
  auto it = resources_.find(db_.AddressOf(contact));
  if (it == resources_.end()) return {};
  auto playing = playing_.find(contact);
  if (playing != playing_.end()) {
    auto found = it->second.find(playing->second);
    if (found != it->second.end() && found->second.RunsThisGame()) return found->first;
  }
  for (const auto& [full, resource] : it->second)
    if (resource.RunsThisGame()) return full;
  return {};
}

void XmppLink::RememberPlaying(HANDLE contact, const std::string& full) {
  if (full.find('/') == std::string::npos) return;
  auto [it, added] = playing_.try_emplace(contact);
  if (added) it->second = db_.ContactSetting(contact, kLinkModule, kPlayingSetting).value_or("");
  if (it->second == full) return;
  it->second = full;
  if (!db_.SetContactSetting(contact, kLinkModule, kPlayingSetting, full))
    Log("cannot keep which host of " + db_.AddressOf(contact) + " plays: " + db_.LastError());
}

void XmppLink::ChangeResources(HANDLE contact, const std::function<void()>& change) {
  if (playing_.find(contact) == playing_.end()) {
    playing_[contact] = db_.ContactSetting(contact, kLinkModule, kPlayingSetting).value_or("");
  }
  const PeerStatus before = StatusOf(contact);
  const std::string host_before = HostAddress(contact);
  change();
  const PeerStatus after = StatusOf(contact);
  const std::string host = HostAddress(contact);
  if (!host.empty() && host != host_before) {
    // The host to send to now may have lost what was in flight to it or to its
    // predecessor, or another client of the contact took it: all again, and
    // where this side stands, in case acknowledgements were lost.
    for (const OutboxRecord& message : db_.Outbox(contact))
      SendTo(host, message);
    const InboundState in = db_.Inbound(contact);
    if (in.epoch != 0) Acknowledge(contact, host, {}, in.epoch, 0);
  } else if (host.empty() && !host_before.empty() && state_ == LinkState::kOnline) {
    // The host left: what was in flight to it went unkept, and may have reached
    // no one. Again to the bare address, which the server keeps.
    const std::string bare = db_.AddressOf(contact);
    for (const OutboxRecord& message : db_.Outbox(contact))
      SendTo(bare, message);
  }
  if (after.kind == PeerStatus::Kind::kOtherVersion &&
      (before.kind != after.kind || before.version != after.version)) {
    const std::string what =
        db_.AddressOf(contact) + " runs version " + std::to_string(after.version) +
        " of the game and this Tessaro version " + std::to_string(kLinkVersion) +
        ": you cannot play together until both run the same version";
    Log(what);
    db_.LogConnection(Now(), "another version of the game", what);
  }
  // The game is told when it can no longer talk with the contact's host, and
  // when it can again; a contact going offline changes neither.
  const bool other = after.kind == PeerStatus::Kind::kOtherVersion;
  if ((other || after.kind == PeerStatus::Kind::kHost) && hooks_.peer_version) {
    auto told = other_version_told_.find(contact);
    const bool was_other = told != other_version_told_.end() && told->second;
    if (other != was_other) {
      other_version_told_[contact] = other;
      hooks_.peer_version(contact, other);
    }
  }
  if ((before.kind != after.kind || before.version != after.version) && hooks_.changed) {
    hooks_.changed();
  }
}

void XmppLink::HandlePresence(const IncomingPresence& presence) {
  const std::string& from = presence.from;
  const std::string& type = presence.type;
  const std::string bare = BareAddress(from);
  if (bare.empty() || bare == own_address_) return;
  HANDLE contact = db_.ContactByAddress(bare);
  if (type.empty() || type == "unavailable") {
    if (contact == nullptr) return;
    ChangeResources(contact, [&] {
      std::map<std::string, Resource>& resources = resources_[bare];
      if (type == "unavailable") {
        resources.erase(from);
        if (resources.empty()) resources_.erase(bare);
        return;
      }
      Resource& resource = resources[from];
      const std::string ver = UsableCapsVer(presence);
      if (resource.known && resource.ver == ver && !ver.empty()) return;
      resource.ver = ver;
      resource.known = false;
      if (auto cached = caps_.find(ver); !ver.empty() && cached != caps_.end()) {
        resource.known = true;
        resource.game = cached->second;
        return;
      }
      AskDisco(from, presence.caps_node, ver);
    });
  } else if (type == "subscribe") {
    if (contact != nullptr) {
      Approve(bare);
    } else {
      // What the request says is shown to the player: a text no message could
      // carry is left out rather than kept.
      const bool sayable = presence.status.size() <= kMaxBodyBytes;
      if (!sayable)
        Log("the subscription request of " + bare + " says too much: its text is left out");
      if (db_.AddSubscriptionRequest(bare, sayable ? presence.status : std::string(), Now())) {
        if (hooks_.changed) hooks_.changed();
      } else {
        Log("cannot keep the subscription request of " + bare + ": " + db_.LastError());
      }
    }
  }
}

void XmppLink::AskDisco(const std::string& full, const std::string& node, const std::string& ver) {
  const std::string id = "disco-" + NewMessageId();
  disco_asked_[id] = {full, ver};
  const bool by_ver = !ver.empty() && !node.empty() && node.size() <= kMaxDiscoText;
  transport_->SendRaw(DiscoQueryXml(full, id, by_ver ? node + '#' + ver : std::string()));
}

void XmppLink::HandleDiscoInfo(const IncomingDiscoInfo& answer) {
  auto asked = disco_asked_.find(answer.id);
  if (asked == disco_asked_.end() || asked->second.full != answer.from) {
    Log("ignored: a service discovery answer from " + answer.from.substr(0, 200) +
        " that was not asked for");
    return;
  }
  const DiscoAsked question = asked->second;
  disco_asked_.erase(asked);
  const ParsedDiscoInfo parsed = ParseDiscoInfo(answer);
  if (!parsed.ok) Log(parsed.reason + "; taken as a client without the game");
  // Kept for others with the same capabilities only when it is what they hash.
  if (parsed.ok && !question.ver.empty() && parsed.ver == question.ver)
    caps_[question.ver] = parsed.game;
  const std::string bare = BareAddress(question.full);
  HANDLE contact = db_.ContactByAddress(bare);
  if (contact == nullptr) return;
  ChangeResources(contact, [&] {
    auto resources = resources_.find(bare);
    if (resources == resources_.end()) return;
    auto resource = resources->second.find(question.full);
    // Gone meanwhile, or its capabilities changed and were asked about again.
    if (resource == resources->second.end() || resource->second.ver != question.ver) return;
    resource->second.known = true;
    resource->second.game = parsed.ok ? parsed.game : PeerGame{};
  });
}

// ---- The archive ----

void XmppLink::AskArchive(const std::string& after) {
  archive_query_ = "mam-" + NewMessageId();
  archive_page_.clear();
  std::string from = after;
  if (from.empty()) from = db_.Setting(kArchiveLastKey).value_or("");
  transport_->SendRaw(ArchiveQueryXml(archive_query_, epoch_, from));
}

void XmppLink::HandleArchived(const IncomingArchived& item) {
  ParsedArchived parsed = ParseArchived(item, own_full_, archive_query_);
  if (parsed.kind == ParsedArchived::Kind::kIgnore) {
    if (!parsed.reason.empty()) Log("ignored: " + parsed.reason);
    if (parsed.archive_id.empty()) return;
  }
  archive_page_.push_back(std::move(parsed));
}

void XmppLink::HandleArchiveEnd(const IncomingArchiveEnd& end) {
  if (archive_query_.empty() || end.id != archive_query_) return;
  const ParsedArchiveEnd parsed = ParseArchiveEnd(end, own_address_);
  if (!parsed.ok) {
    Log(parsed.reason + "; what other clients of this account took stays with them");
    // An archive id the server no longer knows is refused for good: the next
    // login reads from the making of the profile again (what was taken is skipped).
    if (!db_.Setting(kArchiveLastKey).value_or("").empty()) db_.SetSetting(kArchiveLastKey, "");
    archive_query_.clear();
    archive_page_.clear();
    return;
  }
  HandleArchivePage();
  if (!parsed.complete) {
    AskArchive(parsed.last);
  } else {
    archive_query_.clear();
  }
}

void XmppLink::HandleArchivePage() {
  std::vector<ParsedArchived> page;
  page.swap(archive_page_);
  // What a host of this account acknowledged is that host's: by id, and by
  // range within the sender's epoch.
  std::set<std::string> acked_ids;
  std::map<std::pair<std::string, uint64_t>, uint64_t> acked_upto;
  for (const ParsedArchived& item : page) {
    if (item.kind != ParsedArchived::Kind::kOwnAck) continue;
    if (!item.stanza.id.empty()) acked_ids.insert(item.stanza.id);
    uint64_t& upto = acked_upto[{item.peer, item.stanza.epoch}];
    upto = std::max(upto, item.stanza.upto);
  }
  for (const ParsedArchived& item : page) {
    if (item.kind != ParsedArchived::Kind::kForUs) continue;
    const ParsedStanza& stanza = item.stanza;
    if (stanza.kind == ParsedStanza::Kind::kAck) {
      HandleAck(stanza);
      continue;
    }
    // Taken before, live or from the server's offline storage.
    if (db_.ReceivedFrom(stanza.id)) continue;
    auto upto = acked_upto.find({stanza.from, stanza.epoch});
    if (acked_ids.count(stanza.id) != 0 ||
        (upto != acked_upto.end() && stanza.seq <= upto->second)) {
      Log("ignored: archived message " + std::to_string(stanza.seq) + " from " + stanza.from +
          " was taken by another host of this account");
      continue;
    }
    HandleIncoming(stanza, item.full_from);
  }
  // Where the next query starts: what this page held is handed on or ignored.
  std::string last;
  for (const ParsedArchived& item : page)
    if (!item.archive_id.empty()) last = item.archive_id;
  if (!last.empty() && !db_.SetSetting(kArchiveLastKey, last))
    Log("cannot keep where the archive was read: " + db_.LastError());
}

}  // namespace tessaro::host
