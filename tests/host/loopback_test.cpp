// The protocol "ICQ" over the loopback transport: sending stores a sent event and
// the mirror contact receives it later, on the queue, in order.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "host/transport.h"
#include "host_fixture.h"

namespace tessaro::host::testing {
namespace {

using ::testing::ElementsAre;

class LoopbackTest : public HostTest {
 protected:
  void SetUp() override {
    HostTest::SetUp();
    alice = host->AddContact("Alice");
    bob = host->AddContact("Bob");
    auto transport = std::make_unique<LoopbackTransport>(host->IncomingSink());
    loopback = transport.get();
    ASSERT_TRUE(loopback->Pair(alice, bob));
    host->SetTransport(std::move(transport));
  }

  INT_PTR Send(HANDLE to, const char* text) {
    CCSDATA ccs{to, PSS_MESSAGE, 0, reinterpret_cast<LPARAM>(text)};
    return Call(MS_PROTO_CALLCONTACTSERVICE, 0, &ccs);
  }

  // The texts of a contact's events, with "<" for received and ">" for sent.
  std::vector<std::string> History(HANDLE contact) {
    std::vector<std::string> lines;
    for (const EventRecord& e : host->EventsOf(contact)) {
      EXPECT_EQ(e.module, "ICQ");
      EXPECT_EQ(e.type, EVENTTYPE_MESSAGE);
      EXPECT_EQ(e.timestamp, kNow);
      EXPECT_EQ(e.blob.back(), '\0');  // messages carry their closing zero
      lines.push_back(((e.flags & DBEF_SENT) ? "> " : "< ") + std::string(e.blob.c_str()));
    }
    return lines;
  }

  HANDLE alice = nullptr;
  HANDLE bob = nullptr;
  LoopbackTransport* loopback = nullptr;
};

TEST_F(LoopbackTest, MessageToOneMirrorArrivesFromTheOtherAfterTheSend) {
  std::vector<HANDLE> added;
  host->services().Hook(ME_DB_EVENT_ADDED, [&](WPARAM contact, LPARAM) {
    added.push_back(reinterpret_cast<HANDLE>(contact));
    return 0;
  });
  EXPECT_EQ(Send(alice, "one"), 1);
  // Stored as sent and announced at once; the arrival waits on the queue.
  EXPECT_THAT(History(alice), ElementsAre("> one"));
  EXPECT_TRUE(History(bob).empty());
  EXPECT_THAT(added, ElementsAre(alice));
  EXPECT_EQ(queue.Size(), 1u);

  EXPECT_EQ(queue.RunPending(), 1u);
  EXPECT_THAT(History(bob), ElementsAre("< one"));
  EXPECT_THAT(added, ElementsAre(alice, bob));
  EXPECT_EQ(host->EventsOf(bob, ReadFilter::kUnread).size(), 1u);
}

TEST_F(LoopbackTest, BothDirectionsKeepTheirOrder) {
  // Arrivals wait on the queue, so each side stores its own sends first, as two
  // people typing at once would see it.
  EXPECT_EQ(Send(alice, "a1"), 1);
  EXPECT_EQ(Send(bob, "b1"), 2);
  EXPECT_EQ(Send(alice, "a2"), 3);
  queue.RunPending();
  EXPECT_EQ(Send(alice, "a3"), 4);
  queue.RunPending();
  EXPECT_THAT(History(alice), ElementsAre("> a1", "> a2", "< b1", "> a3"));
  EXPECT_THAT(History(bob), ElementsAre("> b1", "< a1", "< a2", "< a3"));
}

TEST_F(LoopbackTest, SendFailuresStoreNothing) {
  HANDLE carol = host->AddContact("Carol");       // ICQ but unpaired
  HANDLE dave = host->AddContact("Dave", "MSN");  // not ICQ
  CCSDATA no_text{alice, PSS_MESSAGE, 0, 0};
  EXPECT_EQ(Send(carol, "x"), 0);
  EXPECT_EQ(Send(dave, "x"), CALLSERVICE_NOTFOUND);  // MSN has no "/SendMsg" here
  EXPECT_EQ(Send(reinterpret_cast<HANDLE>(77), "x"), CALLSERVICE_NOTFOUND);
  EXPECT_EQ(Call(MS_PROTO_CALLCONTACTSERVICE, 0, &no_text), 0);
  EXPECT_EQ(Call(MS_PROTO_CALLCONTACTSERVICE, 0, LPARAM{0}), CALLSERVICE_NOTFOUND);
  // A direct call of the protocol service for a contact of another protocol.
  CCSDATA to_dave{dave, PSS_MESSAGE, 0, reinterpret_cast<LPARAM>("x")};
  EXPECT_EQ(Call("ICQ/SendMsg", 0, &to_dave), 0);
  host->SetTransport(nullptr);
  EXPECT_EQ(Send(alice, "x"), 0);
  EXPECT_EQ(queue.RunPending(), 0u);
  for (HANDLE contact : {alice, bob, carol, dave})
    EXPECT_TRUE(host->EventsOf(contact).empty());
}

TEST_F(LoopbackTest, PairingRefusesNullSelfAndTakenContacts) {
  HANDLE carol = host->AddContact("Carol");
  HANDLE dave = host->AddContact("Dave");
  struct {
    HANDLE a, b;
  } refused[] = {{nullptr, carol}, {carol, nullptr}, {carol, carol}, {alice, carol}, {carol, bob}};
  for (const auto& pair : refused)
    EXPECT_FALSE(loopback->Pair(pair.a, pair.b));
  EXPECT_TRUE(loopback->Pair(carol, dave));
  EXPECT_EQ(loopback->MirrorOf(dave), carol);
  EXPECT_EQ(loopback->MirrorOf(alice), bob);
}

TEST_F(LoopbackTest, ReceivedFromOtherThreadsArriveOnTheQueueInEachThreadsOrder) {
  constexpr int kThreads = 4;
  constexpr int kEach = 50;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < kEach; ++i) {
        host->IncomingSink().Receive(bob, std::to_string(t) + ":" + std::to_string(i));
      }
    });
  }
  for (std::thread& thread : threads)
    thread.join();
  EXPECT_TRUE(host->EventsOf(bob).empty());  // nothing stored off the queue
  queue.RunPending();
  std::vector<int> next(kThreads, 0);
  const std::vector<EventRecord> events = host->EventsOf(bob);
  ASSERT_EQ(events.size(), static_cast<std::size_t>(kThreads * kEach));
  for (const EventRecord& e : events) {
    const std::string text = e.blob.c_str();
    const int t = std::stoi(text.substr(0, text.find(':')));
    EXPECT_EQ(text, std::to_string(t) + ":" + std::to_string(next[t]++));
    EXPECT_EQ(e.flags, 0u);
  }
}

