#include "host/xmpp_stanza.h"

#include <charconv>
#include <random>

namespace tessaro::host {

namespace {

// A decimal number of 1 to 19 digits without sign or spaces; false otherwise.
bool ParseNumber(std::string_view text, uint64_t* value) {
  if (text.empty() || text.size() > 19) return false;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), *value);
  return ec == std::errc() && end == text.data() + text.size();
}

ParsedStanza Ignore(std::string reason) {
  ParsedStanza parsed;
  parsed.reason = std::move(reason);
  return parsed;
}

}  // namespace

std::string BareAddress(std::string_view address) {
  const std::size_t slash = address.find('/');
  std::string_view bare = address.substr(0, slash);
  const std::size_t at = bare.find('@');
  if (at == 0 || at == std::string_view::npos || at + 1 == bare.size() ||
      bare.find('@', at + 1) != std::string_view::npos || bare.size() > 3071) {
    return {};
  }
  std::string out;
  for (char c : bare) {
    const auto u = static_cast<unsigned char>(c);
    if (u <= 0x20 || c == '<' || c == '>' || c == '"' || c == '\'' || c == '&') return {};
    out += (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
  }
  return out;
}

bool IsSendableText(std::string_view text) {
  for (std::size_t i = 0; i < text.size();) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c < 0x80) {
      if (c < 0x20 && c != '\t' && c != '\n' && c != '\r') return false;
      ++i;
      continue;
    }
    std::size_t length = 0;
    uint32_t code = 0;
    if ((c & 0xe0) == 0xc0) {
      length = 2;
      code = c & 0x1f;
    } else if ((c & 0xf0) == 0xe0) {
      length = 3;
      code = c & 0x0f;
    } else if ((c & 0xf8) == 0xf0) {
      length = 4;
      code = c & 0x07;
    } else {
      return false;
    }
    if (i + length > text.size()) return false;
    for (std::size_t k = 1; k < length; ++k) {
      const auto next = static_cast<unsigned char>(text[i + k]);
      if ((next & 0xc0) != 0x80) return false;
      code = (code << 6) | (next & 0x3f);
    }
    // Overlong forms, surrogates, beyond Unicode, and the two non-characters XML
    // forbids.
    static constexpr uint32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (code < kSmallest[length] || (code >= 0xd800 && code <= 0xdfff) || code > 0x10ffff ||
        code == 0xfffe || code == 0xffff) {
      return false;
    }
    i += length;
  }
  return true;
}

std::string NewMessageId() {
  static thread_local std::random_device source;
  static constexpr char kHex[] = "0123456789abcdef";
  std::string id;
  for (int word = 0; word < 4; ++word) {
    uint32_t bits = source();
    for (int k = 0; k < 8; ++k, bits >>= 4)
      id += kHex[bits & 0xf];
  }
  return id;
}

ParsedStanza ParseStanza(const IncomingStanza& stanza) {
  const std::string from = BareAddress(stanza.from);
  if (from.empty()) return Ignore("sender '" + stanza.from.substr(0, 80) + "' is not an address");
  if (stanza.type == "error") return Ignore("error stanza from " + from);
  if (stanza.type == "groupchat" || stanza.type == "headline") {
    return Ignore(stanza.type + " message from " + from);
  }
  ParsedStanza parsed;
  parsed.from = from;
  if (stanza.has_receipt) {
    if (stanza.receipt_for.empty() || stanza.receipt_for.size() > 128) {
      return Ignore("receipt without a usable id from " + from);
    }
    parsed.kind = ParsedStanza::Kind::kReceipt;
    parsed.id = stanza.receipt_for;
    return parsed;
  }
  if (!stanza.has_body) return Ignore("message without a body from " + from);
  if (stanza.body.size() > kMaxBodyBytes) {
    return Ignore("body of " + std::to_string(stanza.body.size()) + " bytes from " + from +
                  " (limit " + std::to_string(kMaxBodyBytes) + ")");
  }
  if (stanza.id.size() > 128) return Ignore("message id too long from " + from);
  if ((stanza.wants_receipt || stanza.has_seq) && stanza.id.empty()) {
    return Ignore("message without an id from " + from);
  }
  if (stanza.has_seq) {
    if (!ParseNumber(stanza.seq, &parsed.seq) || parsed.seq == 0 ||
        !ParseNumber(stanza.epoch, &parsed.epoch)) {
      return Ignore("bad sequence number from " + from);
    }
  }
  parsed.kind = ParsedStanza::Kind::kMessage;
  parsed.id = stanza.id;
  parsed.body = stanza.body;
  parsed.wants_receipt = stanza.wants_receipt;
  return parsed;
}

}  // namespace tessaro::host
