// The protocol "ICQ" over XMPP: each message to a contact reaches the peer's
// plug-in whole, once and in the order sent, across lost connections, server
// restarts and crashes of either host, and whatever other clients of the two
// accounts are online.
//
// Sending: the sent event, the message's place in the outbox and its sequence
// number are stored in one transaction; then the message goes out with an id and
// its sequence number (see xmpp_stanza.h), to the contact's host when its
// presence shows one, else to the bare address (where the server keeps it while
// nobody is online). It stays in the outbox until the peer's host acknowledges
// it, and is sent again, with the same id, after every login, when a host of the
// contact comes online, and when unconfirmed for kResendAfter while one is (the
// oldest kResendWindow a turn). Once confirmed it is kept a while longer
// (Database::kKeptSent), for a peer that asks for it again.
//
// Receiving: a game message is stored before it is acknowledged; if storing
// fails there is no acknowledgement, so the sender tries again. Messages are
// handed on (stored as events, then "DB/Event/Added") in the sender's order;
// those ahead of a gap wait in the profile. A gap still open after kGapWait is
// asked for (again every kGapAskAgain); numbers the sender no longer has are
// skipped, both sides log them as lost, and both games are told
// (LinkHooks::messages_lost), the receiver's before what follows the gap.
// An id seen before gets its acknowledgement again and nothing else. A message
// that a server kept since before this profile was made, or from an earlier
// profile of the contact, never reaches a game. Only contacts get through: a
// message from any other address
// becomes a contact request. Any resource of a contact's bare address is that
// contact.
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
#include <optional>
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
  // Messages of the contact, sent (this side's) or received, were lost for good:
  // the sender no longer had them. Once on each side for each loss.
  std::function<void(HANDLE contact, bool sent)> messages_lost;
  // The contact's only hosts online speak another version of the link (`other`),
  // or, after that was told, a host of this version is online again.
  std::function<void(HANDLE contact, bool other)> peer_version;
  // One line about something ignored or failed; empty: stderr.
  std::function<void(const std::string&)> log;
  std::function<uint32_t()> clock;  // event timestamps; empty: the system clock
};

class XmppLink final : public Transport, private XmppTransport::Listener {
 public:
  using Clock = std::chrono::steady_clock;
  static constexpr auto kResendAfter = std::chrono::seconds(3);
  // The most overdue messages sent again to one contact each turn, oldest first.
  static constexpr std::size_t kResendWindow = 16;
  static constexpr auto kGapWait = std::chrono::seconds(2);
  static constexpr auto kGapAskAgain = std::chrono::seconds(10);

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
  // Refuses the address's subscription request: it will not see our presence.
  void Refuse(const std::string& address);

  // ---- Incoming ----
  // What the network thread posts for each received message stanza, on the
  // user-interface thread. Public so that a fuzzer or a test can feed stanzas to
  // the link without a network (before Start, what it answers waits in the queue).
  void HandleStanza(const IncomingStanza& stanza);

  // ---- State ----
  LinkState state() const { return state_; }
  const std::string& state_detail() const { return state_detail_; }
  // Why the last attempt failed or the connection was lost; refusal kNone while
  // online or when no reason is known.
  const ConnectionProblem& problem() const { return problem_; }
  // Tries to connect now (after the player fixed what was refused).
  void Retry() { transport_->Retry(); }
  // Accepts the certificate with this SHA-256 fingerprint, and tries again now.
  void TrustCertificate(const std::string& fingerprint);
  // Whether any client of the contact is online.
  bool IsOnline(HANDLE contact) const;
  // Whether a host of the contact (a resource that runs the link) is online.
  bool HostOnline(HANDLE contact) const;
  // What the contact's clients are, for the host window (xmpp_link_peers.cpp).
  struct PeerStatus {
    enum class Kind : uint8_t {
      kOffline,       // no client online
      kOnline,        // online, none runs the game
      kHost,          // a host with this link's version is online
      kOtherVersion,  // only a host of another version of the link
    };
    Kind kind = Kind::kOffline;
    int version = 0;  // kOtherVersion: the peer's
  };
  PeerStatus StatusOf(HANDLE contact) const;
  const std::string& own_address() const { return own_address_; }
  // This host's full address: the resource is the profile's, the same at each login.
  const std::string& own_full() const { return own_full_; }
  // How many sent messages still wait for the peer's acknowledgement.
  std::size_t Unconfirmed() const { return db_.Outbox().size(); }
  XmppTransport& transport() { return *transport_; }

  // ---- Testing ----
  // Loses this profile's message number `seq` (to any contact) on the way, as a
  // network could: every ordinary sending of it is skipped, and only the answer
  // to the contact's request for it goes out. With `forget` the profile also
  // forgets it at once (taken as confirmed and not kept), so that the request is
  // answered with its loss. Only for tests of two host processes: the host
  // program sets it from TESSARO_TEST_LOSE_SENT / TESSARO_TEST_FORGET_SENT.
  void LoseSentForTest(uint64_t seq, bool forget) {
    lose_seq_ = seq;
    forget_lost_ = forget;
  }

 private:
  // XmppTransport::Listener, on the network thread: each posts to the queue.
  void OnState(LinkState state, const std::string& detail) override;
  void OnMessage(IncomingStanza stanza) override;
  void OnPresence(const IncomingPresence& presence) override;
  void OnDiscoInfo(IncomingDiscoInfo info) override;
  void OnArchived(IncomingArchived item) override;
  void OnArchiveEnd(IncomingArchiveEnd end) override;
  void OnRoster(std::vector<RosterItem> items) override;
  void OnTick() override;
  void OnProblem(const ConnectionProblem& problem) override;
  void Post(std::function<void()> task);

