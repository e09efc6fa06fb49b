#include "host/database.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string_view>
#include <thread>
#include <unordered_map>
#include <utility>

namespace tessaro::host {

namespace {

// The layout this host writes. A profile with a higher number was written by a
// newer host and is refused rather than misread.
// 2 added the XMPP link: contact addresses, outbox, sequence state, received ids,
// held messages, contact requests and the connection's history. The table of
// confirmed messages kept came later without a new number: a host that does not
// know it leaves it alone.
constexpr int kSchemaVersion = 2;

// How long a write waits for another connection's lock before it fails.
constexpr int kBusyTimeoutMs = 5000;

constexpr const char* kSchema = R"sql(
  CREATE TABLE IF NOT EXISTS settings(
    key TEXT PRIMARY KEY,
    value TEXT NOT NULL);
  CREATE TABLE IF NOT EXISTS contacts(
    id INTEGER PRIMARY KEY AUTOINCREMENT,
    name TEXT NOT NULL,
    protocol TEXT NOT NULL,
    address TEXT NOT NULL DEFAULT '');
  CREATE TABLE IF NOT EXISTS events(
    id INTEGER PRIMARY KEY AUTOINCREMENT,
    contact INTEGER NOT NULL,
    module TEXT NOT NULL,
    timestamp INTEGER NOT NULL,
    flags INTEGER NOT NULL,
    type INTEGER NOT NULL,
    blob BLOB NOT NULL);
  CREATE INDEX IF NOT EXISTS events_by_contact ON events(contact, id);
  CREATE TABLE IF NOT EXISTS contact_settings(
    contact INTEGER NOT NULL,
    module TEXT NOT NULL,
    name TEXT NOT NULL,
    value BLOB NOT NULL,
    PRIMARY KEY(contact, module, name));
)sql";

// Tables of the XMPP link, created by every profile of layout 2.
constexpr const char* kLinkSchema = R"sql(
  CREATE TABLE IF NOT EXISTS outbox(
    id TEXT PRIMARY KEY,
    contact INTEGER NOT NULL,
    seq INTEGER NOT NULL,
    body BLOB NOT NULL);
  CREATE TABLE IF NOT EXISTS sent(
    contact INTEGER NOT NULL,
    seq INTEGER NOT NULL,
    id TEXT NOT NULL,
    body BLOB NOT NULL,
    PRIMARY KEY(contact, seq));
  CREATE TABLE IF NOT EXISTS sequences(
    contact INTEGER PRIMARY KEY,
    next_out INTEGER NOT NULL DEFAULT 1,
    in_epoch INTEGER NOT NULL DEFAULT 0,
    next_in INTEGER NOT NULL DEFAULT 1);
  CREATE TABLE IF NOT EXISTS received(
    id TEXT PRIMARY KEY,
    contact INTEGER NOT NULL);
  CREATE TABLE IF NOT EXISTS held(
    contact INTEGER NOT NULL,
    seq INTEGER NOT NULL,
    body BLOB NOT NULL,
    PRIMARY KEY(contact, seq));
  CREATE TABLE IF NOT EXISTS requests(
    address TEXT PRIMARY KEY,
    first_seen INTEGER NOT NULL,
    messages INTEGER NOT NULL,
    last_text BLOB NOT NULL);
  CREATE TABLE IF NOT EXISTS connection_log(
    id INTEGER PRIMARY KEY AUTOINCREMENT,
    timestamp INTEGER NOT NULL,
    state TEXT NOT NULL,
    detail TEXT NOT NULL);
)sql";

// Owner only: the profile holds the account's password and private history.
void TightenFile(const std::string& path) {
  for (const char* suffix : {"", "-wal", "-shm"})
    ::chmod((path + suffix).c_str(), S_IRUSR | S_IWUSR);
}

