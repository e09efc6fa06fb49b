// What a message stanza of the host's XMPP link carries, and how an incoming one
// is judged. No network and no library here: the network thread copies a
// stanza's fields into an IncomingStanza, and ParseStanza decides what it is, so
// a fuzzer or a test can feed it anything.
//
// A message of the link, as sent:
//   <message to='bob@example.org' type='chat' id='9f0c…'>
//     <body>the text</body>
//     <request xmlns='urn:xmpp:receipts'/>
//     <seq xmlns='urn:tessaro:seq:0' n='17' epoch='1765245600123456'/>
//   </message>
// `id` is unique (128 random bits, hex). `n` counts the messages from this
// profile to this contact, from 1, without gaps. `epoch` names the sending
// profile's life: it is fixed when the profile is created and larger for a
// profile created later, so a receiver tells a recreated sender (start again at
// n = 1) from an old one (ignore). The receiver answers with a delivery receipt
//   <message to='alice@example.org/res' id='r-9f0c…'>
//     <received xmlns='urn:xmpp:receipts' id='9f0c…'/></message>
// once the message is stored, and hands messages to the plug-in in the order of n.
// A message without <seq/> (another XMPP client) is taken in arrival order.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tessaro::host {

inline constexpr char kReceiptsNamespace[] = "urn:xmpp:receipts";
inline constexpr char kSeqNamespace[] = "urn:tessaro:seq:0";
// The longest text the link sends or accepts. Game messages and chat lines are far
// shorter; servers commonly cap a whole stanza at 256 KiB.
inline constexpr std::size_t kMaxBodyBytes = 64 * 1024;

// The fields of a received <message/>, as the network thread found them.
struct IncomingStanza {
  std::string from;  // full or bare address
  std::string type;  // "", "chat", "normal", "error", ...
  std::string id;
  bool has_body = false;
  std::string body;
  bool wants_receipt = false;  // <request xmlns='urn:xmpp:receipts'/>
  bool has_receipt = false;    // <received xmlns='urn:xmpp:receipts' id=…/>
  std::string receipt_for;     // its id
  bool has_seq = false;        // <seq xmlns='urn:tessaro:seq:0' …/>
  std::string seq;             // its n
  std::string epoch;           // its epoch
};

// What a received stanza means to the link.
struct ParsedStanza {
  enum class Kind : uint8_t { kIgnore, kMessage, kReceipt };
  Kind kind = Kind::kIgnore;
  std::string reason;  // kIgnore: why, for the log
  std::string from;    // the sender's bare address, lower-cased
  std::string id;      // kMessage: the message's id; kReceipt: the id it confirms
  std::string body;
  bool wants_receipt = false;
  uint64_t seq = 0;  // 0: the message carries no sequence number
  uint64_t epoch = 0;
};

// ---- Functions ----

// Judges a received stanza. Never fails: anything unusable is kIgnore with a reason.
ParsedStanza ParseStanza(const IncomingStanza& stanza);
// The bare address (local@domain) of a full or bare one, lower-cased; empty when
// `address` is not an address.
std::string BareAddress(std::string_view address);
// Whether `text` can travel as an XML text: valid UTF-8 without the control
// characters XML 1.0 forbids.
bool IsSendableText(std::string_view text);
// A new message id: 32 hex digits from the system's random source.
std::string NewMessageId();

}  // namespace tessaro::host
