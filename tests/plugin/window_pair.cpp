#include "window_pair.h"

#include <utility>

#include "host/transport.h"

namespace tessaro::testing {

bool WindowPair::Start(const std::string& profilePath, std::string* error) {
  host::HostOptions options;
  options.profile_path = profilePath;
  host = host::Host::Create(queue, options, error);
  if (!host) return false;
  host->SetUserName("Me");
  bob = host->FindContact("Bob");
  alice = host->FindContact("Alice");
  if (bob == nullptr) bob = host->AddContact("Bob");
  if (alice == nullptr) alice = host->AddContact("Alice");
  auto loopback = std::make_unique<host::LoopbackTransport>(host->IncomingSink());
  if (!loopback->Pair(bob, alice)) {
    *error = "the loopback cannot pair Bob and Alice";
    return false;
  }
  host->SetTransport(std::move(loopback));
  app = std::make_unique<PluginApp>();
  if (!app->resourcesLoaded()) {
    *error = "the plug-in's resources did not load";
    return false;
  }
  if (app->Load(host->link()) != 0) {
    *error = "the plug-in did not load";
    return false;
  }
  return true;
}

void WindowPair::Stop() {
  black = white = nullptr;
  app.reset();
  host.reset();
  ui.RunUntilIdle();
}

bool WindowPair::OpenBoth() {
  app->OpenGameWindow(bob);
  app->OpenGameWindow(alice);
  return MakeBoth();
}

bool WindowPair::MakeBoth() {
  black = app->FindOrCreateWindow(bob);
  white = app->FindOrCreateWindow(alice);
  return ui.RunUntilIdle();
}

HANDLE WindowPair::StoreReceived(HANDLE contact, const std::string& module, uint32_t flags,
                                 uint16_t type, std::string blob) {
  host::EventRecord event;
  event.contact = contact;
  event.module = module;
  event.timestamp = host->Now();
  event.flags = flags;
  event.type = type;
  event.blob = std::move(blob);
  return host->AddEvent(std::move(event));
}

CPoint WindowPair::BoardPoint(int x, int y) {
  return CPoint(12 + 17 * x + 7, 8 + 17 * y + 7);
}

}  // namespace tessaro::testing
