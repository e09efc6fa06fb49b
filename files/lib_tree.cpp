#include "files/lib_tree.h"

#include <algorithm>

#include "files/lib_file.h"
#include "game/board.h"

namespace tessaro {

namespace {

// Reads the file front to back; every read says whether the bytes were there.
class Cursor {
 public:
  Cursor(std::span<const uint8_t> content, size_t offset) : content_(content), offset_(offset) {}

  bool AtEnd() const { return offset_ >= content_.size(); }
  size_t Offset() const { return offset_; }

  size_t Left() const { return AtEnd() ? 0 : content_.size() - offset_; }

  bool Pair(uint8_t& first, uint8_t& second) {
    if (Left() < 2) return false;
    first = content_[offset_];
    second = content_[offset_ + 1];
    offset_ += 2;
    return true;
  }

  // A text: pairs up to the first one holding a zero byte. A zero that is the
  // file's last byte also ends it: our own files do not pad their title.
  bool Text(std::string& text) {
    uint8_t first = 0, second = 0;
    while (Pair(first, second)) {
      if (first == 0) return true;
      text += static_cast<char>(first);
      if (second == 0) return true;
      text += static_cast<char>(second);
    }
    if (Left() == 1 && content_[offset_] == 0) {
      ++offset_;
      return true;
    }
    return false;
  }

 private:
  std::span<const uint8_t> content_;
  size_t offset_;
};

constexpr char kHex[] = "0123456789ABCDEF";

void AppendEscaped(std::string& out, uint8_t byte) {
  out += "\\x";
  out += kHex[byte >> 4];
  out += kHex[byte & 0x0F];
}

// The length of the UTF-8 sequence starting at text[i], or 0 if it is not a
// valid one (overlong forms, surrogates and code points above U+10FFFF are not).
size_t Utf8Length(const std::string& text, size_t i) {
  const auto byte = [&](size_t k) { return static_cast<uint8_t>(text[k]); };
  const uint8_t lead = byte(i);
  if (lead < 0x80) return 1;
  size_t length = 0;
  uint32_t point = 0;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    point = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    point = lead & 0x0F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    point = lead & 0x07;
  } else {
    return 0;
  }
  if (text.size() - i < length) return 0;
  for (size_t k = 1; k < length; ++k) {
    if ((byte(i + k) & 0xC0) != 0x80) return 0;
    point = (point << 6) | (byte(i + k) & 0x3F);
  }
  if ((length == 3 && point < 0x800) || (length == 4 && point < 0x10000) || point > 0x10FFFF ||
      (point >= 0xD800 && point <= 0xDFFF)) {
    return 0;
  }
  return length;
}

bool IsUtf8(const std::string& text) {
  for (size_t i = 0; i < text.size();) {
    const size_t length = Utf8Length(text, i);
    if (length == 0) return false;
    i += length;
  }
  return true;
}

std::string At(size_t offset) {
  return " at byte " + std::to_string(offset);
}

// The record's flag bits and texts into `node`; false, with `damage` set, when
// the file ends inside them.
bool ReadRecord(Cursor& in, LibNode& node, std::vector<std::string>& texts, std::string& damage) {
  node.offset = static_cast<uint32_t>(in.Offset());
  uint8_t flags = 0;
  if (!in.Pair(node.position, flags)) {
    damage = "the file ends inside the record" + At(node.offset);
    return false;
  }
  node.flags = flags;
  if (flags & kLibExtension) {
    uint8_t high = 0, low = 0;
    if (!in.Pair(high, low)) {
      damage = "the file ends inside the record" + At(node.offset);
      return false;
    }
    node.flags |= (static_cast<uint32_t>(high) << 16) | (static_cast<uint32_t>(low) << 8);
  }
  if (node.flags & (kLibComment | kLibOldComment)) {
    node.comment = static_cast<uint32_t>(texts.size());
    if (!in.Text(texts.emplace_back())) {
      damage = "the file ends inside the comment of the record" + At(node.offset);
      return false;
    }
  }
  if (node.flags & kLibBoardText) {
    node.boardText = static_cast<uint32_t>(texts.size());
    if (!in.Text(texts.emplace_back())) {
      damage = "the file ends inside the board text of the record" + At(node.offset);
      return false;
    }
  }
  return true;
}

// "1. h8"; "start" for the root.
std::string MoveName(const LibTree& tree, uint32_t index) {
  if (index == 0) return "start";
  const LibNode& node = tree.nodes[index];
  return std::to_string(node.moveNumber) + ". " + PointName(node.position);
}

std::string LineName(uint32_t line) {
  return line == 0 ? "the main line" : "variation " + std::to_string(line);
}

// The comment's parts and the board text of `node`, one line each.
void AppendTexts(std::string& out, const std::string& subject, const LibTree& tree,
                 const LibNode& node) {
  if (node.comment != kNoLibText) {
    const std::string& comment = tree.texts[node.comment];
    const size_t cut = comment.find(kLibCommentSeparator);
    if (cut != 0) {
      out += "  " + subject + ", comment: " + DisplayText(comment.substr(0, cut)) + "\n";
    }
    if (cut != std::string::npos) {
      // One line of output per line of the text; a final line break adds none.
      out += "  " + subject + ", multi-line comment:";
      const std::string text = comment.substr(cut + 1);
      const char* indent = " ";
      size_t start = 0;
      do {
        const size_t end = std::min(text.find('\n', start), text.size());
        std::string piece = text.substr(start, end - start);
        if (!piece.empty() && piece.back() == '\r') piece.pop_back();
        out += indent + DisplayText(piece) + "\n";
        indent = "    ";
        start = end + 1;
      } while (start < text.size());
    }
  }
  if (node.boardText != kNoLibText) {
    out += "  " + subject + ", board text: " + DisplayText(tree.texts[node.boardText]) + "\n";
  }
}

}  // namespace

