// The host's judging of incoming XMPP message stanzas: game messages, the link's
// acknowledgements, requests for missing messages and their answers, delay
// stamps, ordinary chat lines. The first byte sets the flags (bit 0 body,
// 1 receipt request, 2 receipt, 3 game, 4 ack, 5 missing, 6 gone); the rest is
// the fields from, type, id, body, game text, n, epoch, ack id, upto, first,
// last, delay stamp and to, separated by zero bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "host/xmpp_stanza.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace tessaro::host;
  if (size == 0) return 0;
  std::string fields[13];
  size_t field = 0;
  for (size_t i = 1; i < size; ++i) {
    if (data[i] == 0 && field + 1 < std::size(fields)) {
      ++field;
    } else {
      fields[field].push_back(static_cast<char>(data[i]));
    }
  }
  IncomingStanza stanza;
  stanza.from = fields[0];
  stanza.type = fields[1];
  stanza.id = fields[2];
  stanza.has_body = data[0] & 1;
  stanza.body = fields[3];
  stanza.wants_receipt = data[0] & 2;
  stanza.has_receipt = data[0] & 4;
  stanza.has_game = data[0] & 8;
  stanza.game_text = fields[4];
  stanza.seq = fields[5];
  stanza.epoch = fields[6];
  stanza.has_ack = data[0] & 16;
  stanza.ack_id = fields[7];
  stanza.upto = fields[8];
  stanza.has_missing = data[0] & 32;
  stanza.has_gone = data[0] & 64;
  stanza.first = fields[9];
  stanza.last = fields[10];
  stanza.delay_stamp = fields[11];
  stanza.to = fields[12];
  const ParsedStanza parsed = ParseStanza(stanza);
  using Kind = ParsedStanza::Kind;
  // A sender's address is kept as its bare form; a game message is numbered; a
  // range is never empty; an ack confirms something.
  if (parsed.kind != Kind::kIgnore && parsed.from != BareAddress(parsed.from)) std::abort();
  if (parsed.kind == Kind::kMessage && stanza.has_game && parsed.seq == 0) std::abort();
  if ((parsed.kind == Kind::kMissing || parsed.kind == Kind::kGone) &&
      (parsed.first == 0 || parsed.last < parsed.first)) {
    std::abort();
  }
  if (parsed.kind == Kind::kAck && parsed.id.empty() && parsed.upto == 0) std::abort();
  // Only a game message sent live to a full address came straight to this host.
  if (parsed.direct && (parsed.kind != Kind::kMessage || !stanza.has_game || parsed.sent_at ||
                        stanza.to.find('/') == std::string::npos)) {
    std::abort();
  }
  // A stamp read back is the same time whatever zone it was written in.
  if (const auto at = ParseStamp(stanza.delay_stamp); at && stanza.delay_stamp.size() > 19) {
    const std::size_t zone = stanza.delay_stamp.find_first_of("Z+-", 19);
    if (zone != std::string::npos && stanza.delay_stamp[zone] == 'Z' &&
        ParseStamp(stanza.delay_stamp.substr(0, zone) + "+00:00") != at) {
      std::abort();
    }
  }
  (void)IsSendableText(stanza.body);
  return 0;
}
