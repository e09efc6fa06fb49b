// The XMPP link through a local server: nothing lost, nothing twice, in order,
// across server restarts, a profile closed before its receipts came, a busy
// profile; strangers and bad stanzas reach no game. Each peer is a profile with
// its own link and its own queue, pumped by the test.
#include "host/xmpp_link.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <tuple>
#include <utility>
#include <vector>

#include "host/host.h"
#include "xmpp_fixture.h"

namespace tessaro::host::testing {
namespace {

using ::testing::Contains;
using ::testing::HasSubstr;
using ::testing::Not;

struct Peer {
  explicit Peer(std::string name) : user(std::move(name)) {}

  std::string user;
  std::string file;  // the profile's file name; empty: the user's
  std::string profile;
  ManualQueue queue;
  std::unique_ptr<Database> db;
  std::unique_ptr<XmppLink> link;
  std::vector<std::string> log;
  int added = 0;        // "DB/Event/Added" notifications
  std::size_t got = 0;  // of them, received messages
  // Each loss told: whether of sent messages, and how many were received by then.
  std::vector<std::pair<bool, std::size_t>> lost;
  std::vector<bool> other_version;  // each change told: whether another version

  // Texts received from `contact`, as stored, in order.
  std::vector<std::string> Received(HANDLE contact) const {
    std::vector<std::string> texts;
    for (const EventRecord& event : db->EventsOf(contact, ReadFilter::kAll)) {
      if ((event.flags & DBEF_SENT) == 0)
        texts.push_back(event.blob.substr(0, event.blob.size() - 1));
    }
    return texts;
  }
  bool Logged(const std::string& part) const {
    for (const std::string& line : log)
      if (line.find(part) != std::string::npos) return true;
    return false;
  }
};

// Order and duplicates without a network: stanzas fed straight to a link that
// never connects.
TEST(XmppLinkOrderTest, HandsOnInSenderOrderOncePerIdAndFollowsTheSendersEpoch) {
  std::string error;
  auto db = Database::Open("", &error);
  ASSERT_NE(db, nullptr) << error;
  HANDLE alice = db->AddContact("Alice", "ICQ", "alice@localhost");
  ManualQueue queue;
  std::vector<std::string> log, delivered;
  LinkHooks hooks;
  hooks.event_added = [&](HANDLE, HANDLE event) {
    const std::string blob = db->Event(event)->blob;
    delivered.push_back(blob.substr(0, blob.size() - 1));
  };
  hooks.log = [&](const std::string& line) { log.push_back(line); };
  XmppLink link(*db, queue, XmppAccount{"bob@localhost", "", 0, "pw", false}, hooks);
  struct Step {
    uint64_t seq, epoch;
    const char* id;
    const char* logged;                  // "": no log line
    std::vector<std::string> delivered;  // all so far
    const char* stamp = "";              // when a server kept it
  };
  const Step steps[] = {
      {3, 10, "c", "", {}},
      {1, 10, "a", "", {"a"}},
      {2, 10, "b", "", {"a", "b", "c"}},
      {2, 10, "b", "arrived again", {"a", "b", "c"}},
      {1, 9, "old", "earlier profile", {"a", "b", "c"}},
      {3, 11, "n3", "", {"a", "b", "c"}},
      {1, 11, "n1", "", {"a", "b", "c", "n1"}},
      // A newer profile again: what the last one left waiting is dropped.
      {1, 12, "x1", "", {"a", "b", "c", "n1", "x1"}},
      {2, 12, "x2", "", {"a", "b", "c", "n1", "x1", "x2"}},
      // Kept by a server since before this profile: meant for a former one, and
      // what follows it is this profile's.
      {5,
       13,
       "y5",
       "before this profile",
       {"a", "b", "c", "n1", "x1", "x2"},
       "2000-01-01T00:00:00Z"},
      {6, 13, "y6", "", {"a", "b", "c", "n1", "x1", "x2", "y6"}},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.id);
    log.clear();
    IncomingStanza stanza;
    stanza.from = "alice@localhost/r";
    stanza.type = "chat";
    stanza.id = step.id;
    stanza.has_game = true;
    stanza.game_text = step.id;
    stanza.seq = std::to_string(step.seq);
    stanza.epoch = std::to_string(step.epoch);
    stanza.delay_stamp = step.stamp;
    link.HandleStanza(stanza);
    EXPECT_EQ(delivered, step.delivered);
    if (*step.logged == '\0') {
      EXPECT_TRUE(log.empty()) << log.front();
    } else {
      ASSERT_EQ(log.size(), 1u);
      EXPECT_THAT(log[0], HasSubstr(step.logged));
    }
  }
  EXPECT_TRUE(db->ContactsWithHeld().empty());
  EXPECT_EQ(db->Inbound(alice).next, 7u);
}

class XmppLinkTest : public XmppTest {
 protected:
  // Opens (or reopens) the peer's profile with the given contacts and starts its link.
  void Open(Peer& peer, const std::vector<std::string>& contacts, bool start = true) {
    std::string error;
    peer.profile = folder.path() + "/" + (peer.file.empty() ? peer.user : peer.file) + ".db";
    peer.db = Database::Open(peer.profile, &error);
    ASSERT_NE(peer.db, nullptr) << error;
    for (const std::string& contact : contacts) {
      if (peer.db->ContactByAddress(Address(contact)) == nullptr)
        peer.db->AddContact(contact, "ICQ", Address(contact));
    }
    LinkHooks hooks;
    hooks.event_added = [&peer](HANDLE, HANDLE event) {
      ++peer.added;
      if ((peer.db->Event(event)->flags & DBEF_SENT) == 0) ++peer.got;
    };
    hooks.log = [&peer](const std::string& line) { peer.log.push_back(line); };
    hooks.messages_lost = [&peer](HANDLE, bool sent) { peer.lost.emplace_back(sent, peer.got); };
    hooks.peer_version = [&peer](HANDLE, bool other) { peer.other_version.push_back(other); };
    peer.link = std::make_unique<XmppLink>(*peer.db, peer.queue, Account(peer.user), hooks);
    if (start) peer.link->Start();
  }
  void Close(Peer& peer) {
    peer.link.reset();
    peer.db.reset();
  }
  HANDLE ContactOf(Peer& peer, const std::string& user) {
    return peer.db->ContactByAddress(Address(user));
  }
  // A few tasks of each peer at a time, so that conditions are looked at often.
  void Pump() {
    for (Peer* peer : {&alice, &bob, &second}) {
      for (int i = 0; i < 200 && peer->queue.RunOne(); ++i) {
      }
    }
  }
  bool PumpUntil(const std::function<bool()>& condition) {
    return WaitUntil(condition, [this] { Pump(); });
  }
  // Both online, each seeing the other online.
  void Connect() {
    Open(alice, {"bob"});
    Open(bob, {"alice"});
    ASSERT_TRUE(PumpUntil([&] {
      return alice.link->IsOnline(ContactOf(alice, "bob")) &&
             bob.link->IsOnline(ContactOf(bob, "alice"));
    }));
  }
  static std::vector<std::string> Numbered(const std::string& prefix, int from, int to) {
    std::vector<std::string> texts;
    for (int i = from; i <= to; ++i)
      texts.push_back(prefix + std::to_string(i));
    return texts;
  }
  // What this test's prosody keeps in the user's archive, as it stores it.
  std::string ArchiveOf(const std::string& user) const {
    return ReadWhole(folder.path() + "/server/data/localhost/archive/" + User(user) + ".list");
  }
  void SendAll(Peer& from, const std::string& to, const std::vector<std::string>& texts) {
    for (const std::string& text : texts)
      ASSERT_TRUE(from.link->Send(ContactOf(from, to), text));
  }

