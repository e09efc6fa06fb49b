// Loading and unloading real modules through dlopen and the PLUGINLINK table.
#include <dlfcn.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "host/module_loader.h"
#include "host_fixture.h"

namespace tessaro::host::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

bool ModuleIsMapped(const char* path) {
  void* handle = dlopen(path, RTLD_NOW | RTLD_NOLOAD);
  if (handle == nullptr) return false;
  dlclose(handle);
  return true;
}

const MenuItem* FindItem(const std::vector<MenuItem>& items, const std::string& name) {
  for (const MenuItem& item : items) {
    if (item.name == name) return &item;
  }
  return nullptr;
}

TEST_F(HostTest, LoadsModuleAndRunsItsLoad) {
  std::string error;
  ASSERT_TRUE(host->LoadModule(TEST_PLUGIN, &error)) << error;
  EXPECT_THAT(log, ElementsAre("load host=0x01000000", "menu item added"));
  EXPECT_THAT(host->ModuleNames(), ElementsAre("Host test plug-in"));
  EXPECT_TRUE(host->services().Exists("TestPlugin/Invoke"));
  EXPECT_EQ(host->services().HookCount(ME_DB_EVENT_ADDED), 1u);
}

TEST_F(HostTest, SecondLoadOfTheSameModuleIsRefused) {
  std::string error;
  ASSERT_TRUE(host->LoadModule(TEST_PLUGIN, &error)) << error;
  EXPECT_FALSE(host->LoadModule(TEST_PLUGIN, &error));
  EXPECT_THAT(error, HasSubstr("already loaded"));
  EXPECT_EQ(host->ModuleNames().size(), 1u);
  EXPECT_EQ(host->services().HookCount(ME_DB_EVENT_ADDED), 1u);
}

