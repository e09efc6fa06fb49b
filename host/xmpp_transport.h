// The host's connection to an XMPP server, on libstrophe.
//
// libstrophe has no locks, so every call into it happens on the transport's own
// network thread. Other threads hand work over through a locked queue (Send*),
// and what arrives goes out through the Listener, called on the network thread
// (the listener posts it on; it must not call back into the transport's
// destructor). The transport logs in, sends the initial presence, asks for the
// roster, and reconnects by itself with a backoff of 250 ms doubling to 10 s,
// back to 250 ms after a success. It knows nothing of ids, acknowledgements or
// order: that is the link's work (xmpp_link.h). The password is never logged.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "host/xmpp_certificates.h"
#include "host/xmpp_peers.h"
#include "host/xmpp_stanza.h"

namespace tessaro::host {

// ---- Types ----

struct XmppAccount {
  std::string address;      // alice@example.org
  std::string server;       // host name or IP when it differs from the address's domain
  uint16_t port = 0;        // 0: the standard one (or what DNS says)
  std::string password;     // never logged
  bool require_tls = true;  // false only for a server on this machine without TLS
  std::string ca_file{};    // a CA (PEM) trusted besides the system's; empty: none
  // The SHA-256 fingerprint of a certificate the player trusts; empty: none.
  std::string trusted_certificate{};
};

enum class LinkState : uint8_t {
  kOffline,     // not started, or stopped
  kConnecting,  // an attempt is under way
  kOnline,      // logged in, presence sent
  kWaiting,     // lost or refused; the next attempt is scheduled
};
const char* LinkStateName(LinkState state);
// What a kWaiting state's detail says after its reason: when the next attempt is.
inline constexpr char kNextAttempt[] = "; next attempt in ";

// A game message (see xmpp_stanza.h).
struct OutgoingMessage {
  std::string to;  // the peer's full address, or the bare one
  std::string id;
  std::string body;
  uint64_t seq = 0;  // 0: sent as an ordinary client's chat line, with a <body>
  uint64_t epoch = 0;
  // Asks the server to keep it offline and in the archive (<store/>). Not for a
  // first copy to a Tessaro that is online: keeping it would cost the server
  // most of the message's time, and the outbox covers a copy that gets lost.
  bool keep = true;
};

// An <ack/>, <missing/> or <gone/> of the link (see xmpp_stanza.h).
struct LinkNotice {
  enum class Kind : uint8_t { kAck, kMissing, kGone };
  Kind kind = Kind::kAck;
  std::string to;  // full or bare address
  std::string id;  // kAck: the message confirmed; empty: none
  uint64_t epoch = 0;
  uint64_t first = 0;           // kMissing, kGone
  uint64_t last = 0;            // kAck: upto (0: none); kMissing, kGone: the last number
  bool id_within_last = false;  // kAck: the message `id` is numbered `last` or lower
  bool keep = true;             // as OutgoingMessage::keep
};

struct RosterItem {
  std::string address;  // bare
  std::string name;
  std::string subscription;  // none, to, from, both
};

class XmppTransport {
 public:
  class Listener {
   public:
    virtual ~Listener();
    virtual void OnState(LinkState state, const std::string& detail) = 0;
    virtual void OnMessage(IncomingStanza stanza) = 0;
    // Its type: "" (available), "unavailable", "subscribe", "subscribed", ...
    virtual void OnPresence(const IncomingPresence& presence) = 0;
    virtual void OnRoster(std::vector<RosterItem> items) = 0;
    // About once a second, whatever the state.
    virtual void OnTick() {}
    // The answer to a disco#info query sent with an id "disco-…".
    virtual void OnDiscoInfo(IncomingDiscoInfo) {}
    // Each result of an archive query, then the query's end (ids "mam-…").
    virtual void OnArchived(IncomingArchived) {}
    virtual void OnArchiveEnd(IncomingArchiveEnd) {}
    // Why the attempt failed or the connection was lost; just before its OnState.
    virtual void OnProblem(const ConnectionProblem&) {}
  };