int64_t RowOf(HANDLE handle) {
  return static_cast<int64_t>(reinterpret_cast<uintptr_t>(handle));
}
HANDLE HandleOf(int64_t row) {
  return reinterpret_cast<HANDLE>(static_cast<uintptr_t>(row));
}

}  // namespace

// Statements compiled once per connection and kept for the next call: compiling
// the SQL was most of what storing a message cost. Each statement is lent out
// to one Statement at a time; a nested use of the same SQL compiles its own.
// An idle statement is found by its own SQL text, so a call costs no copy.
class StatementCache {
 public:
  explicit StatementCache(sqlite3* db) : db_(db) {}
  ~StatementCache() {
    for (auto& idle : idle_)
      sqlite3_finalize(idle.second);
  }
  StatementCache(const StatementCache&) = delete;
  StatementCache& operator=(const StatementCache&) = delete;

  sqlite3_stmt* Take(const char* sql, std::string* error) {
    const auto found = idle_.find(std::string_view(sql));
    if (found != idle_.end()) {
      sqlite3_stmt* stmt = found->second;
      idle_.erase(found);
      return stmt;
    }
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db_, sql, -1, &stmt, nullptr) != SQLITE_OK) {
      *error = sqlite3_errmsg(db_);
      sqlite3_finalize(stmt);
      return nullptr;
    }
    return stmt;
  }

  // Back for reuse, reset so that it holds no lock and no bound value.
  void Give(sqlite3_stmt* stmt) {
    if (stmt == nullptr) return;
    sqlite3_reset(stmt);
    sqlite3_clear_bindings(stmt);
    if (!idle_.emplace(std::string_view(sqlite3_sql(stmt)), stmt).second) sqlite3_finalize(stmt);
  }

 private:
  sqlite3* db_;
  std::unordered_map<std::string_view, sqlite3_stmt*> idle_;
};

// Copies the write-ahead log back into the database file on a thread and a
// connection of its own. The copy ends in a sync of the file that takes
// milliseconds; done on the user-interface thread it held up a click now and
// then. The host's connection asks for a copy once the log holds kPages pages.
class Checkpointer {
 public:
  static constexpr int kPages = 1000;

  static std::unique_ptr<Checkpointer> Start(const std::string& path) {
    sqlite3* db = nullptr;
    // A connection learns that the file keeps a log when it first reads it.
    if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK ||
        sqlite3_exec(db, "PRAGMA journal_mode = WAL", nullptr, nullptr, nullptr) != SQLITE_OK) {
      sqlite3_close(db);
      return nullptr;
    }
    return std::unique_ptr<Checkpointer>(new Checkpointer(db));
  }

  ~Checkpointer() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      stop_ = true;
    }
    wake_.notify_one();
    thread_.join();
    sqlite3_close(db_);
  }
  Checkpointer(const Checkpointer&) = delete;
  Checkpointer& operator=(const Checkpointer&) = delete;

  // After each commit on the host's connection, with the log's length in pages.
  static int AfterCommit(void* self, sqlite3* db, const char* name, int pages) {
    if (pages >= 4 * kPages) {
      // Commits come faster than the thread copies (a burst of messages): the
      // host's connection copies, as it would without the thread, so that the
      // log stays bounded.
      sqlite3_wal_checkpoint_v2(db, name, SQLITE_CHECKPOINT_PASSIVE, nullptr, nullptr);
    } else if (pages >= kPages) {
      static_cast<Checkpointer*>(self)->Request();
    }
    return SQLITE_OK;
  }

 private:
  explicit Checkpointer(sqlite3* db) : db_(db), thread_([this] { Run(); }) {}

  void Request() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      requested_ = true;
    }
    wake_.notify_one();
  }

  void Run() {
    std::unique_lock<std::mutex> lock(mutex_);
    while (true) {
      wake_.wait(lock, [this] { return requested_ || stop_; });
      if (stop_) return;
      requested_ = false;
      lock.unlock();
      // Passive: it never waits for the host's connection nor stops it; what
      // it cannot copy now is copied at the next request.
      sqlite3_wal_checkpoint_v2(db_, nullptr, SQLITE_CHECKPOINT_PASSIVE, nullptr, nullptr);
      lock.lock();
    }
  }

  sqlite3* db_;
  std::mutex mutex_;
  std::condition_variable wake_;
  bool requested_ = false;
  bool stop_ = false;
  std::thread thread_;  // last: it starts once the rest is ready
};

