// The host's profile: contacts, the user's settings and the event history in one
// SQLite database, in memory or in a file that keeps them across runs.
//
// Handles are the rows' ids, so they are non-zero, stable for the life of the
// profile and never reused. Blobs are bytes held in std::string. Every call runs on
// the user-interface thread. A failed call returns its failure value and leaves the
// reason in LastError().
//
// A profile file is readable by its owner only (created so, tightened when opened),
// in WAL mode so that a reader (a backup, a look with sqlite3) does not block the
// host, and with a busy timeout so that a writer waits for another instead of
// failing at once. What is committed survives a crash of the process.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "sdk/plugin_api.h"

struct sqlite3;

namespace tessaro::host {

class Checkpointer;
class StatementCache;

struct ContactRecord {
  HANDLE handle = nullptr;
  std::string name;
  std::string protocol;
  std::string address;  // bare XMPP address, lower-case; empty: none
};

// A message sent over the XMPP link: in the outbox until the peer's host confirms
// it, then among the sent messages kept for a peer that asks for one again.
struct OutboxRecord {
  std::string id;
  HANDLE contact = nullptr;
  uint64_t seq = 0;
  std::string body;
};

// Where the messages from a contact stand: the sender's epoch and the next
// sequence number to hand to the plug-in.
struct InboundState {
  uint64_t epoch = 0;
  uint64_t next = 1;
};

// A message or a presence subscription request from an address that is not a
// contact, kept for the player to accept or decline. One record per address.
struct ContactRequest {
  std::string address;
  uint32_t first_seen = 0;
  uint32_t messages = 0;      // messages that came; 0 for a subscription request alone
  std::string last_text;      // the last message's text, or what the subscription request said
  bool subscription = false;  // it asks to see our presence: a decline must say no
};

struct ConnectionLogEntry {
  uint32_t timestamp = 0;
  std::string state;
  std::string detail;
};

struct EventRecord {
  HANDLE handle = nullptr;  // set by the database
  HANDLE contact = nullptr;
  std::string module;
  uint32_t timestamp = 0;
  uint32_t flags = 0;  // DBEF_*; DBEF_READ is the read mark
  uint16_t type = EVENTTYPE_MESSAGE;
  std::string blob;
};

enum class ReadFilter { kAll, kUnread, kRead };

class Database {
 public:
  // How many confirmed messages to each contact are kept, so that a peer that
  // lost some can have them again.
  static constexpr std::size_t kKeptSent = 1000;

  // An empty path opens a fresh database in memory; otherwise the file is opened, or
  // created with an empty profile. Returns nullptr and a message naming the path when
  // the file cannot be opened or is not a profile of this host.
  static std::unique_ptr<Database> Open(const std::string& path, std::string* error);
  ~Database();
  Database(const Database&) = delete;
  Database& operator=(const Database&) = delete;

  // ---- Settings ----
  std::optional<std::string> Setting(std::string_view key) const;
  bool SetSetting(std::string_view key, std::string_view value);

  // ---- Settings of a module for one contact (0: the user) ----
  std::optional<std::string> ContactSetting(HANDLE contact, std::string_view module,
                                            std::string_view name) const;
  bool SetContactSetting(HANDLE contact, std::string_view module, std::string_view name,
                         std::string_view value);
  bool DeleteContactSetting(HANDLE contact, std::string_view module, std::string_view name);

  // ---- Transactions ----
  // Takes the write lock at once (BEGIN IMMEDIATE), waiting up to the busy
  // timeout. Rolled back unless committed.
  class Transaction {
   public:
    explicit Transaction(Database& db);
    ~Transaction();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;
    bool ok() const { return open_; }
    bool Commit();

   private:
    Database& db_;
    bool open_ = false;
  };

  // ---- Contacts ----
  // nullptr: failed. `address` is the contact's bare XMPP address (may be empty).
  HANDLE AddContact(std::string_view name, std::string_view protocol,
                    std::string_view address = {});
  bool RenameContact(HANDLE contact, std::string_view name);
  std::vector<ContactRecord> Contacts() const;  // in the order they were added
  // The contact with this bare address (compared lower-case), or nullptr.
  HANDLE ContactByAddress(std::string_view address) const;
  std::string AddressOf(HANDLE contact) const;  // empty: none or unknown

