// The XMPP transport on its own: stanzas judged without a network, and two bare
// transports talking through a local server.
#include "host/xmpp_transport.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "host/xmpp_stanza.h"
#include "xmpp_fixture.h"

namespace tessaro::host::testing {
namespace {

using ::testing::HasSubstr;
using Kind = ParsedStanza::Kind;

IncomingStanza Game(std::string text, std::string seq = "1") {
  IncomingStanza s;
  s.from = "Alice@Localhost/res";
  s.type = "chat";
  s.id = "abc";
  s.has_game = true;
  s.game_text = std::move(text);
  s.seq = std::move(seq);
  s.epoch = "77";
  return s;
}

IncomingStanza Notice(bool IncomingStanza::*kind) {
  IncomingStanza s;
  s.from = "bob@localhost/r";
  s.*kind = true;
  s.epoch = "77";
  s.ack_id = "abc";
  s.first = "5";
  s.last = "7";
  return s;
}

template <typename Field>
IncomingStanza With(IncomingStanza s, Field IncomingStanza::*field, Field value) {
  s.*field = std::move(value);
  return s;
}

TEST(ParseStanzaTest, JudgesEachKindOfStanza) {
  struct Case {
    const char* name;
    IncomingStanza stanza;
    Kind kind;
    const char* reason;  // part of the reason when ignored
  };
  IncomingStanza plain;
  plain.from = "carol@localhost/phone";
  plain.type = "chat";
  plain.has_body = true;
  plain.body = "hello";
  const IncomingStanza ack = Notice(&IncomingStanza::has_ack);
  const IncomingStanza missing = Notice(&IncomingStanza::has_missing);
  const IncomingStanza gone = Notice(&IncomingStanza::has_gone);
  using S = IncomingStanza;
  const std::vector<Case> cases = {
      {"game message", Game("#RQ"), Kind::kMessage, ""},
      {"empty game text", Game(""), Kind::kMessage, ""},
      {"largest text", Game(std::string(kMaxBodyBytes, 'a')), Kind::kMessage, ""},
      {"text too long", Game(std::string(kMaxBodyBytes + 1, 'a')), Kind::kIgnore, "bytes"},
      {"game and a body", With(Game("#RQ"), &S::has_body, true), Kind::kMessage, ""},
      {"error", With(Game("x"), &S::type, std::string("error")), Kind::kIgnore, "error"},
      {"headline", With(Game("x"), &S::type, std::string("headline")), Kind::kIgnore, "headline"},
      {"from the server", With(Game("x"), &S::from, std::string("localhost")), Kind::kIgnore,
       "not an address"},
      {"game without id", With(Game("x"), &S::id, std::string()), Kind::kIgnore, "without an id"},
      {"seq zero", Game("x", "0"), Kind::kIgnore, "sequence"},
      {"seq negative", Game("x", "-1"), Kind::kIgnore, "sequence"},
      {"seq not a number", Game("x", "1x"), Kind::kIgnore, "sequence"},
      {"seq overflow", Game("x", "99999999999999999999"), Kind::kIgnore, "sequence"},
      {"seq beyond what the profile keeps", Game("x", "9223372036854775808"), Kind::kIgnore,
       "sequence"},
      {"largest seq", Game("x", "9223372036854775807"), Kind::kMessage, ""},
      {"epoch not a number", With(Game("x"), &S::epoch, std::string("1e5")), Kind::kIgnore,
       "epoch"},
      {"bad delay stamp", With(Game("x"), &S::delay_stamp, std::string("yesterday")), Kind::kIgnore,
       "stamp"},
      {"plain chat without id", plain, Kind::kMessage, ""},
      {"plain chat asking a receipt without id", With(plain, &S::wants_receipt, true),
       Kind::kIgnore, "without an id"},
      {"no body, no game", With(plain, &S::has_body, false), Kind::kIgnore, "without a body"},
      {"delivery receipt", With(With(plain, &S::has_body, false), &S::has_receipt, true),
       Kind::kIgnore, "receipt"},
      {"ack", ack, Kind::kAck, ""},
      {"ack of a range only",
       With(With(ack, &S::ack_id, std::string()), &S::upto, std::string("16")), Kind::kAck, ""},
      {"ack of nothing", With(ack, &S::ack_id, std::string()), Kind::kIgnore, "nothing"},
      {"ack with a bad range", With(ack, &S::upto, std::string("x")), Kind::kIgnore, "range"},
      {"ack without epoch", With(ack, &S::epoch, std::string()), Kind::kIgnore, "epoch"},
      {"missing", missing, Kind::kMissing, ""},
      {"gone", gone, Kind::kGone, ""},
      {"missing from zero", With(missing, &S::first, std::string("0")), Kind::kIgnore, "range"},
      {"gone backwards", With(gone, &S::last, std::string("4")), Kind::kIgnore, "range"},
  };
  for (const Case& c : cases) {
    const ParsedStanza parsed = ParseStanza(c.stanza);
    EXPECT_EQ(parsed.kind, c.kind) << c.name;
    EXPECT_THAT(parsed.reason, HasSubstr(c.reason)) << c.name;
  }
  const ParsedStanza game =
      ParseStanza(With(Game("#RQ", "17"), &S::delay_stamp, std::string("1970-01-02T00:00:01.5Z")));
  EXPECT_EQ(game.from, "alice@localhost");
  EXPECT_EQ(game.body, "#RQ");
  EXPECT_EQ(game.seq, 17u);
  EXPECT_EQ(game.epoch, 77u);
  EXPECT_EQ(game.sent_at, std::optional<uint64_t>(86'401'500'000));
  const ParsedStanza range = ParseStanza(missing);
  EXPECT_EQ(range.first, 5u);
  EXPECT_EQ(range.last, 7u);
}

TEST(ParseStanzaTest, ReadsDelayStampsInAnyZone) {
  const std::vector<std::pair<std::string, std::optional<uint64_t>>> cases = {
      {"1970-01-01T00:00:00Z", 0},
      {"2002-09-10T23:08:25Z", 1'031'699'305'000'000},
      {"2002-09-10T23:08:25.123456789Z", 1'031'699'305'123'456},
      {"2002-09-11T01:38:25+02:30", 1'031'699'305'000'000},
      {"2002-09-10T20:08:25-03:00", 1'031'699'305'000'000},
      {"2000-02-29T00:00:00Z", 951'782'400'000'000},
      {"1969-12-31T23:59:59Z", std::nullopt},
      {"2001-02-29T00:00:00Z", std::nullopt},
      {"2002-13-10T23:08:25Z", std::nullopt},
      {"2002-09-10T24:08:25Z", std::nullopt},
      {"2002-09-10T23:08:25", std::nullopt},
      {"2002-09-10T23:08:25.Z", std::nullopt},
      {"2002-09-10 23:08:25Z", std::nullopt},
      {"2002-09-10T23:08:25+2:00", std::nullopt},
      {"2002-09-10T23:08:25Zjunk", std::nullopt},
      {"", std::nullopt},
  };
  for (const auto& [stamp, micros] : cases)
    EXPECT_EQ(ParseStamp(stamp), micros) << stamp;
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
  XmppTransport alice(Account("alice"), alice_seen, true);
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
      const IncomingStanza& stanza = bob_seen.messages[i - 1];
      EXPECT_FALSE(stanza.has_body || stanza.wants_receipt);
      const ParsedStanza parsed = ParseStanza(stanza);
      ASSERT_EQ(parsed.kind, Kind::kMessage) << parsed.reason;
      EXPECT_EQ(parsed.from, "alice@localhost");
      EXPECT_EQ(parsed.body, "text <&> " + std::to_string(i));
      EXPECT_EQ(parsed.seq, static_cast<uint64_t>(i));
      EXPECT_EQ(parsed.epoch, 5u);
    }
    using K = LinkNotice::Kind;
    const std::string to = bob_seen.messages[0].from;
    // Acknowledgements in quick succession fold into the last, except one
    // whose message lies beyond its `upto`: a later one cannot confirm it.
    bob.SendNotice({K::kAck, to, "id0", 5, 0, 15, true});
    bob.SendNotice({K::kAck, to, "id1", 5, 0, 16, false});
    bob.SendNotice({K::kAck, to, "id2", 5, 0, 16, true});
    bob.SendNotice({K::kMissing, to, {}, 5, 3, 4, false});
    bob.SendNotice({K::kGone, to, {}, 5, 3, 3, false});
    bob.SendNotice({K::kAck, to, "id3", 5, 0, 17, true});
  }
  ASSERT_TRUE(WaitUntil([&] { return alice_seen.MessageCount() >= 5; }));
  std::lock_guard<std::mutex> lock(alice_seen.mutex);
  ASSERT_EQ(alice_seen.messages.size(), 5u);
  const struct {
    Kind kind;
    std::string id;
    uint64_t upto;
  } expected[] = {{Kind::kAck, "id1", 16},
                  {Kind::kAck, "id2", 16},
                  {Kind::kMissing, {}, 0},
                  {Kind::kGone, {}, 0},
                  {Kind::kAck, "id3", 17}};
  for (size_t i = 0; i < std::size(expected); ++i) {
    const ParsedStanza notice = ParseStanza(alice_seen.messages[i]);
    EXPECT_EQ(notice.kind, expected[i].kind) << i;
    EXPECT_EQ(notice.id, expected[i].id) << i;
    EXPECT_EQ(notice.from, "bob@localhost") << i;
    EXPECT_EQ(notice.epoch, 5u) << i;
    if (expected[i].kind == Kind::kAck) {
      EXPECT_EQ(notice.upto, expected[i].upto) << i;
    }
  }
  const ParsedStanza missing = ParseStanza(alice_seen.messages[2]);
  EXPECT_EQ(missing.first, 3u);
  EXPECT_EQ(missing.last, 4u);
}

// Only the transport of a host advertises the game in its presence's
// capabilities: the account's other client (a phone) advertises a phone's.
// Each sees both presences.
TEST_F(XmppTransportTest, APresenceTellsAHostFromAnotherClient) {
  RecordingListener host_seen, phone_seen;
  XmppTransport host(Account("alice"), host_seen, true);
  XmppTransport phone(Account("alice"), phone_seen);
  host.Start();
  phone.Start();
  const auto available = [](RecordingListener& listener) {
    std::lock_guard<std::mutex> lock(listener.mutex);
    std::set<std::string> seen(listener.presences.begin(), listener.presences.end());
    return seen;
  };
  ASSERT_TRUE(WaitUntil(
      [&] { return available(host_seen).size() >= 2 && available(phone_seen).size() >= 2; }));
  for (RecordingListener* seen : {&host_seen, &phone_seen}) {
    const std::set<std::string> presences = available(*seen);
    ASSERT_EQ(presences.size(), 2u);
    EXPECT_EQ(std::count_if(presences.begin(), presences.end(),
                            [](const std::string& p) {
                              return p.ends_with("  " + CapsVer(HostDiscoInfo()));
                            }),
              1);
  }
  EXPECT_EQ(available(host_seen), available(phone_seen));
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
  // online() turns true on the network thread a moment before the listener
  // hears of it: wait for what the listener was told, which is what is checked.
  ASSERT_TRUE(WaitUntil([&] {
    std::lock_guard<std::mutex> lock(seen.mutex);
    return std::count(seen.states.begin(), seen.states.end(), LinkState::kOnline) == 2;
  }));
  std::lock_guard<std::mutex> lock(seen.mutex);
  EXPECT_EQ(seen.states.front(), LinkState::kConnecting);
  EXPECT_EQ(std::count(seen.states.begin(), seen.states.end(), LinkState::kOnline), 2);
  EXPECT_EQ(seen.states.back(), LinkState::kOnline);
}

// Each refused connection says why in plain words; what only the player can
// change (a certificate, the password, a server without encryption) is not
// tried again for minutes. A certificate is trusted by its fingerprint as
// openssl prints it, and another one is refused as changed.
TEST_F(XmppTransportTest, ARefusedConnectionSaysWhy) {
  const std::string& dir = folder.path();
  std::string error;
  struct Made {
    const char* name;
    const char* host;
    int days;
    bool self_signed;
  };
  for (const Made& m :
       {Made{"self", "localhost", 30, true}, Made{"self2", "localhost", 30, true},
        Made{"expired", "localhost", -1, false}, Made{"other", "example.org", 30, false},
        Made{"good", "localhost", 30, false}}) {
    ASSERT_TRUE(MakeCertificate(dir, m.name, m.host, m.days, m.self_signed, &error)) << error;
  }
  const std::optional<CertificateInfo> self =
      ReadTrustedCertificate(ReadWhole(dir + "/self.fp"), &error);
  ASSERT_TRUE(self) << error;

  struct Case {
    const char* name;
    const char* certificate;  // "": no TLS; nullptr: the server is down
    bool ca;                  // the test CA is added
    const char* trusted;      // the fingerprint the player trusts
    const char* password;
    Refusal refusal;
    const char* words;  // part of the state's detail; nullptr: online
  };
  const std::string fingerprint = self->fingerprint;
  // libstrophe writes "No certfail handler set" when nobody checks certificates.
  ::testing::internal::CaptureStderr();
  const Case cases[] = {
      {"self-signed", "self", false, "", "pw", Refusal::kSelfSigned,
       "the server's certificate is self-signed"},
      {"self-signed and trusted", "self", false, fingerprint.c_str(), "pw", Refusal::kNone,
       nullptr},
      {"changed since trusted", "self2", false, fingerprint.c_str(), "pw", Refusal::kChanged,
       "changed since you trusted it"},
      {"expired", "expired", true, "", "pw", Refusal::kExpired, "certificate has expired"},
      {"for another name", "other", true, "", "pw", Refusal::kOtherName,
       "certificate is for example.org, not for localhost"},
      {"signed by the added CA", "good", true, "", "pw", Refusal::kNone, nullptr},
      {"signed by an unknown CA", "good", false, "", "pw", Refusal::kUntrusted,
       "not vouched for by an authority"},
      {"password refused", "good", true, "", "wrong", Refusal::kPassword, "refused the password"},
      {"no TLS offered", "", false, "", "pw", Refusal::kNoEncryption, "offers no encryption"},
      {"server down", nullptr, false, "", "pw", Refusal::kUnreachable,
       "cannot be reached (Connection refused)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    server->Stop();
    if (c.certificate != nullptr) {
      const std::string base = *c.certificate != '\0' ? dir + "/" + c.certificate : "";
      ASSERT_TRUE(server->UseCertificate(base.empty() ? "" : base + ".pem",
                                         base.empty() ? "" : base + ".key", &error));
      ASSERT_TRUE(server->Start(&error)) << error;
    }
    XmppAccount account = Account("alice");
    account.password = c.password;
    account.require_tls = true;
    account.ca_file = c.ca ? dir + "/ca.pem" : "";
    account.trusted_certificate = c.trusted;
    RecordingListener seen;
    XmppTransport alice(account, seen);
    alice.Start();
    // The problem is reported just before the state that waits for the next attempt.
    ASSERT_TRUE(WaitUntil([&] {
      std::lock_guard<std::mutex> lock(seen.mutex);
      return alice.online() || (!seen.states.empty() && seen.states.back() == LinkState::kWaiting);
    }));
    std::lock_guard<std::mutex> lock(seen.mutex);
    if (c.words == nullptr) {
      EXPECT_TRUE(seen.problems.empty());
      continue;
    }
    EXPECT_EQ(seen.problems.front().refusal, c.refusal);
    ASSERT_EQ(seen.states.back(), LinkState::kWaiting);
    EXPECT_THAT(seen.details.back(), HasSubstr(c.words));
    EXPECT_THAT(seen.details.back(),
                HasSubstr(WaitsForThePlayer(c.refusal) ? "; next attempt in 5 min"
                                                       : "; next attempt in 250 ms"));
  }
  EXPECT_THAT(::testing::internal::GetCapturedStderr(), ::testing::Not(HasSubstr("certfail")));
}

// The network thread sleeps until the network or a Send wakes it. With TLS,
// libstrophe reads 4 KiB a turn and keeps the rest of a record it decrypted
// where the thread's poll cannot see it: a burst of messages larger than that
// must still arrive whole, at once. Neither transport ticks during the test,
// so a Send that did not wake its thread, or a message left inside TLS, would
// never arrive.
TEST_F(XmppTransportTest, ASleepingThreadSendsAtOnceAndReadsAWholeTlsBurst) {
  const std::string& dir = folder.path();
  std::string error;
  ASSERT_TRUE(MakeCertificate(dir, "good", "localhost", 30, false, &error)) << error;
  server->Stop();
  ASSERT_TRUE(server->UseCertificate(dir + "/good.pem", dir + "/good.key", &error));
  ASSERT_TRUE(server->Start(&error)) << error;
  const auto account = [&](const char* user) {
    return XmppAccount{server->Address(user), "127.0.0.1", server->port(), "pw", true,
                       dir + "/ca.pem",       ""};
  };
  constexpr auto kNoTick = std::chrono::hours(24);
  RecordingListener alice_seen, bob_seen;
  XmppTransport alice(account("alice"), alice_seen, false, kNoTick);
  XmppTransport bob(account("bob"), bob_seen, false, kNoTick);
  alice.Start();
  bob.Start();
  ASSERT_TRUE(WaitUntil([&] { return alice.online() && bob.online(); }));
  constexpr int kCount = 12;
  const auto body = [](int i) { return std::string(4500 + 1500 * i, static_cast<char>('a' + i)); };
  for (int i = 1; i <= kCount; ++i)
    alice.Send({"bob@localhost", "id" + std::to_string(i), body(i), static_cast<uint64_t>(i), 5});
  ASSERT_TRUE(WaitUntil([&] { return bob_seen.MessageCount() >= kCount; }))
      << bob_seen.MessageCount() << " of " << kCount << " arrived";
  std::lock_guard<std::mutex> lock(bob_seen.mutex);
  for (int i = 1; i <= kCount; ++i)
    EXPECT_EQ(ParseStanza(bob_seen.messages[i - 1]).body, body(i)) << i;
}

}  // namespace
}  // namespace tessaro::host::testing
