#include "link/game_command.h"

#include <cassert>
#include <limits>
#include <utility>

#include "game/little_endian.h"
#include "link/log_text.h"

namespace tessaro {

namespace {

// The data bytes as unsigned bytes, whatever the signedness of char.
const uint8_t* DataBytes(const std::string& data) {
  return reinterpret_cast<const uint8_t*>(data.data());
}

}  // namespace

// ---- Setters ---------------------------------------------------------------

void GameCommand::setMove(const Move& move) {
  code = CmdMove;
  data.clear();
  AppendUint16LE(data, static_cast<uint16_t>(move.x));
  AppendUint16LE(data, static_cast<uint16_t>(move.y));
  AppendUint32LE(data, move.value);
}

void GameCommand::setReset() {
  code = CmdReset;
  data.clear();
}

void GameCommand::setText(const std::string& text) {
  code = CmdText;
  data = text;
}

void GameCommand::setSide(int32_t side) {
  code = CmdSide;
  data.clear();
  AppendUint32LE(data, static_cast<uint32_t>(side));
}

void GameCommand::setTakeBack() {
  code = CmdTakeBack;
  data.clear();
}

void GameCommand::setGame(const MoveList& moves) {
  code = CmdGame;
  data.clear();
  data.reserve(moves.size());
  for (const Move& move : moves) {
    if (!MoveOnBoard(move)) continue;
    data.push_back(static_cast<char>(move.y * 16 + move.x));
  }
}

void GameCommand::setClock(int32_t seconds) {
  code = CmdClock;
  data = DecimalText(seconds);
}

void GameCommand::setGameOver() {
  code = CmdGameOver;
  data.clear();
}

// ---- Getters ---------------------------------------------------------------

bool GameCommand::getMove(Move& move) const {
  if (code != CmdMove || data.size() != kMoveDataSize) return false;
  const uint8_t* bytes = DataBytes(data);
  move.x = ReadInt16LE(bytes);
  move.y = ReadInt16LE(bytes + 2);
  move.value = ReadUint32LE(bytes + 4);
  return true;
}

bool GameCommand::getText(std::string& text) const {
  if (code != CmdText) return false;
  text = data;
  return true;
}

bool GameCommand::getSide(int32_t& side) const {
  if (code != CmdSide || data.size() != kSideDataSize) return false;
  side = ReadInt32LE(DataBytes(data));
  return true;
}

bool GameCommand::getGame(MoveList& moves) const {
  if (code != CmdGame) return false;
  MoveList read;
  read.reserve(data.size());
  uint32_t value = Black;
  for (const char c : data) {
    const auto byte = static_cast<uint8_t>(c);
    const Move move{static_cast<int16_t>(byte & 0x0F), static_cast<int16_t>(byte >> 4), value};
    // Only a nibble of 15 can fall off the board; one such byte spoils the
    // whole list, since the rest would no longer be the game the peer holds.
    if (!MoveOnBoard(move)) return false;
    read.push_back(move);
    value = value == Black ? White : Black;
  }
  moves = std::move(read);
  return true;
}

bool GameCommand::getClock(int32_t& seconds) const {
  if (code != CmdClock) return false;
  seconds = ReadDecimal(data);
  return true;
}

// ---- Packet ----------------------------------------------------------------

std::vector<uint8_t> GameCommand::packet() const {
  // The length field is a signed 32-bit number; no command of ours comes near.
  assert(data.size() <= size_t{std::numeric_limits<int32_t>::max()});
  std::vector<uint8_t> bytes;
  bytes.reserve(kPacketHeaderSize + data.size());
  AppendUint32LE(bytes, static_cast<uint32_t>(code));
  AppendUint32LE(bytes, static_cast<uint32_t>(data.size()));
  bytes.insert(bytes.end(), data.begin(), data.end());
  return bytes;
}

}  // namespace tessaro