  // ---- XMPP link: outbox, sequence numbers, received ids, held messages ----
  // This profile's epoch: microseconds since 1970 when the profile was made (a
  // profile older than the link gets it when the link first asks).
  uint64_t Epoch();
  // The next sequence number for messages to the contact, counted up.
  std::optional<uint64_t> TakeOutboundSeq(HANDLE contact);
  bool AddOutbox(const OutboxRecord& message);
  // Unconfirmed messages (of one contact, or all when nullptr) by contact and seq.
  std::vector<OutboxRecord> Outbox(HANDLE contact = nullptr) const;
  // Moves the message, if it is the contact's and unconfirmed, from the outbox to
  // the sent messages kept (the last kKeptSent of each contact). Returns whether
  // one was moved.
  bool ConfirmOutbox(std::string_view id, HANDLE contact);
  // The same for each of the contact's unconfirmed messages up to `seq`. Returns
  // how many were moved, or nullopt on failure.
  std::optional<std::size_t> ConfirmOutboxUpTo(HANDLE contact, uint64_t seq);
  // The messages to the contact numbered first to last that the profile still
  // has, unconfirmed or kept, by seq.
  std::vector<OutboxRecord> SentMessages(HANDLE contact, uint64_t first, uint64_t last) const;
  InboundState Inbound(HANDLE contact) const;
  bool SetInbound(HANDLE contact, const InboundState& state);
  // The contact that sent the message with this id, or nullopt when none did.
  std::optional<HANDLE> ReceivedFrom(std::string_view id) const;
  bool MarkReceived(std::string_view id, HANDLE contact);
  // Messages that arrived ahead of a gap wait here until it is filled.
  bool Hold(HANDLE contact, uint64_t seq, std::string_view body);
  std::optional<std::string> Held(HANDLE contact, uint64_t seq) const;
  bool RemoveHeld(HANDLE contact, uint64_t seq);
  // Drops the contact's held messages numbered up to `upto` (all by default).
  bool DropHeld(HANDLE contact, uint64_t upto = INT64_MAX);
  // The lowest number held for the contact; nullopt when none is.
  std::optional<uint64_t> FirstHeld(HANDLE contact) const;
  std::vector<HANDLE> ContactsWithHeld() const;

  // ---- Contact requests and the connection's history ----
  bool AddRequest(std::string_view address, std::string_view text, uint32_t now);
  // A presence subscription request; `text` (its status) replaces the last
  // message's text only when it says something.
  bool AddSubscriptionRequest(std::string_view address, std::string_view text, uint32_t now);
  std::vector<ContactRequest> Requests() const;  // oldest first
  bool RemoveRequest(std::string_view address);
  bool LogConnection(uint32_t now, std::string_view state, std::string_view detail);
  std::vector<ConnectionLogEntry> ConnectionLog() const;  // oldest first

  // ---- Events ----
  // Stores the event (its handle field is ignored). Returns the new handle, or nullptr.
  HANDLE AddEvent(const EventRecord& event);
  std::optional<EventRecord> Event(HANDLE event) const;
  std::optional<uint32_t> BlobSize(HANDLE event) const;
  // Sets the given flag bits. Returns the flags after the change; nullopt when the
  // event is unknown.
  std::optional<uint32_t> AddFlags(HANDLE event, uint32_t bits);
  // The contact's events in the order they were stored.
  std::vector<EventRecord> EventsOf(HANDLE contact, ReadFilter filter) const;

  // How long a write waits for another connection's lock (5 s unless changed).
  void SetBusyTimeout(int milliseconds);

  const std::string& LastError() const { return last_error_; }

 private:
  explicit Database(sqlite3* db);
  bool Upgrade(int64_t found);
  // Columns that came without a new layout number, added to a profile without them.
  bool AddLaterColumns();
  bool Exec(const char* sql);
  // Keeps the last kKeptSent confirmed messages to the contact.
  bool PruneSent(HANDLE contact);

  sqlite3* db_;
  std::unique_ptr<StatementCache> statements_;
  std::unique_ptr<Checkpointer> checkpointer_;  // with a profile file only
  mutable std::string last_error_;
};

}  // namespace tessaro::host