  Peer alice{"alice"};
  Peer bob{"bob"};
  Peer second{"alice"};  // another host of Alice's account, when a test opens it
};

// What depends on how a server stores, hands out and archives messages no
// ordinary client can show, and on how it treats the other clients of an
// account, is played on prosody and on ejabberd.
class XmppLinkOnEachServer : public XmppLinkTest,
                             public ::testing::WithParamInterface<LocalXmppServer::Software> {
 protected:
  Software software() const override { return GetParam(); }
};

INSTANTIATE_TEST_SUITE_P(Servers, XmppLinkOnEachServer,
                         ::testing::Values(LocalXmppServer::Software::kProsody,
                                           LocalXmppServer::Software::kEjabberd),
                         ServerName);

TEST_F(XmppLinkTest, BothWaysInOrderAndEveryReceiptArrives) {
  Connect();
  const auto to_bob = Numbered("a", 1, 100);
  const auto to_alice = Numbered("b", 1, 100);
  for (int i = 0; i < 100; ++i) {
    ASSERT_TRUE(alice.link->Send(ContactOf(alice, "bob"), to_bob[i]));
    ASSERT_TRUE(bob.link->Send(ContactOf(bob, "alice"), to_alice[i]));
  }
  ASSERT_TRUE(PumpUntil([&] {
    return bob.got >= 100 && alice.got >= 100 && alice.db->Outbox().empty() &&
           bob.db->Outbox().empty();
  }));
  EXPECT_EQ(bob.Received(ContactOf(bob, "alice")), to_bob);
  EXPECT_EQ(alice.Received(ContactOf(alice, "bob")), to_alice);
  // Each side: 100 sent and 100 received events, each notified once.
  EXPECT_EQ(alice.added, 200);
  EXPECT_EQ(bob.added, 200);
  // Texts that cannot travel are refused, and nothing is stored for them.
  EXPECT_FALSE(alice.link->Send(ContactOf(alice, "bob"), std::string(kMaxBodyBytes + 1, 'x')));
  EXPECT_FALSE(alice.link->Send(ContactOf(alice, "bob"), "bell\x07"));
  EXPECT_EQ(alice.db->EventsOf(ContactOf(alice, "bob"), ReadFilter::kAll).size(), 200u);
}

TEST_F(XmppLinkTest, ServerKilledOrStoppedDuringABurstLosesAndDoublesNothing) {
  Connect();
  struct Case {
    const char* name;
    void (LocalXmppServer::*down)();
    std::size_t lines;
  };
  // A killed server drops what is in flight; a stopped one ends the streams first.
  const Case cases[] = {{"kill", &LocalXmppServer::Kill, 2000},
                        {"stop", &LocalXmppServer::Stop, 200}};
  std::vector<std::string> expected;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    // Half the lines before the outage, a quarter while the server is gone, the
    // rest once it is back.
    const std::size_t before = bob.got;
    const auto burst = Numbered(std::string(c.name) + "-", 1, static_cast<int>(c.lines));
    expected.insert(expected.end(), burst.begin(), burst.end());
    const auto at = [&](std::size_t quarter) { return burst.begin() + c.lines * quarter / 4; };
    SendAll(alice, "bob", {at(0), at(2)});
    ASSERT_TRUE(PumpUntil([&] { return bob.got >= before + c.lines / 10; }));
    std::invoke(c.down, *server);
    SendAll(alice, "bob", {at(2), at(3)});
    std::string error;
    ASSERT_TRUE(server->Start(&error)) << error;
    SendAll(alice, "bob", {at(3), at(4)});
    ASSERT_TRUE(
        PumpUntil([&] { return bob.got >= expected.size() && alice.db->Outbox().empty(); }));
  }
  EXPECT_EQ(bob.Received(ContactOf(bob, "alice")), expected);
  const std::vector<ConnectionLogEntry> history = alice.db->ConnectionLog();
  ASSERT_GE(history.size(), 5u);  // online, then lost and back twice
  EXPECT_EQ(history.front().state, "online");
  EXPECT_EQ(history.back().state, "online");
}

