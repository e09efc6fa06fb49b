// The host's profile: contacts, the user's settings and the event history in one
// SQLite database, in memory or in a file that keeps them across runs.
//
// Handles are the rows' ids, so they are non-zero, stable for the life of the
// profile and never reused. Blobs are bytes held in std::string. Every call runs on
// the user-interface thread. A failed call returns its failure value and leaves the
// reason in LastError().
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "sdk/plugin_api.h"

struct sqlite3;

namespace tessaro::host {

struct ContactRecord {
  HANDLE handle = nullptr;
  std::string name;
  std::string protocol;
};

struct EventRecord {
  HANDLE handle = nullptr;  // set by the database
  HANDLE contact = nullptr;
  std::string module;
  uint32_t timestamp = 0;
  uint32_t flags = 0;  // DBEF_*; DBEF_READ is the read mark
  uint16_t type = EVENTTYPE_MESSAGE;
  std::string blob;
};

enum class ReadFilter { kAll, kUnread, kRead };

class Database {
 public:
  // An empty path opens a fresh database in memory; otherwise the file is opened, or
  // created with an empty profile. Returns nullptr and a message naming the path when
  // the file cannot be opened or is not a profile of this host.
  static std::unique_ptr<Database> Open(const std::string& path, std::string* error);
  ~Database();
  Database(const Database&) = delete;
  Database& operator=(const Database&) = delete;

  // ---- Settings ----
  std::optional<std::string> Setting(std::string_view key) const;
  bool SetSetting(std::string_view key, std::string_view value);

  // ---- Contacts ----
  HANDLE AddContact(std::string_view name, std::string_view protocol);  // nullptr: failed
  bool RenameContact(HANDLE contact, std::string_view name);
  std::vector<ContactRecord> Contacts() const;  // in the order they were added

  // ---- Events ----
  // Stores the event (its handle field is ignored). Returns the new handle, or nullptr.
  HANDLE AddEvent(const EventRecord& event);
  std::optional<EventRecord> Event(HANDLE event) const;
  std::optional<uint32_t> BlobSize(HANDLE event) const;
  // Sets the given flag bits. Returns the flags after the change; nullopt when the
  // event is unknown.
  std::optional<uint32_t> AddFlags(HANDLE event, uint32_t bits);
  // The contact's events in the order they were stored.
  std::vector<EventRecord> EventsOf(HANDLE contact, ReadFilter filter) const;

  const std::string& LastError() const { return last_error_; }

 private:
  explicit Database(sqlite3* db) : db_(db) {}
  bool Exec(const char* sql);

  sqlite3* db_;
  mutable std::string last_error_;
};

}  // namespace tessaro::host
