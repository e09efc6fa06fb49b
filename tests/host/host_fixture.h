// A host on a queue drained by hand, with a fixed clock and the service
// "HostTest/Record" through which the test plug-in reports what it sees.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "host/host.h"
#include "host/ui_queue.h"
#include "sdk/plugin_api.h"

namespace tessaro::host::testing {

inline constexpr uint32_t kNow = 1'000'000'000;

class HostTest : public ::testing::Test {
 protected:
  void SetUp() override { host = MakeHost(""); }

  // Opens a host on the profile (empty: in memory) with the record service.
  std::unique_ptr<Host> MakeHost(const std::string& profile) {
    std::string error;
    auto made = Host::Create(queue, HostOptions{profile, [] { return kNow; }}, &error);
    EXPECT_NE(made, nullptr) << error;
    if (!made) return nullptr;
    made->services().CreateService("HostTest/Record", [this](WPARAM, LPARAM text) {
      log.emplace_back(reinterpret_cast<const char*>(text));
      return INT_PTR{0};
    });
    return made;
  }

  // Calls a service through the table a module gets.
  INT_PTR Call(const char* name, WPARAM wParam, LPARAM lParam) {
    return host->link()->CallService(name, wParam, lParam);
  }
  template <typename Record>
  INT_PTR Call(const char* name, WPARAM wParam, Record* record) {
    return Call(name, wParam, reinterpret_cast<LPARAM>(record));
  }
  static WPARAM W(HANDLE handle) { return reinterpret_cast<WPARAM>(handle); }
  static LPARAM L(HANDLE handle) { return reinterpret_cast<LPARAM>(handle); }

  // Declared in this order so the host goes first: the module it closes at the end
  // still records into `log`, and queued tasks outlive it.
  std::vector<std::string> log;
  ManualQueue queue;
  std::unique_ptr<Host> host;
};

}  // namespace tessaro::host::testing