TEST_F(XmppLinkTest, ProfileClosedBeforeItsReceiptsSendsAgainWithoutDoubles) {
  Connect();
  const auto first = Numbered("a", 1, 50);
  SendAll(alice, "bob", first);
  // Bob stores and acknowledges all; alice never reads the receipts.
  ASSERT_TRUE(WaitUntil([&] { return bob.got >= 50; }, [&] { bob.queue.RunPending(); }));
  Close(alice);
  // Meanwhile bob writes to alice, who is gone: the server keeps it.
  const auto reply = Numbered("b", 1, 20);
  SendAll(bob, "alice", reply);
  bob.queue.RunPending();
  Open(alice, {"bob"});
  EXPECT_EQ(alice.db->Outbox().size(), 50u);
  const auto more = Numbered("a", 51, 60);
  SendAll(alice, "bob", more);
  ASSERT_TRUE(PumpUntil(
      [&] { return alice.got >= 20 && alice.db->Outbox().empty() && bob.db->Outbox().empty(); }));
  std::vector<std::string> expected = first;
  expected.insert(expected.end(), more.begin(), more.end());
  EXPECT_EQ(bob.Received(ContactOf(bob, "alice")), expected);
  EXPECT_EQ(alice.Received(ContactOf(alice, "bob")), reply);
}

TEST_F(XmppLinkTest, ABusyProfileLosesNothing) {
  Connect();
  const std::string bob_profile = bob.profile;
  struct Case {
    const char* name;
    const char* begin;
    int busy_timeout_ms;  // bob's, while the other connection holds on
    int lines;
  };
  // A reading transaction does not stop the writer at all (WAL): half the burst is
  // stored while it is open. A writing one holds the writer up; past the busy
  // timeout the store fails, nothing is acknowledged, and the message comes again.
  const Case cases[] = {{"reader", "BEGIN; SELECT count(*) FROM events;", 5000, 1000},
                        {"writer past the timeout", "BEGIN IMMEDIATE;", 20, 200}};
  std::vector<std::string> expected;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    bob.db->SetBusyTimeout(c.busy_timeout_ms);
    std::atomic<bool> holding{false}, release{false};
    std::thread other([&] {
      sqlite3* db = nullptr;
      sqlite3_open(bob_profile.c_str(), &db);
      sqlite3_exec(db, c.begin, nullptr, nullptr, nullptr);
      holding = true;
      while (!release)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
      sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
      sqlite3_close(db);
    });
    while (!holding)
      std::this_thread::yield();
    const std::size_t before = bob.got;
    const auto burst = Numbered(std::string(c.name) + " ", 1, c.lines);
    expected.insert(expected.end(), burst.begin(), burst.end());
    SendAll(alice, "bob", burst);
    const bool held_up = PumpUntil([&] {
      return c.busy_timeout_ms < 1000 ? bob.Logged("not acknowledged")
                                      : bob.got >= before + c.lines / 2;
    });
    release = true;
    other.join();
    ASSERT_TRUE(held_up);
    ASSERT_TRUE(
        PumpUntil([&] { return bob.got >= expected.size() && alice.db->Outbox().empty(); }));
  }
  EXPECT_EQ(bob.Received(ContactOf(bob, "alice")), expected);
}

// Bob also has a phone on his account: it turns carbons on and answers every
// message with a delivery receipt. While Bob's host is away the phone takes
// what the server kept for him; while it is online the phone gets nothing, not
// even a carbon copy. Bob's host gets everything once; the phone's receipts
// confirm nothing.
TEST_P(XmppLinkOnEachServer, AnotherClientOfTheAccountSeesNoGameAndConfirmsNothing) {
  Connect();
  HANDLE bob_at_alice = ContactOf(alice, "bob");
  Close(bob);
  ASSERT_TRUE(PumpUntil([&] { return !alice.link->IsOnline(bob_at_alice); }));
  // Nobody of Bob's online: the server keeps these.
  const auto away = Numbered("away ", 1, 20);
  SendAll(alice, "bob", away);
  OtherClient phone(Account("bob"));
  phone.Start();
  // The phone takes what the server kept when it logs in. One that reached the
  // server just before may be stored just after (ejabberd stores apart from
  // routing): the server keeps that one for Bob's next login. The phone's
  // receipts reach Alice and change nothing.
  ASSERT_TRUE(PumpUntil([&] {
    const std::size_t taken = phone.Messages().size();
    return taken > 0 &&
           std::count_if(alice.log.begin(), alice.log.end(), [](const std::string& line) {
             return line.find("delivery receipt") != std::string::npos;
           }) >= static_cast<long>(taken);
  }));
  EXPECT_EQ(alice.link->Unconfirmed(), away.size());
  EXPECT_TRUE(alice.link->IsOnline(bob_at_alice));
  EXPECT_FALSE(alice.link->HostOnline(bob_at_alice));

  Open(bob, {"alice"});
  // Bob's host confirms what it got before Alice's has learnt, from its
  // capabilities, that it runs the game: until then Alice's sends to Bob's
  // bare address, which the phone gets too.
  ASSERT_TRUE(PumpUntil([&] {
    return bob.got >= away.size() && alice.db->Outbox().empty() &&
           alice.link->HostOnline(bob_at_alice);
  }));
  // Both hosts and the phone online: lines each way, and a plain message to
  // Bob's host from a client without carbon hints, which the phone must get as
  // a carbon copy (so carbons are on for it).
  const auto online = Numbered("online ", 1, 20);
  SendAll(alice, "bob", online);
  ASSERT_TRUE(bob.link->Send(ContactOf(bob, "alice"), "from bob"));
  const std::string bob_host = bob.link->own_full();
  RecordingListener ignored;
  XmppTransport carol(Account("carol"), ignored);
  carol.Start();
  ASSERT_TRUE(WaitUntil([&] { return carol.online(); }));
  carol.SendRaw("<message type='chat' to='" + bob_host +
                "' id='c1'><body>control</body></message>");
  ASSERT_TRUE(PumpUntil([&] {
    const auto seen = phone.Messages();
    return bob.got >= away.size() + online.size() && alice.got >= 1 && alice.db->Outbox().empty() &&
           bob.db->Outbox().empty() && !seen.empty() && seen.back().from == Address("bob");
  }));
  std::vector<std::string> expected = away;
  expected.insert(expected.end(), online.begin(), online.end());
  EXPECT_EQ(bob.Received(ContactOf(bob, "alice")), expected);
  EXPECT_EQ(alice.Received(bob_at_alice), std::vector<std::string>{"from bob"});
  // What the phone got: Alice's messages while Bob's host was away (none of
  // the later ones, numbered from 21), without text, then the carbon copy.
  const std::vector<IncomingStanza> seen = phone.Messages();
  ASSERT_GE(seen.size(), 2u);
  EXPECT_LE(seen.size(), away.size() + 1);
  for (std::size_t i = 0; i + 1 < seen.size(); ++i) {
    EXPECT_FALSE(seen[i].has_body) << seen[i].from;
    EXPECT_TRUE(seen[i].has_game) << seen[i].from;
    EXPECT_LE(std::stoul(seen[i].seq), away.size()) << seen[i].from;
  }
  EXPECT_EQ(seen.back().from, Address("bob"));  // the carbon copy
}

