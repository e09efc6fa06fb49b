// The throwaway local XMPP server: it starts on its own port, serves clients,
// comes back on the same port after a stop or a kill, and says why when it cannot.
#include "host/xmpp_server.h"

#include <arpa/inet.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "xmpp_fixture.h"

namespace tessaro::host::testing {
namespace {

using ::testing::HasSubstr;

// Whether something accepts TCP connections on 127.0.0.1:port.
bool Accepts(uint16_t port) {
  int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  const bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  ::close(fd);
  return ok;
}

// Prosody and ejabberd each: nothing is left listening after a stop or a kill.
class LocalXmppServerOfEachKind : public ::testing::TestWithParam<LocalXmppServer::Software> {};

TEST_P(LocalXmppServerOfEachKind, ComesBackOnTheSamePortAfterStopAndKill) {
  const LocalXmppServer::Software software = GetParam();
  if (!LocalXmppServer::Installed(software))
    GTEST_SKIP() << LocalXmppServer::Name(software) << " is not installed";
  TempFolder folder;
  std::string error;
  auto server = LocalXmppServer::Create(folder.path(), &error, software);
  ASSERT_NE(server, nullptr) << error;
  const uint16_t port = server->port();
  EXPECT_FALSE(Accepts(port));
  struct Step {
    const char* name;
    void (LocalXmppServer::*down)();
  };
  for (const Step& step :
       {Step{"stop", &LocalXmppServer::Stop}, Step{"kill", &LocalXmppServer::Kill}}) {
    ASSERT_TRUE(server->Start(&error)) << step.name << ": " << error;
    EXPECT_TRUE(server->running());
    EXPECT_TRUE(Accepts(port)) << step.name;
    (server.get()->*step.down)();
    EXPECT_FALSE(server->running());
    EXPECT_FALSE(Accepts(port)) << step.name;
  }
  EXPECT_EQ(server->port(), port);
}

INSTANTIATE_TEST_SUITE_P(Servers, LocalXmppServerOfEachKind,
                         ::testing::Values(LocalXmppServer::Software::kProsody,
                                           LocalXmppServer::Software::kEjabberd),
                         ServerName);

TEST(LocalXmppServerTest, ReportsATakenPortAndBadAccountNames) {
  if (!LocalXmppServer::Installed()) GTEST_SKIP() << "prosody is not installed";
  TempFolder folder;
  std::string error;
  auto server = LocalXmppServer::Create(folder.path(), &error);
  ASSERT_NE(server, nullptr) << error;
  // Someone else takes the port first.
  int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  int on = 1;
  ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(server->port());
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  ASSERT_EQ(::listen(fd, 1), 0);
  EXPECT_FALSE(server->Start(&error));
  EXPECT_THAT(error, HasSubstr("is taken"));
  EXPECT_FALSE(server->running());
  ::close(fd);

  for (const char* bad : {"", "Alice", "al ice", "a/b", "a@b"}) {
    error.clear();
    EXPECT_FALSE(server->AddAccount(bad, "pw", &error)) << bad;
    EXPECT_THAT(error, HasSubstr("is not lower-case")) << bad;
  }
  EXPECT_TRUE(server->AddAccount("bob.b-2_x", "p\"w\\\n", &error)) << error;
}

}  // namespace
}  // namespace tessaro::host::testing
