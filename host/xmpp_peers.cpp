#include "host/xmpp_peers.h"

#include <strophe.h>

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <set>
#include <tuple>

namespace tessaro::host {

namespace {

std::string Base64(const unsigned char* data, std::size_t size) {
  static constexpr char kDigits[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  for (std::size_t i = 0; i < size; i += 3) {
    uint32_t bits = static_cast<uint32_t>(data[i]) << 16;
    if (i + 1 < size) bits |= static_cast<uint32_t>(data[i + 1]) << 8;
    if (i + 2 < size) bits |= data[i + 2];
    out += kDigits[(bits >> 18) & 63];
    out += kDigits[(bits >> 12) & 63];
    out += i + 1 < size ? kDigits[(bits >> 6) & 63] : '=';
    out += i + 2 < size ? kDigits[bits & 63] : '=';
  }
  return out;
}

ParsedArchived IgnoreArchived(std::string reason) {
  ParsedArchived parsed;
  parsed.reason = std::move(reason);
  return parsed;
}

}  // namespace

std::string LinkFeature(int version) {
  return kLinkFeaturePrefix + std::to_string(version);
}

DiscoInfo HostDiscoInfo(int version) {
  return {{{"client", "pc", "", "Tessaro"}},
          {kDiscoInfoNamespace, kCapsNamespace, LinkFeature(version)}};
}

DiscoInfo PhoneDiscoInfo() {
  return {{{"client", "phone", "", "Phone"}},
          {kDiscoInfoNamespace, kCapsNamespace, kReceiptsNamespace, kCarbonsNamespace}};
}

std::string CapsVer(const DiscoInfo& info) {
  std::vector<DiscoIdentity> identities = info.identities;
  const auto key = [](const DiscoIdentity& i) {
    return std::tie(i.category, i.type, i.lang, i.name);
  };
  std::sort(identities.begin(), identities.end(),
            [&](const DiscoIdentity& a, const DiscoIdentity& b) { return key(a) < key(b); });
  std::vector<std::string> features = info.features;
  std::sort(features.begin(), features.end());
  for (std::size_t i = 1; i < identities.size(); ++i) {
    // Two identities differ in category, type or language (XEP-0115, 5.4).
    const DiscoIdentity& a = identities[i - 1];
    const DiscoIdentity& b = identities[i];
    if (a.category == b.category && a.type == b.type && a.lang == b.lang) return {};
  }
  if (std::adjacent_find(features.begin(), features.end()) != features.end()) return {};
  std::string s;
  for (const DiscoIdentity& i : identities)
    s += i.category + '/' + i.type + '/' + i.lang + '/' + i.name + '<';
  for (const std::string& feature : features)
    s += feature + '<';
  unsigned char digest[XMPP_SHA1_DIGEST_SIZE];
  xmpp_sha1_digest(reinterpret_cast<const unsigned char*>(s.data()), s.size(), digest);
  return Base64(digest, sizeof digest);
}

PeerGame GameOf(const std::vector<std::string>& features) {
  PeerGame game;
  const std::string_view prefix = kLinkFeaturePrefix;
  for (const std::string& feature : features) {
    if (!feature.starts_with(prefix)) continue;
    const std::string_view digits = std::string_view(feature).substr(prefix.size());
    int version = 0;
    auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), version);
    if (ec != std::errc() || end != digits.data() + digits.size() || digits.size() > 4 ||
        digits.front() == '0' || version <= 0) {
      continue;
    }
    if (version == kLinkVersion) return {PeerGame::Kind::kSame, kLinkVersion};
    if (version > game.version) game = {PeerGame::Kind::kOther, version};
  }
  return game;
}

std::string UsableCapsVer(const IncomingPresence& presence) {
  if (!presence.has_caps || presence.caps_hash != "sha-1") return {};
  const std::string& ver = presence.caps_ver;
  // SHA-1 in base64: 27 digits and one '='.
  if (ver.size() != 28 || ver[27] != '=') return {};
  for (std::size_t i = 0; i < 27; ++i) {
    const char c = ver[i];
    if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '+' ||
          c == '/')) {
      return {};
    }
  }
  return ver;
}

ParsedDiscoInfo ParseDiscoInfo(const IncomingDiscoInfo& answer) {
  ParsedDiscoInfo parsed;
  const std::string who = answer.from.substr(0, 200);
  if (answer.type != "result") {
    parsed.reason = "service discovery refused by " + who;
    return parsed;
  }
  if (!answer.has_query) {
    parsed.reason = "service discovery answer without a query from " + who;
    return parsed;
  }
  if (answer.info.identities.size() > kMaxDiscoItems ||
      answer.info.features.size() > kMaxDiscoItems) {
    parsed.reason = "service discovery answer with too many entries from " + who;
    return parsed;
  }
  const auto too_long = [](const std::string& text) { return text.size() > kMaxDiscoText; };
  for (const DiscoIdentity& i : answer.info.identities) {
    if (too_long(i.category) || too_long(i.type) || too_long(i.lang) || too_long(i.name)) {
      parsed.reason = "service discovery answer with an overlong identity from " + who;
      return parsed;
    }
  }
  if (std::any_of(answer.info.features.begin(), answer.info.features.end(), too_long)) {
    parsed.reason = "service discovery answer with an overlong feature from " + who;
    return parsed;
  }
  parsed.ok = true;
  parsed.game = GameOf(answer.info.features);
  parsed.ver = CapsVer(answer.info);
  return parsed;
}

