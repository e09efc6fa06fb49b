#include "host/xmpp_stanza.h"

#include <charconv>
#include <random>

namespace tessaro::host {

namespace {

// A decimal number of 1 to 19 digits without sign or spaces, at most 2^63 - 1 (the
// profile keeps numbers as SQLite's signed integers); false otherwise.
bool ParseNumber(std::string_view text, uint64_t* value) {
  if (text.empty() || text.size() > 19) return false;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), *value);
  return ec == std::errc() && end == text.data() + text.size() && *value <= INT64_MAX;
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

std::optional<uint64_t> ParseStamp(std::string_view stamp) {
  // 2002-09-10T23:08:25[.fraction](Z|+hh:mm|-hh:mm)
  const auto digits = [&](std::size_t at, std::size_t count, int* value) {
    if (at + count > stamp.size()) return false;
    *value = 0;
    for (std::size_t i = at; i < at + count; ++i) {
      if (stamp[i] < '0' || stamp[i] > '9') return false;
      *value = *value * 10 + (stamp[i] - '0');
    }
    return true;
  };
  const auto is = [&](std::size_t at, char c) { return at < stamp.size() && stamp[at] == c; };
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
  if (!digits(0, 4, &year) || !is(4, '-') || !digits(5, 2, &month) || !is(7, '-') ||
      !digits(8, 2, &day) || !is(10, 'T') || !digits(11, 2, &hour) || !is(13, ':') ||
      !digits(14, 2, &minute) || !is(16, ':') || !digits(17, 2, &second)) {
    return std::nullopt;
  }
  std::size_t at = 19;
  uint64_t micros = 0;
  if (is(at, '.')) {
    ++at;
    const std::size_t begin = at;
    uint64_t scale = 100000;
    for (; at < stamp.size() && stamp[at] >= '0' && stamp[at] <= '9'; ++at, scale /= 10)
      micros += static_cast<uint64_t>(stamp[at] - '0') * scale;
    if (at == begin || at - begin > 9) return std::nullopt;
  }
  int64_t offset_minutes = 0;
  if (is(at, 'Z')) {
    ++at;
  } else if (is(at, '+') || is(at, '-')) {
    int zone_hour = 0, zone_minute = 0;
    if (!digits(at + 1, 2, &zone_hour) || !is(at + 3, ':') || !digits(at + 4, 2, &zone_minute) ||
        zone_hour > 23 || zone_minute > 59) {
      return std::nullopt;
    }
    offset_minutes = (stamp[at] == '+' ? 1 : -1) * (zone_hour * 60 + zone_minute);
    at += 6;
  } else {
    return std::nullopt;
  }
  static constexpr int kDays[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  if (at != stamp.size() || month < 1 || month > 12 || day < 1 || day > kDays[month - 1] ||
      (month == 2 && day == 29 && !leap) || hour > 23 || minute > 59 || second > 60) {
    return std::nullopt;
  }
  // Days since 1970-01-01 of the proleptic Gregorian calendar.
  const int y = month <= 2 ? year - 1 : year;
  const int era = y / 400;
  const int year_of_era = y - era * 400;
  const int day_of_year = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const int day_of_era = year_of_era * 365 + year_of_era / 4 - year_of_era / 100 + day_of_year;
  const int64_t days = int64_t{era} * 146097 + day_of_era - 719468;
  const int64_t seconds = days * 86400 + hour * 3600 + minute * 60 + second - offset_minutes * 60;
  if (seconds < 0) return std::nullopt;
  return static_cast<uint64_t>(seconds) * 1000000 + micros;
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
  if (stanza.has_game || stanza.has_ack || stanza.has_missing || stanza.has_gone) {
    if (!ParseNumber(stanza.epoch, &parsed.epoch)) return Ignore("bad epoch from " + from);
  }
  if (stanza.has_game) {
    if (stanza.id.empty()) return Ignore("game message without an id from " + from);
    if (stanza.id.size() > 128) return Ignore("message id too long from " + from);
    if (!ParseNumber(stanza.seq, &parsed.seq) || parsed.seq == 0) {
      return Ignore("bad sequence number from " + from);
    }
    if (stanza.game_text.size() > kMaxBodyBytes) {
      return Ignore("game text of " + std::to_string(stanza.game_text.size()) + " bytes from " +
                    from + " (limit " + std::to_string(kMaxBodyBytes) + ")");
    }
    if (!stanza.delay_stamp.empty()) {
      parsed.sent_at = ParseStamp(stanza.delay_stamp);
      if (!parsed.sent_at) return Ignore("bad delay stamp from " + from);
    }
    parsed.kind = ParsedStanza::Kind::kMessage;
    parsed.id = stanza.id;
    parsed.body = stanza.game_text;
    parsed.direct = stanza.to.find('/') != std::string::npos && !parsed.sent_at;
    return parsed;
  }
  if (stanza.has_ack) {
    if (stanza.ack_id.size() > 128) return Ignore("acknowledgement with a long id from " + from);
    if (!stanza.upto.empty() && !ParseNumber(stanza.upto, &parsed.upto)) {
      return Ignore("acknowledgement with a bad range from " + from);
    }
    if (stanza.ack_id.empty() && parsed.upto == 0) {
      return Ignore("acknowledgement of nothing from " + from);
    }
    parsed.kind = ParsedStanza::Kind::kAck;
    parsed.id = stanza.ack_id;
    return parsed;
  }
  if (stanza.has_missing || stanza.has_gone) {
    if (!ParseNumber(stanza.first, &parsed.first) || !ParseNumber(stanza.last, &parsed.last) ||
        parsed.first == 0 || parsed.last < parsed.first) {
      return Ignore("bad range of messages from " + from);
    }
    parsed.kind = stanza.has_missing ? ParsedStanza::Kind::kMissing : ParsedStanza::Kind::kGone;
    return parsed;
  }
  if (stanza.has_receipt) {
    return Ignore("delivery receipt from " + from + " (only the link's acknowledgements count)");
  }
  if (!stanza.has_body) return Ignore("message without a body from " + from);
  if (stanza.body.size() > kMaxBodyBytes) {
    return Ignore("body of " + std::to_string(stanza.body.size()) + " bytes from " + from +
                  " (limit " + std::to_string(kMaxBodyBytes) + ")");
  }
  if (stanza.id.size() > 128) return Ignore("message id too long from " + from);
  if (stanza.wants_receipt && stanza.id.empty()) {
    return Ignore("message without an id from " + from);
  }
  parsed.kind = ParsedStanza::Kind::kMessage;
  parsed.id = stanza.id;
  parsed.body = stanza.body;
  parsed.wants_receipt = stanza.wants_receipt;
  return parsed;
}

}  // namespace tessaro::host