LibTree ReadLibTree(std::span<const uint8_t> content) {
  LibTree tree;
  tree.signature = HasLibSignature(content);
  if (content.size() >= 10) {
    tree.majorVersion = content[8];
    tree.minorVersion = content[9];
  }
  tree.nodes.emplace_back();  // the root
  if (content.size() > UINT32_MAX) {
    content = content.first(UINT32_MAX);
    tree.damage = "the file is larger than 4 GiB; only its start is read";
  }
  Cursor in(content, kLibHeaderSize);
  if (content.size() <= kLibHeaderSize) return tree;

  // The last child of each node, so that appending stays constant time.
  std::vector<uint32_t> lastChild(1, kNoLibNode);
  std::vector<uint32_t> open;  // nodes with a sibling still to come
  uint32_t below = 0;          // the node the next record hangs on; none when complete
  bool first = true;
  while (!in.AtEnd()) {
    if (below == kNoLibNode) {
      const size_t left = in.Left();
      tree.damage = std::to_string(left) + (left == 1 ? " byte follows" : " bytes follow") +
                    " the end of the tree" + At(in.Offset());
      break;
    }
    LibNode node;
    const bool whole = ReadRecord(in, node, tree.texts, tree.damage);
    // A record cut off after its position and flags still shows its move.
    if (!whole && in.Offset() == node.offset) break;
    const bool rootRecord = first && node.position == 0;
    first = false;
    if (rootRecord) {
      // The root's own record: the empty board, with its texts. It has no
      // sibling and is no text on a point, whatever its flags say.
      tree.nodes[0] = std::move(node);
      if (!whole) break;
      below = tree.nodes[0].flags & kLibNoChild ? kNoLibNode : 0;
      continue;
    }
    node.parent = below;
    node.moveNumber = tree.nodes[below].moveNumber + (node.IsMove() ? 1 : 0);
    const auto index = static_cast<uint32_t>(tree.nodes.size());
    tree.nodes.push_back(std::move(node));
    lastChild.push_back(kNoLibNode);
    if (lastChild[below] == kNoLibNode) {
      tree.nodes[below].firstChild = index;
    } else {
      tree.nodes[lastChild[below]].nextSibling = index;
    }
    lastChild[below] = index;

    if (!whole) break;
    const LibNode& read = tree.nodes[index];
    if (read.flags & kLibHasSibling) open.push_back(index);
    if (read.flags & kLibNoChild) {
      if (open.empty()) {
        below = kNoLibNode;
      } else {
        below = tree.nodes[open.back()].parent;
        open.pop_back();
      }
    } else {
      // What the file puts below a text on an empty point belongs to the
      // position the text is on.
      below = read.IsMove() ? index : read.parent;
    }
  }
  return tree;
}