// A message lost from the middle of a sequence (here: taken as confirmed
// before it went out): the receiver holds what follows, asks for the gap, and
// the sender answers from what it kept; where the sender has nothing left, the
// receiver skips the gap, and both say what was lost. Then the pair goes on.
TEST_F(XmppLinkTest, AGapIsAskedForAndHealedOrSkipped) {
  Connect();
  HANDLE bob_at_alice = ContactOf(alice, "bob");
  struct Case {
    const char* name;
    bool sender_forgot;
  };
  std::vector<std::string> expected;
  int n = 0;
  for (const Case c : {Case{"kept", false}, Case{"forgotten", true}}) {
    SCOPED_TRACE(c.name);
    // Alice writes while her link is down, so nothing goes out yet.
    Close(alice);
    Open(alice, {"bob"}, false);
    const auto burst = Numbered(std::string(c.name) + " ", n + 1, n + 10);
    SendAll(alice, "bob", burst);
    const std::string lost_at = std::to_string(n + 5);
    ASSERT_TRUE(alice.db->ConfirmOutbox(alice.db->Outbox()[4].id, bob_at_alice));
    if (c.sender_forgot) {
      sqlite3* db = nullptr;
      ASSERT_EQ(sqlite3_open(alice.profile.c_str(), &db), SQLITE_OK);
      const std::string forget = "DELETE FROM sent WHERE seq = " + lost_at;
      EXPECT_EQ(sqlite3_exec(db, forget.c_str(), nullptr, nullptr, nullptr), SQLITE_OK);
      sqlite3_close(db);
    }
    for (std::size_t i = 0; i < burst.size(); ++i)
      if (!c.sender_forgot || i != 4) expected.push_back(burst[i]);
    alice.log.clear();
    bob.log.clear();
    alice.lost.clear();
    bob.lost.clear();
    alice.link->Start();
    ASSERT_TRUE(PumpUntil([&] {
      return bob.Received(ContactOf(bob, "alice")).size() == expected.size() &&
             alice.db->Outbox().empty();
    }));
    EXPECT_EQ(bob.Received(ContactOf(bob, "alice")), expected);
    EXPECT_TRUE(bob.Logged("for its messages " + lost_at + " to " + lost_at));
    const std::string lost = "messages " + lost_at + " to " + lost_at;
    EXPECT_EQ(alice.Logged(lost + " to bob@localhost were lost"), c.sender_forgot);
    EXPECT_EQ(bob.Logged(lost + " from alice@localhost were lost"), c.sender_forgot);
    // Both games are told once, the receiver's before the five messages after the gap.
    using Told = std::vector<std::pair<bool, std::size_t>>;
    EXPECT_EQ(alice.lost.size(), c.sender_forgot ? 1u : 0u);
    if (!alice.lost.empty()) {
      EXPECT_TRUE(alice.lost[0].first);
    }
    const Told told = c.sender_forgot ? Told{{false, expected.size() - 5}} : Told{};
    EXPECT_EQ(bob.lost, told);
    EXPECT_TRUE(bob.db->ContactsWithHeld().empty());
    n += 10;
  }
  const std::vector<ConnectionLogEntry> history = bob.db->ConnectionLog();
  EXPECT_EQ(
      std::count_if(history.begin(), history.end(),
                    [](const ConnectionLogEntry& entry) { return entry.state == "messages lost"; }),
      1);
}

// Messages a server kept for Bob while his host was away: one kept since
// before Bob's profile was made, and one from an earlier profile of Alice's
// than the one Bob has heard from since. Neither reaches a game; each is
// logged with its reason; what comes after them does.
TEST_F(XmppLinkTest, OfflineMessagesOfFormerProfilesReachNoGame) {
  RecordingListener alice_seen;
  XmppTransport alice_raw(Account("alice"), alice_seen);
  alice_raw.Start();
  ASSERT_TRUE(WaitUntil([&] { return alice_raw.online(); }));
  const auto game = [&](uint64_t epoch, uint64_t n, const std::string& text) {
    alice_raw.Send({"bob@localhost", NewMessageId(), text, n, epoch});
  };
  // Kept for Bob before his profile is made: a message to Alice herself comes
  // back once the server has handled (and so stored) the one before it.
  game(200, 7, "for a former profile");
  alice_raw.Send({"alice@localhost", "echo", "echo", 0, 0});
  ASSERT_TRUE(WaitUntil([&] { return alice_seen.MessageCount() >= 1; }));
  // The server's stamp has whole seconds: the profile is made in a later one.
  const auto stored = std::chrono::system_clock::now();
  std::this_thread::sleep_until(std::chrono::ceil<std::chrono::seconds>(stored) +
                                std::chrono::milliseconds(1));
  Open(bob, {"alice"});
  game(200, 8, "first");
  ASSERT_TRUE(PumpUntil([&] { return bob.got >= 1; }));
  Close(bob);
  game(199, 1, "from an earlier profile");
  game(200, 9, "kept after the profile was made");
  Open(bob, {"alice"});
  ASSERT_TRUE(PumpUntil([&] { return bob.Received(ContactOf(bob, "alice")).size() >= 2; }));
  EXPECT_EQ(bob.Received(ContactOf(bob, "alice")),
            (std::vector<std::string>{"first", "kept after the profile was made"}));
  EXPECT_TRUE(
      bob.Logged("message 7 from alice@localhost was kept by the server since before "
                 "this profile was made"));
  EXPECT_TRUE(bob.Logged("message 1 from alice@localhost of an earlier profile"));
}

