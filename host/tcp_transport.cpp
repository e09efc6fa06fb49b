#include "host/tcp_transport.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <thread>
#include <utility>

namespace tessaro::host {

struct TcpTransport::Endpoint {
  HANDLE contact = nullptr;
  int listen_fd = -1;
  int fd = -1;  // the connection; -1 until accepted
  std::atomic<bool> open{false};
  std::mutex write_mutex;  // one message at a time on the wire
  std::thread thread;      // accepts (when listening), then reads
};

namespace {

bool WriteAll(int fd, const char* data, std::size_t size) {
  while (size > 0) {
    ssize_t n = ::send(fd, data, size, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

// False at the end of the stream or on an error.
bool ReadAll(int fd, char* data, std::size_t size) {
  while (size > 0) {
    ssize_t n = ::recv(fd, data, size, 0);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

std::string SystemError(const std::string& what) {
  return what + ": " + std::strerror(errno);
}

}  // namespace

TcpTransport::TcpTransport(MessageSink& sink) : sink_(sink) {}

TcpTransport::~TcpTransport() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
    // Wakes every thread blocked in accept or recv.
    for (auto& [contact, endpoint] : endpoints_) {
      if (endpoint->listen_fd >= 0) ::shutdown(endpoint->listen_fd, SHUT_RDWR);
      if (endpoint->fd >= 0) ::shutdown(endpoint->fd, SHUT_RDWR);
    }
  }
  for (auto& [contact, endpoint] : endpoints_) {
    if (endpoint->thread.joinable()) endpoint->thread.join();
    if (endpoint->listen_fd >= 0) ::close(endpoint->listen_fd);
    if (endpoint->fd >= 0) ::close(endpoint->fd);
  }
}

// ---- Connecting ----

uint16_t TcpTransport::Listen(HANDLE contact, uint16_t port, std::string* error) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (endpoints_.count(contact) != 0) {
    *error = "the contact already has a connection";
    return 0;
  }
  int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) {
    *error = SystemError("socket");
    return 0;
  }
  int on = 1;
  ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof(on));
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof(address);
  if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
      ::listen(fd, 1) != 0 ||
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    *error = SystemError("cannot listen on port " + std::to_string(port));
    ::close(fd);
    return 0;
  }
  auto endpoint = std::make_unique<Endpoint>();
  endpoint->contact = contact;
  endpoint->listen_fd = fd;
  Endpoint* raw = endpoint.get();
  endpoints_.emplace(contact, std::move(endpoint));
  raw->thread = std::thread([this, raw] { AcceptThenRead(raw); });
  return ntohs(address.sin_port);
}

bool TcpTransport::Connect(HANDLE contact, const std::string& address, uint16_t port,
                           std::string* error) {
  sockaddr_in peer{};
  peer.sin_family = AF_INET;
  peer.sin_port = htons(port);
  if (::inet_pton(AF_INET, address.c_str(), &peer.sin_addr) != 1) {
    *error = "not an IPv4 address: '" + address + "'";
    return false;
  }
  const std::string taken = "the contact already has a connection";
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (endpoints_.count(contact) != 0) {
      *error = taken;
      return false;
    }
  }
  // Connected without the lock, so readers are not held up meanwhile.
  int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0 || ::connect(fd, reinterpret_cast<sockaddr*>(&peer), sizeof(peer)) != 0) {
    *error = SystemError("cannot connect to " + address + ":" + std::to_string(port));
    if (fd >= 0) ::close(fd);
    return false;
  }
  std::lock_guard<std::mutex> lock(mutex_);
  if (endpoints_.count(contact) != 0) {
    ::close(fd);
    *error = taken;
    return false;
  }
  auto endpoint = std::make_unique<Endpoint>();
  endpoint->contact = contact;
  endpoint->fd = fd;
  endpoint->open = true;
  Endpoint* raw = endpoint.get();
  endpoints_.emplace(contact, std::move(endpoint));
  raw->thread = std::thread([this, raw, fd] { ReadLoop(raw, fd); });
  return true;
}

bool TcpTransport::IsConnected(HANDLE contact) const {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = endpoints_.find(contact);
  return it != endpoints_.end() && it->second->open;
}

void TcpTransport::AcceptThenRead(Endpoint* endpoint) {
  int fd = -1;
  do {
    fd = ::accept4(endpoint->listen_fd, nullptr, nullptr, SOCK_CLOEXEC);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return;  // shut down
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (stopping_) {
      ::close(fd);
      return;
    }
    endpoint->fd = fd;
    endpoint->open = true;
  }
  ReadLoop(endpoint, fd);
}

void TcpTransport::ReadLoop(Endpoint* endpoint, int fd) {
  for (;;) {
    unsigned char header[4];
    if (!ReadAll(fd, reinterpret_cast<char*>(header), sizeof(header))) break;
    const uint32_t length = uint32_t{header[0]} | uint32_t{header[1]} << 8 |
                            uint32_t{header[2]} << 16 | uint32_t{header[3]} << 24;
    // A length past the limit is a broken or hostile peer: stop reading it.
    if (length > kMaxMessage) break;
    std::string text(length, '\0');
    if (!ReadAll(fd, text.data(), length)) break;
    sink_.Receive(endpoint->contact, std::move(text));
  }
  MarkClosed(endpoint);
}

void TcpTransport::MarkClosed(Endpoint* endpoint) {
  endpoint->open = false;
  std::lock_guard<std::mutex> lock(mutex_);
  // The socket stays allocated until the destructor, so its number cannot be reused
  // under a writer; shutting it down makes later writes fail.
  if (endpoint->fd >= 0) ::shutdown(endpoint->fd, SHUT_RDWR);
}

// ---- Transport ----

bool TcpTransport::Send(HANDLE to, std::string_view text) {
  if (text.size() > kMaxMessage) return false;
  Endpoint* endpoint = nullptr;
  int fd = -1;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = endpoints_.find(to);
    if (it == endpoints_.end() || !it->second->open) return false;
    endpoint = it->second.get();
    fd = endpoint->fd;
  }
  const uint32_t length = static_cast<uint32_t>(text.size());
  const char header[4] = {static_cast<char>(length & 0xFF), static_cast<char>((length >> 8) & 0xFF),
                          static_cast<char>((length >> 16) & 0xFF),
                          static_cast<char>((length >> 24) & 0xFF)};
  std::lock_guard<std::mutex> lock(endpoint->write_mutex);
  if (!WriteAll(fd, header, sizeof(header)) || !WriteAll(fd, text.data(), text.size())) {
    MarkClosed(endpoint);
    return false;
  }
  return true;
}

}  // namespace tessaro::host