  // On the user-interface thread.
  void HandleState(LinkState state, const std::string& detail);
  void HandleIncoming(const ParsedStanza& message, const std::string& full_from);
  void HandleGame(HANDLE contact, const ParsedStanza& message, const std::string& full_from);
  void HandleAck(const ParsedStanza& ack);
  void HandleMissing(const ParsedStanza& request, const std::string& full_from);
  void HandleGone(const ParsedStanza& gone, const std::string& full_from);
  void HandlePresence(const IncomingPresence& presence);
  void HandleDiscoInfo(const IncomingDiscoInfo& answer);
  void HandleArchived(const IncomingArchived& item);
  void HandleArchiveEnd(const IncomingArchiveEnd& end);
  // Runs `change` to the contact's resources; then a host that is now the one
  // to send to gets what is unconfirmed, and a changed status is told.
  void ChangeResources(HANDLE contact, const std::function<void()>& change);
  // Asks the resource what it runs: by its capabilities' node#ver, else plainly.
  void AskDisco(const std::string& full, const std::string& node, const std::string& ver);
  // Asks the account's archive for what came since the last archive id kept.
  void AskArchive(const std::string& after);
  // The game messages of the archive's page go on as if they had just arrived.
  void HandleArchivePage();
  // The host of the contact that sent the last game message plays its game.
  void RememberPlaying(HANDLE contact, const std::string& full);
  // The account, logging in as `full`.
  static XmppAccount WithResource(XmppAccount account, const std::string& full);
  void HandleRoster(const std::vector<RosterItem>& items);
  void HandleTick();
  // Stores held messages of the contact that are now next in order.
  void DeliverHeld(HANDLE contact);
  // Asks the contact for the messages missing before those held, when due.
  void AskForGap(HANDLE contact, Clock::time_point now);
  // Tells `to` which of the contact's messages this profile has handed on, and
  // confirms the message `id` (empty: none), numbered `seq` (0: unknown).
  // `keep`: the server keeps it (see OutgoingMessage::keep).
  void Acknowledge(HANDLE contact, const std::string& to, const std::string& id, uint64_t epoch,
                   uint64_t seq, bool keep = true);
  // Stores a message of the contact as an event inside the open transaction.
  HANDLE StoreEvent(HANDLE contact, std::string_view text, uint32_t flags);
  // Sends an outbox message to the contact's host, else to its bare address
  // while no client of it is online; else it waits for a host to come online.
  void SendStored(const OutboxRecord& message);
  void SendTo(const std::string& to, const OutboxRecord& message, bool keep = true);
  void ResendOverdue();
  // The full address of the contact's host that plays the game: the one that
  // sent the last game message when it is online, else the first online; empty:
  // none online.
  std::string HostAddress(HANDLE contact) const;
  // Whether `full` is online and runs this version of the game (`bare`: its
  // bare address).
  bool IsHost(const std::string& bare, const std::string& full) const;
  // Messages first to last from or to the contact that are lost: to the log and
  // the connection's history.
  void LogLost(const std::string& what);
  void Log(const std::string& line) const;
  uint32_t Now() const;

  Database& db_;
  UiQueue& queue_;
  LinkHooks hooks_;
  std::string own_address_;
  uint64_t epoch_;
  std::string own_full_;
  std::unique_ptr<XmppTransport> transport_;
  LinkState state_ = LinkState::kOffline;
  std::string state_detail_;
  ConnectionProblem problem_;
  std::string last_logged_;  // the history's last row, state and reason: one row a change
  // What an online resource of a contact runs, by its capabilities.
  struct Resource {
    std::string ver;     // its capabilities' ver; empty: none usable
    bool known = false;  // whether `game` is known (from the cache or its disco answer)
    PeerGame game;
    bool RunsThisGame() const { return known && game.kind == PeerGame::Kind::kSame; }
  };
  // bare -> each online resource
  std::map<std::string, std::map<std::string, Resource>> resources_;
  // Capabilities whose disco answer hashed to their ver: what they run.
  std::map<std::string, PeerGame> caps_;
  struct DiscoAsked {
    std::string full, ver;
  };
  std::map<std::string, DiscoAsked> disco_asked_;  // query id
  std::map<HANDLE, std::string> playing_;          // the profile's "playing", read once
  std::map<HANDLE, bool> other_version_told_;      // what peer_version last told
  uint64_t lose_seq_ = 0;                          // LoseSentForTest; 0: none
  bool forget_lost_ = false;
  std::set<std::pair<HANDLE, uint64_t>> forgotten_;  // what it forgot
  std::string archive_query_;                        // the running query's id; empty: none
  std::vector<ParsedArchived> archive_page_;
  std::map<std::string, Clock::time_point> last_sent_;  // outbox id
  // After a login the outbox goes to contacts with no client online once their
  // presence had time to arrive (those with a host get it when it shows),
  // except what went out since the login.
  std::optional<Clock::time_point> send_offline_at_;
  Clock::time_point online_since_;
  struct Gap {
    uint64_t first = 0;  // the first number missing
    Clock::time_point since;
    std::optional<Clock::time_point> asked;
  };
  std::map<HANDLE, Gap> gaps_;
  // The last number of this side's messages to a contact told lost: a question
  // asked again for them is answered, and not told again.
  std::map<HANDLE, uint64_t> told_lost_;
  std::shared_ptr<char> alive_ = std::make_shared<char>();
};

}  // namespace tessaro::host