TEST_F(XmppLinkTest, StrangersAndBadStanzasReachNoGame) {
  Open(bob, {"alice", "carol"});
  RecordingListener ignored;
  XmppTransport alice_raw(Account("alice"), ignored);
  XmppTransport carol_raw(Account("carol"), ignored);
  alice_raw.Start();
  carol_raw.Start();
  // dave is nobody's contact.
  std::string error;
  ASSERT_TRUE(server->AddAccount("dave", "pw", &error)) << error;
  XmppTransport dave_raw(Account("dave"), ignored);
  dave_raw.Start();
  ASSERT_TRUE(PumpUntil([&] {
    return alice_raw.online() && carol_raw.online() && dave_raw.online() &&
           bob.link->state() == LinkState::kOnline;
  }));
  auto raw = [](const std::string& id, const std::string& inner) {
    return "<message to='bob@localhost' type='chat' id='" + id + "'>" + inner + "</message>";
  };
  const std::string ask = "<request xmlns='urn:xmpp:receipts'/>";
  struct Case {
    const char* name;
    XmppTransport* from;
    std::string xml;
    const char* logged;  // "": accepted
  };
  const Case cases[] = {
      {"plain message", &alice_raw, raw("m1", "<body>hello</body>" + ask), ""},
      {"stranger", &dave_raw, raw("d1", "<body>let me play</body>" + ask), ""},
      {"no body", &alice_raw, raw("m2", ask), "without a body"},
      {"too long for us", &alice_raw,
       raw("m3", "<body>" + std::string(kMaxBodyBytes + 10, 'x') + "</body>" + ask), "bytes"},
      {"delivery receipt", &alice_raw, raw("m4", "<received xmlns='urn:xmpp:receipts' id='m1'/>"),
       "only the link's"},
      {"duplicate id", &alice_raw, raw("m1", "<body>hello</body>" + ask), "arrived again"},
      {"another contact's id", &carol_raw, raw("m1", "<body>hijack</body>" + ask),
       "another contact"},
      {"bad sequence", &alice_raw,
       raw("m5", "<game xmlns='urn:tessaro:link:1' n='zero' epoch='1'>x</game>"), "bad sequence"},
      {"ack from a stranger", &dave_raw,
       raw("m6", "<ack xmlns='urn:tessaro:link:1' id='m1' epoch='1'/>"), "not a contact"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    bob.log.clear();
    c.from->SendRaw(c.xml);
    // A plain message after each case shows when the case has been handled.
    const std::string marker = std::string("after ") + c.name;
    c.from->SendRaw(raw(NewMessageId(), "<body>" + marker + "</body>"));
    ASSERT_TRUE(PumpUntil([&] {
      for (HANDLE contact : {ContactOf(bob, "alice"), ContactOf(bob, "carol")}) {
        auto texts = bob.Received(contact);
        if (std::find(texts.begin(), texts.end(), marker) != texts.end()) return true;
      }
      for (const ContactRequest& request : bob.db->Requests())
        if (request.last_text == marker) return true;
      return false;
    }));
    if (*c.logged != '\0') {
      EXPECT_TRUE(bob.Logged(c.logged));
    } else {
      EXPECT_TRUE(bob.log.empty()) << bob.log.front();
    }
  }
  // A body above the server's own stanza limit never arrives: the server ends the
  // sender's stream. Bob goes on.
  alice_raw.SendRaw(raw("big", "<body>" + std::string(1 << 20, 'x') + "</body>"));
  ASSERT_TRUE(PumpUntil([&] { return !alice_raw.online(); }));
  ASSERT_TRUE(PumpUntil([&] { return alice_raw.online(); }));
  alice_raw.Send({"bob@localhost", "after-big", "after big", 0, 0});
  ASSERT_TRUE(PumpUntil([&] {
    auto texts = bob.Received(ContactOf(bob, "alice"));
    return std::find(texts.begin(), texts.end(), "after big") != texts.end();
  }));
  EXPECT_EQ(bob.Received(ContactOf(bob, "alice")),
            (std::vector<std::string>{"hello", "after plain message", "after no body",
                                      "after too long for us", "after delivery receipt",
                                      "after duplicate id", "after bad sequence", "after big"}));
  EXPECT_EQ(bob.Received(ContactOf(bob, "carol")),
            (std::vector<std::string>{"after another contact's id"}));
  const std::vector<ContactRequest> requests = bob.db->Requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].address, "dave@localhost");
  EXPECT_EQ(requests[0].messages, 3u);
  EXPECT_EQ(ContactOf(bob, "dave"), nullptr);
}

}  // namespace
}  // namespace tessaro::host::testing

