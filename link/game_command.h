// One game command: a command code and a byte string of data, the unit that
// the two game windows exchange. This file holds the record, its setters and
// getters and its packet layout; sending it and receiving it belong to the
// window's GameLink.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "game/board.h"

namespace tessaro {

class GameLink;
class LinkEndpoint;

// ---- Command codes ---------------------------------------------------------

// The code travels as a signed 32-bit number. A received code is kept as it
// came, so values outside 0..7 reach the dispatcher, which refuses them.
// The codes keep the protocol's names, not the k-prefix of other constants.
// NOLINTBEGIN(readability-identifier-naming)
inline constexpr int32_t CmdMove = 0;      // data: Move (x int16, y int16, value uint32)
inline constexpr int32_t CmdReset = 1;     // data: empty
inline constexpr int32_t CmdText = 2;      // data: the text's bytes, no terminator
inline constexpr int32_t CmdSide = 3;      // data: int32, the colour the receiver plays
inline constexpr int32_t CmdTakeBack = 4;  // data: empty
inline constexpr int32_t CmdGame = 5;      // data: one byte y * 16 + x per move
inline constexpr int32_t CmdClock = 6;     // data: decimal text of a whole number
inline constexpr int32_t CmdGameOver = 7;  // data: empty
// NOLINTEND(readability-identifier-naming)

// ---- Sizes on the wire -----------------------------------------------------

inline constexpr size_t kPacketHeaderSize = 8;  // code int32 LE, length int32 LE
inline constexpr size_t kMoveDataSize = 8;
inline constexpr size_t kSideDataSize = 4;

// True when the move's point lies on the board. A received CmdMove is the
// peer's word and may name any point; only a move that passes this test may
// touch a Board.
constexpr bool MoveOnBoard(const Move& move) {
  return OnBoard(move.x, move.y);
}

// ---- GameCommand -----------------------------------------------------------

// Every setter sets `code` and replaces `data`. Every getter fills its
// out-argument only when it succeeds, and otherwise leaves it untouched.
class GameCommand {
 public:
  // Code CmdReset (1), the given owner, empty data.
  explicit GameCommand(LinkEndpoint* commandOwner) : owner(commandOwner) {}

  // The calls keep the names the game's protocol gives them (setMove,
  // getMove, send, receive), and the others of their families follow them.
  // NOLINTBEGIN(readability-identifier-naming)

  // Setters.
  void setMove(const Move& move);
  void setReset();
  void setText(const std::string& text);
  void setSide(int32_t side);
  void setTakeBack();
  // One byte per move, in list order. A move off the board has no byte form;
  // it is skipped, as Replay skips it on the sender's own board.
  void setGame(const MoveList& moves);
  void setClock(int32_t seconds);
  void setGameOver();

  // Getters.
  // CmdMove with exactly 8 bytes. The point is not checked: see MoveOnBoard.
  bool getMove(Move& move) const;
  // CmdText; the text is the whole data.
  bool getText(std::string& text) const;
  // CmdSide with exactly 4 bytes.
  bool getSide(int32_t& side) const;
  // CmdGame whose every byte names a board point. The moves get the values
  // 1, 2, 1, 2 ... whatever the sender's list held. A byte with a nibble of 15
  // names no point (x or y would be 15): then the whole command is refused,
  // the list keeps its contents, and the receiver's game stays as it was.
  bool getGame(MoveList& moves) const;
  // CmdClock; the data read like atoi, clamped to the int32 range.
  bool getClock(int32_t& seconds) const;

  // The bytes as they travel: code (4 bytes LE), data length (4 bytes LE),
  // then the data.
  std::vector<uint8_t> packet() const;

  // ---- Transport (the game window's link) ----------------------------------

  // Lays out the packet and sends it as one frame through `link`.
  void send(GameLink& link) const;
  // Decodes what `link` has received and dispatches every command to the
  // owner, reusing this object for each; reports a damaged frame with the box
  // "Receive error 0x01" and a reply to the peer.
  void receive(GameLink& link);
  // NOLINTEND(readability-identifier-naming)

  // ---- Fields --------------------------------------------------------------
  int32_t code = CmdReset;
  LinkEndpoint* owner = nullptr;  // the sending window, or the one dispatched to
  std::string data;               // raw bytes; may hold NUL and any other byte
};

}  // namespace tessaro
