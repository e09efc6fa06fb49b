// The XMPP transport on its own: stanzas judged without a network, and two bare
// transports talking through a local server.
#include "host/xmpp_transport.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "host/xmpp_stanza.h"
#include "xmpp_fixture.h"

namespace tessaro::host::testing {
namespace {

using ::testing::HasSubstr;
using Kind = ParsedStanza::Kind;

IncomingStanza Game(std::string body, std::string seq = "1") {
  IncomingStanza s;
  s.from = "Alice@Localhost/res";
  s.type = "chat";
  s.id = "abc";
  s.has_body = true;
  s.body = std::move(body);
  s.wants_receipt = true;
  s.has_seq = true;
  s.seq = std::move(seq);
  s.epoch = "77";
  return s;
}

TEST(ParseStanzaTest, JudgesEachKindOfStanza) {
  struct Case {
    const char* name;
    IncomingStanza stanza;
    Kind kind;
    const char* reason;  // part of the reason when ignored
  };
  IncomingStanza no_body = Game("x");
  no_body.has_body = false;
  IncomingStanza error = Game("x");
  error.type = "error";
  IncomingStanza stranger_form = Game("x");
  stranger_form.from = "localhost";
  IncomingStanza receipt;
  receipt.from = "bob@localhost/r";
  receipt.has_receipt = true;
  receipt.receipt_for = "abc";
  IncomingStanza empty_receipt = receipt;
  empty_receipt.receipt_for.clear();
  IncomingStanza no_id = Game("x");
  no_id.id.clear();
  IncomingStanza plain = Game("hello");
  plain.has_seq = false;
  plain.wants_receipt = false;
  plain.id.clear();
  IncomingStanza bad_epoch = Game("x");
  bad_epoch.epoch = "1e5";
  const std::vector<Case> cases = {
      {"game message", Game("#RQ"), Kind::kMessage, ""},
      {"plain chat without id", plain, Kind::kMessage, ""},
      {"largest body", Game(std::string(kMaxBodyBytes, 'a')), Kind::kMessage, ""},
      {"body too long", Game(std::string(kMaxBodyBytes + 1, 'a')), Kind::kIgnore, "bytes"},
      {"no body", no_body, Kind::kIgnore, "without a body"},
      {"error", error, Kind::kIgnore, "error"},
      {"from the server", stranger_form, Kind::kIgnore, "not an address"},
      {"receipt", receipt, Kind::kReceipt, ""},
      {"receipt without id", empty_receipt, Kind::kIgnore, "receipt"},
      {"sequenced without id", no_id, Kind::kIgnore, "without an id"},
      {"seq zero", Game("x", "0"), Kind::kIgnore, "sequence"},
      {"seq negative", Game("x", "-1"), Kind::kIgnore, "sequence"},
      {"seq not a number", Game("x", "1x"), Kind::kIgnore, "sequence"},
      {"seq overflow", Game("x", "99999999999999999999"), Kind::kIgnore, "sequence"},
      {"epoch not a number", bad_epoch, Kind::kIgnore, "sequence"},
  };
  for (const Case& c : cases) {
    const ParsedStanza parsed = ParseStanza(c.stanza);
    EXPECT_EQ(parsed.kind, c.kind) << c.name;
    EXPECT_THAT(parsed.reason, HasSubstr(c.reason)) << c.name;
  }
  const ParsedStanza game = ParseStanza(Game("#RQ", "17"));
  EXPECT_EQ(game.from, "alice@localhost");
  EXPECT_EQ(game.seq, 17u);
  EXPECT_EQ(game.epoch, 77u);
  EXPECT_TRUE(game.wants_receipt);
}

TEST(ParseStanzaTest, SendableTextIsValidUtf8WithoutForbiddenControls) {
  const std::vector<std::pair<std::string, bool>> cases = {
      {"#RQ 7 h8", true},
      {"tab\tnew\nline\r", true},
      {"\xc3\xa9t\xc3\xa9", true},
      {"\xf0\x9f\x99\x82", true},
      {"", true},
      {std::string("a\0b", 3), false},
      {"bell\x07", false},
      {"\xc3", false},
      {"\xc0\xaf", false},
      {"\xed\xa0\x80", false},
      {"\xef\xbf\xbe", false},
      {"\xff", false},
  };
  for (const auto& [text, sendable] : cases)
    EXPECT_EQ(IsSendableText(text), sendable) << text;
}

class XmppTransportTest : public XmppTest {};

TEST_F(XmppTransportTest, CarriesMessagesInOrderWithTheirMarks) {
  RecordingListener alice_seen, bob_seen;
  XmppTransport alice(Account("alice"), alice_seen);
  XmppTransport bob(Account("bob"), bob_seen);
  alice.Start();
  bob.Start();
  ASSERT_TRUE(WaitUntil([&] { return alice.online() && bob.online(); }));
  constexpr int kCount = 200;
  for (int i = 1; i <= kCount; ++i)
    alice.Send({"bob@localhost", "id" + std::to_string(i), "text <&> " + std::to_string(i),
                static_cast<uint64_t>(i), 5});
  ASSERT_TRUE(WaitUntil([&] { return bob_seen.MessageCount() >= kCount; }));
  {
    std::lock_guard<std::mutex> lock(bob_seen.mutex);
    ASSERT_EQ(bob_seen.messages.size(), static_cast<std::size_t>(kCount));
    for (int i = 1; i <= kCount; ++i) {
      const ParsedStanza parsed = ParseStanza(bob_seen.messages[i - 1]);
      ASSERT_EQ(parsed.kind, Kind::kMessage) << parsed.reason;
      EXPECT_EQ(parsed.from, "alice@localhost");
      EXPECT_EQ(parsed.body, "text <&> " + std::to_string(i));
      EXPECT_EQ(parsed.seq, static_cast<uint64_t>(i));
      EXPECT_EQ(parsed.epoch, 5u);
      EXPECT_TRUE(parsed.wants_receipt);
    }
    bob.SendReceipt(bob_seen.messages[0].from, "id1");
  }
  ASSERT_TRUE(WaitUntil([&] { return alice_seen.MessageCount() >= 1; }));
  std::lock_guard<std::mutex> lock(alice_seen.mutex);
  const ParsedStanza receipt = ParseStanza(alice_seen.messages[0]);
  EXPECT_EQ(receipt.kind, Kind::kReceipt);
  EXPECT_EQ(receipt.id, "id1");
  EXPECT_EQ(receipt.from, "bob@localhost");
}

// A host that quits right after storing a message still sends its receipt:
// what was handed over before the stop goes out before the logout.
TEST_F(XmppTransportTest, WorkHandedOverBeforeTheStopStillGoesOut) {
  RecordingListener alice_seen, bob_seen;
  XmppTransport bob(Account("bob"), bob_seen);
  bob.Start();
  {
    XmppTransport alice(Account("alice"), alice_seen);
    alice.Start();
    ASSERT_TRUE(WaitUntil([&] { return alice.online() && bob.online(); }));
    for (int i = 1; i <= 50; ++i)
      alice.Send({"bob@localhost", "id" + std::to_string(i), "last words", 0, 0});
  }
  EXPECT_TRUE(WaitUntil([&] { return bob_seen.MessageCount() >= 50; }))
      << bob_seen.MessageCount() << " of 50 arrived";
}

TEST_F(XmppTransportTest, ReconnectsAfterTheServerComesBack) {
  RecordingListener seen;
  XmppTransport alice(Account("alice"), seen);
  alice.Start();
  ASSERT_TRUE(WaitUntil([&] { return alice.online(); }));
  server->Kill();
  ASSERT_TRUE(WaitUntil([&] { return !alice.online(); }));
  std::string error;
  ASSERT_TRUE(server->Start(&error)) << error;
  ASSERT_TRUE(WaitUntil([&] { return alice.online(); }));
  std::lock_guard<std::mutex> lock(seen.mutex);
  EXPECT_EQ(seen.states.front(), LinkState::kConnecting);
  EXPECT_EQ(std::count(seen.states.begin(), seen.states.end(), LinkState::kOnline), 2);
  EXPECT_EQ(seen.states.back(), LinkState::kOnline);
}

}  // namespace
}  // namespace tessaro::host::testing