ParsedArchived ParseArchived(const IncomingArchived& item, std::string_view own_full,
                             std::string_view query_id) {
  const std::string own = BareAddress(own_full);
  // Only the account's own server speaks for its archive: a result from anyone
  // else is someone's attempt to slip a message in.
  if (!item.from.empty() && BareAddress(item.from) != own) {
    return IgnoreArchived("archive result from " + item.from.substr(0, 200) +
                          ", not from this account");
  }
  if (query_id.empty() || item.query_id != query_id) {
    return IgnoreArchived("archive result of a query not asked");
  }
  if (item.archive_id.empty() || item.archive_id.size() > 256) {
    return IgnoreArchived("archive result without a usable id");
  }
  ParsedArchived parsed;
  parsed.archive_id = item.archive_id;
  parsed.stanza = ParseStanza(item.message);
  parsed.stanza.direct = false;  // whatever it was sent to, the server kept it
  using Kind = ParsedStanza::Kind;
  const Kind kind = parsed.stanza.kind;
  const bool game = kind == Kind::kMessage && parsed.stanza.seq != 0;
  // Chat lines, errors and the rest of the account's traffic are not the link's.
  if (!game && kind != Kind::kAck) return parsed;
  if (parsed.stanza.from == own) {
    if (kind == Kind::kAck && !BareAddress(item.to).empty()) {
      parsed.kind = ParsedArchived::Kind::kOwnAck;
      parsed.peer = BareAddress(item.to);
    }
    return parsed;
  }
  // To this host, or to the bare address; what went to another host of the
  // account belongs to the game played there.
  if (item.to != own_full && BareAddress(item.to) != own) {
    parsed.reason = "archived message to " + item.to.substr(0, 200) + ", not this account";
    return parsed;
  }
  if (item.to != own_full && item.to.find('/') != std::string::npos) {
    parsed.reason = "archived message " + parsed.stanza.id.substr(0, 128) + " was for " +
                    item.to.substr(0, 200) + ", another host of this account";
    return parsed;
  }
  parsed.kind = ParsedArchived::Kind::kForUs;
  parsed.full_from = item.message.from;
  return parsed;
}

ParsedArchiveEnd ParseArchiveEnd(const IncomingArchiveEnd& end, std::string_view own_bare) {
  ParsedArchiveEnd parsed;
  if (!end.from.empty() && BareAddress(end.from) != own_bare) {
    parsed.reason = "archive answer from " + end.from.substr(0, 200) + ", not from this account";
    return parsed;
  }
  if (end.type != "result") {
    parsed.reason = "the server's message archive refused the query";
    return parsed;
  }
  if (!end.has_fin) {
    parsed.reason = "archive answer without its end";
    return parsed;
  }
  parsed.ok = true;
  // A page that is not the last names where the next one starts; one that does
  // not cannot be followed.
  parsed.complete =
      end.complete == "true" || end.complete == "1" || end.last.empty() || end.last.size() > 256;
  if (!parsed.complete) parsed.last = end.last;
  return parsed;
}

std::string EscapeXml(std::string_view text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '\'':
        out += "&apos;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

std::string FormatStamp(uint64_t micros) {
  // Civil date from days since 1970 (the inverse of ParseStamp's).
  const int64_t seconds = static_cast<int64_t>(micros / 1000000);
  int64_t days = seconds / 86400;
  const int64_t in_day = seconds % 86400;
  days += 719468;
  const int64_t era = days / 146097;
  const int64_t day_of_era = days - era * 146097;
  const int64_t year_of_era =
      (day_of_era - day_of_era / 1460 + day_of_era / 36524 - day_of_era / 146096) / 365;
  const int64_t day_of_year =
      day_of_era - (365 * year_of_era + year_of_era / 4 - year_of_era / 100);
  const int64_t mp = (5 * day_of_year + 2) / 153;
  const int64_t day = day_of_year - (153 * mp + 2) / 5 + 1;
  const int64_t month = mp < 10 ? mp + 3 : mp - 9;
  const int64_t year = year_of_era + era * 400 + (month <= 2 ? 1 : 0);
  char text[96];
  std::snprintf(text, sizeof text, "%04lld-%02lld-%02lldT%02lld:%02lld:%02lld.%06lluZ",
                static_cast<long long>(year), static_cast<long long>(month),
                static_cast<long long>(day), static_cast<long long>(in_day / 3600),
                static_cast<long long>(in_day / 60 % 60), static_cast<long long>(in_day % 60),
                static_cast<unsigned long long>(micros % 1000000));
  return text;
}

std::string DiscoQueryXml(std::string_view to, std::string_view id, std::string_view node) {
  std::string xml = "<iq type='get' to='" + EscapeXml(to) + "' id='" + EscapeXml(id) +
                    "'><query xmlns='" + kDiscoInfoNamespace + "'";
  if (!node.empty()) xml += " node='" + EscapeXml(node) + "'";
  return xml + "/></iq>";
}

std::string ArchiveQueryXml(std::string_view id, uint64_t start_us, std::string_view after) {
  std::string xml = "<iq type='set' id='" + EscapeXml(id) + "'><query xmlns='" +
                    std::string(kMamNamespace) + "' queryid='" + EscapeXml(id) +
                    "'><x xmlns='jabber:x:data' type='submit'>"
                    "<field var='FORM_TYPE' type='hidden'><value>" +
                    kMamNamespace + "</value></field><field var='start'><value>" +
                    FormatStamp(start_us) + "</value></field></x><set xmlns='" + kRsmNamespace +
                    "'><max>" + std::to_string(kArchivePage) + "</max>";
  if (!after.empty()) xml += "<after>" + EscapeXml(after) + "</after>";
  return xml + "</set></query></iq>";
}

}  // namespace tessaro::host
