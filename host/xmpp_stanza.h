// What a message stanza of the host's XMPP link carries, and how an incoming one
// is judged. No network and no library here: the network thread copies a
// stanza's fields into an IncomingStanza, and ParseStanza decides what it is, so
// a fuzzer or a test can feed it anything.
//
// Everything the link sends lives in its own namespace, urn:tessaro:link:1, and
// carries no <body>: another client of the same account (a phone) shows nothing
// for it and has nothing to answer. A game message, as sent:
//   <message to='bob@example.org/res' type='chat' id='9f0c…'>
//     <game xmlns='urn:tessaro:link:1' n='17' epoch='1765245600123456'>the text</game>
//     <private xmlns='urn:xmpp:carbons:2'/>
//     <no-copy xmlns='urn:xmpp:hints'/>
//     <store xmlns='urn:xmpp:hints'/>
//   </message>
// `id` is unique (128 random bits, hex). `n` counts the messages from this
// profile to this contact, from 1, without gaps. `epoch` names the sending
// profile's life: it is fixed when the profile is created and larger for a
// profile created later, so a receiver tells a recreated sender (start again at
// n = 1) from an old one (ignore). The hints keep the message out of carbon
// copies; <store/> asks the server to keep it offline and in the archive when
// nobody is online. It is left out of a first copy sent straight to a Tessaro
// that is online, and of the acknowledgement of such a copy: the sender keeps
// the message until it is acknowledged, and sends it again with <store/>.
//
// The receiving host, once it has stored the message, acknowledges it:
//   <ack xmlns='urn:tessaro:link:1' id='9f0c…' epoch='…' upto='16'/>
// `upto` (optional) says that every message of that epoch up to that n has been
// handed on, so an ack also stands for earlier ones whose own ack was lost; an
// ack without `id` only says where the receiver stands.
// A receiver that holds messages behind a missing number asks for the missing:
//   <missing xmlns='urn:tessaro:link:1' epoch='…' first='5' last='7'/>
// and the sender sends them again, or answers for those it no longer keeps
//   <gone xmlns='urn:tessaro:link:1' epoch='…' first='5' last='6'/>
// so that the receiver skips them. Each of these travels alone in a message
// with the same three hints.
//
// A host still puts <link xmlns='urn:tessaro:link:1'/> in its presence, but
// what a resource runs is told by its capabilities (xmpp_peers.h); only a
// resource whose capabilities name the link is sent game messages directly.
//
// A chat message from an ordinary client (a <body>, no <game/>) is taken in
// arrival order, and answered with a delivery receipt when it asks for one.
// Delivery receipts that arrive are never taken as a confirmation.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tessaro::host {

inline constexpr char kLinkNamespace[] = "urn:tessaro:link:1";
inline constexpr char kReceiptsNamespace[] = "urn:xmpp:receipts";
inline constexpr char kCarbonsNamespace[] = "urn:xmpp:carbons:2";
inline constexpr char kHintsNamespace[] = "urn:xmpp:hints";
inline constexpr char kDelayNamespace[] = "urn:xmpp:delay";
// The longest text the link sends or accepts. Game messages and chat lines are far
// shorter; servers commonly cap a whole stanza at 256 KiB.
inline constexpr std::size_t kMaxBodyBytes = 64 * 1024;

// The fields of a received <message/>, as the network thread found them.
struct IncomingStanza {
  std::string from;  // full or bare address
  std::string to;    // the address it was sent to: this host's full one or the bare one
  std::string type;  // "", "chat", "normal", "error", ...
  std::string id;
  bool has_body = false;
  std::string body;
  bool wants_receipt = false;  // <request xmlns='urn:xmpp:receipts'/>
  bool has_receipt = false;    // <received xmlns='urn:xmpp:receipts'/>
  bool has_game = false;       // <game xmlns='urn:tessaro:link:1' n=… epoch=…>text</game>
  std::string game_text;
  std::string seq;       // its n
  std::string epoch;     // its epoch, or the epoch of <ack/>, <missing/> or <gone/>
  bool has_ack = false;  // <ack id=… epoch=… upto=…/>
  std::string ack_id;
  std::string upto;
  bool has_missing = false;  // <missing epoch=… first=… last=…/>
  bool has_gone = false;     // <gone epoch=… first=… last=…/>
  std::string first;
  std::string last;
  std::string delay_stamp;  // <delay xmlns='urn:xmpp:delay' stamp=…/>; empty: none
};

// What a received stanza means to the link.
struct ParsedStanza {
  enum class Kind : uint8_t { kIgnore, kMessage, kAck, kMissing, kGone };
  Kind kind = Kind::kIgnore;
  std::string reason;  // kIgnore: why, for the log
  std::string from;    // the sender's bare address, lower-cased
  std::string id;      // kMessage: the message's id; kAck: the id it confirms (may be empty)
  std::string body;    // kMessage: the game text or the chat line
  bool wants_receipt = false;    // kMessage: a chat line that asks for a delivery receipt
  uint64_t seq = 0;              // kMessage: 0 for a chat line of an ordinary client
  uint64_t epoch = 0;            // kMessage, kAck, kMissing, kGone
  uint64_t upto = 0;             // kAck: 0 when it names no range
  uint64_t first = 0, last = 0;  // kMissing, kGone: first <= last
  // When a server kept the message and sent it later: when it was stored,
  // microseconds since 1970.
  std::optional<uint64_t> sent_at;
  // kMessage of the game: it came straight to this host's full address, not to
  // the account's bare one and not out of the server's storage.
  bool direct = false;
};

// ---- Functions ----

// Judges a received stanza. Never fails: anything unusable is kIgnore with a reason.
ParsedStanza ParseStanza(const IncomingStanza& stanza);
// A date and time of the form 2002-09-10T23:08:25Z (seconds may have a fraction,
// the zone may be +hh:mm or -hh:mm) as microseconds since 1970; nullopt for
// anything else, or a time before 1970.
std::optional<uint64_t> ParseStamp(std::string_view stamp);
// The bare address (local@domain) of a full or bare one, lower-cased; empty when
// `address` is not an address.
std::string BareAddress(std::string_view address);
// Whether `text` can travel as an XML text: valid UTF-8 without the control
// characters XML 1.0 forbids.
bool IsSendableText(std::string_view text);
// A new message id: 32 hex digits from the system's random source.
std::string NewMessageId();

}  // namespace tessaro::host
