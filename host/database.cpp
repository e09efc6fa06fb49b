// The profile's layout and its life: opening a file or memory, the schema and
// its upgrades, transactions. The stores are host/profile_*.cpp; the SQLite
// plumbing is host/sqlite.h.
#include "host/database.h"

#include <cstdint>
#include <string>

#include "host/profile_statements.h"
#include "host/sqlite.h"

namespace tessaro::host {

namespace {

// The layout this host writes. A profile with a higher number was written by a
// newer host and is refused rather than misread.
// 2 added the XMPP link: contact addresses, outbox, sequence state, received ids,
// held messages, contact requests and the connection's history. The table of
// confirmed messages kept came later without a new number: a host that does not
// know it leaves it alone. So did the requests' subscription mark, a column with
// a default that an older host's inserts leave at 0.
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
    last_text BLOB NOT NULL,
    subscription INTEGER NOT NULL DEFAULT 0);
  CREATE TABLE IF NOT EXISTS connection_log(
    id INTEGER PRIMARY KEY AUTOINCREMENT,
    timestamp INTEGER NOT NULL,
    state TEXT NOT NULL,
    detail TEXT NOT NULL);
)sql";

}  // namespace

std::unique_ptr<Database> Database::Open(const std::string& path, std::string* error) {
  const std::string where = path.empty() ? std::string("memory") : "'" + path + "'";
  if (!path.empty()) CreateOwnerOnly(path);
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
      !db->AddLaterColumns() || !db->Exec(stamp.c_str())) {
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

bool Database::AddLaterColumns() {
  bool found = false;
  {
    Statement columns(*statements_, "PRAGMA table_info(requests)", &last_error_);
    while (columns.Step() == SQLITE_ROW)
      found = found || columns.Text(1) == "subscription";
  }
  return found || Exec("ALTER TABLE requests ADD COLUMN subscription INTEGER NOT NULL DEFAULT 0");
}

Database::Database(sqlite3* db) : db_(db), statements_(std::make_unique<StatementCache>(db)) {}

Database::~Database() {
  sqlite3_wal_hook(db_, nullptr, nullptr);
  checkpointer_.reset();  // first, so that closing the last connection copies the rest
  statements_.reset();    // a connection with statements left does not close
  sqlite3_close(db_);
}

bool Database::Exec(const char* sql) {
  return host::Exec(db_, sql, &last_error_);
}

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

}  // namespace tessaro::host
