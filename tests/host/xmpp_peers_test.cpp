// Finding the peer's Tessaro without a network: capabilities' ver, what a
// feature list says, archive results and ends judged.
#include "host/xmpp_peers.h"

#include <gtest/gtest.h>

namespace tessaro::host {
namespace {

TEST(XmppPeersTest, CapsVerIsTheXepsHashAndRefusesDuplicates) {
  // The simple example of XEP-0115, section 5.2.
  const DiscoInfo example{
      {{"client", "pc", "", "Exodus 0.9.1"}},
      {"http://jabber.org/protocol/caps", "http://jabber.org/protocol/disco#info",
       "http://jabber.org/protocol/disco#items", "http://jabber.org/protocol/muc"}};
  EXPECT_EQ(CapsVer(example), "QgayPKawpkPSDYmwT/WM94uAlu0=");
  DiscoInfo shuffled = example;
  std::swap(shuffled.features[0], shuffled.features[3]);
  EXPECT_EQ(CapsVer(shuffled), CapsVer(example));
  DiscoInfo twice = example;
  twice.features.push_back(example.features[1]);
  EXPECT_EQ(CapsVer(twice), "");
  EXPECT_NE(CapsVer(HostDiscoInfo(1)), CapsVer(HostDiscoInfo(2)));
  IncomingPresence presence{"bob@localhost/x", "", true, "sha-1", kCapsNode, CapsVer(example), ""};
  EXPECT_EQ(UsableCapsVer(presence), CapsVer(example));
  presence.caps_hash = "md5";
  EXPECT_EQ(UsableCapsVer(presence), "");
}

TEST(XmppPeersTest, TheGameIsTheLinkFeatureOfOurVersionOrAnother) {
  struct Case {
    std::vector<std::string> features;
    PeerGame::Kind kind;
    int version;
  };
  const Case cases[] = {
      {{}, PeerGame::Kind::kNone, 0},
      {{"urn:xmpp:receipts", "urn:tessaro:link:"}, PeerGame::Kind::kNone, 0},
      {{"urn:tessaro:link:01", "urn:tessaro:link:-2", "urn:tessaro:link:1x"},
       PeerGame::Kind::kNone,
       0},
      {{"urn:tessaro:link:1"}, PeerGame::Kind::kSame, kLinkVersion},
      {{"urn:tessaro:link:3", "urn:tessaro:link:2"}, PeerGame::Kind::kOther, 3},
      {{"urn:tessaro:link:2", "urn:tessaro:link:1"}, PeerGame::Kind::kSame, kLinkVersion},
  };
  for (const Case& c : cases) {
    const PeerGame game = GameOf(c.features);
    EXPECT_EQ(game.kind, c.kind) << testing::PrintToString(c.features);
    EXPECT_EQ(game.version, c.version) << testing::PrintToString(c.features);
  }
}

TEST(XmppPeersTest, ArchiveResultsAreTakenOnlyFromTheAccountForThisHost) {
  const std::string own = "alice@localhost/tessaro-1";
  // Copied from strings, not literals: GCC 12 at -O2 takes a literal assigned
  // here for an overlapping copy (-Wrestrict).
  const std::string text = "#RQ", seq = "3", epoch = "9";
  const auto game = [&](std::string from, std::string id) {
    IncomingStanza s;
    s.from = std::move(from);
    s.type = "chat";
    s.id = std::move(id);
    s.has_game = true;
    s.game_text = text;
    s.seq = seq;
    s.epoch = epoch;
    return s;
  };
  IncomingStanza ack;
  ack.from = "alice@localhost/tessaro-2";
  ack.has_ack = true;
  ack.ack_id = "m1";
  ack.epoch = "9";
  using Kind = ParsedArchived::Kind;
  struct Case {
    const char* name;
    IncomingArchived item;
    Kind kind;
    const char* reason;  // part of it
  };
  const Case cases[] = {
      {"to this host", {"", "q", "a1", own, game("bob@localhost/p", "m1")}, Kind::kForUs, ""},
      {"to the bare address",
       {"alice@localhost", "q", "a2", "alice@localhost", game("bob@localhost/p", "m2")},
       Kind::kForUs,
       ""},
      {"to another host",
       {"", "q", "a3", "alice@localhost/tessaro-2", game("bob@localhost/p", "m3")},
       Kind::kIgnore,
       "another host"},
      {"to another account",
       {"", "q", "a4", "carol@localhost", game("bob@localhost/p", "m4")},
       Kind::kIgnore,
       "not this account"},
      {"from a stranger's server",
       {"bob@localhost/p", "q", "a5", own, game("bob@localhost/p", "m5")},
       Kind::kIgnore,
       "not from this account"},
      {"another query",
       {"", "other", "a6", own, game("bob@localhost/p", "m6")},
       Kind::kIgnore,
       "not asked"},
      {"no archive id",
       {"", "q", "", own, game("bob@localhost/p", "m7")},
       Kind::kIgnore,
       "usable id"},
      {"an ack of another host", {"", "q", "a8", "bob@localhost/p", ack}, Kind::kOwnAck, ""},
      {"sent by this account",
       {"", "q", "a9", "bob@localhost", game(own, "m9")},
       Kind::kIgnore,
       ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const ParsedArchived parsed = ParseArchived(c.item, own, "q");
    EXPECT_EQ(parsed.kind, c.kind);
    EXPECT_NE(parsed.reason.find(c.reason), std::string::npos) << parsed.reason;
    if (c.kind == Kind::kOwnAck) {
      EXPECT_EQ(parsed.peer, "bob@localhost");
    }
  }
  struct End {
    IncomingArchiveEnd end;
    bool ok, complete;
    const char* last;
  };
  const End ends[] = {
      {{"", "q", "result", true, "true", "a9"}, true, true, ""},
      {{"alice@localhost", "q", "result", true, "false", "a9"}, true, false, "a9"},
      {{"", "q", "result", true, "false", ""}, true, true, ""},
      {{"", "q", "error", false, "", ""}, false, true, ""},
      {{"", "q", "result", false, "", ""}, false, true, ""},
      {{"bob@localhost", "q", "result", true, "false", "a9"}, false, true, ""},
  };
  for (const End& e : ends) {
    const ParsedArchiveEnd parsed = ParseArchiveEnd(e.end, "alice@localhost");
    EXPECT_EQ(parsed.ok, e.ok) << parsed.reason;
    EXPECT_EQ(parsed.complete, e.complete) << e.end.from << e.end.complete;
    EXPECT_EQ(parsed.last, e.last);
  }
}

TEST(XmppPeersTest, StampsWrittenAreReadBackAndQueriesAreEscaped) {
  for (uint64_t at : {uint64_t{0}, uint64_t{951782400000001}, uint64_t{1765359681123456},
                      uint64_t{4102444799999999}}) {
    EXPECT_EQ(ParseStamp(FormatStamp(at)), at) << FormatStamp(at);
  }
  EXPECT_EQ(FormatStamp(951782400000001), "2000-02-29T00:00:00.000001Z");
  EXPECT_EQ(DiscoQueryXml("a@b/x'<", "disco-1", ""),
            "<iq type='get' to='a@b/x&apos;&lt;' id='disco-1'><query "
            "xmlns='http://jabber.org/protocol/disco#info'/></iq>");
  EXPECT_NE(ArchiveQueryXml("mam-1", 0, "a&b").find("<after>a&amp;b</after>"), std::string::npos);
}

}  // namespace
}  // namespace tessaro::host
