#include "host/database.h"

#include <sqlite3.h>

#include <utility>

namespace tessaro::host {

namespace {

// The layout this host writes. A profile with a higher number was written by a
// newer host and is refused rather than misread.
constexpr int kSchemaVersion = 1;

constexpr const char* kSchema = R"sql(
  CREATE TABLE IF NOT EXISTS settings(
    key TEXT PRIMARY KEY,
    value TEXT NOT NULL);
  CREATE TABLE IF NOT EXISTS contacts(
    id INTEGER PRIMARY KEY AUTOINCREMENT,
    name TEXT NOT NULL,
    protocol TEXT NOT NULL);
  CREATE TABLE IF NOT EXISTS events(
    id INTEGER PRIMARY KEY AUTOINCREMENT,
    contact INTEGER NOT NULL,
    module TEXT NOT NULL,
    timestamp INTEGER NOT NULL,
    flags INTEGER NOT NULL,
    type INTEGER NOT NULL,
    blob BLOB NOT NULL);
  CREATE INDEX IF NOT EXISTS events_by_contact ON events(contact, id);
)sql";

int64_t RowOf(HANDLE handle) {
  return static_cast<int64_t>(reinterpret_cast<uintptr_t>(handle));
}
HANDLE HandleOf(int64_t row) {
  return reinterpret_cast<HANDLE>(static_cast<uintptr_t>(row));
}

// One prepared statement, finalized when it goes out of scope.
class Statement {
 public:
  Statement(sqlite3* db, const char* sql, std::string* error) : error_(error) {
    if (sqlite3_prepare_v2(db, sql, -1, &stmt_, nullptr) != SQLITE_OK) {
      *error_ = sqlite3_errmsg(db);
      stmt_ = nullptr;
    }
  }
  ~Statement() { sqlite3_finalize(stmt_); }
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  bool ok() const { return stmt_ != nullptr; }
  void Bind(int index, int64_t value) {
    if (ok()) sqlite3_bind_int64(stmt_, index, value);
  }
  void Bind(int index, std::string_view text) {
    if (!ok()) return;
    sqlite3_bind_text(stmt_, index, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
  }
  void BindBlob(int index, std::string_view bytes) {
    if (!ok()) return;
    // A zero-length blob must still be a blob, not NULL: bind a valid pointer.
    sqlite3_bind_blob(stmt_, index, bytes.empty() ? "" : bytes.data(),
                      static_cast<int>(bytes.size()), SQLITE_TRANSIENT);
  }
  // SQLITE_ROW, SQLITE_DONE or an error code (then the message is in *error).
  int Step() {
    if (!ok()) return SQLITE_MISUSE;
    int rc = sqlite3_step(stmt_);
    if (rc != SQLITE_ROW && rc != SQLITE_DONE) *error_ = sqlite3_errmsg(sqlite3_db_handle(stmt_));
    return rc;
  }
  int64_t Int(int column) { return sqlite3_column_int64(stmt_, column); }
  std::string Text(int column) {
    const void* data = sqlite3_column_blob(stmt_, column);
    int size = sqlite3_column_bytes(stmt_, column);
    return data == nullptr ? std::string() : std::string(static_cast<const char*>(data), size);
  }

 private:
  sqlite3_stmt* stmt_ = nullptr;
  std::string* error_;
};

constexpr const char* kEventColumns =
    "SELECT id, contact, module, timestamp, flags, type, blob FROM events ";

EventRecord ReadEvent(Statement& row) {
  EventRecord event;
  event.handle = HandleOf(row.Int(0));
  event.contact = HandleOf(row.Int(1));
  event.module = row.Text(2);
  event.timestamp = static_cast<uint32_t>(row.Int(3));
  event.flags = static_cast<uint32_t>(row.Int(4));
  event.type = static_cast<uint16_t>(row.Int(5));
  event.blob = row.Text(6);
  return event;
}

}  // namespace

std::unique_ptr<Database> Database::Open(const std::string& path, std::string* error) {
  const std::string where = path.empty() ? std::string("memory") : "'" + path + "'";
  sqlite3* raw = nullptr;
  int rc = sqlite3_open_v2(path.empty() ? ":memory:" : path.c_str(), &raw,
                           SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
  if (rc != SQLITE_OK) {
    *error = "cannot open profile " + where + ": " +
             (raw != nullptr ? sqlite3_errmsg(raw) : sqlite3_errstr(rc));
    sqlite3_close(raw);
    return nullptr;
  }
  std::unique_ptr<Database> db(new Database(raw));
  // A file that is not a database only shows itself at the first read.
  int64_t found = 0;
  {
    Statement version(raw, "PRAGMA user_version", &db->last_error_);
    if (version.Step() != SQLITE_ROW) {
      *error = "cannot open profile " + where + ": " + db->last_error_;
      return nullptr;
    }
    found = version.Int(0);
  }
  if (found > kSchemaVersion) {
    *error = "cannot open profile " + where + ": written by a newer host (layout " +
             std::to_string(found) + ")";
    return nullptr;
  }
  const std::string stamp = "PRAGMA user_version = " + std::to_string(kSchemaVersion);
  if (!db->Exec(kSchema) || !db->Exec(stamp.c_str())) {
    *error = "cannot open profile " + where + ": " + db->last_error_;
    return nullptr;
  }
  return db;
}

Database::~Database() {
  sqlite3_close(db_);
}

bool Database::Exec(const char* sql) {
  char* message = nullptr;
  if (sqlite3_exec(db_, sql, nullptr, nullptr, &message) == SQLITE_OK) return true;
  last_error_ = message != nullptr ? message : "unknown database error";
  sqlite3_free(message);
  return false;
}

// ---- Settings ----

std::optional<std::string> Database::Setting(std::string_view key) const {
  Statement q(db_, "SELECT value FROM settings WHERE key = ?1", &last_error_);
  q.Bind(1, key);
  if (q.Step() != SQLITE_ROW) return std::nullopt;
  return q.Text(0);
}

bool Database::SetSetting(std::string_view key, std::string_view value) {
  Statement q(db_, "INSERT OR REPLACE INTO settings(key, value) VALUES(?1, ?2)", &last_error_);
  q.Bind(1, key);
  q.Bind(2, value);
  return q.Step() == SQLITE_DONE;
}

// ---- Contacts ----

HANDLE Database::AddContact(std::string_view name, std::string_view protocol) {
  Statement q(db_, "INSERT INTO contacts(name, protocol) VALUES(?1, ?2)", &last_error_);
  q.Bind(1, name);
  q.Bind(2, protocol);
  if (q.Step() != SQLITE_DONE) return nullptr;
  return HandleOf(sqlite3_last_insert_rowid(db_));
}

bool Database::RenameContact(HANDLE contact, std::string_view name) {
  Statement q(db_, "UPDATE contacts SET name = ?2 WHERE id = ?1", &last_error_);
  q.Bind(1, RowOf(contact));
  q.Bind(2, name);
  return q.Step() == SQLITE_DONE && sqlite3_changes(db_) == 1;
}

std::vector<ContactRecord> Database::Contacts() const {
  std::vector<ContactRecord> contacts;
  Statement q(db_, "SELECT id, name, protocol FROM contacts ORDER BY id", &last_error_);
  while (q.Step() == SQLITE_ROW)
    contacts.push_back({HandleOf(q.Int(0)), q.Text(1), q.Text(2)});
  return contacts;
}

// ---- Events ----

HANDLE Database::AddEvent(const EventRecord& event) {
  Statement q(db_,
              "INSERT INTO events(contact, module, timestamp, flags, type, blob) "
              "VALUES(?1, ?2, ?3, ?4, ?5, ?6)",
              &last_error_);
  q.Bind(1, RowOf(event.contact));
  q.Bind(2, event.module);
  q.Bind(3, int64_t{event.timestamp});
  q.Bind(4, int64_t{event.flags});
  q.Bind(5, int64_t{event.type});
  q.BindBlob(6, event.blob);
  if (q.Step() != SQLITE_DONE) return nullptr;
  return HandleOf(sqlite3_last_insert_rowid(db_));
}

std::optional<EventRecord> Database::Event(HANDLE event) const {
  Statement q(db_, (std::string(kEventColumns) + "WHERE id = ?1").c_str(), &last_error_);
  q.Bind(1, RowOf(event));
  if (q.Step() != SQLITE_ROW) return std::nullopt;
  return ReadEvent(q);
}

std::optional<uint32_t> Database::BlobSize(HANDLE event) const {
  Statement q(db_, "SELECT length(blob) FROM events WHERE id = ?1", &last_error_);
  q.Bind(1, RowOf(event));
  if (q.Step() != SQLITE_ROW) return std::nullopt;
  return static_cast<uint32_t>(q.Int(0));
}

std::optional<uint32_t> Database::AddFlags(HANDLE event, uint32_t bits) {
  Statement update(db_, "UPDATE events SET flags = flags | ?2 WHERE id = ?1", &last_error_);
  update.Bind(1, RowOf(event));
  update.Bind(2, int64_t{bits});
  if (update.Step() != SQLITE_DONE || sqlite3_changes(db_) != 1) return std::nullopt;
  Statement q(db_, "SELECT flags FROM events WHERE id = ?1", &last_error_);
  q.Bind(1, RowOf(event));
  if (q.Step() != SQLITE_ROW) return std::nullopt;
  return static_cast<uint32_t>(q.Int(0));
}

std::vector<EventRecord> Database::EventsOf(HANDLE contact, ReadFilter filter) const {
  std::string sql = std::string(kEventColumns) + "WHERE contact = ?1";
  if (filter == ReadFilter::kUnread) sql += " AND (flags & ?2) = 0";
  if (filter == ReadFilter::kRead) sql += " AND (flags & ?2) != 0";
  sql += " ORDER BY id";
  Statement q(db_, sql.c_str(), &last_error_);
  q.Bind(1, RowOf(contact));
  if (filter != ReadFilter::kAll) q.Bind(2, int64_t{DBEF_READ});
  std::vector<EventRecord> events;
  while (q.Step() == SQLITE_ROW)
    events.push_back(ReadEvent(q));
  return events;
}

}  // namespace tessaro::host
