#include "host/sqlite.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tessaro::host {

void CreateOwnerOnly(const std::string& path) {
  int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, S_IRUSR | S_IWUSR);
  if (fd >= 0) ::close(fd);
}

void TightenFile(const std::string& path) {
  for (const char* suffix : {"", "-wal", "-shm"})
    ::chmod((path + suffix).c_str(), S_IRUSR | S_IWUSR);
}

bool Exec(sqlite3* db, const char* sql, std::string* error) {
  char* message = nullptr;
  if (sqlite3_exec(db, sql, nullptr, nullptr, &message) == SQLITE_OK) return true;
  *error = message != nullptr ? message : "unknown database error";
  sqlite3_free(message);
  return false;
}

// ---- StatementCache ----

StatementCache::~StatementCache() {
  for (auto& idle : idle_)
    sqlite3_finalize(idle.second);
}

sqlite3_stmt* StatementCache::Take(const char* sql, std::string* error) {
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

void StatementCache::Give(sqlite3_stmt* stmt) {
  if (stmt == nullptr) return;
  sqlite3_reset(stmt);
  sqlite3_clear_bindings(stmt);
  if (!idle_.emplace(std::string_view(sqlite3_sql(stmt)), stmt).second) sqlite3_finalize(stmt);
}

// ---- Checkpointer ----

std::unique_ptr<Checkpointer> Checkpointer::Start(const std::string& path) {
  sqlite3* db = nullptr;
  // A connection learns that the file keeps a log when it first reads it.
  if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK ||
      sqlite3_exec(db, "PRAGMA journal_mode = WAL", nullptr, nullptr, nullptr) != SQLITE_OK) {
    sqlite3_close(db);
    return nullptr;
  }
  return std::unique_ptr<Checkpointer>(new Checkpointer(db));
}

Checkpointer::~Checkpointer() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stop_ = true;
  }
  wake_.notify_one();
  thread_.join();
  sqlite3_close(db_);
}

int Checkpointer::AfterCommit(void* self, sqlite3* db, const char* name, int pages) {
  if (pages >= 4 * kPages) {
    // Commits come faster than the thread copies (a burst of messages): the
    // host's connection copies, as it would without the thread, so that the
    // log stays bounded. It waits for a copy the thread is making: refused
    // for that, it would copy nothing, and a log that is never copied whole
    // between two commits is never started again from its beginning.
    std::lock_guard<std::mutex> copying(static_cast<Checkpointer*>(self)->copying_);
    sqlite3_wal_checkpoint_v2(db, name, SQLITE_CHECKPOINT_PASSIVE, nullptr, nullptr);
  } else if (pages >= kPages) {
    static_cast<Checkpointer*>(self)->Request();
  }
  return SQLITE_OK;
}

void Checkpointer::Request() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    requested_ = true;
  }
  wake_.notify_one();
}

void Checkpointer::Run() {
  std::unique_lock<std::mutex> lock(mutex_);
  while (true) {
    wake_.wait(lock, [this] { return requested_ || stop_; });
    if (stop_) return;
    requested_ = false;
    lock.unlock();
    // Passive: it never waits for the host's connection nor stops it; what
    // it cannot copy now is copied at the next request.
    {
      std::lock_guard<std::mutex> copying(copying_);
      sqlite3_wal_checkpoint_v2(db_, nullptr, SQLITE_CHECKPOINT_PASSIVE, nullptr, nullptr);
    }
    lock.lock();
  }
}

}  // namespace tessaro::host
