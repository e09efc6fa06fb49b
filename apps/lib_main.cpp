// tessaro-lib: looks into game-library (.lib) files from the command line.
//
//   tessaro-lib show FILE   the line of play Load Game would take from FILE,
//                           and what follows it in the file
//   tessaro-lib tree FILE   the whole library: the main line, every variation
//                           and the comments and board texts
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "files/file_io.h"
#include "files/lib_file.h"
#include "files/lib_tree.h"

namespace {

using namespace tessaro;

constexpr int kFailure = 2;

constexpr char kUsage[] =
    "usage: tessaro-lib show FILE\n"
    "       tessaro-lib tree FILE\n"
    "       tessaro-lib --help\n"
    "show: the line of play Load Game takes from FILE, one move a line as\n"
    "\"N. COORDINATE black|white\" (columns a..o, rows 1..15 from the bottom), or\n"
    "\"no moves\". The first line says what follows the line in the file: \"title:\"\n"
    "for a file Save Game wrote (\"title: (none)\" when nothing follows), else the\n"
    "comment on the last record read, or how many bytes of records Load Game\n"
    "leaves unread. A record off the board or a pass ends the line; it is named by\n"
    "its index (record i starts at byte 20 + 2i).\n"
    "tree: the library as the tree it is: the main line and each variation on a\n"
    "line of its own, with the comments and board texts below the line they are\n"
    "on. Texts are shown as they are where they are UTF-8 and byte by byte as\n"
    "\\xHH otherwise; a backslash is shown as \\\\. A file without the RenLib header\n"
    "is read all the same, with a warning.\n";

int Usage() {
  std::fputs(kUsage, stderr);
  return kFailure;
}

// Everything goes out in one piece, checked, so that a full disk or a closed
// pipe is reported rather than taken for success.
int Emit(const std::string& text) {
  if (std::fwrite(text.data(), 1, text.size(), stdout) != text.size() || std::fflush(stdout) != 0) {
    std::fprintf(stderr, "tessaro-lib: cannot write the output: %s\n", std::strerror(errno));
    return kFailure;
  }
  return 0;
}

bool Read(const std::string& path, std::vector<uint8_t>& content) {
  std::string error;
  if (ReadLibFile(path, content, error)) return true;
  std::fprintf(stderr, "tessaro-lib: %s\n", error.c_str());
  return false;
}

// Column letter a..o, then the row label 15 - y as on the board image.
std::string Coordinate(const LibMove& move) {
  std::string name(1, static_cast<char>('a' + move.x));
  name += std::to_string(kBoardSize - move.y);
  return name;
}

// A comment on one line: its one-line part, then its multi-line part.
std::string CommentText(const std::string& comment) {
  std::string text = comment;
  if (!text.empty() && text[0] == kLibCommentSeparator) text.erase(0, 1);
  const size_t cut = text.find(kLibCommentSeparator);
  if (cut == std::string::npos) return DisplayText(text);
  return DisplayText(text.substr(0, cut)) + " / " + DisplayText(text.substr(cut + 1));
}

// What follows the line in the file. The last record read carries a comment
// when its flags have 0x08; a file Save Game wrote ends with that comment, its
// title, and at most one byte of padding.
std::string AfterTheLine(const std::vector<uint8_t>& content, const LibLine& line) {
  const size_t offset = line.textOffset;
  const size_t rest = content.size() - offset;
  const bool recordRead = offset >= kLibHeaderSize + kLibRecordSize;
  const uint8_t flags = recordRead ? content[offset - 1] : 0;
  if (!(flags & kLibComment)) {
    if (rest == 0) return "title: (none)\n";
    return "after the line: " + std::to_string(rest) +
           " more bytes of records, which Load Game does not read (see tessaro-lib tree)\n";
  }
  const size_t left = rest - std::min(rest, line.title.size() + 1);
  const bool ours = line.title.find(kLibCommentSeparator) == std::string::npos &&
                    (left == 0 || (left == 1 && content.back() == 0));
  if (ours) return "title: " + (line.title.empty() ? "(none)" : DisplayText(line.title)) + "\n";

  const size_t record = (offset - kLibHeaderSize) / kLibRecordSize - 1;
  std::string on;
  if (line.endedOffBoard) {
    on = "record " + std::to_string(record);
  } else if (line.moves.empty()) {
    on = "the start";
  } else {
    on = std::to_string(line.moves.size()) + ". " + Coordinate(line.moves.back());
  }
  std::string out = "after the line: the comment on " + on + ": " + CommentText(line.title) + "\n";
  if (left > 1) {
    out += "then " + std::to_string(left) + " more bytes, which Load Game does not read\n";
  }
  return out;
}

int Show(const std::string& path) {
  std::vector<uint8_t> content;
  if (!Read(path, content)) return kFailure;
  const LibLine line = DecodeLibFile(content);

  std::string out = AfterTheLine(content, line);
  for (size_t i = 0; i < line.moves.size(); ++i) {
    const LibMove& move = line.moves[i];
    out += std::to_string(i + 1) + ". " + Coordinate(move) + " " +
           (move.colour == Black ? "black" : "white") + "\n";
  }
  if (line.moves.empty()) out += "no moves\n";
  if (line.endedOffBoard) {
    const bool pass = content[kLibHeaderSize + kLibRecordSize * line.offBoardRecord] == 0;
    out += "record " + std::to_string(line.offBoardRecord) +
           (pass ? " is a pass" : " is off the board") + "; the line ends there\n";
  }
  return Emit(out);
}

int Tree(const std::string& path) {
  std::vector<uint8_t> content;
  if (!Read(path, content)) return kFailure;
  const LibTree tree = ReadLibTree(content);
  if (!tree.signature) {
    std::fprintf(stderr,
                 "tessaro-lib: warning: %s does not start with the RenLib header; read as a "
                 "library all the same\n",
                 path.c_str());
  }
  return Emit(FormatLibTree(tree));
}

}  // namespace

int main(int argc, char** argv) {
  const std::string command = argc > 1 ? argv[1] : "";
  if ((command == "--help" || command == "-h") && argc == 2) return Emit(kUsage);
  if (command == "show" && argc == 3) return Show(argv[2]);
  if (command == "tree" && argc == 3) return Tree(argv[2]);
  return Usage();
}
