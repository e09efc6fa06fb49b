// Finding the peer's Tessaro: which resources of a contact run the game, what a
// host advertises about itself, and what it fetches from its account's message
// archive. No network and no library calls here but SHA-1: the network thread
// copies a stanza's fields into an Incoming* record and the functions below judge
// it, so a fuzzer or a test can feed them anything.
//
// Capabilities (XEP-0115). Every presence of a host carries
//   <c xmlns='http://jabber.org/protocol/caps' hash='sha-1' node='urn:tessaro' ver='…'/>
// where ver is the SHA-1 (base64) of the host's identities and features, as
// XEP-0115 computes it. The host answers service discovery (XEP-0030) with
//   <query xmlns='http://jabber.org/protocol/disco#info' [node='urn:tessaro#ver']>
//     <identity category='client' type='pc' name='Tessaro'/>
//     <feature var='http://jabber.org/protocol/disco#info'/>
//     <feature var='http://jabber.org/protocol/caps'/>
//     <feature var='urn:tessaro:link:1'/>
//   </query>
// whether it is asked with the node#ver or without a node. The feature
// urn:tessaro:link:N says that the resource runs the game's link in version N.
// A host learns what a contact's resource runs from the ver in its presence:
// a ver seen before (whose disco answer hashed to it) is known; for another ver
// it asks the resource itself and keeps the answer under that ver when it
// hashes to it. The resource's name never counts.
//
// Message archive (XEP-0313). After each login a host asks its own account's
// archive for what arrived since the last archive id it stored (the first time:
// since its profile was made), a page at a time:
//   <iq type='set' id='mam-…'><query xmlns='urn:xmpp:mam:2' queryid='mam-…'>
//     <x xmlns='jabber:x:data' type='submit'>…FORM_TYPE, start…</x>
//     <set xmlns='http://jabber.org/protocol/rsm'><max>100</max><after>…</after></set>
//   </query></iq>
// Each result comes as a message from the account's bare address wrapping the
// archived message:
//   <message><result xmlns='urn:xmpp:mam:2' queryid='mam-…' id='archive id'>
//     <forwarded xmlns='urn:xmpp:forward:0'><delay xmlns='urn:xmpp:delay' stamp='…'/>
//       <message from='bob@…/…' to='alice@…/…'>…</message></forwarded></result></message>
// and the query ends with <fin xmlns='urn:xmpp:mam:2' complete='true|false'>
// carrying the page's last id in <set><last/></set>.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "host/xmpp_stanza.h"

