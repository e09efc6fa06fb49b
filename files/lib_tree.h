// A game library (".lib") read as the tree the renju library program stores:
// every branch, pass, comment and board text, not only the first line that
// Load Game takes (lib_file.h). Reading is pure and refuses nothing; damage is
// reported in the result.
//
// After the 20 header bytes, the nodes follow in preorder (a node, then its
// first child's whole subtree, then its next sibling):
//
//   [position][flags]                        two bytes
//   [e1][e2]           if flags & 0x01       extension: flag bits 16..23, 8..15
//   comment text       if flags & 0x08 (or the older 0x20)
//   board text         if extension bit 0x100
//
//   position  y * 16 + (x + 1) as in lib_file.h; 00 is a pass, or the root
//             when it is the first record
//   0x80      has a sibling: the node after this one's subtree is its sibling
//   0x40      no child: the next node is the sibling of the latest node with
//             0x80 still open; with none open, the tree is complete
//   0x02      no move: a text on an empty point, not a stone
//
// A text is read two bytes at a time up to and including the first pair that
// holds a zero byte; it is the bytes before that zero. A comment holds a
// one-line part, then optionally the byte 08 and a multi-line part.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace tessaro {

// ---- Flag bits -------------------------------------------------------------

inline constexpr uint32_t kLibHasSibling = 0x80;
inline constexpr uint32_t kLibNoChild = 0x40;
inline constexpr uint32_t kLibOldComment = 0x20;
inline constexpr uint32_t kLibComment = 0x08;
inline constexpr uint32_t kLibNoMove = 0x02;
inline constexpr uint32_t kLibExtension = 0x01;
inline constexpr uint32_t kLibBoardText = 0x100;
// Between a comment's one-line part and its multi-line part.
inline constexpr char kLibCommentSeparator = '\x08';

// ---- The tree --------------------------------------------------------------

// Nodes and texts are named by their index; files are read up to 4 GiB, so
// 32 bits hold every index and offset and keep a large library small in memory.
inline constexpr uint32_t kNoLibNode = UINT32_MAX;
inline constexpr uint32_t kNoLibText = UINT32_MAX;

struct LibNode {
  uint32_t flags = 0;   // the flag byte, extension bits above it
  uint32_t offset = 0;  // where its record starts in the file
  uint32_t parent = kNoLibNode;
  uint32_t firstChild = kNoLibNode;
  uint32_t nextSibling = kNoLibNode;
  // Stones and passes from the start up to this node; the node's colour is
  // black when odd. A no-move node has the number of the position it is on.
  uint32_t moveNumber = 0;
  uint32_t comment = kNoLibText;    // in LibTree::texts: the one-line and multi-line parts
  uint32_t boardText = kNoLibText;  // in LibTree::texts
  uint8_t position = 0;             // the raw byte; 0 for a pass and for the root

  bool IsMove() const { return (flags & kLibNoMove) == 0; }
};

struct LibTree {
  bool signature = false;  // FF "RenLib" FF at the start
  uint8_t majorVersion = 0;
  uint8_t minorVersion = 0;
  // nodes[0] is the root, the empty board; the rest in file order. A no-move
  // node has no children of its own: a node the file puts below one hangs on
  // the no-move node's parent, the position it belongs to.
  std::vector<LibNode> nodes;
  std::vector<std::string> texts;  // raw bytes, as the file holds them
  // Empty, or why the reading stopped before the end of the file: the file
  // ends inside a record or text, or bytes follow the complete tree.
  std::string damage;
};

// ---- Reading ---------------------------------------------------------------

// The tree in `content`. A first record with position 00 is the root's own
// (newer files write one); its texts become the root's.
LibTree ReadLibTree(std::span<const uint8_t> content);

// ---- Showing it ------------------------------------------------------------

// A text from a file, safe for a terminal: where it is valid UTF-8 it is shown
// as it is, but for control characters (C0, DEL, C1), written \xHH per byte,
// and the backslash, written \\; otherwise every byte outside printable ASCII
// is written \xHH (it is in some code page we cannot know).
std::string DisplayText(const std::string& text);

// "h8" (column a..o, row 1..15 from the bottom), "pass" for 00, or "?" and the
// byte in hex for a position off the board.
std::string PointName(uint8_t position);

// The tree for a reader, one line each:
//   RenLib 3.0: 21 moves, 3 variations          (or "no RenLib header: ...")
//   main line: 1. h8 2. h9 3. f9
//     1. h8 comment: TEXT                        the texts of the line's nodes
//     after 1. h8, on h9 board text: D           and of the no-move nodes there
//   variation 1, after 2. h9 of the main line: 3. g8 4. i9
//   variation 2, from the start: 1. b15
// Variations are numbered in file order. A multi-line comment goes on over
// lines indented further. The damage, if any, ends the output.
std::string FormatLibTree(const LibTree& tree);

}  // namespace tessaro
