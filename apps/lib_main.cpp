// tessaro-lib: looks into game-library (.lib) files from the command line.
//
//   tessaro-lib show FILE   the title and the line of play Load Game would take
//                           from FILE
#include <cstdio>
#include <string>
#include <vector>

#include "files/file_io.h"
#include "files/lib_file.h"

namespace {

using namespace tessaro;

constexpr int kFailure = 2;

int Usage() {
  std::fputs(
      "usage: tessaro-lib show FILE\n"
      "Prints \"title: TEXT\" (or \"title: (none)\"), then one move a line as\n"
      "\"N. COORDINATE black|white\" with columns a..o and rows 1..15 as on the\n"
      "board, or \"no moves\". A record off the board ends the line; it is named\n"
      "by its index (record i starts at byte 20 + 2i). Title bytes outside\n"
      "printable ASCII are shown as \\xHH and a backslash as \\\\.\n",
      stderr);
  return kFailure;
}

// The title comes from a file and may hold anything; control bytes must not
// reach the terminal, and bytes of another code page would print as garbage.
std::string Printable(const std::string& text) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte == '\\') {
      out += "\\\\";
    } else if (byte >= 0x20 && byte < 0x7F) {
      out += c;
    } else {
      out += "\\x";
      out += kHex[byte >> 4];
      out += kHex[byte & 0x0F];
    }
  }
  return out;
}

// Column letter a..o, then the row label 15 - y as on the board image.
std::string Coordinate(const LibMove& move) {
  return std::string(1, static_cast<char>('a' + move.x)) + std::to_string(kBoardSize - move.y);
}

int Show(const std::string& path) {
  std::vector<uint8_t> content;
  std::string error;
  if (!ReadLibFile(path, content, error)) {
    std::fprintf(stderr, "tessaro-lib: %s\n", error.c_str());
    return kFailure;
  }
  const LibLine line = DecodeLibFile(content);

  std::string out = "title: " + (line.title.empty() ? "(none)" : Printable(line.title)) + "\n";
  for (size_t i = 0; i < line.moves.size(); ++i) {
    const LibMove& move = line.moves[i];
    out += std::to_string(i + 1) + ". " + Coordinate(move) + " " +
           (move.colour == Black ? "black" : "white") + "\n";
  }
  if (line.moves.empty()) out += "no moves\n";
  if (line.endedOffBoard) {
    out += "record " + std::to_string(line.offBoardRecord) +
           " is off the board; the line ends there\n";
  }
  if (std::fwrite(out.data(), 1, out.size(), stdout) != out.size() || std::fflush(stdout) != 0) {
    std::fputs("tessaro-lib: cannot write the output\n", stderr);
    return kFailure;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string command = argc > 1 ? argv[1] : "";
  if (command == "show" && argc == 3) return Show(argv[2]);
  return Usage();
}
