// The text form of command packets inside messages ("#RQ" and hex digits),
// and how a receiving window turns the texts it has gathered back into
// commands. Everything here is pure: the window's GameLink owns the texts and
// does the sending, the message boxes and the dispatching.
//
// One receive, as the link runs it:
//   n   = DecodeIncomingText(incomingText, buffer, kReceiveCapacity)
//   cut = CutCommands(buffer, n, kReceiveCapacity, incomingText)   // at once
//   dispatch every command of cut.commands, in order
//   if cut.receiveError: the box kReceiveErrorMessage, then CmdText
//                        ReceiveErrorText(buffer, n) back to the peer
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "link/game_command.h"

namespace tessaro {

// ---- Frames ----------------------------------------------------------------

// Every frame text begins with this; the packet bytes follow as hex digits.
inline constexpr std::string_view kFramePrefix = "#RQ";

// One receive decodes at most this many bytes.
inline constexpr int32_t kReceiveCapacity = 4096;

// The most data one command can carry and still be read in one decoding.
inline constexpr size_t kMaxTextBytes = kReceiveCapacity - kPacketHeaderSize;

// "#RQ" and two upper-case hex digits per byte, the high four bits first.
std::string EncodeFrame(const uint8_t* bytes, size_t count);

// Takes all of `incomingText` and decodes it into at most `capacity` bytes of
// `buffer`; returns their number. The text must begin with "#RQ"; a "#RQ"
// met later (the next frame) is skipped; the digits are 0-9 and A-F only.
// Any other character, lower-case letters included, spoils the whole text:
// the result is 0 and the text is dropped. A single digit left at the end is
// ignored. A capacity below 1 returns 0 and leaves the text alone.
//
// When the capacity fills up before the text ends, the undecoded rest goes
// back into `incomingText` behind a fresh "#RQ", so the next receive goes on
// where this one stopped instead of losing it.
int32_t DecodeIncomingText(std::string& incomingText, uint8_t* buffer, int32_t capacity);

// ---- Cutting into commands -------------------------------------------------

// One command as it came: the code unchecked, the data as raw bytes.
struct ReceivedCommand {
  int32_t code = 0;
  std::string data;

  bool operator==(const ReceivedCommand&) const = default;
};

struct CommandCut {
  std::vector<ReceivedCommand> commands;  // every whole command, in order
  bool receiveError = false;              // report it after dispatching `commands`
};

// Cuts the `count` bytes of one decoding into commands: code (int32 LE),
// length (int32 LE), then `length` data bytes, back to back. The receive
// error is a length below 0, a length running past the end, or fewer than 8
// bytes left for a header; the bytes from there on are dropped.
//
// Must be called right after DecodeIncomingText with the same text and
// capacity, before anything else can add to the text: a text that is not
// empty then is the rest the decoder put back, which means the decoding was
// cut at the capacity. In that case a last command that is merely cut short
// is no error: its bytes go back, hex-encoded, in front of the rest, and the
// next receive reads the command whole. That is done only for a command that
// does not start the decoding and fits into one, so every receive makes
// progress. After a receive error the put-back rest is dropped as well: with
// the damaged command its bytes can no longer be lined up with headers.
CommandCut CutCommands(const uint8_t* bytes, int32_t count, int32_t capacity,
                       std::string& incomingText);

// ---- The receive error -----------------------------------------------------

// The message box shown when a receive finds a damaged command.
inline constexpr char kReceiveErrorMessage[] = "Receive error 0x01";

// At most this many received bytes are echoed in the reply, so that the reply
// itself always fits into one decoding at the peer. A longer echo would give
// the peer a receive error of its own, whose reply would come back just as
// long: the two windows would trade error boxes for ever.
inline constexpr size_t kMaxEchoedBytes = kReceiveCapacity - kPacketHeaderSize - 16;

// The text of the CmdText reply to the peer: "Receive error (", the decoded
// bytes as raw bytes (headers included, at most kMaxEchoedBytes), ")".
std::string ReceiveErrorText(const uint8_t* bytes, int32_t count);

}  // namespace tessaro