// Modules the host must refuse before their Load runs; each is closed again.
TEST_F(HostTest, RefusesBrokenModulesWithAClearError) {
  const std::string not_a_library = ::testing::TempDir() + "host_test_not_a_library.so";
  if (FILE* file = std::fopen(not_a_library.c_str(), "w")) {
    std::fputs("plain text", file);
    std::fclose(file);
  }
  struct Case {
    std::string path;
    std::vector<std::string> error_parts;
  };
  const Case cases[] = {
      {TEST_PLUGIN_NO_UNLOAD, {TEST_PLUGIN_NO_UNLOAD, "does not export 'Unload'"}},
      {TEST_PLUGIN_BAD_SIZE,
       {TEST_PLUGIN_BAD_SIZE, "plug-in information of " + std::to_string(sizeof(PLUGININFO) - 4),
        "needs " + std::to_string(sizeof(PLUGININFO))}},
      {"/nonexistent/module.so", {"cannot load module '/nonexistent/module.so'"}},
      {not_a_library, {"cannot load module '" + not_a_library + "'"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    std::string error;
    EXPECT_FALSE(host->LoadModule(c.path, &error));
    for (const std::string& part : c.error_parts)
      EXPECT_THAT(error, HasSubstr(part));
    EXPECT_FALSE(ModuleIsMapped(c.path.c_str()));
  }
  EXPECT_TRUE(log.empty());  // no Load ran
  EXPECT_TRUE(host->ModuleNames().empty());
  EXPECT_EQ(host->services().HookCount(ME_DB_EVENT_ADDED), 0u);
  std::filesystem::remove(not_a_library);
}

TEST_F(HostTest, FailedLoadIsClosedAndLeavesNothingBehind) {
  std::string error;
  EXPECT_FALSE(host->LoadModule(TEST_PLUGIN_LOAD_FAILS, &error));
  EXPECT_THAT(error, HasSubstr(TEST_PLUGIN_LOAD_FAILS));
  EXPECT_THAT(error, HasSubstr("Load returned 7"));
  EXPECT_FALSE(ModuleIsMapped(TEST_PLUGIN_LOAD_FAILS));
  // Its hook and service pointed into the closed module; both must be gone, so
  // adding an event calls nothing.
  EXPECT_EQ(host->services().HookCount(ME_DB_EVENT_ADDED), 0u);
  EXPECT_FALSE(host->services().Exists("TestPlugin/Invoke"));
  HANDLE alice = host->AddContact("Alice");
  EXPECT_NE(host->AddEvent(EventRecord{nullptr, alice, "ICQ", kNow, 0, 0, "hi"}), nullptr);
}

TEST_F(HostTest, ShutdownUnloadsThenClosesWithServicesIntact) {
  std::string error;
  ASSERT_TRUE(host->LoadModule(TEST_PLUGIN, &error)) << error;
  ASSERT_TRUE(ModuleIsMapped(TEST_PLUGIN));
  log.clear();
  host.reset();
  // The static destructor ran when the module was closed, after Unload, and could
  // still reach the host's record service.
  EXPECT_THAT(log, ElementsAre("unload", "static destructor"));
  EXPECT_FALSE(ModuleIsMapped(TEST_PLUGIN));
  EXPECT_EQ(Host::Current(), nullptr);
}

// A module built into the executable lives the same life, but nothing is
// opened or closed: what it registered still goes when it is unloaded.
namespace builtin {
PLUGINLINK* link = nullptr;
char name[] = "Built-in test plug-in";
PLUGININFO info = {sizeof(PLUGININFO), name, 0, nullptr, nullptr, nullptr, nullptr, nullptr, 0, 0};
int OnEvent(WPARAM, LPARAM) {
  return 0;
}
PLUGININFO* Info(DWORD) {
  return &info;
}
int Load(PLUGINLINK* given) {
  link = given;
  link->HookEvent(ME_DB_EVENT_ADDED, &OnEvent);
  link->CallService("HostTest/Record", 0, reinterpret_cast<LPARAM>("built-in load"));
  return 0;
}
int Unload() {
  link->CallService("HostTest/Record", 0, reinterpret_cast<LPARAM>("built-in unload"));
  return 0;
}
}  // namespace builtin

TEST_F(HostTest, BuiltInModuleLoadsAndUnloadsWithoutAFile) {
  std::string error;
  EXPECT_FALSE(
      host->LoadBuiltinModule("built-in", {&builtin::Info, &builtin::Load, nullptr}, &error));
  EXPECT_THAT(error, HasSubstr("module 'built-in' does not export 'Unload'"));
  const ModuleEntries entries{&builtin::Info, &builtin::Load, &builtin::Unload};
  ASSERT_TRUE(host->LoadBuiltinModule("built-in", entries, &error)) << error;
  EXPECT_FALSE(host->LoadBuiltinModule("built-in", entries, &error));
  EXPECT_THAT(error, HasSubstr("already loaded"));
  EXPECT_THAT(host->ModuleNames(), ElementsAre("Built-in test plug-in"));
  EXPECT_EQ(host->services().HookCount(ME_DB_EVENT_ADDED), 1u);
  host.reset();
  EXPECT_THAT(log, ElementsAre("built-in load", "built-in unload"));
}

TEST_F(HostTest, ModuleMenuItemIsOfferedForIcqContactsOnlyInPositionOrder) {
  std::string error;
  ASSERT_TRUE(host->LoadModule(TEST_PLUGIN, &error)) << error;
  HANDLE alice = host->AddContact("Alice", "ICQ");
  HANDLE carol = host->AddContact("Carol", "MSN");
  // More items around the module's "&Test" at 500, added through the module table.
  char late[] = "Late", early[] = "Early", tie[] = "Tie", service[] = "TestPlugin/Invoke",
       icq[] = "ICQ";
  struct {
    char* name;
    int position;
    char* owner;
  } extra[] = {{late, 900, nullptr}, {early, 100, icq}, {tie, 500, nullptr}};
  for (const auto& e : extra) {
    CLISTMENUITEM item{};
    item.cbSize = sizeof(item);
    item.pszName = e.name;
    item.position = e.position;
    item.pszService = service;
    item.pszContactOwner = e.owner;
    EXPECT_NE(Call(MS_CLIST_ADDCONTACTMENUITEM, 0, &item), 0);
  }
  auto names = [](const std::vector<MenuItem>& items) {
    std::vector<std::string> out;
    for (const MenuItem& item : items)
      out.push_back(item.name);
    return out;
  };
  // Equal positions keep the order they were added in.
  EXPECT_THAT(names(host->MenuItemsFor(alice)), ElementsAre("Early", "&Test", "Tie", "Late"));
  EXPECT_THAT(names(host->MenuItemsFor(carol)), ElementsAre("Tie", "Late"));
  EXPECT_TRUE(host->MenuItemsFor(nullptr).empty());  // the user has no contact menu
  const std::vector<MenuItem> items = host->MenuItemsFor(alice);
  const MenuItem* test = FindItem(items, "&Test");
  ASSERT_NE(test, nullptr);
  EXPECT_EQ(test->service, "TestPlugin/Invoke");
  EXPECT_EQ(test->owner, "ICQ");
  EXPECT_EQ(test->popup, std::nullopt);
}

TEST_F(HostTest, InvokingAModuleItemCallsItsServiceWithTheContact) {
  std::string error;
  ASSERT_TRUE(host->LoadModule(TEST_PLUGIN, &error)) << error;
  HANDLE alice = host->AddContact("Alice", "ICQ");
  HANDLE carol = host->AddContact("Carol", "MSN");
  const std::vector<MenuItem> items = host->MenuItemsFor(alice);
  const MenuItem* test = FindItem(items, "&Test");
  ASSERT_NE(test, nullptr);
  const HANDLE item = test->handle;
  log.clear();
  EXPECT_TRUE(host->InvokeMenuItem(alice, item));
  // No transport is set, so the module's send fails and reports 0.
  EXPECT_THAT(log, ElementsAre("invoke Alice", "sent 0"));
  log.clear();
  EXPECT_FALSE(host->InvokeMenuItem(carol, item));  // not offered for MSN
  EXPECT_FALSE(host->InvokeMenuItem(alice, reinterpret_cast<HANDLE>(999)));
  EXPECT_FALSE(host->InvokeMenuItem(reinterpret_cast<HANDLE>(999), item));
  EXPECT_TRUE(log.empty());
}

}  // namespace
}  // namespace tessaro::host::testing
