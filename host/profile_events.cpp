// The profile's event history: the Database's calls on it (host/database.h).
#include "host/database.h"

#include "host/profile_statements.h"
#include "host/sqlite.h"

namespace tessaro::host {

namespace {

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