std::string DisplayText(const std::string& text) {
  std::string out;
  const bool utf8 = IsUtf8(text);
  for (size_t i = 0; i < text.size();) {
    const auto byte = static_cast<uint8_t>(text[i]);
    const size_t length = utf8 ? Utf8Length(text, i) : 1;
    if (byte == '\\') {
      out += "\\\\";
    } else if (byte >= 0x20 && byte < 0x7F) {
      out += text[i];
    } else if (utf8 && length > 1 && !(byte == 0xC2 && static_cast<uint8_t>(text[i + 1]) < 0xA0)) {
      out.append(text, i, length);  // a character beyond ASCII, not a C1 control
    } else {
      for (size_t k = 0; k < length; ++k)
        AppendEscaped(out, static_cast<uint8_t>(text[i + k]));
    }
    i += length;
  }
  return out;
}

std::string PointName(uint8_t position) {
  if (position == 0) return "pass";
  const int x = (position & 0x0F) - 1;
  const int y = position >> 4;
  if (!OnBoard(x, y)) {
    std::string out = "?";
    out += kHex[position >> 4];
    out += kHex[position & 0x0F];
    return out;
  }
  return std::string(1, static_cast<char>('a' + x)) + std::to_string(kBoardSize - y);
}

std::string FormatLibTree(const LibTree& tree) {
  const auto count = static_cast<uint32_t>(tree.nodes.size());
  // The line each node is on, numbered in file order (0 the main line): a
  // move continues its parent's line when it is the parent's first move, else
  // it starts a line; a no-move node sits on its parent's line.
  std::vector<uint32_t> firstMove(count, kNoLibNode);
  std::vector<uint32_t> lineOf(count, 0);
  std::vector<uint32_t> lineStart(1, kNoLibNode);
  std::vector<uint32_t> branchPoint(1, 0);
  size_t moves = 0;
  for (uint32_t i = 1; i < count; ++i) {
    const LibNode& node = tree.nodes[i];
    const uint32_t parent = node.parent;
    if (!node.IsMove()) {
      lineOf[i] = lineOf[parent];
      continue;
    }
    ++moves;
    if (firstMove[parent] == kNoLibNode) {
      firstMove[parent] = i;
      lineOf[i] = lineOf[parent];
      if (parent == 0) lineStart[0] = i;
    } else {
      lineOf[i] = static_cast<uint32_t>(lineStart.size());
      lineStart.push_back(i);
      branchPoint.push_back(parent);
    }
  }

  std::string out = tree.signature ? "RenLib " + std::to_string(tree.majorVersion) + "." +
                                         std::to_string(tree.minorVersion)
                                   : std::string("no RenLib header");
  const size_t variations = lineStart.size() - 1;
  out += ": " + std::to_string(moves) + (moves == 1 ? " move, " : " moves, ") +
         std::to_string(variations) + (variations == 1 ? " variation\n" : " variations\n");

  // Texts of a node on a line, then of the no-move nodes on its position.
  const auto appendTextsAt = [&](uint32_t index) {
    AppendTexts(out, MoveName(tree, index), tree, tree.nodes[index]);
    const std::string where = index == 0 ? "at the start" : "after " + MoveName(tree, index);
    for (uint32_t child = tree.nodes[index].firstChild; child != kNoLibNode;
         child = tree.nodes[child].nextSibling) {
      const LibNode& mark = tree.nodes[child];
      if (!mark.IsMove()) AppendTexts(out, where + " on " + PointName(mark.position), tree, mark);
    }
  };

  for (uint32_t line = 0; line < lineStart.size(); ++line) {
    if (line == 0) {
      out += "main line:";
    } else {
      const uint32_t from = branchPoint[line];
      out +=
          "variation " + std::to_string(line) +
          (from == 0 ? ", from the start:"
                     : ", after " + MoveName(tree, from) + " of " + LineName(lineOf[from]) + ":");
    }
    if (lineStart[line] == kNoLibNode) out += " no moves";
    // Appended piece by piece: no temporary string per move.
    for (uint32_t node = lineStart[line]; node != kNoLibNode; node = firstMove[node]) {
      out += ' ';
      out += MoveName(tree, node);
    }
    out += "\n";
    if (line == 0) appendTextsAt(0);
    for (uint32_t node = lineStart[line]; node != kNoLibNode; node = firstMove[node])
      appendTextsAt(node);
  }
  if (!tree.damage.empty()) out += "note: " + tree.damage + "\n";
  return out;
}

}  // namespace tessaro
