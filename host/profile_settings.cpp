// The profile's settings, of the user and of a module for one contact: the Database's calls on it
// (host/database.h).
#include "host/database.h"

#include "host/sqlite.h"

namespace tessaro::host {

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

}  // namespace tessaro::host