  // announce_link: our presence says that this resource runs the link; only a
  // host does, so that a bare transport (a test's other client) looks like any
  // other client. tick: how often OnTick comes (tests of a sleeping thread set
  // it beyond their life, so that nothing but the network and Send wakes it).
  XmppTransport(XmppAccount account, Listener& listener, bool announce_link = false,
                std::chrono::milliseconds tick = std::chrono::seconds(1));
  // Logs out (briefly waiting for the server) and joins the network thread.
  ~XmppTransport();
  XmppTransport(const XmppTransport&) = delete;
  XmppTransport& operator=(const XmppTransport&) = delete;

  // ---- Thread-safe ----
  void Start();
  // Queued for the network thread and written once logged in. Messages still
  // queued when a connection is lost are dropped (the link sends its outbox again
  // on login); notices, receipts and presence wait for the next connection. An
  // acknowledgement waits kAckGathering for later ones to fold into it.
  void Send(OutgoingMessage message);
  void SendNotice(LinkNotice notice);
  // A delivery receipt for an ordinary client's chat line that asked for one.
  void SendReceipt(const std::string& to_full, const std::string& id);
  // <presence to=… type=…/>: subscribe, subscribed, unsubscribed.
  void SendPresence(const std::string& to, const std::string& type);
  // Adds the address to the server's roster with a name (roster set).
  void AddToRoster(const std::string& address, const std::string& name);
  // Writes raw XML on the stream: tests use it to send stanzas the host would not.
  void SendRaw(std::string xml);
  bool online() const { return online_.load(); }
  // Before Start: the connection only tries the account. It logs in and says so
  // (OnState kOnline), but sends no presence and asks for no roster, so the
  // server hands it nothing meant for the account's clients (offline messages
  // keep waiting for them).
  void OnlyTryLogin() { only_try_ = true; }
  // What our presence's capabilities and disco answers say; before Start. By
  // default a host's (with the link) or, without announce_link, a phone's.
  void Advertise(DiscoInfo info) {
    advertised_ = std::move(info);
    caps_ver_ = CapsVer(advertised_);
  }
  // The next attempt now, instead of when the backoff ends (a refused certificate
  // or password waits kRefusedWait: the player tries again after fixing it).
  void Retry();
  // Accepts the certificate with this SHA-256 fingerprint from the next attempt on.
  void TrustCertificate(const std::string& fingerprint);
  static constexpr auto kRefusedWait = std::chrono::minutes(5);
  // How long an acknowledgement waits for later ones to fold into it.
  static constexpr auto kAckGathering = std::chrono::milliseconds(20);

 private:
  struct Work {
    enum class Kind : uint8_t { kMessage, kNotice, kReceipt, kPresence, kRoster, kRaw } kind;
    OutgoingMessage message;  // kMessage; to/id/body reused by the others
    LinkNotice notice;        // kNotice
  };
  void Queue(Work work);
  // Ends the network thread's sleep (thread-safe), and takes the wake-ups back.
  void WakeUp();
  void DrainWakeUps();
  void Run();
  void Connect();
  void Refused(const ConnectionProblem& problem, const std::string& loss);
  void Flush();
  void SendWork(Work& work);
  void HoldAck(const LinkNotice& ack);
  void SendHeldAcks();

  // libstrophe's callbacks, defined with the library's types in the .cpp.
  struct Callbacks;
  friend struct Callbacks;
  struct Peers;  // xmpp_transport_peers.h
  friend struct Peers;

  XmppAccount account_;
  Listener& listener_;
  const bool announce_link_;
  bool only_try_ = false;
  const std::chrono::milliseconds tick_;
  DiscoInfo advertised_ = announce_link_ ? HostDiscoInfo() : PhoneDiscoInfo();
  std::string caps_ver_ = CapsVer(advertised_);
  std::thread thread_;
  std::atomic<bool> stop_{false};
  std::atomic<bool> online_{false};
  std::atomic<bool> retry_{false};
  ConnectionCheck check_;
  std::mutex mutex_;  // guards queue_
  std::deque<Work> queue_;
  // Written by Queue, read by the network thread: a queued stanza ends the
  // thread's wait at once instead of after the turn's timeout.
  int wake_fd_ = -1;
  // Network thread only.
  void* ctx_ = nullptr;
  void* conn_ = nullptr;
  bool connecting_ = false;
  std::vector<LinkNotice> held_acks_;
  std::optional<std::chrono::steady_clock::time_point> acks_due_;
  std::chrono::milliseconds backoff_{250};
  std::chrono::steady_clock::time_point next_attempt_{};
};

}  // namespace tessaro::host