namespace tessaro::host {

inline constexpr char kCapsNamespace[] = "http://jabber.org/protocol/caps";
inline constexpr char kDiscoInfoNamespace[] = "http://jabber.org/protocol/disco#info";
inline constexpr char kMamNamespace[] = "urn:xmpp:mam:2";
inline constexpr char kForwardNamespace[] = "urn:xmpp:forward:0";
inline constexpr char kRsmNamespace[] = "http://jabber.org/protocol/rsm";
// The node of Tessaro's capabilities: names the program, not a resource.
inline constexpr char kCapsNode[] = "urn:tessaro";
// The version of the game's link this build speaks (kLinkNamespace ends in it).
inline constexpr int kLinkVersion = 1;
inline constexpr char kLinkFeaturePrefix[] = "urn:tessaro:link:";
// An answer larger than this is not a client's: refused.
inline constexpr std::size_t kMaxDiscoItems = 256;
inline constexpr std::size_t kMaxDiscoText = 1024;
// Archive results asked for per page.
inline constexpr int kArchivePage = 100;

// ---- What a client says it is ----

struct DiscoIdentity {
  std::string category, type, lang, name;
};
struct DiscoInfo {
  std::vector<DiscoIdentity> identities;
  std::vector<std::string> features;
};

// What this host answers: Tessaro with the link of `version`. A transport that
// is not a host (a test's other client) answers as a phone would, without it.
DiscoInfo HostDiscoInfo(int version = kLinkVersion);
DiscoInfo PhoneDiscoInfo();
std::string LinkFeature(int version);
// The ver of XEP-0115 (section 5.1, without data forms) for `info`; empty when
// `info` holds the same identity or feature twice (which the XEP forbids).
std::string CapsVer(const DiscoInfo& info);

// Whether a resource runs the game, and in which version.
struct PeerGame {
  enum class Kind : uint8_t { kNone, kSame, kOther };
  Kind kind = Kind::kNone;
  int version = 0;  // kSame: kLinkVersion; kOther: the highest other one
};
PeerGame GameOf(const std::vector<std::string>& features);

// ---- Presence ----

// The fields of a received <presence/>, as the network thread found them.
struct IncomingPresence {
  std::string from;
  std::string type;  // "" (available), "unavailable", "subscribe", ...
  bool has_caps = false;
  std::string caps_hash, caps_node, caps_ver;
  std::string status;  // the text of its <status/>: what a subscription request says
};

// The ver of a presence's capabilities when it can be looked up and checked (a
// sha-1 ver of the right form); empty: ask the resource without a node.
std::string UsableCapsVer(const IncomingPresence& presence);

// ---- Disco answers ----

struct IncomingDiscoInfo {
  std::string from;
  std::string type;  // "result" or "error"
  std::string id;
  bool has_query = false;
  std::string node;
  DiscoInfo info;
};

struct ParsedDiscoInfo {
  bool ok = false;
  std::string reason;  // !ok: why, for the log
  PeerGame game;
  std::string ver;  // CapsVer of the answer (empty when it holds duplicates)
};
ParsedDiscoInfo ParseDiscoInfo(const IncomingDiscoInfo& answer);

// ---- The archive ----

// A <message/> wrapping an archive result, as the network thread found it.
struct IncomingArchived {
  std::string from;  // the wrapping message's sender: must be the account itself
  std::string query_id;
  std::string archive_id;
  std::string to;          // the archived message's addressee
  IncomingStanza message;  // the archived message; delay_stamp: when it was archived
};

struct ParsedArchived {
  enum class Kind : uint8_t {
    kIgnore,
    kForUs,   // a message of a contact to this host (or the bare address): `stanza`
    kOwnAck,  // an acknowledgement this account sent to `peer`: another host of
              // the account took the message
  };
  Kind kind = Kind::kIgnore;
  std::string reason;  // kIgnore: why (empty: not the link's, nothing to log)
  std::string archive_id;
  std::string peer;       // kOwnAck: the contact it went to (bare)
  ParsedStanza stanza;    // kForUs: a kMessage or kAck; kOwnAck: the kAck
  std::string full_from;  // kForUs: the archived message's sender
};
// `own_full` is this host's full address, `query_id` the query asked.
ParsedArchived ParseArchived(const IncomingArchived& item, std::string_view own_full,
                             std::string_view query_id);

// The end of an archive query (the IQ's answer).
struct IncomingArchiveEnd {
  std::string from;
  std::string id;
  std::string type;  // "result" or "error"
  bool has_fin = false;
  std::string complete;  // the fin's attribute
  std::string last;      // <set><last/></set>
};
struct ParsedArchiveEnd {
  bool ok = false;
  std::string reason;
  bool complete = true;  // false: ask for the page after `last`
  std::string last;
};
ParsedArchiveEnd ParseArchiveEnd(const IncomingArchiveEnd& end, std::string_view own_bare);

// ---- What the link asks (written as XML text for XmppTransport::SendRaw) ----

std::string DiscoQueryXml(std::string_view to, std::string_view id, std::string_view node);
// Since `start_us` (microseconds since 1970) when `after` is empty, else after
// that archive id.
std::string ArchiveQueryXml(std::string_view id, uint64_t start_us, std::string_view after);
// `text` with & < > " ' written as XML entities.
std::string EscapeXml(std::string_view text);
// Microseconds since 1970 as 2026-12-10T09:41:21.123456Z.
std::string FormatStamp(uint64_t micros);

}  // namespace tessaro::host
