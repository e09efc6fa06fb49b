// The host's judging of incoming XMPP message stanzas and receipts. The first
// byte sets the flags (bit 0 body, 1 receipt request, 2 receipt, 3 sequence
// number); the rest is the fields from, type, id, body, receipt id, n and
// epoch, separated by zero bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "host/xmpp_stanza.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace tessaro::host;
  if (size == 0) return 0;
  std::string fields[7];
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
  stanza.receipt_for = fields[4];
  stanza.has_seq = data[0] & 8;
  stanza.seq = fields[5];
  stanza.epoch = fields[6];
  const ParsedStanza parsed = ParseStanza(stanza);
  // A sender's address is kept as its bare form.
  if (parsed.kind != ParsedStanza::Kind::kIgnore && parsed.from != BareAddress(parsed.from))
    std::abort();
  (void)IsSendableText(stanza.body);
  return 0;
}