namespace {

// One prepared statement, lent by the cache and given back when it goes out of scope.
class Statement {
 public:
  Statement(StatementCache& cache, const char* sql, std::string* error)
      : cache_(cache), stmt_(cache.Take(sql, error)), error_(error) {}
  ~Statement() { cache_.Give(stmt_); }
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  bool ok() const { return stmt_ != nullptr; }
  void Bind(int index, int64_t value) {
    if (ok()) sqlite3_bind_int64(stmt_, index, value);
  }
  void Bind(int index, std::string_view text) {
    if (!ok()) return;
    // An empty view may have no data pointer; it must still bind '' and not NULL.
    sqlite3_bind_text(stmt_, index, text.empty() ? "" : text.data(), static_cast<int>(text.size()),
                      SQLITE_TRANSIENT);
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
  sqlite3_stmt* raw() { return stmt_; }
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

#define TESSARO_EVENT_COLUMNS \
  "SELECT id, contact, module, timestamp, flags, type, blob FROM events "
constexpr const char* kEventColumns = TESSARO_EVENT_COLUMNS;

// What storing and reading each message runs: compiled when the profile opens,
// so that the first message costs no more than any other.
constexpr const char* kInsertEvent =
    "INSERT INTO events(contact, module, timestamp, flags, type, blob) "
    "VALUES(?1, ?2, ?3, ?4, ?5, ?6)";
constexpr const char* kEventById = TESSARO_EVENT_COLUMNS "WHERE id = ?1";
constexpr const char* kBlobSize = "SELECT length(blob) FROM events WHERE id = ?1";
constexpr const char* kAddFlags = "UPDATE events SET flags = flags | ?2 WHERE id = ?1";
constexpr const char* kFlags = "SELECT flags FROM events WHERE id = ?1";
constexpr const char* kEveryMessage[] = {kInsertEvent, kEventById, kBlobSize, kAddFlags, kFlags};
#undef TESSARO_EVENT_COLUMNS

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
  if (!path.empty()) {
    // Created owner-only before SQLite sees it, so it is never readable by others.
    int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, S_IRUSR | S_IWUSR);
    if (fd >= 0) ::close(fd);
  }
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
  sqlite3_busy_timeout(raw, kBusyTimeoutMs);
  // A file that is not a database only shows itself at the first read.
  int64_t found = 0;
  {
    Statement version(*db->statements_, "PRAGMA user_version", &db->last_error_);
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
  if (!path.empty()) {
    TightenFile(path);
    // WAL: readers never block the writer. NORMAL: a commit survives a crash of
    // the process; only a power loss may take back the last ones.
    if (!db->Exec("PRAGMA journal_mode = WAL; PRAGMA synchronous = NORMAL")) {
      *error = "cannot open profile " + where + ": " + db->last_error_;
      return nullptr;
    }
  }
  const std::string stamp = "PRAGMA user_version = " + std::to_string(kSchemaVersion);
  if (!db->Exec(kSchema) || !db->Upgrade(found) || !db->Exec(kLinkSchema) ||
      !db->Exec(stamp.c_str())) {
    *error = "cannot open profile " + where + ": " + db->last_error_;
    return nullptr;
  }
  // The link's epoch tells a message kept for this profile from one kept for a
  // former profile of the account, so it is made with the profile.
  if (found == 0) db->Epoch();
  if (!path.empty()) {
    TightenFile(path);
    db->checkpointer_ = Checkpointer::Start(path);
    // Without a checkpointer the connection copies the log itself, as by default.
    if (db->checkpointer_)
      sqlite3_wal_hook(raw, &Checkpointer::AfterCommit, db->checkpointer_.get());
  }
  for (const char* sql : kEveryMessage) {
    std::string ignored;  // a statement that fails to compile fails again when used
    db->statements_->Give(db->statements_->Take(sql, &ignored));
  }
  return db;
}

void Database::SetBusyTimeout(int milliseconds) {
  sqlite3_busy_timeout(db_, milliseconds);
}

bool Database::Upgrade(int64_t found) {
  // Layout 1 had no contact addresses.
  if (found == 1) return Exec("ALTER TABLE contacts ADD COLUMN address TEXT NOT NULL DEFAULT ''");
  return true;
}

Database::Database(sqlite3* db) : db_(db), statements_(std::make_unique<StatementCache>(db)) {}

Database::~Database() {
  sqlite3_wal_hook(db_, nullptr, nullptr);
  checkpointer_.reset();  // first, so that closing the last connection copies the rest
  statements_.reset();    // a connection with statements left does not close
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
  Statement q(*statements_, "SELECT value FROM settings WHERE key = ?1", &last_error_);
  q.Bind(1, key);
  if (q.Step() != SQLITE_ROW) return std::nullopt;
  return q.Text(0);
}

bool Database::SetSetting(std::string_view key, std::string_view value) {
  Statement q(*statements_, "INSERT OR REPLACE INTO settings(key, value) VALUES(?1, ?2)",
              &last_error_);
  q.Bind(1, key);
  q.Bind(2, value);
  return q.Step() == SQLITE_DONE;
}

std::optional<std::string> Database::ContactSetting(HANDLE contact, std::string_view module,
                                                    std::string_view name) const {
  Statement q(*statements_,
              "SELECT value FROM contact_settings WHERE contact = ?1 AND module = ?2 AND name = ?3",
              &last_error_);
  q.Bind(1, RowOf(contact));
  q.Bind(2, module);
  q.Bind(3, name);
  if (q.Step() != SQLITE_ROW) return std::nullopt;
  return q.Text(0);
}

bool Database::SetContactSetting(HANDLE contact, std::string_view module, std::string_view name,
                                 std::string_view value) {
  Statement q(*statements_,
              "INSERT OR REPLACE INTO contact_settings(contact, module, name, value) "
              "VALUES(?1, ?2, ?3, ?4)",
              &last_error_);
  q.Bind(1, RowOf(contact));
  q.Bind(2, module);
  q.Bind(3, name);
  q.BindBlob(4, value);
  return q.Step() == SQLITE_DONE;
}

bool Database::DeleteContactSetting(HANDLE contact, std::string_view module,
                                    std::string_view name) {
  Statement q(*statements_,
              "DELETE FROM contact_settings WHERE contact = ?1 AND module = ?2 AND name = ?3",
              &last_error_);
  q.Bind(1, RowOf(contact));
  q.Bind(2, module);
  q.Bind(3, name);
  return q.Step() == SQLITE_DONE;
}

// ---- Contacts ----

// ---- Transactions ----

Database::Transaction::Transaction(Database& db) : db_(db) {
  open_ = db_.Exec("BEGIN IMMEDIATE");
}

Database::Transaction::~Transaction() {
  if (open_) sqlite3_exec(db_.db_, "ROLLBACK", nullptr, nullptr, nullptr);
}

bool Database::Transaction::Commit() {
  if (!open_) return false;
  if (!db_.Exec("COMMIT")) return false;  // still open: the destructor rolls back
  open_ = false;
  return true;
}

HANDLE Database::AddContact(std::string_view name, std::string_view protocol,
                            std::string_view address) {
  Statement q(*statements_,
              "INSERT INTO contacts(name, protocol, address) VALUES(?1, ?2, lower(?3))",
              &last_error_);
  q.Bind(1, name);
  q.Bind(2, protocol);
  q.Bind(3, address);
  if (q.Step() != SQLITE_DONE) return nullptr;
  return HandleOf(sqlite3_last_insert_rowid(db_));
}

bool Database::RenameContact(HANDLE contact, std::string_view name) {
  Statement q(*statements_, "UPDATE contacts SET name = ?2 WHERE id = ?1", &last_error_);
  q.Bind(1, RowOf(contact));
  q.Bind(2, name);
  return q.Step() == SQLITE_DONE && sqlite3_changes(db_) == 1;
}

std::vector<ContactRecord> Database::Contacts() const {
  std::vector<ContactRecord> contacts;
  Statement q(*statements_, "SELECT id, name, protocol, address FROM contacts ORDER BY id",
              &last_error_);
  while (q.Step() == SQLITE_ROW)
    contacts.push_back({HandleOf(q.Int(0)), q.Text(1), q.Text(2), q.Text(3)});
  return contacts;
}

HANDLE Database::ContactByAddress(std::string_view address) const {
  if (address.empty()) return nullptr;
  Statement q(*statements_, "SELECT id FROM contacts WHERE address = lower(?1) ORDER BY id LIMIT 1",
              &last_error_);
  q.Bind(1, address);
  return q.Step() == SQLITE_ROW ? HandleOf(q.Int(0)) : nullptr;
}

std::string Database::AddressOf(HANDLE contact) const {
  Statement q(*statements_, "SELECT address FROM contacts WHERE id = ?1", &last_error_);
  q.Bind(1, RowOf(contact));
  return q.Step() == SQLITE_ROW ? q.Text(0) : std::string();
}

// ---- XMPP link ----

uint64_t Database::Epoch() {
  constexpr char kKey[] = "link_epoch";
  if (std::optional<std::string> stored = Setting(kKey)) {
    uint64_t epoch = 0;
    auto [end, ec] = std::from_chars(stored->data(), stored->data() + stored->size(), epoch);
    if (ec == std::errc() && end == stored->data() + stored->size()) return epoch;
  }
  const auto now = std::chrono::system_clock::now().time_since_epoch();
  const auto epoch =
      static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::microseconds>(now).count());
  SetSetting(kKey, std::to_string(epoch));
  return epoch;
}

std::optional<uint64_t> Database::TakeOutboundSeq(HANDLE contact) {
  Statement insert(*statements_, "INSERT OR IGNORE INTO sequences(contact) VALUES(?1)",
                   &last_error_);
  insert.Bind(1, RowOf(contact));
  if (insert.Step() != SQLITE_DONE) return std::nullopt;
  Statement q(*statements_,
              "UPDATE sequences SET next_out = next_out + 1 WHERE contact = ?1 "
              "RETURNING next_out - 1",
              &last_error_);
  q.Bind(1, RowOf(contact));
  if (q.Step() != SQLITE_ROW) return std::nullopt;
  const auto seq = static_cast<uint64_t>(q.Int(0));
  return q.Step() == SQLITE_DONE ? std::optional<uint64_t>(seq) : std::nullopt;
}

bool Database::AddOutbox(const OutboxRecord& message) {
  Statement q(*statements_, "INSERT INTO outbox(id, contact, seq, body) VALUES(?1, ?2, ?3, ?4)",
              &last_error_);
  q.Bind(1, message.id);
  q.Bind(2, RowOf(message.contact));
  q.Bind(3, static_cast<int64_t>(message.seq));
  q.BindBlob(4, message.body);
  return q.Step() == SQLITE_DONE;
}

std::vector<OutboxRecord> Database::Outbox(HANDLE contact) const {
  Statement q(*statements_,
              "SELECT id, contact, seq, body FROM outbox WHERE ?1 = 0 OR contact = ?1 "
              "ORDER BY contact, seq",
              &last_error_);
  q.Bind(1, RowOf(contact));
  std::vector<OutboxRecord> messages;
  while (q.Step() == SQLITE_ROW)
    messages.push_back({q.Text(0), HandleOf(q.Int(1)), static_cast<uint64_t>(q.Int(2)), q.Text(3)});
  return messages;
}

bool Database::ConfirmOutbox(std::string_view id, HANDLE contact) {
  Statement move(*statements_,
                 "INSERT OR REPLACE INTO sent(contact, seq, id, body) "
                 "SELECT contact, seq, id, body FROM outbox WHERE id = ?1 AND contact = ?2",
                 &last_error_);
  move.Bind(1, id);
  move.Bind(2, RowOf(contact));
  if (move.Step() != SQLITE_DONE || sqlite3_changes(db_) != 1) return false;
  Statement remove(*statements_, "DELETE FROM outbox WHERE id = ?1 AND contact = ?2", &last_error_);
  remove.Bind(1, id);
  remove.Bind(2, RowOf(contact));
  return remove.Step() == SQLITE_DONE && PruneSent(contact);
}

std::optional<std::size_t> Database::ConfirmOutboxUpTo(HANDLE contact, uint64_t seq) {
  Statement move(*statements_,
                 "INSERT OR REPLACE INTO sent(contact, seq, id, body) "
                 "SELECT contact, seq, id, body FROM outbox WHERE contact = ?1 AND seq <= ?2",
                 &last_error_);
  move.Bind(1, RowOf(contact));
  move.Bind(2, static_cast<int64_t>(seq));
  if (move.Step() != SQLITE_DONE) return std::nullopt;
  const auto moved = static_cast<std::size_t>(sqlite3_changes(db_));
  if (moved == 0) return 0;
  Statement remove(*statements_, "DELETE FROM outbox WHERE contact = ?1 AND seq <= ?2",
                   &last_error_);
  remove.Bind(1, RowOf(contact));
  remove.Bind(2, static_cast<int64_t>(seq));
  if (remove.Step() != SQLITE_DONE || !PruneSent(contact)) return std::nullopt;
  return moved;
}

bool Database::PruneSent(HANDLE contact) {
  Statement q(*statements_,
              "DELETE FROM sent WHERE contact = ?1 AND seq <= "
              "(SELECT max(seq) FROM sent WHERE contact = ?1) - ?2",
              &last_error_);
  q.Bind(1, RowOf(contact));
  q.Bind(2, static_cast<int64_t>(kKeptSent));
  return q.Step() == SQLITE_DONE;
}

std::vector<OutboxRecord> Database::SentMessages(HANDLE contact, uint64_t first,
                                                 uint64_t last) const {
  Statement q(*statements_,
              "SELECT id, seq, body FROM outbox WHERE contact = ?1 AND seq BETWEEN ?2 AND ?3 "
              "UNION ALL "
              "SELECT id, seq, body FROM sent WHERE contact = ?1 AND seq BETWEEN ?2 AND ?3 "
              "ORDER BY 2",
              &last_error_);
  q.Bind(1, RowOf(contact));
  q.Bind(2, static_cast<int64_t>(std::min<uint64_t>(first, INT64_MAX)));
  q.Bind(3, static_cast<int64_t>(std::min<uint64_t>(last, INT64_MAX)));
  std::vector<OutboxRecord> messages;
  while (q.Step() == SQLITE_ROW)
    messages.push_back({q.Text(0), contact, static_cast<uint64_t>(q.Int(1)), q.Text(2)});
  return messages;
}

InboundState Database::Inbound(HANDLE contact) const {
  Statement q(*statements_, "SELECT in_epoch, next_in FROM sequences WHERE contact = ?1",
              &last_error_);
  q.Bind(1, RowOf(contact));
  if (q.Step() != SQLITE_ROW) return {};
  return {static_cast<uint64_t>(q.Int(0)), static_cast<uint64_t>(q.Int(1))};
}

bool Database::SetInbound(HANDLE contact, const InboundState& state) {
  Statement q(*statements_,
              "INSERT INTO sequences(contact, in_epoch, next_in) VALUES(?1, ?2, ?3) "
              "ON CONFLICT(contact) DO UPDATE SET in_epoch = ?2, next_in = ?3",
              &last_error_);
  q.Bind(1, RowOf(contact));
  q.Bind(2, static_cast<int64_t>(state.epoch));
  q.Bind(3, static_cast<int64_t>(state.next));
  return q.Step() == SQLITE_DONE;
}

std::optional<HANDLE> Database::ReceivedFrom(std::string_view id) const {
  Statement q(*statements_, "SELECT contact FROM received WHERE id = ?1", &last_error_);
  q.Bind(1, id);
  if (q.Step() != SQLITE_ROW) return std::nullopt;
  return HandleOf(q.Int(0));
}

bool Database::MarkReceived(std::string_view id, HANDLE contact) {
  Statement q(*statements_, "INSERT INTO received(id, contact) VALUES(?1, ?2)", &last_error_);
  q.Bind(1, id);
  q.Bind(2, RowOf(contact));
  return q.Step() == SQLITE_DONE;
}

bool Database::Hold(HANDLE contact, uint64_t seq, std::string_view body) {
  Statement q(*statements_, "INSERT OR IGNORE INTO held(contact, seq, body) VALUES(?1, ?2, ?3)",
              &last_error_);
  q.Bind(1, RowOf(contact));
  q.Bind(2, static_cast<int64_t>(seq));
  q.BindBlob(3, body);
  return q.Step() == SQLITE_DONE;
}

std::optional<std::string> Database::Held(HANDLE contact, uint64_t seq) const {
  Statement q(*statements_, "SELECT body FROM held WHERE contact = ?1 AND seq = ?2", &last_error_);
  q.Bind(1, RowOf(contact));
  q.Bind(2, static_cast<int64_t>(seq));
  if (q.Step() != SQLITE_ROW) return std::nullopt;
  return q.Text(0);
}

bool Database::RemoveHeld(HANDLE contact, uint64_t seq) {
  Statement q(*statements_, "DELETE FROM held WHERE contact = ?1 AND seq = ?2", &last_error_);
  q.Bind(1, RowOf(contact));
  q.Bind(2, static_cast<int64_t>(seq));
  return q.Step() == SQLITE_DONE;
}

bool Database::DropHeld(HANDLE contact, uint64_t upto) {
  Statement q(*statements_, "DELETE FROM held WHERE contact = ?1 AND seq <= ?2", &last_error_);
  q.Bind(1, RowOf(contact));
  q.Bind(2, static_cast<int64_t>(std::min<uint64_t>(upto, INT64_MAX)));
  return q.Step() == SQLITE_DONE;
}

std::optional<uint64_t> Database::FirstHeld(HANDLE contact) const {
  Statement q(*statements_, "SELECT min(seq) FROM held WHERE contact = ?1", &last_error_);
  q.Bind(1, RowOf(contact));
  if (q.Step() != SQLITE_ROW || sqlite3_column_type(q.raw(), 0) == SQLITE_NULL) return std::nullopt;
  return static_cast<uint64_t>(q.Int(0));
}

std::vector<HANDLE> Database::ContactsWithHeld() const {
  Statement q(*statements_, "SELECT DISTINCT contact FROM held ORDER BY contact", &last_error_);
  std::vector<HANDLE> contacts;
  while (q.Step() == SQLITE_ROW)
    contacts.push_back(HandleOf(q.Int(0)));
  return contacts;
}

// ---- Contact requests and the connection's history ----

bool Database::AddRequest(std::string_view address, std::string_view text, uint32_t now) {
  Statement q(*statements_,
              "INSERT INTO requests(address, first_seen, messages, last_text) "
              "VALUES(?1, ?2, 1, ?3) ON CONFLICT(address) DO UPDATE "
              "SET messages = messages + 1, last_text = ?3",
              &last_error_);
  q.Bind(1, address);
  q.Bind(2, int64_t{now});
  q.BindBlob(3, text);
  return q.Step() == SQLITE_DONE;
}

std::vector<ContactRequest> Database::Requests() const {
  Statement q(*statements_,
              "SELECT address, first_seen, messages, last_text FROM requests ORDER BY rowid",
              &last_error_);
  std::vector<ContactRequest> requests;
  while (q.Step() == SQLITE_ROW) {
    requests.push_back(
        {q.Text(0), static_cast<uint32_t>(q.Int(1)), static_cast<uint32_t>(q.Int(2)), q.Text(3)});
  }
  return requests;
}

bool Database::RemoveRequest(std::string_view address) {
  Statement q(*statements_, "DELETE FROM requests WHERE address = ?1", &last_error_);
  q.Bind(1, address);
  return q.Step() == SQLITE_DONE && sqlite3_changes(db_) == 1;
}

bool Database::LogConnection(uint32_t now, std::string_view state, std::string_view detail) {
  Statement q(*statements_,
              "INSERT INTO connection_log(timestamp, state, detail) VALUES(?1, ?2, ?3)",
              &last_error_);
  q.Bind(1, int64_t{now});
  q.Bind(2, state);
  q.Bind(3, detail);
  return q.Step() == SQLITE_DONE;
}

std::vector<ConnectionLogEntry> Database::ConnectionLog() const {
  Statement q(*statements_, "SELECT timestamp, state, detail FROM connection_log ORDER BY id",
              &last_error_);
  std::vector<ConnectionLogEntry> entries;
  while (q.Step() == SQLITE_ROW)
    entries.push_back({static_cast<uint32_t>(q.Int(0)), q.Text(1), q.Text(2)});
  return entries;
}

// ---- Events ----

HANDLE Database::AddEvent(const EventRecord& event) {
  Statement q(*statements_, kInsertEvent, &last_error_);
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
  Statement q(*statements_, kEventById, &last_error_);
  q.Bind(1, RowOf(event));
  if (q.Step() != SQLITE_ROW) return std::nullopt;
  return ReadEvent(q);
}

std::optional<uint32_t> Database::BlobSize(HANDLE event) const {
  Statement q(*statements_, kBlobSize, &last_error_);
  q.Bind(1, RowOf(event));
  if (q.Step() != SQLITE_ROW) return std::nullopt;
  return static_cast<uint32_t>(q.Int(0));
}

std::optional<uint32_t> Database::AddFlags(HANDLE event, uint32_t bits) {
  Statement update(*statements_, kAddFlags, &last_error_);
  update.Bind(1, RowOf(event));
  update.Bind(2, int64_t{bits});
  if (update.Step() != SQLITE_DONE || sqlite3_changes(db_) != 1) return std::nullopt;
  Statement q(*statements_, kFlags, &last_error_);
  q.Bind(1, RowOf(event));
  if (q.Step() != SQLITE_ROW) return std::nullopt;
  return static_cast<uint32_t>(q.Int(0));
}

std::vector<EventRecord> Database::EventsOf(HANDLE contact, ReadFilter filter) const {
  std::string sql = std::string(kEventColumns) + "WHERE contact = ?1";
  if (filter == ReadFilter::kUnread) sql += " AND (flags & ?2) = 0";
  if (filter == ReadFilter::kRead) sql += " AND (flags & ?2) != 0";
  sql += " ORDER BY id";
  Statement q(*statements_, sql.c_str(), &last_error_);
  q.Bind(1, RowOf(contact));
  if (filter != ReadFilter::kAll) q.Bind(2, int64_t{DBEF_READ});
  std::vector<EventRecord> events;
  while (q.Step() == SQLITE_ROW)
    events.push_back(ReadEvent(q));
  return events;
}

}  // namespace tessaro::host
