// The game-library file (".lib"): one line of play from the first move on,
// without branches, and one line of title text. Encoding and decoding are pure:
// they touch no window, board or file (file_io.h reads and writes the disk).
//
// Layout of a file we write, for n >= 1 stones and a title of t bytes
// (20 + 2n + t + 1 bytes):
//
//   offset 0    FF 'R' 'e' 'n' 'L' 'i' 'b' FF 03 00 FF*10     header, 20 bytes
//   offset 20   [position][flags] * n                         move records
//   then        title bytes, 00
//
//   position = y * 16 + (x + 1)   low nibble x + 1 (1..15), high nibble y
//   flags    = 00 on every record but the last, 48 on the last
//
// No colour is stored: the first record is black and the colours alternate.
// In the library program's terms the records are a tree of one branch: 0x40
// says "no child" and 0x08 "a comment follows", so the title is the comment of
// the last move.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "game/board.h"

namespace tessaro {

// ---- Format constants ------------------------------------------------------

inline constexpr size_t kLibHeaderSize = 20;
inline constexpr size_t kLibRecordSize = 2;
inline constexpr uint8_t kLibLastRecordFlags = 0x48;
// The first eight header bytes, which every version of the format shares.
inline constexpr size_t kLibSignatureSize = 8;

// ---- Decoded line ----------------------------------------------------------

// One stone of a decoded line; `colour` is Black (1) or White (2). Every
// LibMove a decoder returns lies on the board.
struct LibMove {
  int16_t x = 0;
  int16_t y = 0;
  uint32_t colour = Black;

  bool operator==(const LibMove&) const = default;
};

struct LibLine {
  std::vector<LibMove> moves;
  // True when a record decoded to a point off the board (low nibble 0, which
  // the library program also uses for a pass, or high nibble 15). The line
  // ends before that record: it and everything after it are dropped, because
  // the line travels to the peer, which colours its moves 1, 2, 1, 2 by order;
  // skipping one in the middle would give the two sides different colours.
  bool endedOffBoard = false;
  // Index i of that record, at offset 20 + 2i; meaningful only when
  // endedOffBoard is set.
  size_t offBoardRecord = 0;
  // The bytes after the last record read, up to the first zero byte or the
  // end of the content: the title in a file we wrote. In a foreign file it is
  // whatever followed (often a comment), or nothing.
  std::string title;
  // Where those bytes begin: right after the last record read (or at the end
  // of a content too short to hold a record).
  size_t textOffset = 0;
};

// ---- Encoding and decoding -------------------------------------------------

// The whole file content for `line` with `title`.
//  - Only records with value Black or White are written, in order; proposals
//    (3) and removals (0) are left out. Their values are not written either.
//  - A stone off the board ends the written line there: it has no position
//    byte, and skipping it would shift the colours of every later stone.
//  - The title is written up to its first zero byte, then one zero byte.
//  - With no stone to write, the file is the header, a root record 00 00 and
//    one pass 00 48 carrying the title, padded with zero bytes to an even
//    length (20 + 4 + t + 1 or + 2 bytes). Title bytes right at offset 20
//    would read back as stones that were never played, and readers of the
//    library program's tree take a first record 00 as the root and then need
//    one node below it: a lone root, or the header alone, is refused as a file
//    without moves. A pass places no stone, and DecodeLibFile ends the line at
//    it, so the file reads back as no move.
std::vector<uint8_t> EncodeLibFile(const MoveList& line, const std::string& title);

// True when `content` starts with the format's signature FF "RenLib" FF,
// whatever the version bytes after it. DecodeLibFile does not ask; Load Game
// and the lib tool use it to tell the player about a file of another kind.
bool HasLibSignature(std::span<const uint8_t> content);

// The line held by `content`. Nothing is refused:
//  1. The 20 header bytes are skipped whatever they hold (other versions of
//     the format are read the same way).
//  2. If the first record's position byte is 0, it is the root record of the
//     library program's newer files, not a move: it is skipped and does not
//     count for the colours; if its flag byte is non-zero, the line is empty.
//  3. Records are read while they lie wholly inside the content; the first is
//     black and the colours alternate.
//  4. A record off the board ends the line before it (see LibLine).
//  5. A record with any non-zero flag byte is the last move (a comment or a
//     branch is not followed).
// Content shorter than 22 bytes yields no move.
LibLine DecodeLibFile(std::span<const uint8_t> content);

}  // namespace tessaro
