// tessaro-judge: checks renju positions from the command line.
//
//   tessaro-judge marks          every position on stdin, with its forbidden
//                                points marked '#'
//   tessaro-judge judge POINT    the verdict for a black stone on POINT (h8,
//   tessaro-judge judge X Y      or X Y from the top left) of the one position
//                                on stdin, and whether a white stone there
//                                makes five
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>

#include "game/judge.h"
#include "game/text_board.h"

namespace {

using namespace tessaro;

constexpr int kFailure = 2;

constexpr char kUsage[] =
    "usage: tessaro-judge marks            < positions\n"
    "       tessaro-judge judge POINT      < position\n"
    "       tessaro-judge judge X Y        < position\n"
    "       tessaro-judge --help\n"
    "A position is an optional line \"moves N\", then 15 lines of 15 characters\n"
    "(. empty, x black, o white, p proposal, # forbidden mark); positions are\n"
    "separated by one blank line. marks prints each position with its forbidden\n"
    "points marked. judge prints \"five\", \"forbidden\" or \"ok\" for a black stone\n"
    "on the point, then \"whitefive\" or \"no\" for a white one. POINT is a column\n"
    "a..o and a row 1..15 from the bottom, as on the board (h8 is the centre); X Y\n"
    "are the column and the line of the text, 0..14 from the top left.\n";

int Usage() {
  std::fputs(kUsage, stderr);
  return kFailure;
}

int Error(const std::string& message) {
  std::fprintf(stderr, "tessaro-judge: %s\n", message.c_str());
  return kFailure;
}

// A full disk or a closed pipe is an error, not a silent success.
bool Write(const std::string& text) {
  if (std::fwrite(text.data(), 1, text.size(), stdout) == text.size() && std::fflush(stdout) == 0) {
    return true;
  }
  Error(std::string("cannot write the output: ") + std::strerror(errno));
  return false;
}

bool IsNumber(const char* text) {
  if (*text == '-' || *text == '+') ++text;
  if (*text == '\0') return false;
  for (; *text != '\0'; ++text) {
    if (!std::isdigit(static_cast<unsigned char>(*text))) return false;
  }
  return true;
}

bool ParseCoordinate(const char* text, int16_t& value) {
  const long parsed = std::strtol(text, nullptr, 10);
  if (std::strlen(text) > 6 || parsed < 0 || parsed >= kBoardSize) return false;
  value = static_cast<int16_t>(parsed);
  return true;
}

// "h8": a column letter a..o, then a row 1..15 counted from the bottom.
bool ParsePoint(const std::string& text, int16_t& x, int16_t& y) {
  if (text.size() < 2 || text.size() > 3) return false;
  const int column = std::tolower(static_cast<unsigned char>(text[0])) - 'a';
  int row = 0;
  for (size_t i = 1; i < text.size(); ++i) {
    if (!std::isdigit(static_cast<unsigned char>(text[i]))) return false;
    row = row * 10 + (text[i] - '0');
  }
  if (column < 0 || column >= kBoardSize || row < 1 || row > kBoardSize) return false;
  x = static_cast<int16_t>(column);
  y = static_cast<int16_t>(kBoardSize - row);
  return true;
}

// Positions are printed once they are whole (TextPositionReader::Next), so
// nothing of a position that turns out wrong reaches the output.
int Marks() {
  TextPositionReader reader(std::cin);
  TextPosition position;
  std::string out;
  size_t count = 0;
  while (reader.Next(position)) {
    RefreshBoardMarks(position.board, position.moves);
    if (count++ > 0) out += '\n';
    out += FormatBoard(position.board);
    if (out.size() > (1u << 16)) {
      if (!Write(out)) return kFailure;
      out.clear();
    }
  }
  if (!Write(out)) return kFailure;
  if (!reader.error().empty()) return Error(reader.error());
  if (count == 0) return Error("no position on input");
  return 0;
}

int Judge(int16_t x, int16_t y) {
  TextPositionReader reader(std::cin);
  TextPosition position;
  if (!reader.Next(position)) {
    return Error(reader.error().empty() ? "no position on input" : reader.error());
  }
  TextPosition second;
  if (reader.Next(second)) {
    return Error("the input holds more than one position; judge takes one (marks takes many)");
  }
  if (!reader.error().empty()) return Error(reader.error());

  Board copy = position.board;
  const bool five = JudgePoint(copy, x, y);
  const char* verdict = five ? "five" : copy.at(x, y) == ForbiddenMark ? "forbidden" : "ok";
  const char* white = WhiteFiveAt(position.board, x, y) ? "whitefive" : "no";
  return Write(std::string(verdict) + "\n" + white + "\n") ? 0 : kFailure;
}

int JudgeCommand(int argc, char** argv) {
  int16_t x = 0, y = 0;
  if (argc == 3) {
    if (!ParsePoint(argv[2], x, y)) {
      return Error(std::string("point ") + argv[2] +
                   " is not on the board (columns a to o, rows 1 to 15, e.g. h8)");
    }
    return Judge(x, y);
  }
  if (!IsNumber(argv[2]) || !IsNumber(argv[3])) {
    return Error(std::string("coordinates ") + argv[2] + " " + argv[3] +
                 " are not numbers; give X Y (0 to 14) or a point such as h8");
  }
  if (!ParseCoordinate(argv[2], x) || !ParseCoordinate(argv[3], y)) {
    return Error(std::string("coordinates ") + argv[2] + " " + argv[3] +
                 " are off the board (0 to 14)");
  }
  return Judge(x, y);
}

}  // namespace

int main(int argc, char** argv) {
  const std::string command = argc > 1 ? argv[1] : "";
  if ((command == "--help" || command == "-h") && argc == 2) return Write(kUsage) ? 0 : kFailure;
  if (command == "marks" && argc == 2) return Marks();
  if (command == "judge" && (argc == 3 || argc == 4)) return JudgeCommand(argc, argv);
  return Usage();
}
