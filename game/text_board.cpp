#include "game/text_board.h"

#include <cstdio>
#include <cstdlib>
#include <sstream>

namespace tessaro {

namespace {

bool CellFromChar(char c, uint32_t& cell) {
  switch (c) {
    case '.':
      cell = Empty;
      return true;
    case 'x':
      cell = Black;
      return true;
    case 'o':
      cell = White;
      return true;
    case 'p':
      cell = Proposal;
      return true;
    case '#':
      cell = ForbiddenMark;
      return true;
    default:
      return false;
  }
}

char CharFromCell(uint32_t cell) {
  switch (cell) {
    case Empty:
      return '.';
    case Black:
      return 'x';
    case White:
      return 'o';
    case Proposal:
      return 'p';
    case ForbiddenMark:
      return '#';
    default:
      return '?';
  }
}

// "moves N" with N a plain decimal number of at most 9 digits.
bool ParseMovesLine(const std::string& line, size_t& moves) {
  const std::string prefix = "moves ";
  if (line.compare(0, prefix.size(), prefix) != 0) return false;
  const std::string digits = line.substr(prefix.size());
  if (digits.empty() || digits.size() > 9) return false;
  for (char c : digits) {
    if (c < '0' || c > '9') return false;
  }
  moves = std::strtoul(digits.c_str(), nullptr, 10);
  return true;
}

}  // namespace

bool TextPositionReader::ReadLine(std::string& line) {
  if (!std::getline(in_, line)) return false;
  ++lineNumber_;
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return true;
}

bool TextPositionReader::Fail(const std::string& what) {
  error_ = "position " + std::to_string(positionNumber_) + ", line " + std::to_string(lineNumber_) +
           ": " + what;
  return false;
}

bool TextPositionReader::Next(TextPosition& position) {
  std::string line;
  if (!ReadLine(line)) return false;
  if (line.empty()) {
    // Blank lines may end the input; anywhere else one blank line separates
    // two positions, and it was read with the position before.
    while (ReadLine(line)) {
      if (!line.empty()) {
        ++positionNumber_;
        return Fail(positionNumber_ == 1 ? "a blank line before the first position"
                                         : "more than one blank line between positions");
      }
    }
    return false;
  }
  ++positionNumber_;

  position = TextPosition{};
  bool movesGiven = false;
  if (line.rfind("moves", 0) == 0) {
    if (!ParseMovesLine(line, position.moves)) return Fail("bad moves line: \"" + line + "\"");
    movesGiven = true;
    if (!ReadLine(line)) return Fail("missing board line 1 of 15");
  }

  size_t stones = 0;
  for (int y = 0; y < kBoardSize; ++y) {
    if (y > 0 && !ReadLine(line)) {
      return Fail("missing board line " + std::to_string(y + 1) + " of 15");
    }
    if (line.size() != static_cast<size_t>(kBoardSize)) {
      return Fail("board line of " + std::to_string(line.size()) + " characters, expected 15");
    }
    for (int x = 0; x < kBoardSize; ++x) {
      uint32_t cell = 0;
      if (!CellFromChar(line[static_cast<size_t>(x)], cell)) {
        return Fail(std::string("unknown character '") + line[static_cast<size_t>(x)] +
                    "' in column " + std::to_string(x));
      }
      position.board.at(x, y) = cell;
      if (cell == Black || cell == White || cell == Proposal) ++stones;
    }
  }
  if (!movesGiven) position.moves = stones;
  // The position is only whole when a blank line or the end of the input
  // follows: a 16th board line makes it wrong, not the start of another.
  if (ReadLine(line) && !line.empty()) {
    return Fail("expected a blank line or the end of the input after board line 15");
  }
  return true;
}

TextPosition ParsePosition(const std::string& text) {
  std::istringstream in(text);
  TextPositionReader reader(in);
  TextPosition position;
  if (!reader.Next(position)) {
    std::fprintf(stderr, "bad board fixture: %s\n", reader.error().c_str());
    std::abort();
  }
  return position;
}

std::string FormatBoard(const Board& board) {
  std::string text;
  text.reserve(kBoardSize * (kBoardSize + 1));
  for (int y = 0; y < kBoardSize; ++y) {
    for (int x = 0; x < kBoardSize; ++x)
      text += CharFromCell(board.at(x, y));
    text += '\n';
  }
  return text;
}

}  // namespace tessaro
