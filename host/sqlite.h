// The SQLite plumbing under the profile's stores: opening a profile file, running
// SQL, statements compiled once and lent out, the thread that copies the
// write-ahead log back, and the mapping between rows and handles. It knows no
// table; the stores (host/profile_*.cpp) and the profile's layout
// (host/database.cpp) use it.
#pragma once

#include <sqlite3.h>

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <unordered_map>

#include "sdk/plugin_api.h"

namespace tessaro::host {

// Handles are the rows' ids.
inline int64_t RowOf(HANDLE handle) {
  return static_cast<int64_t>(reinterpret_cast<uintptr_t>(handle));
}
inline HANDLE HandleOf(int64_t row) {
  return reinterpret_cast<HANDLE>(static_cast<uintptr_t>(row));
}

// Creates the file owner-only if it does not exist, before SQLite sees it, so
// that it is never readable by others.
void CreateOwnerOnly(const std::string& path);
// Owner only, with the write-ahead log and its index: the profile holds the
// account's password and private history.
void TightenFile(const std::string& path);

// Runs one or more statements. On failure leaves SQLite's message in *error.
bool Exec(sqlite3* db, const char* sql, std::string* error);

// Statements compiled once per connection and kept for the next call: compiling
// the SQL was most of what storing a message cost. Each statement is lent out
// to one Statement at a time; a nested use of the same SQL compiles its own.
// An idle statement is found by its own SQL text, so a call costs no copy.
class StatementCache {
 public:
  explicit StatementCache(sqlite3* db) : db_(db) {}
  ~StatementCache();
  StatementCache(const StatementCache&) = delete;
  StatementCache& operator=(const StatementCache&) = delete;

  // nullptr, with SQLite's message in *error, when the SQL does not compile.
  sqlite3_stmt* Take(const char* sql, std::string* error);
  // Back for reuse, reset so that it holds no lock and no bound value.
  void Give(sqlite3_stmt* stmt);

 private:
  sqlite3* db_;
  std::unordered_map<std::string_view, sqlite3_stmt*> idle_;
};

// One prepared statement, lent by the cache and given back when it goes out of scope.
class Statement {
 public:
  Statement(StatementCache& cache, const char* sql, std::string* error)
      : cache_(cache), stmt_(cache.Take(sql, error)), error_(error) {}
  ~Statement() { cache_.Give(stmt_); }
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  bool Prepared() const { return stmt_ != nullptr; }
  void Bind(int index, int64_t value) {
    if (Prepared()) sqlite3_bind_int64(stmt_, index, value);
  }
  void Bind(int index, std::string_view text) {
    if (!Prepared()) return;
    // An empty view may have no data pointer; it must still bind '' and not NULL.
    sqlite3_bind_text(stmt_, index, text.empty() ? "" : text.data(), static_cast<int>(text.size()),
                      SQLITE_TRANSIENT);
  }
  void BindBlob(int index, std::string_view bytes) {
    if (!Prepared()) return;
    // A zero-length blob must still be a blob, not NULL: bind a valid pointer.
    sqlite3_bind_blob(stmt_, index, bytes.empty() ? "" : bytes.data(),
                      static_cast<int>(bytes.size()), SQLITE_TRANSIENT);
  }
  // SQLITE_ROW, SQLITE_DONE or an error code (then the message is in *error).
  int Step() {
    if (!Prepared()) return SQLITE_MISUSE;
    int rc = sqlite3_step(stmt_);
    if (rc != SQLITE_ROW && rc != SQLITE_DONE) *error_ = sqlite3_errmsg(sqlite3_db_handle(stmt_));
    return rc;
  }
  int64_t Int(int column) { return sqlite3_column_int64(stmt_, column); }
  bool IsNull(int column) { return sqlite3_column_type(stmt_, column) == SQLITE_NULL; }
  std::string Text(int column) {
    const void* data = sqlite3_column_blob(stmt_, column);
    int size = sqlite3_column_bytes(stmt_, column);
    return data == nullptr ? std::string() : std::string(static_cast<const char*>(data), size);
  }

 private:
  StatementCache& cache_;
  sqlite3_stmt* stmt_ = nullptr;
  std::string* error_;
};

// Copies the write-ahead log back into the database file on a thread and a
// connection of its own. The copy ends in a sync of the file that takes
// milliseconds; done on the user-interface thread it held up a click now and
// then. The host's connection asks for a copy once the log holds kPages pages.
class Checkpointer {
 public:
  static constexpr int kPages = 1000;

  // nullptr when the file cannot be opened a second time; the host's connection
  // then copies the log itself, as by default.
  static std::unique_ptr<Checkpointer> Start(const std::string& path);
  ~Checkpointer();
  Checkpointer(const Checkpointer&) = delete;
  Checkpointer& operator=(const Checkpointer&) = delete;

  // After each commit on the host's connection, with the log's length in pages
  // (a sqlite3_wal_hook callback; self is the Checkpointer).
  static int AfterCommit(void* self, sqlite3* db, const char* name, int pages);

 private:
  explicit Checkpointer(sqlite3* db) : db_(db), thread_([this] { Run(); }) {}
  void Request();
  void Run();

  sqlite3* db_;
  std::mutex mutex_;
  std::condition_variable wake_;
  // Held while a copy runs on either connection: SQLite refuses a second
  // checkpoint outright while one runs, without calling a busy handler.
  std::mutex copying_;
  bool requested_ = false;
  bool stop_ = false;
  std::thread thread_;  // last: it starts once the rest is ready
};

}  // namespace tessaro::host
