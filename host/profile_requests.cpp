// The profile's contact requests and the connection's history: the Database's calls on it
// (host/database.h).
#include "host/database.h"

#include "host/sqlite.h"

namespace tessaro::host {

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

bool Database::AddSubscriptionRequest(std::string_view address, std::string_view text,
                                      uint32_t now) {
  Statement q(*statements_,
              "INSERT INTO requests(address, first_seen, messages, last_text, subscription) "
              "VALUES(?1, ?2, 0, ?3, 1) ON CONFLICT(address) DO UPDATE "
              "SET subscription = 1, "
              "last_text = CASE WHEN length(?3) > 0 THEN ?3 ELSE last_text END",
              &last_error_);
  q.Bind(1, address);
  q.Bind(2, int64_t{now});
  q.BindBlob(3, text);
  return q.Step() == SQLITE_DONE;
}

std::vector<ContactRequest> Database::Requests() const {
  Statement q(*statements_,
              "SELECT address, first_seen, messages, last_text, subscription FROM requests "
              "ORDER BY rowid",
              &last_error_);
  std::vector<ContactRequest> requests;
  while (q.Step() == SQLITE_ROW) {
    requests.push_back({q.Text(0), static_cast<uint32_t>(q.Int(1)), static_cast<uint32_t>(q.Int(2)),
                        q.Text(3), q.Int(4) != 0});
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

}  // namespace tessaro::host
