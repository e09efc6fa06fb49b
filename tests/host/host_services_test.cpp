// The host's own services as a module calls them: records checked, buffers
// never overrun, handles validated.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "host/plugin_link.h"
#include "host_fixture.h"

namespace tessaro::host::testing {
namespace {

using ::testing::ElementsAre;

class ServicesTest : public HostTest {
 protected:
  void SetUp() override {
    HostTest::SetUp();
    alice = host->AddContact("Alice");
  }

  // Adds an event through "DB/Event/Add", as a protocol module would.
  HANDLE AddThroughService(HANDLE contact, std::string_view blob, DWORD flags = 0) {
    char module[] = "ICQ";
    DBEVENTINFO info{};
    info.cbSize = sizeof(info);
    info.szModule = module;
    info.timestamp = 1234;
    info.flags = flags;
    info.eventType = EVENTTYPE_MESSAGE;
    info.cbBlob = static_cast<DWORD>(blob.size());
    info.pBlob = reinterpret_cast<BYTE*>(const_cast<char*>(blob.data()));
    return reinterpret_cast<HANDLE>(Call(MS_DB_EVENT_ADD, W(contact), &info));
  }

  HANDLE alice = nullptr;
};

// ---- DB/Event/Get ----

TEST_F(ServicesTest, GetCopiesNoMoreThanTheCallersBuffer) {
  const std::string with_zero("hello", 6);
  struct Case {
    const char* what;
    std::string blob;
    DWORD capacity;
    std::string expected;  // the bytes copied
  };
  const Case cases[] = {
      {"fits with its zero", with_zero, 16, with_zero},
      {"exact fit", with_zero, 6, with_zero},
      {"cut short, no zero", with_zero, 3, "hel"},
      {"blob without a zero byte", "abcd", 8, "abcd"},
      {"no buffer wanted", "abcd", 0, ""},
      {"empty blob", "", 8, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    HANDLE event = AddThroughService(alice, c.blob, DBEF_SENT);
    ASSERT_NE(event, nullptr);
    std::vector<BYTE> buffer(c.capacity + 8, 0xAA);  // 8 guard bytes past the capacity
    DBEVENTINFO info{};
    info.cbSize = sizeof(info);
    info.cbBlob = c.capacity;
    info.pBlob = c.capacity == 0 ? nullptr : buffer.data();
    ASSERT_EQ(Call(MS_DB_EVENT_GET, W(event), &info), 0);
    EXPECT_STREQ(info.szModule, "ICQ");
    EXPECT_EQ(info.timestamp, 1234u);
    EXPECT_EQ(info.flags, static_cast<DWORD>(DBEF_SENT));
    EXPECT_EQ(info.eventType, EVENTTYPE_MESSAGE);
    EXPECT_EQ(info.cbBlob, c.expected.size());
    EXPECT_EQ(std::string(buffer.begin(), buffer.begin() + static_cast<long>(c.expected.size())),
              c.expected);
    for (std::size_t i = c.expected.size(); i < buffer.size(); ++i)
      ASSERT_EQ(buffer[i], 0xAA) << i;
    EXPECT_EQ(Call(MS_DB_EVENT_GETBLOBSIZE, W(event), LPARAM{0}),
              static_cast<INT_PTR>(c.blob.size()));
  }
}

TEST_F(ServicesTest, GetRefusesBadRecordsAndFillsNothing) {
  HANDLE event = AddThroughService(alice, std::string("hi", 3));
  BYTE buffer[16] = {};
  struct Case {
    const char* what;
    int cbSize;
    BYTE* blob;
    DWORD capacity;
    HANDLE event;
  };
  const Case cases[] = {
      {"size one short", static_cast<int>(sizeof(DBEVENTINFO)) - 1, buffer, 16, event},
      {"size one long", static_cast<int>(sizeof(DBEVENTINFO)) + 1, buffer, 16, event},
      {"size zero", 0, buffer, 16, event},
      {"no buffer for a capacity", static_cast<int>(sizeof(DBEVENTINFO)), nullptr, 16, event},
      {"unknown event", static_cast<int>(sizeof(DBEVENTINFO)), buffer, 16,
       reinterpret_cast<HANDLE>(4242)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    DBEVENTINFO info{};
    info.cbSize = c.cbSize;
    info.cbBlob = c.capacity;
    info.pBlob = c.blob;
    info.timestamp = 99;
    const DBEVENTINFO before = info;
    EXPECT_NE(Call(MS_DB_EVENT_GET, W(c.event), &info), 0);
    EXPECT_EQ(std::memcmp(&before, &info, sizeof(info)), 0);
  }
  EXPECT_EQ(buffer[0], 0);
  EXPECT_NE(Call(MS_DB_EVENT_GET, W(event), LPARAM{0}), 0);
  EXPECT_EQ(Call(MS_DB_EVENT_GETBLOBSIZE, 4242, LPARAM{0}), -1);
}

// ---- DB/Event/Add and DB/Event/MarkRead ----

TEST_F(ServicesTest, AddStoresFlagsAndNotifiesTheHooksWithContactAndEvent) {
  std::vector<std::pair<WPARAM, LPARAM>> notified;
  host->services().Hook(ME_DB_EVENT_ADDED, [&](WPARAM w, LPARAM l) {
    // The event can be read by the time the hook runs.
    EXPECT_TRUE(host->Event(reinterpret_cast<HANDLE>(l)).has_value());
    notified.emplace_back(w, l);
    return 0;
  });
  HANDLE received = AddThroughService(alice, "in");
  HANDLE sent = AddThroughService(alice, "out", DBEF_SENT);
  HANDLE own = AddThroughService(nullptr, "system");
  EXPECT_THAT(notified, ElementsAre(std::pair{W(alice), L(received)}, std::pair{W(alice), L(sent)},
                                    std::pair{WPARAM{0}, L(own)}));
  ASSERT_EQ(host->EventsOf(alice).size(), 2u);
  EXPECT_EQ(host->EventsOf(alice)[0].flags, 0u);
  EXPECT_EQ(host->EventsOf(alice)[1].flags, static_cast<uint32_t>(DBEF_SENT));
  EXPECT_EQ(host->EventsOf(alice)[1].blob, "out");
}

TEST_F(ServicesTest, AddRefusesBadRecordsAndUnknownContacts) {
  int notified = 0;
  host->services().Hook(ME_DB_EVENT_ADDED, [&](WPARAM, LPARAM) { return ++notified, 0; });
  char module[] = "ICQ";
  DBEVENTINFO good{};
  good.cbSize = sizeof(good);
  good.szModule = module;
  DBEVENTINFO wrong_size = good, no_module = good, no_blob = good;
  wrong_size.cbSize = 28 + 1;
  no_module.szModule = nullptr;
  no_blob.cbBlob = 4;
  for (DBEVENTINFO* info : {&wrong_size, &no_module, &no_blob}) {
    EXPECT_EQ(Call(MS_DB_EVENT_ADD, W(alice), info), 0);
  }
  EXPECT_EQ(Call(MS_DB_EVENT_ADD, 4242, &good), 0);
  EXPECT_EQ(Call(MS_DB_EVENT_ADD, W(alice), LPARAM{0}), 0);
  EXPECT_EQ(notified, 0);
  EXPECT_TRUE(host->EventsOf(alice).empty());
  EXPECT_NE(Call(MS_DB_EVENT_ADD, W(alice), &good), 0);  // an empty blob is fine
}

TEST_F(ServicesTest, MarkReadSetsTheReadFlagOfTheContactsEventOnly) {
  HANDLE bob = host->AddContact("Bob");
  HANDLE received = AddThroughService(alice, "in");
  HANDLE sent = AddThroughService(alice, "out", DBEF_SENT);
  EXPECT_EQ(host->EventsOf(alice, ReadFilter::kUnread).size(), 2u);
  EXPECT_EQ(Call(MS_DB_EVENT_MARKREAD, W(bob), L(received)), -1);  // not Bob's
  EXPECT_EQ(Call(MS_DB_EVENT_MARKREAD, W(alice), 4242), -1);
  EXPECT_EQ(Call(MS_DB_EVENT_MARKREAD, W(alice), L(received)), DBEF_READ);
  EXPECT_EQ(Call(MS_DB_EVENT_MARKREAD, W(alice), L(received)), DBEF_READ);  // idempotent
  EXPECT_EQ(Call(MS_DB_EVENT_MARKREAD, W(alice), L(sent)), DBEF_SENT | DBEF_READ);
  EXPECT_TRUE(host->EventsOf(alice, ReadFilter::kUnread).empty());
  EXPECT_EQ(host->EventsOf(alice, ReadFilter::kRead).size(), 2u);
}

// ---- Contact list ----

// A module's settings for a contact: written, read back through a buffer that
// may be short, replaced, removed; other contacts and modules see none of it.
TEST_F(ServicesTest, SettingsAreKeptPerContactAndModule) {
  const HANDLE bob = host->AddContact("Bob");
  std::string value("game\0bytes", 10);
  DBCONTACTSETTING write{"Tessaro", "Game", static_cast<DWORD>(value.size()),
                         reinterpret_cast<BYTE*>(value.data())};
  ASSERT_EQ(Call(MS_DB_CONTACT_WRITESETTING, W(alice), &write), 0);
  char buffer[16] = {};
  const auto read = [&](HANDLE contact, const char* module, DWORD room) {
    DBCONTACTSETTING setting{module, "Game", room, reinterpret_cast<BYTE*>(buffer)};
    const INT_PTR size = Call(MS_DB_CONTACT_GETSETTING, W(contact), &setting);
    return std::pair{size, std::string(buffer, setting.cbValue)};
  };
  EXPECT_EQ(read(alice, "Tessaro", 16), std::pair(INT_PTR{10}, value));
  EXPECT_EQ(read(alice, "Tessaro", 4), std::pair(INT_PTR{10}, std::string("game")));
  EXPECT_EQ(read(bob, "Tessaro", 16).first, -1);
  EXPECT_EQ(read(alice, "Other", 16).first, -1);
  write.cbValue = 2;
  ASSERT_EQ(Call(MS_DB_CONTACT_WRITESETTING, W(alice), &write), 0);
  EXPECT_EQ(read(alice, "Tessaro", 16), std::pair(INT_PTR{2}, std::string("ga")));
  ASSERT_EQ(Call(MS_DB_CONTACT_DELETESETTING, W(alice), &write), 0);
  EXPECT_EQ(read(alice, "Tessaro", 16).first, -1);

  // Records without names, a value without bytes, unknown contacts.
  DBCONTACTSETTING noName{"Tessaro", nullptr, 0, nullptr};
  DBCONTACTSETTING noBytes{"Tessaro", "Game", 3, nullptr};
  EXPECT_EQ(Call(MS_DB_CONTACT_WRITESETTING, W(alice), &noName), 1);
  EXPECT_EQ(Call(MS_DB_CONTACT_WRITESETTING, W(alice), &noBytes), 1);
  EXPECT_EQ(Call(MS_DB_CONTACT_WRITESETTING, W(alice), LPARAM{0}), 1);
  EXPECT_EQ(Call(MS_DB_CONTACT_WRITESETTING, 4242, &write), 1);
  EXPECT_EQ(Call(MS_DB_CONTACT_GETSETTING, W(alice), &noBytes), -1);
  EXPECT_EQ(Call(MS_DB_CONTACT_DELETESETTING, W(alice), &noName), 1);
}

TEST_F(ServicesTest, DisplayNamesOfUserContactsAndUnknownHandles) {
  auto name = [&](WPARAM contact) {
    return std::string(
        reinterpret_cast<const char*>(Call(MS_CLIST_GETCONTACTDISPLAYNAME, contact, LPARAM{0})));
  };
  EXPECT_EQ(name(0), kDefaultUserName);
  EXPECT_EQ(name(W(alice)), "Alice");
  EXPECT_EQ(name(4242), "(Unknown Contact)");
  ASSERT_TRUE(host->SetUserName("Zed"));
  ASSERT_TRUE(host->RenameContact(alice, "Alicia"));
  EXPECT_EQ(name(0), "Zed");
  EXPECT_EQ(name(W(alice)), "Alicia");
  EXPECT_FALSE(host->RenameContact(reinterpret_cast<HANDLE>(4242), "x"));
  EXPECT_EQ(host->FindContact("Alicia"), alice);
  EXPECT_EQ(host->FindContact("Alice"), nullptr);
}

TEST_F(ServicesTest, MenuItemsWithBadRecordsAreRefused) {
  char name[] = "&Item", service[] = "Some/Service";
  CLISTMENUITEM good{};
  good.cbSize = sizeof(good);
  good.pszName = name;
  good.pszService = service;
  CLISTMENUITEM wrong_size = good, no_name = good, no_service = good;
  wrong_size.cbSize = 40 - 1;
  no_name.pszName = nullptr;
  no_service.pszService = nullptr;
  for (CLISTMENUITEM* item : {&wrong_size, &no_name, &no_service}) {
    EXPECT_EQ(Call(MS_CLIST_ADDCONTACTMENUITEM, 0, item), 0);
  }
  EXPECT_EQ(Call(MS_CLIST_ADDCONTACTMENUITEM, 0, LPARAM{0}), 0);
  EXPECT_TRUE(host->MenuItemsFor(alice).empty());
  // The host keeps its own copies of the strings.
  ASSERT_NE(Call(MS_CLIST_ADDCONTACTMENUITEM, 0, &good), 0);
  std::strcpy(name, "XXXXX");
  ASSERT_EQ(host->MenuItemsFor(alice).size(), 1u);
  EXPECT_EQ(host->MenuItemsFor(alice)[0].name, "&Item");
  // An item whose service does not exist cannot be invoked.
  EXPECT_FALSE(host->InvokeMenuItem(alice, host->MenuItemsFor(alice)[0].handle));
}

// ---- Proto/CallContactService ----

TEST_F(ServicesTest, ContactServiceReachesTheContactsProtocolWithTheRecord) {
  HANDLE carol = host->AddContact("Carol", "MSN");
  const CCSDATA* seen = nullptr;
  WPARAM seen_w = 99;
  host->services().CreateService("MSN/SendMsg", [&](WPARAM w, LPARAM l) {
    seen_w = w;
    seen = reinterpret_cast<const CCSDATA*>(l);
    return INT_PTR{17};
  });
  CCSDATA ccs{carol, PSS_MESSAGE, 3, reinterpret_cast<LPARAM>("text")};
  EXPECT_EQ(Call(MS_PROTO_CALLCONTACTSERVICE, 0, &ccs), 17);
  EXPECT_EQ(seen, &ccs);
  EXPECT_EQ(seen_w, 0u);
  CCSDATA other{carol, "/GetInfo", 0, 0};
  EXPECT_EQ(Call(MS_PROTO_CALLCONTACTSERVICE, 0, &other), CALLSERVICE_NOTFOUND);
  CCSDATA no_service{carol, nullptr, 0, 0};
  EXPECT_EQ(Call(MS_PROTO_CALLCONTACTSERVICE, 0, &no_service), CALLSERVICE_NOTFOUND);
}

// ---- The table without a host ----

TEST(PluginLinkWithoutHost, EveryFunctionFailsQuietly) {
  ASSERT_EQ(Host::Current(), nullptr);
  PLUGINLINK link = MakePluginLink();
  EXPECT_EQ(link.CallService(MS_DB_EVENT_GET, 0, 0), CALLSERVICE_NOTFOUND);
  EXPECT_EQ(link.ServiceExists(MS_DB_EVENT_GET), 0);
  EXPECT_EQ(link.CreateHookableEvent("E"), nullptr);
  EXPECT_EQ(link.HookEvent("E", [](WPARAM, LPARAM) { return 0; }), nullptr);
  EXPECT_EQ(link.CreateServiceFunction("S", [](WPARAM, LPARAM) { return INT_PTR{0}; }), nullptr);
  EXPECT_EQ(link.NotifyEventHooks(reinterpret_cast<HANDLE>(1), 0, 0), -1);
  EXPECT_EQ(link.UnhookEvent(reinterpret_cast<HANDLE>(1)), -1);
  EXPECT_EQ(link.DestroyServiceFunction(reinterpret_cast<HANDLE>(1)), -1);
  EXPECT_EQ(link.DestroyHookableEvent(reinterpret_cast<HANDLE>(1)), -1);
}

}  // namespace
}  // namespace tessaro::host::testing
