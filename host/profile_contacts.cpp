// The profile's contacts: the Database's calls on it (host/database.h).
#include "host/database.h"

#include "host/sqlite.h"

namespace tessaro::host {

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

}  // namespace tessaro::host
