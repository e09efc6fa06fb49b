// The statements that storing and reading each message runs, shared by the
// event store and the opening of a profile, which compiles them at once so that
// the first message costs no more than any other.
#pragma once

namespace tessaro::host {

#define TESSARO_EVENT_COLUMNS \
  "SELECT id, contact, module, timestamp, flags, type, blob FROM events "
inline constexpr const char* kEventColumns = TESSARO_EVENT_COLUMNS;
inline constexpr const char* kInsertEvent =
    "INSERT INTO events(contact, module, timestamp, flags, type, blob) "
    "VALUES(?1, ?2, ?3, ?4, ?5, ?6)";
inline constexpr const char* kEventById = TESSARO_EVENT_COLUMNS "WHERE id = ?1";
inline constexpr const char* kBlobSize = "SELECT length(blob) FROM events WHERE id = ?1";
inline constexpr const char* kAddFlags = "UPDATE events SET flags = flags | ?2 WHERE id = ?1";
inline constexpr const char* kFlags = "SELECT flags FROM events WHERE id = ?1";
inline constexpr const char* kEveryMessage[] = {kInsertEvent, kEventById, kBlobSize, kAddFlags,
                                                kFlags};
#undef TESSARO_EVENT_COLUMNS

}  // namespace tessaro::host
