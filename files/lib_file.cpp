#include "files/lib_file.h"

#include <algorithm>
#include <array>

namespace tessaro {

namespace {

// clang-format off
constexpr std::array<uint8_t, kLibHeaderSize> kHeader = {
    0xFF, 'R',  'e',  'n',  'L',  'i',  'b',  0xFF, 0x03, 0x00,
    0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
};
// clang-format on

// The position byte of an on-board point; the caller has checked OnBoard.
uint8_t PositionByte(int x, int y) {
  return static_cast<uint8_t>(y * 16 + x + 1);
}

bool IsStone(const Move& move) {
  return move.value == Black || move.value == White;
}

}  // namespace

std::vector<uint8_t> EncodeLibFile(const MoveList& line, const std::string& title) {
  std::vector<Move> stones;
  for (const Move& move : line) {
    if (!IsStone(move)) continue;
    if (!OnBoard(move.x, move.y)) break;
    stones.push_back(move);
  }

  const size_t titleLength = std::min(title.find('\0'), title.size());
  std::vector<uint8_t> content(kHeader.begin(), kHeader.end());
  if (stones.empty()) {
    content.reserve(kLibHeaderSize + 2 * kLibRecordSize + titleLength + 2);
    // The root record, then the pass that ends the tree and carries the title.
    constexpr std::array<uint8_t, 4> kRootAndPass = {0x00, 0x00, 0x00, kLibLastRecordFlags};
    content.insert(content.end(), kRootAndPass.begin(), kRootAndPass.end());
    content.insert(content.end(), title.begin(),
                   title.begin() + static_cast<ptrdiff_t>(titleLength));
    content.push_back(0);
    // Texts in the tree are read two bytes at a time up to a pair holding a zero.
    if (content.size() % 2 != 0) content.push_back(0);
    return content;
  }
  content.reserve(kLibHeaderSize + kLibRecordSize * stones.size() + titleLength + 1);
  for (size_t i = 0; i < stones.size(); ++i) {
    content.push_back(PositionByte(stones[i].x, stones[i].y));
    content.push_back(i + 1 == stones.size() ? kLibLastRecordFlags : 0x00);
  }
  content.insert(content.end(), title.begin(), title.begin() + static_cast<ptrdiff_t>(titleLength));
  content.push_back(0);
  return content;
}

bool HasLibSignature(std::span<const uint8_t> content) {
  return content.size() >= kLibSignatureSize &&
         std::equal(kHeader.begin(), kHeader.begin() + kLibSignatureSize, content.begin());
}

LibLine DecodeLibFile(std::span<const uint8_t> content) {
  LibLine line;
  uint32_t colour = Black;
  size_t record = 0;
  // Where the bytes after the last record read begin.
  size_t textStart = std::min(kLibHeaderSize, content.size());

  for (;; ++record) {
    const size_t offset = kLibHeaderSize + kLibRecordSize * record;
    if (offset + 1 >= content.size()) break;
    const uint8_t position = content[offset];
    const uint8_t flags = content[offset + 1];
    textStart = offset + kLibRecordSize;

    if (record == 0 && position == 0x00) {
      if (flags != 0) break;
      continue;
    }
    const int x = (position & 0x0F) - 1;
    const int y = position >> 4;
    if (!OnBoard(x, y)) {
      line.endedOffBoard = true;
      line.offBoardRecord = record;
      break;
    }
    line.moves.push_back({static_cast<int16_t>(x), static_cast<int16_t>(y), colour});
    if (flags != 0) break;
    colour = colour == Black ? White : Black;
  }

  line.textOffset = textStart;
  const auto text = content.subspan(textStart);
  const auto end = std::find(text.begin(), text.end(), uint8_t{0});
  line.title.assign(text.begin(), end);
  return line;
}

}  // namespace tessaro