namespace tessaro::host::testing {
namespace {

// The host over the link: "ICQ/SendMsg" stores a sent message once, contacts'
// messages are announced, strangers' are kept as requests until accepted.
// A refused certificate is one row of the history however often it is tried
// again, until the player trusts it; then the link comes online.
TEST_F(XmppLinkTest, ARefusedCertificateIsOneRowOfTheHistoryUntilTrusted) {
  std::string error;
  const std::string base = folder.path() + "/self";
  ASSERT_TRUE(MakeCertificate(folder.path(), "self", "localhost", 30, true, &error)) << error;
  server->Stop();
  ASSERT_TRUE(server->UseCertificate(base + ".pem", base + ".key", &error)) << error;
  ASSERT_TRUE(server->Start(&error)) << error;
  alice.db = Database::Open(folder.path() + "/alice.db", &error);
  ASSERT_NE(alice.db, nullptr) << error;
  XmppAccount account = Account("alice");
  account.require_tls = true;
  int changes = 0;
  LinkHooks hooks;
  hooks.changed = [&changes] { ++changes; };
  alice.link = std::make_unique<XmppLink>(*alice.db, alice.queue, account, hooks);
  alice.link->Start();
  ASSERT_TRUE(PumpUntil([&] { return alice.link->problem().refusal == Refusal::kSelfSigned; }));
  for (int attempt = 0; attempt < 3; ++attempt) {
    const int before = changes;
    alice.link->Retry();  // connecting, then refused again
    ASSERT_TRUE(PumpUntil(
        [&] { return changes >= before + 2 && alice.link->state() == LinkState::kWaiting; }));
  }
  const std::vector<ConnectionLogEntry> refused = alice.db->ConnectionLog();
  ASSERT_EQ(refused.size(), 1u);
  EXPECT_EQ(refused[0].state, "waiting to reconnect");
  EXPECT_THAT(refused[0].detail, HasSubstr("self-signed"));
  EXPECT_THAT(alice.link->state_detail(), HasSubstr("next attempt in 5 min"));

  alice.link->TrustCertificate(alice.link->problem().certificate.fingerprint);
  ASSERT_TRUE(PumpUntil([&] { return alice.link->state() == LinkState::kOnline; }));
  EXPECT_EQ(alice.link->problem().refusal, Refusal::kNone);
  const std::vector<ConnectionLogEntry> history = alice.db->ConnectionLog();
  ASSERT_EQ(history.size(), 2u);
  EXPECT_EQ(history[1].state, "online");
  alice.link.reset();  // before `changes` goes
}

TEST_F(XmppLinkTest, HostSendsThroughTheLinkAndKeepsStrangersAsRequests) {
  std::string error;
  auto host = Host::Create(alice.queue, HostOptions{folder.path() + "/host.db", {}}, &error);
  ASSERT_NE(host, nullptr) << error;
  EXPECT_FALSE(host->ConnectXmpp(&error));
  EXPECT_THAT(error, HasSubstr("no XMPP account"));
  ASSERT_TRUE(host->SetAccount(XmppAccount{"alice", "127.0.0.1", 1, "pw", false}));
  EXPECT_FALSE(host->ConnectXmpp(&error));
  EXPECT_THAT(error, HasSubstr("not user@domain"));
  EXPECT_EQ(host->ConnectionState(), LinkState::kOffline);
  ASSERT_TRUE(host->SetAccount(Account("alice")));
  HANDLE bob_contact = host->AddContact("Bob", kIcqProtocol, "bob@localhost");
  std::vector<HANDLE> announced;
  host->services().Hook(ME_DB_EVENT_ADDED, [&](WPARAM contact, LPARAM) {
    announced.push_back(reinterpret_cast<HANDLE>(contact));
    return 0;
  });
  int changes = 0;
  ASSERT_TRUE(host->ConnectXmpp(&error, [&] { ++changes; })) << error;
  Open(bob, {"alice"});
  ASSERT_TRUE(PumpUntil([&] {
    return host->ConnectionState() == LinkState::kOnline && host->IsOnline(bob_contact);
  }));
  CCSDATA ccs{bob_contact, PSS_MESSAGE, 0, reinterpret_cast<LPARAM>("#RQ")};
  EXPECT_NE(host->CallService("ICQ/SendMsg", 0, reinterpret_cast<LPARAM>(&ccs)), 0);
  ASSERT_TRUE(bob.link->Send(ContactOf(bob, "alice"), "hi"));
  ASSERT_TRUE(PumpUntil([&] { return bob.got >= 1 && host->EventsOf(bob_contact).size() >= 2; }));
  const std::vector<EventRecord> history = host->EventsOf(bob_contact);
  ASSERT_EQ(history.size(), 2u);
  EXPECT_EQ(history[0].flags, static_cast<uint32_t>(DBEF_SENT));
  EXPECT_EQ(history[0].blob, std::string("#RQ", 4));
  EXPECT_EQ(history[1].blob, std::string("hi", 3));
  EXPECT_EQ(announced, (std::vector<HANDLE>{bob_contact, bob_contact}));

  RecordingListener ignored;
  XmppTransport carol(Account("carol"), ignored);
  carol.Start();
  ASSERT_TRUE(WaitUntil([&] { return carol.online(); }));
  carol.Send({"alice@localhost", NewMessageId(), "play?", 1, 1});
  ASSERT_TRUE(PumpUntil([&] { return !host->ContactRequests().empty(); }));
  EXPECT_EQ(host->ContactRequests()[0].address, "carol@localhost");
  EXPECT_EQ(host->ContactRequests()[0].last_text, "play?");
  EXPECT_EQ(announced.size(), 2u);
  EXPECT_EQ(host->Contacts().size(), 1u);
  HANDLE carol_contact = host->AcceptRequest("carol@localhost", "Carol");
  ASSERT_NE(carol_contact, nullptr);
  EXPECT_EQ(host->ContactByAddress("carol@localhost"), carol_contact);
  EXPECT_TRUE(host->ContactRequests().empty());
  EXPECT_GT(changes, 0);
}

// Bob's phone is online and his host is not: Alice's host sees a client
// without the game (its capabilities say so), sends to the bare address, and
// nothing the phone does confirms anything. When Bob's host comes online its
// capabilities make it the one to send to: it gets every held message once,
// though the resend and the archive both bring them.
TEST_P(XmppLinkOnEachServer, AContactOnlineWithoutTheGameGetsItsHeldMessagesWhenItsHostComes) {
  using Kind = XmppLink::PeerStatus::Kind;
  Connect();  // each sees the other's presence from now on
  Close(bob);
  HANDLE bob_at_alice = ContactOf(alice, "bob");
  const auto status = [&] { return alice.link->StatusOf(bob_at_alice).kind; };
  ASSERT_TRUE(PumpUntil([&] { return status() == Kind::kOffline; }));
  OtherClient phone(Account("bob"));
  phone.Start();
  ASSERT_TRUE(PumpUntil([&] { return status() == Kind::kOnline; }));
  const auto held = Numbered("held ", 1, 5);
  SendAll(alice, "bob", held);
  ASSERT_TRUE(PumpUntil([&] { return phone.Messages().size() >= held.size(); }));
  for (const IncomingStanza& seen : phone.Messages())
    EXPECT_FALSE(seen.has_body);
  EXPECT_EQ(alice.link->Unconfirmed(), held.size());
  Open(bob, {"alice"});
  ASSERT_TRUE(PumpUntil([&] {
    return bob.Received(ContactOf(bob, "alice")).size() >= held.size() &&
           alice.db->Outbox().empty() && status() == Kind::kHost;
  }));
  // A last line shows that both copies of each (resent, archived) were handled.
  ASSERT_TRUE(alice.link->Send(bob_at_alice, "last"));
  ASSERT_TRUE(
      PumpUntil([&] { return bob.Received(ContactOf(bob, "alice")).size() > held.size(); }));
  std::vector<std::string> expected = held;
  expected.push_back("last");
  EXPECT_EQ(bob.Received(ContactOf(bob, "alice")), expected);
  Close(bob);
  ASSERT_TRUE(PumpUntil([&] { return status() == Kind::kOnline; }));
}

// Alice's and Bob's hosts are never online at the same time; Bob's phone takes
// what Alice sends to his bare address. His host finds it in his account's
// archive when it starts, and Alice's finds Bob's acknowledgements when it
// starts again: nothing lost, nothing twice. On prosody only: the refused
// query is prosody's answer to an archive id it does not know, which ejabberd
// does not refuse.
TEST_F(XmppLinkTest, WhatAPhoneTookComesFromTheArchiveThoughTheHostsNeverMeet) {
  Connect();
  Close(bob);
  OtherClient phone(Account("bob"));
  phone.Start();
  HANDLE bob_at_alice = ContactOf(alice, "bob");
  ASSERT_TRUE(PumpUntil([&] {
    return alice.link->StatusOf(bob_at_alice).kind == XmppLink::PeerStatus::Kind::kOnline;
  }));
  const auto lines = Numbered("taken by the phone ", 1, 5);
  SendAll(alice, "bob", lines);
  ASSERT_TRUE(PumpUntil([&] { return phone.Messages().size() >= lines.size(); }));
  Close(alice);
  // An archive id the server does not know: refused, and forgotten, so that the
  // next login reads the archive from the making of the profile.
  Open(bob, {"alice"}, false);
  ASSERT_TRUE(bob.db->SetSetting("xmpp_archive_last", "no such id"));
  bob.link->Start();
  ASSERT_TRUE(PumpUntil([&] { return bob.Logged("refused the query"); }));
  Close(bob);
  Open(bob, {"alice"});
  ASSERT_TRUE(
      PumpUntil([&] { return bob.Received(ContactOf(bob, "alice")).size() >= lines.size(); }));
  ASSERT_TRUE(bob.link->Send(ContactOf(bob, "alice"), "answer"));
  bob.queue.RunPending();
  Close(bob);
  Open(alice, {"bob"});
  ASSERT_TRUE(PumpUntil([&] { return alice.got >= 1 && alice.db->Outbox().empty(); }));
  EXPECT_EQ(alice.Received(bob_at_alice), std::vector<std::string>{"answer"});
  Open(bob, {"alice"});
  ASSERT_TRUE(PumpUntil([&] { return bob.db->Outbox().empty(); }));
  EXPECT_EQ(bob.Received(ContactOf(bob, "alice")), lines);
}

// Bob's phone (Debian's slixmpp: carbons on, every message answered with a
// receipt) is online while his host is not, on prosody and on ejabberd, each
// with an archive and without. Alice's host sends and quits; Bob's host starts: with the
// archive it finds the messages there at once; without, it gets them when
// Alice's host comes back and sends them again. Nothing lost, nothing twice,
// the phone shown no text and no carbon copy.
class PhoneWhileTheHostIsAway
    : public XmppLinkTest,
      public ::testing::WithParamInterface<std::tuple<LocalXmppServer::Software, bool>> {
 protected:
  Software software() const override { return std::get<0>(GetParam()); }
  bool archive() const override { return std::get<1>(GetParam()); }
};

TEST_P(PhoneWhileTheHostIsAway, LosesNothingWithOrWithoutAnArchive) {
  if (!DebianPhone::Installed()) GTEST_SKIP() << "python3-slixmpp is not installed";
  Connect();
  Close(bob);
  HANDLE bob_at_alice = ContactOf(alice, "bob");
  DebianPhone phone(Account("bob"), TESSARO_PHONE_SCRIPT);
  ASSERT_TRUE(phone.started());
  ASSERT_TRUE(PumpUntil([&] {
    return phone.online() &&
           alice.link->StatusOf(bob_at_alice).kind == XmppLink::PeerStatus::Kind::kOnline;
  }));
  const auto lines = Numbered("while the host is away ", 1, 5);
  SendAll(alice, "bob", lines);
  ASSERT_TRUE(PumpUntil([&] { return phone.Messages().size() >= lines.size(); }));
  Close(alice);
  Open(bob, {"alice"});
  HANDLE alice_at_bob = ContactOf(bob, "alice");
  if (archive()) {
    ASSERT_TRUE(PumpUntil([&] { return bob.Received(alice_at_bob).size() >= lines.size(); }));
  }
  Open(alice, {"bob"});
  ASSERT_TRUE(PumpUntil([&] {
    return bob.Received(alice_at_bob).size() >= lines.size() && alice.db->Outbox().empty();
  }));
  // A last line, so that a second copy of any would have come before it.
  ASSERT_TRUE(alice.link->Send(bob_at_alice, "last"));
  ASSERT_TRUE(PumpUntil([&] { return bob.Received(alice_at_bob).size() > lines.size(); }));
  std::vector<std::string> expected = lines;
  expected.push_back("last");
  EXPECT_EQ(bob.Received(alice_at_bob), expected);
  for (const std::string& seen : phone.Messages())
    EXPECT_THAT(seen, ::testing::StartsWith("message " + Address("alice") + "/")) << seen;
  for (const std::string& seen : phone.Messages())
    EXPECT_THAT(seen, ::testing::EndsWith(" nobody"));
}

// Bob's message goes straight to Alice's host, which the server does not keep
// for it, and her host closes before it stored the message (or before it
// came). Her phone is online, so a copy routed to her bare address would go to
// the phone and not into offline storage. When Bob sees her host go, he sends
// it again to that address, and the server keeps it in her archive: her host
// finds it there though Bob has left by then.
TEST_F(XmppLinkTest, WhatAHostDidNotStoreIsKeptForItWhenItGoes) {
  if (!DebianPhone::Installed()) GTEST_SKIP() << "python3-slixmpp is not installed";
  Connect();
  DebianPhone phone(Account("alice"), TESSARO_PHONE_SCRIPT);
  ASSERT_TRUE(phone.started());
  HANDLE alice_at_bob = ContactOf(bob, "alice");
  ASSERT_TRUE(PumpUntil([&] { return phone.online() && bob.link->HostOnline(alice_at_bob); }));
  ASSERT_TRUE(bob.link->Send(alice_at_bob, "in flight"));
  Close(alice);  // nothing of hers ran since: the message, if it came, was not stored
  ASSERT_TRUE(PumpUntil([&] { return !bob.link->HostOnline(alice_at_bob); }));
  Close(bob);
  Open(alice, {"bob"});
  ASSERT_TRUE(PumpUntil([&] { return alice.got >= 1; }));
  EXPECT_EQ(alice.Received(ContactOf(alice, "bob")), std::vector<std::string>{"in flight"});
}

INSTANTIATE_TEST_SUITE_P(
    XmppLinkTest, PhoneWhileTheHostIsAway,
    ::testing::Combine(::testing::Values(LocalXmppServer::Software::kProsody,
                                         LocalXmppServer::Software::kEjabberd),
                       ::testing::Bool()),
    [](const ::testing::TestParamInfo<std::tuple<LocalXmppServer::Software, bool>>& run) {
      return ServerName({std::get<0>(run.param), run.index}) +
             (std::get<1>(run.param) ? "WithArchive" : "WithoutArchive");
    });

// What Alice's host makes of Bob's clients, by what each advertises: a phone,
// a host of this version, a host of another version (said in plain words,
// once, in the log and the history, and told to the game), and this version
// again (told to the game; going offline between them is not).
TEST_F(XmppLinkTest, AContactsClientIsJudgedByItsCapabilities) {
  using Kind = XmppLink::PeerStatus::Kind;
  Connect();
  Close(bob);
  HANDLE bob_at_alice = ContactOf(alice, "bob");
  struct Case {
    const char* name;
    DiscoInfo advertised;
    Kind kind;
    int version;
  };
  const Case cases[] = {
      {"phone", PhoneDiscoInfo(), Kind::kOnline, 0},
      {"this version", HostDiscoInfo(kLinkVersion), Kind::kHost, 0},
      {"another version", HostDiscoInfo(kLinkVersion + 1), Kind::kOtherVersion, kLinkVersion + 1},
      {"this version again", HostDiscoInfo(kLinkVersion), Kind::kHost, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    RecordingListener ignored;
    XmppTransport client(Account("bob"), ignored);
    client.Advertise(c.advertised);
    client.Start();
    ASSERT_TRUE(PumpUntil([&] {
      const auto status = alice.link->StatusOf(bob_at_alice);
      return status.kind == c.kind && status.version == c.version;
    }));
  }
  ASSERT_TRUE(PumpUntil([&] { return !alice.link->IsOnline(bob_at_alice); }));
  EXPECT_TRUE(
      alice.Logged("bob@localhost runs version 2 of the game and this Tessaro version 1: "
                   "you cannot play together until both run the same version"));
  const auto history = alice.db->ConnectionLog();
  EXPECT_EQ(std::count_if(history.begin(), history.end(),
                          [](const ConnectionLogEntry& entry) {
                            return entry.state == "another version of the game";
                          }),
            1);
  EXPECT_EQ(alice.other_version, (std::vector<bool>{true, false}));
}

// Alice runs two hosts on one account (two machines, two profiles). The one
// she plays on gets Bob's messages; the other takes none, neither live nor
// from the archive when it starts again: no stone reaches a game twice. What
// went to the bare address while both were away lies in the archive with the
// acknowledgements of the host that took it, and is skipped there.
TEST_F(XmppLinkTest, OfTwoHostsOfOneAccountTheOneThatPlayedGetsEachMessageOnce) {
  Connect();
  second.file = "alice-second";
  Open(second, {"bob"});
  HANDLE alice_at_bob = ContactOf(bob, "alice");
  ASSERT_TRUE(PumpUntil([&] {
    return second.link->HostOnline(ContactOf(second, "bob")) && bob.link->HostOnline(alice_at_bob);
  }));
  // The second host plays: its profile is the newer, and its address sorts
  // after the first's, so only having played makes it the one to send to.
  ASSERT_TRUE(second.link->Send(ContactOf(second, "bob"), "from the second"));
  ASSERT_TRUE(PumpUntil([&] { return bob.got >= 1; }));
  const auto lines = Numbered("to the one that played ", 1, 10);
  SendAll(bob, "alice", lines);
  ASSERT_TRUE(PumpUntil([&] { return second.got >= lines.size() && bob.db->Outbox().empty(); }));
  EXPECT_EQ(second.Received(ContactOf(second, "bob")), lines);
  // Played live, host to host: the server had nothing to keep.
  EXPECT_THAT(ArchiveOf("alice"), Not(HasSubstr("to the one that played")));
  Close(alice);
  Close(second);
  ASSERT_TRUE(PumpUntil([&] { return !bob.link->HostOnline(alice_at_bob); }));
  const auto away = Numbered("while both were away ", 1, 5);
  SendAll(bob, "alice", away);
  Open(second, {"bob"});
  ASSERT_TRUE(PumpUntil(
      [&] { return second.got >= lines.size() + away.size() && bob.db->Outbox().empty(); }));
  auto taken = lines;
  taken.insert(taken.end(), away.begin(), away.end());
  EXPECT_EQ(second.Received(ContactOf(second, "bob")), taken);
  EXPECT_THAT(ArchiveOf("alice"), HasSubstr("while both were away 5"));
  Open(alice, {"bob"});
  const auto skipped = [&] {
    return std::count_if(alice.log.begin(), alice.log.end(), [](const std::string& line) {
      return line.find("another host of this account") != std::string::npos;
    });
  };
  ASSERT_TRUE(PumpUntil([&] { return skipped() >= static_cast<long>(away.size()); }));
  EXPECT_TRUE(alice.Received(ContactOf(alice, "bob")).empty());
  EXPECT_EQ(alice.got, 0u);
}

}  // namespace
}  // namespace tessaro::host::testing
