// tessaro-judge: checks renju positions from the command line.
//
//   tessaro-judge marks          every position on stdin, with its forbidden
//                                points marked '#'
//   tessaro-judge judge X Y      the verdict for a black stone on (X, Y) of the
//                                one position on stdin, and whether a white
//                                stone there makes five
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>

#include "game/judge.h"
#include "game/text_board.h"

namespace {

using namespace tessaro;

constexpr int kUsageError = 2;

int Usage() {
  std::fputs(
      "usage: tessaro-judge marks        < positions\n"
      "       tessaro-judge judge X Y    < position\n"
      "A position is an optional line \"moves N\", then 15 lines of 15 characters\n"
      "(. empty, x black, o white, p proposal, # forbidden mark); positions are\n"
      "separated by one blank line.\n",
      stderr);
  return kUsageError;
}

bool ParseCoordinate(const char* text, int16_t& value) {
  char* end = nullptr;
  const long parsed = std::strtol(text, &end, 10);
  if (end == text || *end != '\0' || parsed < 0 || parsed >= kBoardSize) return false;
  value = static_cast<int16_t>(parsed);
  return true;
}

int Marks() {
  TextPositionReader reader(std::cin);
  TextPosition position;
  std::string out;
  bool first = true;
  while (reader.Next(position)) {
    RefreshBoardMarks(position.board, position.moves);
    if (!first) out += '\n';
    first = false;
    out += FormatBoard(position.board);
    if (out.size() > (1u << 16)) {
      std::fwrite(out.data(), 1, out.size(), stdout);
      out.clear();
    }
  }
  std::fwrite(out.data(), 1, out.size(), stdout);
  std::fflush(stdout);
  if (!reader.error().empty()) {
    std::fprintf(stderr, "tessaro-judge: %s\n", reader.error().c_str());
    return kUsageError;
  }
  return 0;
}

int Judge(const char* xText, const char* yText) {
  int16_t x = 0, y = 0;
  if (!ParseCoordinate(xText, x) || !ParseCoordinate(yText, y)) {
    std::fprintf(stderr, "tessaro-judge: coordinates %s %s are off the board (0 to 14)\n", xText,
                 yText);
    return kUsageError;
  }
  TextPositionReader reader(std::cin);
  TextPosition position;
  if (!reader.Next(position)) {
    const std::string error =
        reader.error().empty() ? "position 1, line 0: no position on input" : reader.error();
    std::fprintf(stderr, "tessaro-judge: %s\n", error.c_str());
    return kUsageError;
  }
  Board copy = position.board;
  const bool five = JudgePoint(copy, x, y);
  const char* verdict = five ? "five" : copy.at(x, y) == ForbiddenMark ? "forbidden" : "ok";
  std::printf("%s\n%s\n", verdict, WhiteFiveAt(position.board, x, y) ? "whitefive" : "no");
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string command = argc > 1 ? argv[1] : "";
  if (command == "marks" && argc == 2) return Marks();
  if (command == "judge" && argc == 4) return Judge(argv[2], argv[3]);
  return Usage();
}
