// Positions as text: 15 lines of 15 characters, the first line row y = 0 and
// the first character of a line column x = 0. '.' empty, 'x' black, 'o' white,
// 'p' proposal, '#' forbidden mark. Used by the judge tool and by test fixtures.
#pragma once

#include <cstddef>
#include <istream>
#include <string>

#include "game/board.h"

namespace tessaro {

struct TextPosition {
  Board board;
  // The MoveList record count the marks go by: the number given on an
  // optional "moves N" line, else the stones and proposals on the board.
  size_t moves = 0;
};

// Reads positions one at a time from a stream: an optional "moves N" line,
// then 15 board lines; positions are separated by one blank line, and blank
// lines may end the input.
class TextPositionReader {
 public:
  explicit TextPositionReader(std::istream& in) : in_(in) {}

  // The next position, once it is whole: the line after it is blank or the
  // input ends. False at the end of the input, or on malformed input, in
  // which case error() names the position and the line.
  bool Next(TextPosition& position);
  const std::string& error() const { return error_; }

 private:
  bool Fail(const std::string& what);
  bool ReadLine(std::string& line);

  std::istream& in_;
  std::string error_;
  size_t lineNumber_ = 0;
  size_t positionNumber_ = 0;
};

// Parses a single position from text (a test fixture). Aborts the test run
// with the reader's message on malformed text.
TextPosition ParsePosition(const std::string& text);

// The board in the same format; cells holding other codes print as '?'.
std::string FormatBoard(const Board& board);

}  // namespace tessaro
