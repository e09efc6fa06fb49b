// The profile's side of the XMPP link: the outbox and the sent messages kept, sequence
// numbers, received ids and held messages: the Database's calls on it (host/database.h).
#include "host/database.h"

#include <algorithm>
#include <charconv>
#include <chrono>

#include "host/sqlite.h"

namespace tessaro::host {

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
  if (q.Step() != SQLITE_ROW || q.IsNull(0)) return std::nullopt;
  return static_cast<uint64_t>(q.Int(0));
}

std::vector<HANDLE> Database::ContactsWithHeld() const {
  Statement q(*statements_, "SELECT DISTINCT contact FROM held ORDER BY contact", &last_error_);
  std::vector<HANDLE> contacts;
  while (q.Step() == SQLITE_ROW)
    contacts.push_back(HandleOf(q.Int(0)));
  return contacts;
}

}  // namespace tessaro::host
