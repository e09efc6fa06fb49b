#include "link/frame.h"

#include <algorithm>
#include <cassert>
#include <utility>

#include "game/little_endian.h"

namespace tessaro {

namespace {

// 0-9 and A-F give their value; every other character gives -1.
int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool PrefixAt(const std::string& text, size_t i) {
  return text.compare(i, kFramePrefix.size(), kFramePrefix) == 0;
}

}  // namespace

// ---- Frames ----------------------------------------------------------------

std::string EncodeFrame(const uint8_t* bytes, size_t count) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string text(kFramePrefix);
  text.reserve(kFramePrefix.size() + 2 * count);
  for (size_t i = 0; i < count; ++i) {
    text.push_back(kDigits[bytes[i] >> 4]);
    text.push_back(kDigits[bytes[i] & 0x0F]);
  }
  return text;
}

// A later "#RQ" is stepped over rather than cut out of the text; the effect is
// the same and the text is not copied for every frame. After a step the loop
// test runs again, so a "#RQ" at the very end cannot lead to a read past it.
int32_t DecodeIncomingText(std::string& incomingText, uint8_t* buffer, int32_t capacity) {
  if (capacity < 1) return 0;
  assert(buffer != nullptr);
  const std::string text = std::move(incomingText);
  incomingText.clear();  // consumed from here on, whatever the outcome
  if (!text.starts_with(kFramePrefix)) return 0;

  size_t i = kFramePrefix.size();
  int32_t n = 0;
  while (i + 1 < text.size()) {
    if (PrefixAt(text, i)) {
      i += kFramePrefix.size();
      continue;
    }
    const int high = HexValue(text[i]);
    const int low = HexValue(text[i + 1]);
    if (high < 0 || low < 0) return 0;
    buffer[n++] = static_cast<uint8_t>(high * 16 + low);
    i += 2;
    if (n == capacity) break;
  }

  if (n == capacity) {
    while (PrefixAt(text, i))
      i += kFramePrefix.size();
    // One digit alone would be ignored anyway; only a pair is worth keeping.
    if (i + 1 < text.size()) {
      incomingText = std::string(kFramePrefix) + text.substr(i);
    }
  }
  return n;
}

// ---- Cutting into commands -------------------------------------------------

CommandCut CutCommands(const uint8_t* bytes, int32_t count, int32_t capacity,
                       std::string& incomingText) {
  CommandCut cut;
  const size_t n = count > 0 ? static_cast<size_t>(count) : 0;
  const bool decodingWasCut = n > 0 && count == capacity && !incomingText.empty();
  size_t p = 0;
  size_t tail = n;  // start of a command that is put back for the next receive

  while (p < n) {
    const size_t left = n - p;
    if (left < kPacketHeaderSize) {
      if (decodingWasCut && p > 0) {
        tail = p;
      } else {
        cut.receiveError = true;
      }
      break;
    }
    const int32_t code = ReadInt32LE(bytes + p);
    const int32_t length = ReadInt32LE(bytes + p + 4);
    if (length < 0) {
      cut.receiveError = true;
      break;
    }
    const size_t size = kPacketHeaderSize + static_cast<size_t>(length);
    if (size > left) {
      if (decodingWasCut && p > 0 && size <= static_cast<size_t>(capacity)) {
        tail = p;
      } else {
        cut.receiveError = true;
      }
      break;
    }
    const auto* data = reinterpret_cast<const char*>(bytes + p + kPacketHeaderSize);
    cut.commands.push_back({code, std::string(data, static_cast<size_t>(length))});
    p += size;
  }

  if (cut.receiveError) {
    incomingText.clear();
  } else if (tail < n) {
    // The decoder's rest begins with "#RQ", which the next decoding skips.
    incomingText = EncodeFrame(bytes + tail, n - tail) + incomingText;
  }
  return cut;
}

// ---- The receive error -----------------------------------------------------

std::string ReceiveErrorText(const uint8_t* bytes, int32_t count) {
  const size_t echoed = std::min(count > 0 ? static_cast<size_t>(count) : 0, kMaxEchoedBytes);
  std::string text = "Receive error (";
  if (echoed > 0) text.append(reinterpret_cast<const char*>(bytes), echoed);
  text.push_back(')');
  return text;
}

}  // namespace tessaro
