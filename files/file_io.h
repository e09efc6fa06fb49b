// Reading and writing game files on disk. Both calls report failure through
// their result and a one-line message; neither throws.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace tessaro {

// ---- Limits ----------------------------------------------------------------

// The largest file Load Game reads. A line of play needs at most a few hundred
// bytes; anything far larger is not a game file and is refused before it is
// read whole.
inline constexpr size_t kMaxLibFileSize = size_t{4} << 20;

// ---- Reading ---------------------------------------------------------------

// Reads the whole file at `path` into `content`. Fails, with `error` set and
// `content` left empty, when the file cannot be opened, is not a regular file,
// is larger than kMaxLibFileSize (checked before reading and again while
// reading, in case it grows meanwhile) or a read fails.
bool ReadLibFile(const std::string& path, std::vector<uint8_t>& content, std::string& error);

// ---- Writing ---------------------------------------------------------------

// Replaces the file at `path` with `content` so that a reader sees either the
// old file or the complete new one. The bytes go to a new temporary file in
// the same folder, which is written, flushed to disk, closed and renamed over
// `path`, every step checked. An existing file keeps its permission bits; a
// new one gets the usual ones (0666 less the umask). On any failure `error`
// says which step failed, the old file is untouched and the temporary file is
// removed.
bool WriteFileAtomically(const std::string& path, const std::vector<uint8_t>& content,
                         std::string& error);

}  // namespace tessaro