TEST_F(LoopbackTest, ArrivalsStillQueuedWhenTheHostGoesAreDropped) {
  EXPECT_EQ(Send(alice, "late"), 1);
  host->IncomingSink().Receive(reinterpret_cast<HANDLE>(555), "from nobody");
  host.reset();
  EXPECT_EQ(queue.RunPending(), 2u);  // ran, and touched nothing of the old host
}

TEST_F(LoopbackTest, ReceivedFromAnUnknownContactIsDropped) {
  host->IncomingSink().Receive(reinterpret_cast<HANDLE>(555), "who?");
  host->IncomingSink().Receive(nullptr, "me?");
  queue.RunPending();
  EXPECT_TRUE(host->EventsOf(nullptr).empty());
  EXPECT_TRUE(host->EventsOf(reinterpret_cast<HANDLE>(555)).empty());
}

TEST_F(LoopbackTest, ModuleSeesItsSendAndTheMirroredArrivalAndMarksGameMessagesRead) {
  std::string error;
  ASSERT_TRUE(host->LoadModule(TEST_PLUGIN, &error)) << error;
  const HANDLE item = host->MenuItemsFor(alice).at(0).handle;
  log.clear();
  ASSERT_TRUE(host->InvokeMenuItem(alice, item));
  // The sent event is announced inside the send; the arrival is not.
  EXPECT_THAT(
      log, ElementsAre("invoke Alice", "added Alice flags=2 module=ICQ type=0 text=ping to Alice",
                       "sent 1"));
  log.clear();
  queue.RunPending();
  EXPECT_THAT(log, ElementsAre("added Bob flags=0 module=ICQ type=0 text=ping to Alice"));

  log.clear();
  EXPECT_EQ(Send(alice, "#RQ0100000000000000"), 2);
  queue.RunPending();
  EXPECT_THAT(log, ElementsAre("added Alice flags=2 module=ICQ type=0 text=#RQ0100000000000000",
                               "added Bob flags=0 module=ICQ type=0 text=#RQ0100000000000000",
                               "marked flags=4"));
  // The plain message stays unread; the game message was marked read.
  const std::vector<EventRecord> unread = host->EventsOf(bob, ReadFilter::kUnread);
  const std::vector<EventRecord> read = host->EventsOf(bob, ReadFilter::kRead);
  ASSERT_EQ(unread.size(), 1u);
  ASSERT_EQ(read.size(), 1u);
  EXPECT_STREQ(unread[0].blob.c_str(), "ping to Alice");
  EXPECT_STREQ(read[0].blob.c_str(), "#RQ0100000000000000");
}

}  // namespace
}  // namespace tessaro::host::testing
