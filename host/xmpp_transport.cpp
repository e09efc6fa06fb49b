#include "host/xmpp_transport.h"

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <signal.h>
#include <strophe.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <utility>

#include "host/xmpp_transport_peers.h"

namespace tessaro::host {

namespace {

using Clock = std::chrono::steady_clock;

constexpr auto kFirstBackoff = std::chrono::milliseconds(250);
constexpr auto kLastBackoff = std::chrono::milliseconds(10'000);
// Once logged in, the loop sleeps in its own poll on the connection's socket and
// the wake-up descriptor until one of them stirs or the next thing is due (the
// tick; while offline, the next attempt), so it costs nothing while nobody plays.
// libstrophe reads at most 4 KiB a turn, and with TLS what OpenSSL has already
// taken off the socket (the rest of a record, and records read ahead) waits where
// poll cannot see it: after the socket stirred or a stanza came, the loop turns
// again without sleeping, and sleeps only after this many turns in a row brought
// neither (64 KiB, more than OpenSSL holds), so a stanza never waits for the
// next packet.
constexpr int kTurnsAfterRead = 16;
// While connecting, libstrophe waits on the socket itself (poll cannot see its
// timers): a bound that a stop never waits long for.
constexpr unsigned long kConnectingTurnMs = 50;

// A handler of every stanza: notes that a turn brought one.
int NoteStanza(xmpp_conn_t*, xmpp_stanza_t*, void* data) {
  *static_cast<bool*>(data) = true;
  return 1;
}

// Milliseconds from now until `when` (0 when it has passed), for poll.
int MillisUntil(std::chrono::steady_clock::time_point when) {
  const auto left = std::chrono::ceil<std::chrono::milliseconds>(when - Clock::now()).count();
  return static_cast<int>(std::clamp<int64_t>(left, 0, 60'000));
}

// The socket of the connection this thread runs: libstrophe tells it only to the
// socket-options callback. One transport per thread, so a thread-local will do.
thread_local int t_socket_fd = -1;
constexpr char kRosterQueryId[] = "roster-get";

xmpp_ctx_t* Ctx(void* ctx) {
  return static_cast<xmpp_ctx_t*>(ctx);
}
xmpp_conn_t* Conn(void* conn) {
  return static_cast<xmpp_conn_t*>(conn);
}

std::string Text(const char* text) {
  return text != nullptr ? std::string(text) : std::string();
}

// Game messages are small and latency matters more than packing: no Nagle. Dead
// connections are found by TCP keepalive.
int SetSocketOptions(xmpp_conn_t* conn, void* sock) {
  const int fd = *static_cast<int*>(sock);
  t_socket_fd = fd;
  const int on = 1;
  ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
  return xmpp_sockopt_cb_keepalive(conn, sock);
}

xmpp_stanza_t* Child(xmpp_ctx_t* ctx, const char* name, const char* ns) {
  xmpp_stanza_t* child = xmpp_stanza_new(ctx);
  xmpp_stanza_set_name(child, name);
  if (ns != nullptr) xmpp_stanza_set_ns(child, ns);
  return child;
}

// Adds `child` to `parent` and drops this function's reference to it.
void Adopt(xmpp_stanza_t* parent, xmpp_stanza_t* child) {
  xmpp_stanza_add_child(parent, child);
  xmpp_stanza_release(child);
}

void SetNumber(xmpp_stanza_t* element, const char* name, uint64_t value) {
  xmpp_stanza_set_attribute(element, name, std::to_string(value).c_str());
}

// What every stanza of the link carries: no carbon copy to the account's other
// clients. One that may have to wait (`keep`) also asks the server to keep it
// offline and in the archive when nobody is online to take it.
void AddHints(xmpp_ctx_t* ctx, xmpp_stanza_t* message, bool keep) {
  Adopt(message, Child(ctx, "private", kCarbonsNamespace));
  Adopt(message, Child(ctx, "no-copy", kHintsNamespace));
  if (keep) Adopt(message, Child(ctx, "store", kHintsNamespace));
}

// A notice of the link (`name`: ack, missing or gone) to `n.to`, with its epoch,
// the attributes `fill` adds, and the hints.
template <typename Fill>
xmpp_stanza_t* NoticeStanza(xmpp_ctx_t* ctx, const LinkNotice& n, const char* name, Fill fill) {
  xmpp_stanza_t* stanza =
      xmpp_message_new(ctx, nullptr, n.to.c_str(), ("n-" + NewMessageId()).c_str());
  xmpp_stanza_t* notice = Child(ctx, name, kLinkNamespace);
  SetNumber(notice, "epoch", n.epoch);
  fill(notice);
  Adopt(stanza, notice);
  AddHints(ctx, stanza, n.keep);
  return stanza;
}

std::string Attribute(xmpp_stanza_t* element, const char* name) {
  return Text(xmpp_stanza_get_attribute(element, name));
}

std::string DescribeLoss(int error, const xmpp_stream_error_t* stream_error) {
  if (stream_error != nullptr) {
    std::string detail = "the server ended the stream";
    if (stream_error->type == XMPP_SE_SYSTEM_SHUTDOWN) detail += " (it is shutting down)";
    if (stream_error->type == XMPP_SE_CONFLICT) detail += " (logged in elsewhere)";
    if (stream_error->type == XMPP_SE_POLICY_VIOLATION) detail += " (policy violation)";
    return detail;
  }
  if (error != 0) return std::string("connection lost: ") + std::strerror(error);
  return "the server closed the connection";
}

std::string Duration(std::chrono::milliseconds wait) {
  if (wait < std::chrono::seconds(1)) return std::to_string(wait.count()) + " ms";
  if (wait < std::chrono::minutes(1))
    return std::to_string(std::chrono::duration_cast<std::chrono::seconds>(wait).count()) + " s";
  return std::to_string(std::chrono::duration_cast<std::chrono::minutes>(wait).count()) + " min";
}

}  // namespace

const char* LinkStateName(LinkState state) {
  switch (state) {
    case LinkState::kOffline:
      return "offline";
    case LinkState::kConnecting:
      return "connecting";
    case LinkState::kOnline:
      return "online";
    case LinkState::kWaiting:
      return "waiting to reconnect";
  }
  return "unknown";
}

XmppTransport::Listener::~Listener() = default;

// ---- libstrophe's callbacks (network thread) ----

struct XmppTransport::Callbacks {
  static void OnConnection(xmpp_conn_t* conn, xmpp_conn_event_t event, int error,
                           xmpp_stream_error_t* stream_error, void* data) {
    auto* self = static_cast<XmppTransport*>(data);
    if (event == XMPP_CONN_RAW_CONNECT) return;
    self->connecting_ = false;
    if (event == XMPP_CONN_CONNECT) {
      self->online_ = true;
      self->backoff_ = kFirstBackoff;
      if (self->only_try_) {
        if (!self->stop_) self->listener_.OnState(LinkState::kOnline, "");
        return;
      }
      xmpp_ctx_t* ctx = Ctx(self->ctx_);
      // Without the initial presence the server keeps messages in offline storage.
      xmpp_stanza_t* presence = xmpp_presence_new(ctx);
      if (self->announce_link_) Adopt(presence, Child(ctx, "link", kLinkNamespace));
      Peers::AddCaps(self, presence);
      xmpp_send(conn, presence);
      xmpp_stanza_release(presence);
      xmpp_stanza_t* iq = xmpp_iq_new(ctx, "get", kRosterQueryId);
      Adopt(iq, Child(ctx, "query", XMPP_NS_ROSTER));
      xmpp_id_handler_add(conn, OnRosterResult, kRosterQueryId, self);
      xmpp_send(conn, iq);
      xmpp_stanza_release(iq);
      if (!self->stop_) self->listener_.OnState(LinkState::kOnline, "");
      return;
    }
    const bool was_online = self->online_.exchange(false);
    {
      // Messages waiting for the lost stream are dropped: the link sends its whole
      // outbox again after the next login. Acknowledgements, receipts and presence
      // wait for it, or peers would send again what was stored long ago.
      std::lock_guard<std::mutex> lock(self->mutex_);
      std::erase_if(self->queue_,
                    [](const Work& work) { return work.kind == Work::Kind::kMessage; });
    }
    self->Refused(
        was_online || stream_error != nullptr ? ConnectionProblem{} : self->check_.Problem(error),
        DescribeLoss(error, stream_error));
  }

  static int OnMessage(xmpp_conn_t*, xmpp_stanza_t* stanza, void* data) {
    auto* self = static_cast<XmppTransport*>(data);
    if (Peers::OnArchived(self, stanza, ReadMessage)) return 1;
    IncomingStanza in = ReadMessage(self, stanza);
    if (!self->stop_) self->listener_.OnMessage(std::move(in));
    return 1;
  }

  static IncomingStanza ReadMessage(XmppTransport* self, xmpp_stanza_t* stanza) {
    IncomingStanza in;
    in.from = Text(xmpp_stanza_get_from(stanza));
    in.type = Text(xmpp_stanza_get_type(stanza));
    in.id = Text(xmpp_stanza_get_id(stanza));
    in.to = Text(xmpp_stanza_get_to(stanza));
    if (char* body = xmpp_message_get_body(stanza)) {
      in.has_body = true;
      in.body = body;
      xmpp_free(Ctx(self->ctx_), body);
    }
    in.wants_receipt =
        xmpp_stanza_get_child_by_name_and_ns(stanza, "request", kReceiptsNamespace) != nullptr;
    in.has_receipt =
        xmpp_stanza_get_child_by_name_and_ns(stanza, "received", kReceiptsNamespace) != nullptr;
    if (xmpp_stanza_t* game =
            xmpp_stanza_get_child_by_name_and_ns(stanza, "game", kLinkNamespace)) {
      in.has_game = true;
      if (char* text = xmpp_stanza_get_text(game)) {
        in.game_text = text;
        xmpp_free(Ctx(self->ctx_), text);
      }
      in.seq = Attribute(game, "n");
      in.epoch = Attribute(game, "epoch");
    } else if (xmpp_stanza_t* ack =
                   xmpp_stanza_get_child_by_name_and_ns(stanza, "ack", kLinkNamespace)) {
      in.has_ack = true;
      in.ack_id = Attribute(ack, "id");
      in.epoch = Attribute(ack, "epoch");
      in.upto = Attribute(ack, "upto");
    } else {
      xmpp_stanza_t* range =
          xmpp_stanza_get_child_by_name_and_ns(stanza, "missing", kLinkNamespace);
      in.has_missing = range != nullptr;
      if (range == nullptr) {
        range = xmpp_stanza_get_child_by_name_and_ns(stanza, "gone", kLinkNamespace);
        in.has_gone = range != nullptr;
      }
      if (range != nullptr) {
        in.epoch = Attribute(range, "epoch");
        in.first = Attribute(range, "first");
        in.last = Attribute(range, "last");
      }
    }
    // Each server that kept the message adds a stamp: the last is our own
    // server's, the one a sender cannot write.
    for (xmpp_stanza_t* child = xmpp_stanza_get_children(stanza); child != nullptr;
         child = xmpp_stanza_get_next(child)) {
      const char* name = xmpp_stanza_get_name(child);
      const char* ns = xmpp_stanza_get_ns(child);
      if (name != nullptr && ns != nullptr && std::strcmp(name, "delay") == 0 &&
          std::strcmp(ns, kDelayNamespace) == 0) {
        in.delay_stamp = Attribute(child, "stamp");
      }
    }
    return in;
  }

  static int OnPresence(xmpp_conn_t*, xmpp_stanza_t* stanza, void* data) {
    auto* self = static_cast<XmppTransport*>(data);
    if (!self->stop_) self->listener_.OnPresence(Peers::ReadPresence(stanza));
    return 1;
  }

  static int OnRosterResult(xmpp_conn_t*, xmpp_stanza_t* stanza, void* data) {
    auto* self = static_cast<XmppTransport*>(data);
    std::vector<RosterItem> items;
    xmpp_stanza_t* query = xmpp_stanza_get_child_by_ns(stanza, XMPP_NS_ROSTER);
    for (xmpp_stanza_t* item = query != nullptr ? xmpp_stanza_get_children(query) : nullptr;
         item != nullptr; item = xmpp_stanza_get_next(item)) {
      const char* name = xmpp_stanza_get_name(item);
      if (name == nullptr || std::strcmp(name, "item") != 0) continue;
      items.push_back({BareAddress(Text(xmpp_stanza_get_attribute(item, "jid"))),
                       Text(xmpp_stanza_get_attribute(item, "name")),
                       Text(xmpp_stanza_get_attribute(item, "subscription"))});
    }
    if (!self->stop_) self->listener_.OnRoster(std::move(items));
    return 0;  // one answer per query
  }
};

// ---- Life ----

XmppTransport::XmppTransport(XmppAccount account, Listener& listener, bool announce_link,
                             std::chrono::milliseconds tick)
    : account_(std::move(account)),
      listener_(listener),
      announce_link_(announce_link),
      tick_(tick),
      check_(account_.trusted_certificate, account_.ca_file),
      wake_fd_(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {}

XmppTransport::~XmppTransport() {
  stop_ = true;
  WakeUp();
  if (thread_.joinable()) thread_.join();
  if (wake_fd_ >= 0) ::close(wake_fd_);
}

void XmppTransport::Start() {
  if (thread_.joinable()) return;
  thread_ = std::thread([this] { Run(); });
}

void XmppTransport::Run() {
  static std::once_flag initialized;
  std::call_once(initialized, [] {
    // libstrophe writes with send(…, 0): a peer gone mid-write must not kill us.
    ::signal(SIGPIPE, SIG_IGN);
    xmpp_initialize();
  });
  xmpp_ctx_t* ctx = xmpp_ctx_new(nullptr, check_.Logger());
  xmpp_conn_t* conn = xmpp_conn_new(ctx);
  check_.Attach(conn);
  ctx_ = ctx;
  conn_ = conn;
  // The link has its own acknowledgements; stream management would only add an
  // ack request after every stanza.
  long flags = XMPP_CONN_FLAG_DISABLE_SM;
  flags |= account_.require_tls ? XMPP_CONN_FLAG_MANDATORY_TLS : XMPP_CONN_FLAG_DISABLE_TLS;
  xmpp_conn_set_flags(conn, flags);
  xmpp_conn_set_jid(conn, account_.address.c_str());
  xmpp_conn_set_pass(conn, account_.password.c_str());
  xmpp_conn_set_sockopt_callback(conn, SetSocketOptions);
  xmpp_handler_add(conn, Callbacks::OnMessage, nullptr, "message", nullptr, this);
  xmpp_handler_add(conn, Callbacks::OnPresence, nullptr, "presence", nullptr, this);
  xmpp_handler_add(conn, Peers::OnIq, nullptr, "iq", nullptr, this);

  auto next_tick = Clock::now() + tick_;
  int turns_owed = 0;   // turns to take without sleeping: TLS may hold read bytes
  int writes_owed = 0;  // turns that wait for the socket to take more output
  bool stanza_came = false;
  xmpp_handler_add(conn, NoteStanza, nullptr, nullptr, nullptr, &stanza_came);
  while (!stop_) {
    if (Clock::now() >= next_tick) {
      next_tick = Clock::now() + tick_;
      listener_.OnTick();
    }
    if (!online_ && !connecting_ && (retry_.exchange(false) || Clock::now() >= next_attempt_))
      Connect();
    if (online_) {
      Flush();
      if (acks_due_ && Clock::now() >= *acks_due_) SendHeldAcks();
    }
    if (online_ && wake_fd_ >= 0 && t_socket_fd >= 0) {
      // Write what Flush queued and read what has come, then sleep until the
      // server sends, a stanza is queued, or the tick is due; not while bytes
      // TLS decrypted may still wait.
      stanza_came = false;
      xmpp_run_once(ctx, 0);
      const bool secured = xmpp_conn_is_secured(conn) != 0;
      if (stanza_came && secured) turns_owed = kTurnsAfterRead;
      // Output may still wait (libstrophe does not count the stanza it is in the
      // middle of writing): after anything that sends, the loop also wakes when
      // the socket takes more, until it has done so a few times.
      if (stanza_came || xmpp_conn_send_queue_len(conn) > 0) writes_owed = kTurnsAfterRead;
      pollfd fds[2] = {{t_socket_fd, POLLIN, 0}, {wake_fd_, POLLIN, 0}};
      if (writes_owed > 0) fds[0].events |= POLLOUT;
      const int wait =
          turns_owed > 0 ? 0 : MillisUntil(acks_due_ ? std::min(next_tick, *acks_due_) : next_tick);
      if (turns_owed > 0) --turns_owed;
      if (::poll(fds, 2, wait) > 0) {
        if ((fds[0].revents & POLLIN) != 0 && secured) turns_owed = kTurnsAfterRead;
        if ((fds[0].revents & POLLOUT) != 0) --writes_owed;
        if ((fds[1].revents & POLLIN) != 0) {
          DrainWakeUps();
          writes_owed = kTurnsAfterRead;  // work was queued: Flush sends it next turn
        }
      }
    } else if (online_ || connecting_) {
      turns_owed = 0;
      xmpp_run_once(ctx, kConnectingTurnMs);
    } else {
      // Offline: asleep until the next attempt, a Retry, a stop or the tick.
      pollfd wake = {wake_fd_, POLLIN, 0};
      if (::poll(&wake, 1, MillisUntil(std::min(next_attempt_, next_tick))) > 0) DrainWakeUps();
    }
  }
  if (online_) {
    // What was handed over before the stop (a receipt above all) still goes out.
    Flush();
    SendHeldAcks();
    const auto flushed = Clock::now() + std::chrono::milliseconds(300);
    while (xmpp_conn_send_queue_len(conn) > 0 && Clock::now() < flushed)
      xmpp_run_once(ctx, 5);
  }
  if (online_ || connecting_) {
    xmpp_disconnect(conn);
    const auto end = Clock::now() + std::chrono::milliseconds(300);
    while (!xmpp_conn_is_disconnected(conn) && Clock::now() < end)
      xmpp_run_once(ctx, 5);
  }
  xmpp_conn_release(conn);
  xmpp_ctx_free(ctx);
  conn_ = ctx_ = nullptr;
  online_ = false;
}

void XmppTransport::Connect() {
  listener_.OnState(LinkState::kConnecting, "");
  check_.BeginAttempt();
  const char* server = account_.server.empty() ? nullptr : account_.server.c_str();
  if (xmpp_connect_client(Conn(conn_), server, account_.port, Callbacks::OnConnection, this) ==
      XMPP_EOK) {
    connecting_ = true;
    return;
  }
  ConnectionProblem problem = check_.Problem(0);
  if (problem.refusal == Refusal::kNone) problem.refusal = Refusal::kUnreachable;
  Refused(problem, "cannot start connecting");
}

// Schedules the next attempt after a failed one or a lost connection: soon, with
// a backoff, unless it would only be refused again.
void XmppTransport::Refused(const ConnectionProblem& problem, const std::string& loss) {
  const std::string bare = BareAddress(account_.address);
  const std::string domain = bare.substr(bare.find('@') + 1);
  const std::string reason =
      problem.refusal == Refusal::kNone ? loss : DescribeProblem(problem, domain);
  std::chrono::milliseconds wait = backoff_;
  if (WaitsForThePlayer(problem.refusal)) {
    wait = kRefusedWait;
  } else {
    backoff_ = std::min(backoff_ * 2, kLastBackoff);
  }
  next_attempt_ = Clock::now() + wait;
  if (stop_) return;
  listener_.OnProblem(problem);
  listener_.OnState(LinkState::kWaiting, reason + kNextAttempt + Duration(wait));
}

void XmppTransport::Retry() {
  retry_ = true;
  WakeUp();
}

void XmppTransport::TrustCertificate(const std::string& fingerprint) {
  check_.Trust(fingerprint);
}

// ---- Sending ----

void XmppTransport::Queue(Work work) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    queue_.push_back(std::move(work));
  }
  WakeUp();
}

void XmppTransport::WakeUp() {
  if (wake_fd_ < 0) return;
  const uint64_t one = 1;
  [[maybe_unused]] const ssize_t n = ::write(wake_fd_, &one, sizeof one);
}

void XmppTransport::DrainWakeUps() {
  uint64_t count = 0;
  [[maybe_unused]] const ssize_t n = ::read(wake_fd_, &count, sizeof count);
}

void XmppTransport::Send(OutgoingMessage message) {
  Queue({Work::Kind::kMessage, std::move(message), {}});
}

void XmppTransport::SendNotice(LinkNotice notice) {
  Queue({Work::Kind::kNotice, {}, std::move(notice)});
}

void XmppTransport::SendReceipt(const std::string& to_full, const std::string& id) {
  Queue({Work::Kind::kReceipt, {to_full, id, {}, 0, 0}, {}});
}

void XmppTransport::SendPresence(const std::string& to, const std::string& type) {
  Queue({Work::Kind::kPresence, {to, type, {}, 0, 0}, {}});
}

void XmppTransport::AddToRoster(const std::string& address, const std::string& name) {
  Queue({Work::Kind::kRoster, {address, name, {}, 0, 0}, {}});
}

void XmppTransport::SendRaw(std::string xml) {
  Queue({Work::Kind::kRaw, {{}, {}, std::move(xml), 0, 0}, {}});
}

void XmppTransport::Flush() {
  std::deque<Work> work;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    work.swap(queue_);
  }
  for (Work& item : work)
    SendWork(item);
}

// An acknowledgement waits kAckGathering for those that follow it: one with the
// highest `upto` stands for all of them. During quick play that nearly halves what
// the server takes in (and, of those it keeps, stores in both accounts' archives),
// and the peer's next message no longer queues behind an acknowledgement of the
// one before. One whose message lies beyond its `upto` (it came out of order)
// is never folded away: a later one could not confirm it.
void XmppTransport::HoldAck(const LinkNotice& ack) {
  for (LinkNotice& held : held_acks_) {
    if (held.to != ack.to || held.epoch != ack.epoch) continue;
    if (ack.last >= held.last && (held.id.empty() || held.id_within_last)) {
      const bool keep = held.keep || ack.keep;  // it stands for the one folded away too
      held = ack;
      held.keep = keep;
      return;
    }
  }
  held_acks_.push_back(ack);
  if (!acks_due_) acks_due_ = Clock::now() + kAckGathering;
}

void XmppTransport::SendHeldAcks() {
  acks_due_.reset();
  std::vector<LinkNotice> held;
  held.swap(held_acks_);
  for (const LinkNotice& ack : held) {
    xmpp_stanza_t* stanza = NoticeStanza(Ctx(ctx_), ack, "ack", [&](xmpp_stanza_t* notice) {
      if (!ack.id.empty()) xmpp_stanza_set_attribute(notice, "id", ack.id.c_str());
      if (ack.last != 0) SetNumber(notice, "upto", ack.last);
    });
    xmpp_send(Conn(conn_), stanza);
    xmpp_stanza_release(stanza);
  }
}

void XmppTransport::SendWork(Work& work) {
  xmpp_ctx_t* ctx = Ctx(ctx_);
  xmpp_conn_t* conn = Conn(conn_);
  const OutgoingMessage& m = work.message;
  xmpp_stanza_t* stanza = nullptr;
  switch (work.kind) {
    case Work::Kind::kMessage: {
      stanza = xmpp_message_new(ctx, "chat", m.to.c_str(), m.id.c_str());
      if (m.seq == 0) {
        xmpp_message_set_body(stanza, m.body.c_str());
        break;
      }
      xmpp_stanza_t* game = Child(ctx, "game", kLinkNamespace);
      SetNumber(game, "n", m.seq);
      SetNumber(game, "epoch", m.epoch);
      if (!m.body.empty()) {
        xmpp_stanza_t* text = xmpp_stanza_new(ctx);
        xmpp_stanza_set_text(text, m.body.c_str());
        Adopt(game, text);
      }
      Adopt(stanza, game);
      AddHints(ctx, stanza, m.keep);
      break;
    }
    case Work::Kind::kNotice: {
      const LinkNotice& n = work.notice;
      if (n.kind == LinkNotice::Kind::kAck) {
        HoldAck(n);
        return;
      }
      SendHeldAcks();  // what was said before goes first
      stanza = NoticeStanza(ctx, n, n.kind == LinkNotice::Kind::kMissing ? "missing" : "gone",
                            [&](xmpp_stanza_t* notice) {
                              SetNumber(notice, "first", n.first);
                              SetNumber(notice, "last", n.last);
                            });
      break;
    }
    case Work::Kind::kReceipt: {
      stanza = xmpp_message_new(ctx, nullptr, m.to.c_str(), ("r-" + m.id).c_str());
      xmpp_stanza_t* received = Child(ctx, "received", kReceiptsNamespace);
      xmpp_stanza_set_attribute(received, "id", m.id.c_str());
      Adopt(stanza, received);
      break;
    }
    case Work::Kind::kPresence:
      stanza = xmpp_presence_new(ctx);
      xmpp_stanza_set_to(stanza, m.to.c_str());
      xmpp_stanza_set_type(stanza, m.id.c_str());
      break;
    case Work::Kind::kRoster: {
      stanza = xmpp_iq_new(ctx, "set", ("roster-" + NewMessageId()).c_str());
      xmpp_stanza_t* query = Child(ctx, "query", XMPP_NS_ROSTER);
      xmpp_stanza_t* item = Child(ctx, "item", nullptr);
      xmpp_stanza_set_attribute(item, "jid", m.to.c_str());
      if (!m.id.empty()) xmpp_stanza_set_attribute(item, "name", m.id.c_str());
      Adopt(query, item);
      Adopt(stanza, query);
      break;
    }
    case Work::Kind::kRaw:
      xmpp_send_raw(conn, m.body.data(), m.body.size());
      return;
  }
  xmpp_send(conn, stanza);
  xmpp_stanza_release(stanza);
}

}  // namespace tessaro::host
