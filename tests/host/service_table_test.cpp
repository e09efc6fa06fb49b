// Services and hookable events: names, chains, and changes made from inside a call.
#include "host/service_table.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "host_fixture.h"

namespace tessaro::host {
namespace {

using ::testing::ElementsAre;

TEST(ServiceTable, ServicesAreFoundByExactNameAndNamesAreUnique) {
  ServiceTable table;
  HANDLE s = table.CreateService("A/Get", [](WPARAM w, LPARAM l) { return INT_PTR(w) + l; });
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(table.CreateService("A/Get", [](WPARAM, LPARAM) { return INT_PTR{0}; }), nullptr);
  EXPECT_EQ(table.CreateService("", [](WPARAM, LPARAM) { return INT_PTR{0}; }), nullptr);
  EXPECT_EQ(table.CreateService("A/Empty", ServiceFn{}), nullptr);
  EXPECT_EQ(table.Call("A/Get", 2, 3), 5);
  EXPECT_EQ(table.Call("a/get", 2, 3), CALLSERVICE_NOTFOUND);
  EXPECT_FALSE(table.Exists("A/Ge"));
  EXPECT_TRUE(table.DestroyService(s));
  EXPECT_FALSE(table.DestroyService(s));
  EXPECT_EQ(table.Call("A/Get", 2, 3), CALLSERVICE_NOTFOUND);
}

TEST(ServiceTable, ServiceMayDestroyItselfWhileItRuns) {
  ServiceTable table;
  HANDLE self = nullptr;
  std::string kept = "still here";
  self = table.CreateService("Once", [&table, &self, kept](WPARAM, LPARAM) {
    table.DestroyService(self);
    return static_cast<INT_PTR>(kept.size());  // the running copy is intact
  });
  EXPECT_EQ(table.Call("Once", 0, 0), 10);
  EXPECT_FALSE(table.Exists("Once"));
}

// Each row: what the three hooks return, which of them run, and Notify's result.
TEST(ServiceTable, HooksRunInOrderUntilOneReturnsNonZero) {
  struct Case {
    std::vector<int> returns;
    std::vector<int> called;
    int result;
  };
  const Case cases[] = {
      {{0, 0, 0}, {0, 1, 2}, 0},
      {{0, 5, 0}, {0, 1}, 5},
      {{-3, 0, 0}, {0}, -3},
      {{0, 0, 9}, {0, 1, 2}, 9},
  };
  for (const Case& c : cases) {
    ServiceTable table;
    HANDLE event = table.CreateEvent("E");
    std::vector<int> called;
    for (int i = 0; i < 3; ++i) {
      table.Hook("E", [&called, &c, i](WPARAM w, LPARAM l) {
        EXPECT_EQ(w, 11u);
        EXPECT_EQ(l, 22);
        called.push_back(i);
        return c.returns[static_cast<std::size_t>(i)];
      });
    }
    EXPECT_EQ(table.Notify(event, 11, 22), c.result);
    EXPECT_EQ(called, c.called);
  }
}

TEST(ServiceTable, ChangesDuringANotificationTakeEffectAsDocumented) {
  ServiceTable table;
  HANDLE event = table.CreateEvent("E");
  std::vector<std::string> calls;
  HANDLE second = nullptr;
  table.Hook("E", [&](WPARAM, LPARAM) {
    calls.push_back("first");
    if (second != nullptr) table.Unhook(second);
    second = nullptr;
    table.Hook("E", [&](WPARAM, LPARAM) { return calls.push_back("added"), 0; });
    return 0;
  });
  second = table.Hook("E", [&](WPARAM, LPARAM) { return calls.push_back("second"), 0; });
  EXPECT_EQ(table.Notify(event, 0, 0), 0);
  EXPECT_THAT(calls, ElementsAre("first"));  // second removed, "added" not yet
  calls.clear();
  EXPECT_EQ(table.Notify(event, 0, 0), 0);
  EXPECT_THAT(calls, ElementsAre("first", "added"));
}

TEST(ServiceTable, EventsNeedCreatingAndTakeTheirHooksWhenDestroyed) {
  ServiceTable table;
  EXPECT_EQ(table.Hook("Missing", [](WPARAM, LPARAM) { return 0; }), nullptr);
  HANDLE event = table.CreateEvent("E");
  EXPECT_EQ(table.CreateEvent("E"), nullptr);
  EXPECT_EQ(table.FindEvent("E"), event);
  HANDLE hook = table.Hook("E", [](WPARAM, LPARAM) { return 0; });
  EXPECT_EQ(table.Hook("E", HookFn{}), nullptr);
  EXPECT_TRUE(table.DestroyEvent(event));
  EXPECT_EQ(table.Notify(event, 0, 0), -1);
  EXPECT_FALSE(table.Unhook(hook));
  EXPECT_FALSE(table.DestroyEvent(event));
}

TEST(ServiceTable, HandlesAreDistinctAcrossKinds) {
  ServiceTable table;
  HANDLE event = table.CreateEvent("E");
  HANDLE hook = table.Hook("E", [](WPARAM, LPARAM) { return 0; });
  HANDLE service = table.CreateService("S", [](WPARAM, LPARAM) { return INT_PTR{0}; });
  EXPECT_EQ(std::set<HANDLE>({event, hook, service, nullptr}).size(), 4u);
  // A handle of one kind does nothing to another kind.
  EXPECT_FALSE(table.Unhook(service));
  EXPECT_FALSE(table.DestroyEvent(hook));
  EXPECT_FALSE(table.DestroyService(event));
  EXPECT_EQ(table.Notify(service, 0, 0), -1);
  EXPECT_TRUE(table.Exists("S"));
  EXPECT_EQ(table.HookCount("E"), 1u);
}

TEST(ServiceTable, RemoveOwnedByDropsOnlyThatOwnersRegistrations) {
  ServiceTable table;
  int module_a = 0, module_b = 0;
  HANDLE event = table.CreateEvent("E");
  std::vector<char> called;
  table.Hook(
      "E", [&](WPARAM, LPARAM) { return called.push_back('a'), 0; }, &module_a);
  table.Hook(
      "E", [&](WPARAM, LPARAM) { return called.push_back('b'), 0; }, &module_b);
  table.Hook("E", [&](WPARAM, LPARAM) { return called.push_back('h'), 0; });
  table.CreateService(
      "A/S", [](WPARAM, LPARAM) { return INT_PTR{1}; }, &module_a);
  table.CreateService(
      "B/S", [](WPARAM, LPARAM) { return INT_PTR{2}; }, &module_b);
  EXPECT_EQ(table.RemoveOwnedBy(&module_a), 2u);
  EXPECT_EQ(table.RemoveOwnedBy(nullptr), 0u);  // the host's own stay
  table.Notify(event, 0, 0);
  EXPECT_THAT(called, ElementsAre('b', 'h'));
  EXPECT_FALSE(table.Exists("A/S"));
  EXPECT_TRUE(table.Exists("B/S"));
}

// ---- The same through the C table a module gets ----

using testing::HostTest;

INT_PTR Twice(WPARAM w, LPARAM) {
  return static_cast<INT_PTR>(w) * 2;
}
int Counting(WPARAM w, LPARAM) {
  *reinterpret_cast<int*>(w) += 1;
  return 0;
}

TEST_F(HostTest, ModuleTableCreatesCallsHooksAndRefusesNullArguments) {
  PLUGINLINK* link = host->link();
  HANDLE service = link->CreateServiceFunction("Mod/Twice", Twice);
  ASSERT_NE(service, nullptr);
  EXPECT_EQ(link->CreateServiceFunction("Mod/Twice", Twice), nullptr);
  EXPECT_EQ(link->ServiceExists("Mod/Twice"), 1);
  EXPECT_EQ(link->CallService("Mod/Twice", 21, 0), 42);
  EXPECT_EQ(link->DestroyServiceFunction(service), 0);
  EXPECT_EQ(link->DestroyServiceFunction(service), -1);
  EXPECT_EQ(link->ServiceExists("Mod/Twice"), 0);

  HANDLE event = link->CreateHookableEvent("Mod/Changed");
  ASSERT_NE(event, nullptr);
  HANDLE hook = link->HookEvent("Mod/Changed", Counting);
  int count = 0;
  EXPECT_EQ(link->NotifyEventHooks(event, reinterpret_cast<WPARAM>(&count), 0), 0);
  EXPECT_EQ(count, 1);
  EXPECT_EQ(link->UnhookEvent(hook), 0);
  EXPECT_EQ(link->UnhookEvent(hook), -1);
  EXPECT_EQ(link->NotifyEventHooks(event, reinterpret_cast<WPARAM>(&count), 0), 0);
  EXPECT_EQ(count, 1);
  EXPECT_EQ(link->DestroyHookableEvent(event), 0);
  EXPECT_EQ(link->NotifyEventHooks(event, 0, 0), -1);

  EXPECT_EQ(link->CallService(nullptr, 0, 0), CALLSERVICE_NOTFOUND);
  EXPECT_EQ(link->ServiceExists(nullptr), 0);
  EXPECT_EQ(link->CreateServiceFunction(nullptr, Twice), nullptr);
  EXPECT_EQ(link->CreateServiceFunction("Mod/Null", nullptr), nullptr);
  EXPECT_EQ(link->CreateHookableEvent(nullptr), nullptr);
  EXPECT_EQ(link->HookEvent(nullptr, Counting), nullptr);
  EXPECT_EQ(link->HookEvent(ME_DB_EVENT_ADDED, nullptr), nullptr);
  // The host's own event cannot be made twice by a module.
  EXPECT_EQ(link->CreateHookableEvent(ME_DB_EVENT_ADDED), nullptr);
}

}  // namespace
}  // namespace tessaro::host
