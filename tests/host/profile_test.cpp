// The profile: a file keeps the user's name, contacts and history across hosts,
// and a file that is not a profile of this host is refused with a clear message.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>

#include "host/database.h"
#include "host_fixture.h"

namespace tessaro::host::testing {
namespace {

using ::testing::HasSubstr;

class ProfileTest : public HostTest {
 protected:
  void SetUp() override {
    dir = std::filesystem::path(::testing::TempDir()) /
          ("host_profile_" +
           std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    path = (dir / "profile.db").string();
  }
  void TearDown() override {
    host.reset();
    std::filesystem::remove_all(dir);
  }

  std::filesystem::path dir;
  std::string path;
};

TEST_F(ProfileTest, FileKeepsUserNameContactsAndHistoryAcrossHosts) {
  HANDLE alice = nullptr, bob = nullptr, event = nullptr;
  {
    host = MakeHost(path);
    ASSERT_NE(host, nullptr);
    ASSERT_TRUE(host->SetUserName("Zed"));
    alice = host->AddContact("Alice");
    bob = host->AddContact("Bob", "MSN");
    ASSERT_TRUE(host->RenameContact(bob, "Robert"));
    event =
        host->AddEvent(EventRecord{nullptr, alice, "ICQ", 77, DBEF_SENT, 0, std::string("hi", 3)});
    ASSERT_NE(event, nullptr);
    host->AddEvent(EventRecord{nullptr, alice, "ICQ", 78, 0, 0, std::string("yo", 3)});
    ASSERT_TRUE(host->MarkRead(alice, event).has_value());
    host.reset();
  }
  host = MakeHost(path);
  ASSERT_NE(host, nullptr);
  EXPECT_STREQ(host->DisplayName(nullptr), "Zed");
  EXPECT_EQ(host->Contacts(), (std::vector<HANDLE>{alice, bob}));
  EXPECT_STREQ(host->DisplayName(alice), "Alice");
  EXPECT_STREQ(host->DisplayName(bob), "Robert");
  EXPECT_EQ(host->ProtocolOf(bob), "MSN");
  const std::vector<EventRecord> history = host->EventsOf(alice);
  ASSERT_EQ(history.size(), 2u);
  EXPECT_EQ(history[0].handle, event);
  EXPECT_EQ(history[0].timestamp, 77u);
  EXPECT_EQ(history[0].flags, static_cast<uint32_t>(DBEF_SENT | DBEF_READ));
  EXPECT_EQ(history[0].blob, std::string("hi", 3));
  EXPECT_EQ(history[1].flags, 0u);
  // Handles are never reused: a new contact gets a new one.
  HANDLE carol = host->AddContact("Carol");
  EXPECT_NE(carol, alice);
  EXPECT_NE(carol, bob);
}

TEST_F(ProfileTest, FileIsOwnerOnlyInWalModeAndKeepsTheAccount) {
  // A profile of the first layout, readable by all: opened, it is tightened and
  // upgraded, and its contacts stay.
  sqlite3* old = nullptr;
  ASSERT_EQ(sqlite3_open(path.c_str(), &old), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(old,
                         "CREATE TABLE contacts(id INTEGER PRIMARY KEY AUTOINCREMENT, "
                         "name TEXT NOT NULL, protocol TEXT NOT NULL);"
                         "INSERT INTO contacts(name, protocol) VALUES('Old', 'ICQ');"
                         "PRAGMA user_version = 1;",
                         nullptr, nullptr, nullptr),
            SQLITE_OK);
  sqlite3_close(old);
  std::filesystem::permissions(path, std::filesystem::perms::all);
  const std::string fresh = (dir / "fresh.db").string();
  for (const std::string& file : {path, fresh}) {
    SCOPED_TRACE(file);
    host = MakeHost(file);
    ASSERT_NE(host, nullptr);
    const XmppAccount account{"Alice@Example.org", "xmpp.example.org", 5223, "s3cret", false};
    ASSERT_TRUE(host->SetAccount(account));
    HANDLE bob = host->AddContact("Bob", kIcqProtocol, "Bob@Example.org");
    host.reset();
    for (const char* suffix : {"", "-wal"}) {
      if (!std::filesystem::exists(file + suffix)) continue;
      EXPECT_EQ(std::filesystem::status(file + suffix).permissions() & std::filesystem::perms::all,
                std::filesystem::perms::owner_read | std::filesystem::perms::owner_write)
          << suffix;
    }
    host = MakeHost(file);
    std::optional<XmppAccount> stored = host->Account();
    ASSERT_TRUE(stored.has_value());
    EXPECT_EQ(stored->address, account.address);
    EXPECT_EQ(stored->server, account.server);
    EXPECT_EQ(stored->port, account.port);
    EXPECT_EQ(stored->password, account.password);
    EXPECT_FALSE(stored->require_tls);
    EXPECT_EQ(host->ContactByAddress("bob@example.org"), bob);
    EXPECT_EQ(host->AddressOf(bob), "bob@example.org");
    host.reset();
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(file.c_str(), &db), SQLITE_OK);
    sqlite3_stmt* mode = nullptr;
    sqlite3_prepare_v2(db, "PRAGMA journal_mode", -1, &mode, nullptr);
    ASSERT_EQ(sqlite3_step(mode), SQLITE_ROW);
    EXPECT_STREQ(reinterpret_cast<const char*>(sqlite3_column_text(mode, 0)), "wal");
    sqlite3_finalize(mode);
    sqlite3_close(db);
  }
  host = MakeHost(path);
  EXPECT_NE(host->FindContact("Old"), nullptr);
}

// A request kept before requests were marked as asking for presence is read
// as a message's; a subscription request marks it and keeps its text unless it
// says something itself.
TEST_F(ProfileTest, RequestsOfAnEarlierProfileGainTheirSubscriptionMark) {
  sqlite3* old = nullptr;
  ASSERT_EQ(sqlite3_open(path.c_str(), &old), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(old,
                         "CREATE TABLE requests(address TEXT PRIMARY KEY, first_seen INTEGER NOT "
                         "NULL, messages INTEGER NOT NULL, last_text BLOB NOT NULL);"
                         "INSERT INTO requests VALUES('carol@example.org', 1, 2, 'hello');"
                         "PRAGMA user_version = 2;",
                         nullptr, nullptr, nullptr),
            SQLITE_OK);
  sqlite3_close(old);
  std::string error;
  auto db = Database::Open(path, &error);
  ASSERT_NE(db, nullptr) << error;
  const struct {
    const char* address;
    const char* says;  // nullptr: a message "hi" instead
    const char* text;  // kept afterwards
    uint32_t messages;
    bool subscription;
  } steps[] = {
      {"carol@example.org", "", "hello", 2, true},
      {"carol@example.org", "let us play", "let us play", 2, true},
      {"carol@example.org", nullptr, "hi", 3, true},
      {"dave@example.org", "", "", 0, true},
      {"erin@example.org", nullptr, "hi", 1, false},
  };
  for (const auto& step : steps) {
    ASSERT_TRUE(step.says ? db->AddSubscriptionRequest(step.address, step.says, 5)
                          : db->AddRequest(step.address, "hi", 5))
        << db->LastError();
    bool found = false;
    for (const ContactRequest& request : db->Requests()) {
      if (request.address != step.address) continue;
      found = true;
      EXPECT_EQ(request.last_text, step.text) << step.address;
      EXPECT_EQ(request.messages, step.messages) << step.address;
      EXPECT_EQ(request.subscription, step.subscription) << step.address;
    }
    EXPECT_TRUE(found) << step.address;
  }
}

// The write-ahead log is copied back into the file on another thread once it
// holds a thousand pages; a burst faster than that copy still keeps it bounded.
TEST_F(ProfileTest, TheWriteAheadLogIsCopiedBackAndStaysBounded) {
  std::string error;
  auto db = Database::Open(path, &error);
  ASSERT_NE(db, nullptr) << error;
  const HANDLE alice = db->AddContact("Alice", "ICQ");
  const std::string blob(3000, 'x');  // a page of the log each
  auto write = [&](int events) {
    for (int i = 0; i < events; ++i)
      ASSERT_NE(db->AddEvent(EventRecord{nullptr, alice, "ICQ", 1, 0, 0, blob}), nullptr);
  };
  const auto fileSize = [](const std::string& file) {
    std::error_code ignored;
    const auto size = std::filesystem::file_size(file, ignored);
    return size == static_cast<std::uintmax_t>(-1) ? std::uintmax_t{0} : size;
  };
  write(1100);
  // Until the copy the events are in the log only.
  for (int waited = 0; fileSize(path) < 1100u * 3000 && waited < 500; ++waited)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  EXPECT_GE(fileSize(path), 1100u * 3000);

  // About five pages an event: unbounded, the log would grow past 30,000.
  write(6000);
  EXPECT_LT(fileSize(path + "-wal"), 12000u * 4096);
  EXPECT_EQ(db->EventsOf(alice, ReadFilter::kAll).size(), 7100u);
}

TEST_F(ProfileTest, MemoryProfileStartsEmptyEveryTime) {
  host = MakeHost("");
  host->AddContact("Alice");
  host->SetUserName("Zed");
  host.reset();
  host = MakeHost("");
  EXPECT_TRUE(host->Contacts().empty());
  EXPECT_STREQ(host->DisplayName(nullptr), kDefaultUserName);
}

TEST_F(ProfileTest, UnusableProfilesAreRefusedWithTheirPath) {
  const std::string garbage = (dir / "garbage.db").string();
  if (FILE* file = std::fopen(garbage.c_str(), "w")) {
    std::fputs("this is not a database, just some text that is long enough to matter", file);
    std::fclose(file);
  }
  const std::string newer = (dir / "newer.db").string();
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(newer.c_str(), &db), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(db, "PRAGMA user_version = 9", nullptr, nullptr, nullptr), SQLITE_OK);
  sqlite3_close(db);
  struct Case {
    std::string path;
    std::string reason;
  };
  const Case cases[] = {
      {garbage, "not a database"},
      {newer, "newer host"},
      {(dir / "missing" / "profile.db").string(), "cannot open profile"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    std::string error;
    ManualQueue other;
    EXPECT_EQ(Host::Create(other, HostOptions{c.path, {}}, &error), nullptr);
    EXPECT_THAT(error, HasSubstr("'" + c.path + "'"));
    EXPECT_THAT(error, HasSubstr(c.reason));
    EXPECT_EQ(Host::Current(), nullptr);
  }
}

TEST_F(ProfileTest, OnlyOneHostPerProcess) {
  host = MakeHost("");
  std::string error;
  ManualQueue other;
  EXPECT_EQ(Host::Create(other, HostOptions{}, &error), nullptr);
  EXPECT_THAT(error, HasSubstr("already"));
  EXPECT_EQ(Host::Current(), host.get());
}

}  // namespace
}  // namespace tessaro::host::testing
