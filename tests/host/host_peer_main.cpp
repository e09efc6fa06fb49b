// The other host process of the network test: a host with one contact, "Host",
// connected over the network transport to the port given as the only argument. It
// answers every message it receives with "echo: " and the text, and exits 0 after
// receiving "bye" (1 on any failure, 2 when nothing comes for a long time).
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "host/host.h"
#include "host/tcp_transport.h"

using tessaro::host::EventRecord;
using tessaro::host::Host;
using tessaro::host::HostOptions;
using tessaro::host::ManualQueue;
using tessaro::host::TcpTransport;

int main(int argc, char** argv) {
  if (argc != 2) return 1;
  const int port = std::atoi(argv[1]);
  ManualQueue queue;
  std::string error;
  auto host = Host::Create(queue, HostOptions{}, &error);
  if (!host) {
    std::fprintf(stderr, "peer: %s\n", error.c_str());
    return 1;
  }
  HANDLE contact = host->AddContact("Host");
  auto transport = std::make_unique<TcpTransport>(host->IncomingSink());
  if (!transport->Connect(contact, "127.0.0.1", static_cast<uint16_t>(port), &error)) {
    std::fprintf(stderr, "peer: %s\n", error.c_str());
    return 1;
  }
  host->SetTransport(std::move(transport));

  bool done = false;
  Host* h = host.get();
  host->services().Hook(ME_DB_EVENT_ADDED, [&](WPARAM, LPARAM event) {
    std::optional<EventRecord> stored = h->Event(reinterpret_cast<HANDLE>(event));
    if (!stored || (stored->flags & DBEF_SENT) != 0) return 0;
    const std::string text = stored->blob.c_str();
    if (text == "bye") {
      done = true;
      return 0;
    }
    const std::string reply = "echo: " + text;
    CCSDATA ccs{contact, PSS_MESSAGE, 0, reinterpret_cast<LPARAM>(reply.c_str())};
    h->CallService(MS_PROTO_CALLCONTACTSERVICE, 0, reinterpret_cast<LPARAM>(&ccs));
    return 0;
  });

  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (!done) {
    if (std::chrono::steady_clock::now() > end) return 2;
    if (queue.RunPending() == 0) std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return 0;
}
