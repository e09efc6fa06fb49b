// The profile database opened from damaged bytes: the file is written, opened
// and, when it opens, read through everything the host reads at start.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>

#include "host/database.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace tessaro::host;
  static const std::string path = [] {
    char pattern[] = "/tmp/tessaro-fuzz-db-XXXXXX";
    if (mkdtemp(pattern) == nullptr) std::abort();
    return std::string(pattern) + "/profile.db";
  }();
  for (const char* suffix : {"", "-wal", "-shm", "-journal"})
    unlink((path + suffix).c_str());
  std::ofstream(path, std::ios::binary | std::ios::trunc)
      .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  std::string error;
  std::unique_ptr<Database> db = Database::Open(path, &error);
  if (!db) return 0;
  (void)db->Setting("user.name");
  for (const ContactRecord& contact : db->Contacts()) {
    for (const EventRecord& event : db->EventsOf(contact.handle, ReadFilter::kAll))
      (void)db->BlobSize(event.handle);
  }
  return 0;
}
