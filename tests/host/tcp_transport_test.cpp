// The network transport: two transports in one process over a loopback socket, a
// hostile peer, and two host processes talking end to end.
#include "host/tcp_transport.h"

#include <arpa/inet.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "host_fixture.h"

extern char** environ;

namespace tessaro::host::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Pair;

// Generous: these waits end as soon as the condition holds; the limit only keeps a
// broken build from hanging.
constexpr auto kPatience = std::chrono::seconds(20);

HANDLE Contact(uintptr_t n) {
  return reinterpret_cast<HANDLE>(n);
}

class RecordingSink final : public MessageSink {
 public:
  void Receive(HANDLE from, std::string text) override {
    std::lock_guard<std::mutex> lock(mutex_);
    received_.emplace_back(from, std::move(text));
    changed_.notify_all();
  }
  std::vector<std::pair<HANDLE, std::string>> WaitFor(std::size_t count) {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait_for(lock, kPatience, [&] { return received_.size() >= count; });
    return received_;
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<std::pair<HANDLE, std::string>> received_;
};

template <typename Condition>
bool Eventually(Condition condition) {
  const auto end = std::chrono::steady_clock::now() + kPatience;
  while (!condition()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return true;
}

// A server transport for contact 1 and a client transport for contact 2, connected.
class TcpPairTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    port = server.Listen(Contact(1), 0, &error);
    ASSERT_NE(port, 0) << error;
    ASSERT_TRUE(client->Connect(Contact(2), "127.0.0.1", port, &error)) << error;
    ASSERT_TRUE(Eventually([&] { return server.IsConnected(Contact(1)); }));
  }

  RecordingSink server_sink, client_sink;
  TcpTransport server{server_sink};
  std::unique_ptr<TcpTransport> client = std::make_unique<TcpTransport>(client_sink);
  uint16_t port = 0;
};

TEST_F(TcpPairTest, MessagesArriveWholeAndInOrderBothWays) {
  const std::string big(200'000, 'x');  // more than one segment on the wire
  for (const std::string& text : {std::string("hello"), std::string(), big, std::string("end")}) {
    EXPECT_TRUE(client->Send(Contact(2), text));
  }
  EXPECT_TRUE(server.Send(Contact(1), "back"));
  const auto at_server = server_sink.WaitFor(4);
  ASSERT_EQ(at_server.size(), 4u);
  EXPECT_EQ(at_server[0], std::pair(Contact(1), std::string("hello")));
  EXPECT_EQ(at_server[1], std::pair(Contact(1), std::string()));
  EXPECT_EQ(at_server[2].second, big);
  EXPECT_EQ(at_server[3].second, "end");
  EXPECT_THAT(client_sink.WaitFor(1), ElementsAre(Pair(Contact(2), "back")));
}

TEST_F(TcpPairTest, RefusesWhatCannotBeSent) {
  std::string error;
  EXPECT_FALSE(client->Send(Contact(9), "nobody"));
  EXPECT_FALSE(client->Send(Contact(2), std::string(TcpTransport::kMaxMessage + 1, 'x')));
  EXPECT_EQ(server.Listen(Contact(1), 0, &error), 0);
  EXPECT_THAT(error, HasSubstr("already"));
  EXPECT_FALSE(client->Connect(Contact(2), "127.0.0.1", port, &error));
  EXPECT_FALSE(client->Connect(Contact(3), "no address", port, &error));
  EXPECT_THAT(error, HasSubstr("not an IPv4 address"));
  EXPECT_EQ(server.Listen(Contact(3), port, &error), 0);  // port taken by the listener
  EXPECT_THAT(error, HasSubstr("cannot listen"));
}

TEST_F(TcpPairTest, PeerGoingAwayClosesTheConnection) {
  client.reset();
  EXPECT_TRUE(Eventually([&] { return !server.IsConnected(Contact(1)); }));
  EXPECT_FALSE(server.Send(Contact(1), "anyone?"));
}

TEST_F(TcpPairTest, OversizedLengthFromAPeerEndsItsConnection) {
  // A second, raw peer for contact 5 that announces a 4 GiB message.
  std::string error;
  const uint16_t raw_port = server.Listen(Contact(5), 0, &error);
  ASSERT_NE(raw_port, 0) << error;
  int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(raw_port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ASSERT_EQ(::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
  const unsigned char header[] = {0xFF, 0xFF, 0xFF, 0xFF, 'a', 'b'};
  ASSERT_EQ(::send(fd, header, sizeof(header), MSG_NOSIGNAL), 6);
  char byte = 0;
  EXPECT_EQ(::recv(fd, &byte, 1, 0), 0);  // the server hung up
  ::close(fd);
  EXPECT_FALSE(server.IsConnected(Contact(5)));
  // The good connection is untouched.
  EXPECT_TRUE(client->Send(Contact(2), "still here"));
  EXPECT_THAT(server_sink.WaitFor(1), ElementsAre(Pair(Contact(1), "still here")));
}

TEST(TcpTransport, ConnectingToNoListenerFails) {
  RecordingSink sink;
  TcpTransport transport(sink);
  std::string error;
  // Bind a port and close it again, so nothing listens there.
  uint16_t port = 0;
  {
    TcpTransport probe(sink);
    port = probe.Listen(Contact(1), 0, &error);
  }
  ASSERT_NE(port, 0);
  EXPECT_FALSE(transport.Connect(Contact(1), "127.0.0.1", port, &error));
  EXPECT_THAT(error, HasSubstr("cannot connect to 127.0.0.1:" + std::to_string(port)));
  EXPECT_FALSE(transport.IsConnected(Contact(1)));
}

// ---- Two host processes ----

// The peer program (host_peer_main.cpp) connects to us, answers every message with
// "echo: " and the text, and stops at "bye".
TEST_F(HostTest, TwoHostProcessesTalkOverTheNetworkTransport) {
  HANDLE peer = host->AddContact("Peer");
  auto transport = std::make_unique<TcpTransport>(host->IncomingSink());
  std::string error;
  const uint16_t port = transport->Listen(peer, 0, &error);
  ASSERT_NE(port, 0) << error;
  TcpTransport* tcp = transport.get();
  host->SetTransport(std::move(transport));

  std::string port_text = std::to_string(port);
  char program[] = HOST_PEER;
  char* argv[] = {program, port_text.data(), nullptr};
  pid_t pid = 0;
  ASSERT_EQ(posix_spawn(&pid, program, nullptr, nullptr, argv, environ), 0);
  ASSERT_TRUE(Eventually([&] { return tcp->IsConnected(peer); }));

  auto send = [&](const char* text) {
    CCSDATA ccs{peer, PSS_MESSAGE, 0, reinterpret_cast<LPARAM>(text)};
    return Call(MS_PROTO_CALLCONTACTSERVICE, 0, &ccs);
  };
  EXPECT_NE(send("hello"), 0);
  EXPECT_NE(send("#RQ0100000000000000"), 0);
  EXPECT_TRUE(Eventually([&] {
    queue.RunPending();
    return host->EventsOf(peer).size() >= 4;
  }));
  EXPECT_NE(send("bye"), 0);
  int status = -1;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;

  std::vector<std::string> history;
  for (const EventRecord& e : host->EventsOf(peer)) {
    history.push_back(((e.flags & DBEF_SENT) ? "> " : "< ") + std::string(e.blob.c_str()));
  }
  EXPECT_THAT(history, ElementsAre("> hello", "> #RQ0100000000000000", "< echo: hello",
                                   "< echo: #RQ0100000000000000", "> bye"));
}

}  // namespace
}  // namespace tessaro::host::testing
