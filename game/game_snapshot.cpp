// A game written down, and read back after a restart. The layout, all numbers
// little-endian:
//
//   "TSG" 1                        magic and layout version (4 bytes)
//   u32 myColor, myTurn, proposingFifth, simulationMode
//   i32 clockSetting, myClock, peerClock
//   u8  resultFollows, firstStoneClash
//   u32 outOfTime
//   u32 ownTail
//   str myName, peerName, gameResult   (u32 length, then the bytes)
//   list moveList, simMoveList        (u32 count, then 8 bytes a record:
//                                      i16 x, i16 y, u32 value)
//
// The boards are not written: each is its list replayed, with the marks of
// its length, which is what every change of a position leaves.
#include <cstring>
#include <string>
#include <string_view>

#include "game/game.h"
#include "game/judge.h"
#include "game/little_endian.h"

namespace tessaro {

namespace {

constexpr char kMagic[4] = {'T', 'S', 'G', 1};
// A list longer than this was never made by play: every stone, proposal and
// removal of a full board fits many times over.
constexpr uint32_t kMostRecords = 4 * kCellCount;
// Names and results are short texts; a peer's text is cut at 4 KiB.
constexpr uint32_t kLongestText = 64 * 1024;

void PutText(std::string& out, const std::string& text) {
  AppendUint32LE(out, static_cast<uint32_t>(text.size()));
  out += text;
}

void PutList(std::string& out, const MoveList& moves) {
  AppendUint32LE(out, static_cast<uint32_t>(moves.size()));
  for (const Move& move : moves) {
    AppendUint16LE(out, static_cast<uint16_t>(move.x));
    AppendUint16LE(out, static_cast<uint16_t>(move.y));
    AppendUint32LE(out, move.value);
  }
}

// Reads the layout front to back; the first failure sticks and names itself.
class Reader {
 public:
  explicit Reader(std::string_view bytes) : bytes_(bytes) {}

  uint32_t U32(const char* what) {
    const uint8_t* at = Take(4, what);
    return at ? ReadUint32LE(at) : 0;
  }
  int32_t I32(const char* what) { return static_cast<int32_t>(U32(what)); }
  bool Flag(const char* what) {
    const uint8_t* at = Take(1, what);
    if (at && *at > 1) Fail(what, "is not 0 or 1");
    return at && *at == 1;
  }
  uint32_t Below(uint32_t limit, const char* what) {
    const uint32_t value = U32(what);
    if (value >= limit) Fail(what, "is out of range");
    return value;
  }
  std::string Text(const char* what) {
    const uint32_t size = U32(what);
    if (size > kLongestText) Fail(what, "is too long");
    const uint8_t* at = error_.empty() ? Take(size, what) : nullptr;
    return at ? std::string(reinterpret_cast<const char*>(at), size) : std::string();
  }
  MoveList List(const char* what) {
    const uint32_t count = U32(what);
    if (count > kMostRecords) Fail(what, "has too many records");
    MoveList moves;
    for (uint32_t i = 0; i < count && error_.empty(); ++i) {
      const uint8_t* at = Take(8, what);
      if (!at) break;
      const Move move{ReadInt16LE(at), ReadInt16LE(at + 2), ReadUint32LE(at + 4)};
      if (!OnBoard(move.x, move.y) || move.value > Proposal)
        Fail(what, "holds a record off the board");
      moves.push_back(move);
    }
    return moves;
  }
  void Fail(const char* what, const char* why) {
    if (error_.empty()) error_ = std::string(what) + " " + why;
  }
  // The whole input was read, and read well.
  bool Done() {
    if (error_.empty() && at_ != bytes_.size()) error_ = "bytes follow the game";
    return error_.empty();
  }
  const std::string& Error() const { return error_; }

 private:
  const uint8_t* Take(size_t n, const char* what) {
    if (!error_.empty()) return nullptr;
    if (bytes_.size() - at_ < n) {
      Fail(what, "is cut short");
      return nullptr;
    }
    const auto* p = reinterpret_cast<const uint8_t*>(bytes_.data() + at_);
    at_ += n;
    return p;
  }

  std::string_view bytes_;
  size_t at_ = 0;
  std::string error_;
};

void ReplayWithMarks(Board& board, const MoveList& moves) {
  Replay(board, moves);
  RefreshBoardMarks(board, moves.size());
}

}  // namespace

std::string Game::Snapshot() const {
  std::string out(kMagic, sizeof kMagic);
  for (uint32_t value : {myColor, myTurn, proposingFifth, simulationMode})
    AppendUint32LE(out, value);
  for (int32_t value : {clockSetting, myClock, peerClock})
    AppendUint32LE(out, static_cast<uint32_t>(value));
  out.push_back(resultFollows ? 1 : 0);
  out.push_back(firstStoneClash ? 1 : 0);
  AppendUint32LE(out, outOfTime);
  AppendUint32LE(out, static_cast<uint32_t>(ownTail));
  PutText(out, myName);
  PutText(out, peerName);
  PutText(out, gameResult);
  PutList(out, moveList);
  PutList(out, simMoveList);
  return out;
}

bool Game::Restore(std::string_view bytes, std::string* error) {
  if (bytes.size() < sizeof kMagic || std::memcmp(bytes.data(), kMagic, sizeof kMagic) != 0) {
    if (error) *error = "not a kept game of this version";
    return false;
  }
  Reader in(bytes.substr(sizeof kMagic));
  const uint32_t colour = in.Below(3, "the colour");
  const uint32_t turn = in.Below(2, "the turn");
  const uint32_t proposing = in.Below(2, "the proposing flag");
  const uint32_t simulating = in.Below(2, "the what-if flag");
  const int32_t setting = in.I32("the clock setting");
  const int32_t own = in.I32("the own clock");
  const int32_t peer = in.I32("the peer's clock");
  if (setting < 0 || own < 0) in.Fail("a clock", "is negative");
  const bool follows = in.Flag("the result flag");
  const bool clash = in.Flag("the clash flag");
  const uint32_t timeOut = in.Below(3, "the out-of-time mark");
  const uint32_t tail = in.U32("the own tail");
  std::string me = in.Text("the own name");
  std::string them = in.Text("the peer's name");
  std::string result = in.Text("the result");
  MoveList moves = in.List("the move list");
  MoveList simMoves = in.List("the what-if list");
  if (tail > moves.size()) in.Fail("the own tail", "is longer than the list");
  if (!in.Done()) {
    if (error) *error = in.Error();
    return false;
  }

  myColor = colour;
  myTurn = turn;
  proposingFifth = proposing;
  simulationMode = simulating;
  simShowsEarlier = false;  // the line it showed is not kept
  clockSetting = setting;
  myClock = own;
  peerClock = peer;
  resultFollows = follows;
  firstStoneClash = clash;
  outOfTime = timeOut;
  ownTail = tail;
  myName = std::move(me);
  peerName = std::move(them);
  gameResult = std::move(result);
  moveList = std::move(moves);
  simMoveList = std::move(simMoves);
  ReplayWithMarks(board, moveList);
  ReplayWithMarks(simBoard, simMoveList);
  CheckInvariants();
  events_.BoardChanged();
  events_.SideChanged();
  return true;
}

}  // namespace tessaro
