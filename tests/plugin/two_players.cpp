#include "two_players.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "game/text_board.h"

namespace tessaro::testing {

void TwoPlayers::SetUp() {
  // Each test works in a folder of its own: windows write a test file and
  // games are saved into the current folder.
  char buffer[4096];
  oldDirectory = getcwd(buffer, sizeof buffer) ? buffer : ".";
  char pattern[] = "/tmp/tessaro-plugin-XXXXXX";
  ASSERT_NE(mkdtemp(pattern), nullptr);
  workDirectory = pattern;
  ASSERT_EQ(chdir(workDirectory.c_str()), 0);

  StartHost();
}

void TwoPlayers::StartHost() {
  std::string error;
  // Beside the test's folder, whose files the tests list.
  ASSERT_TRUE(Start(workDirectory + "-profile.db", &error)) << error;
}

void TwoPlayers::Restart() {
  Stop();
  StartHost();
}

void TwoPlayers::TearDown() {
  Stop();
  if (!oldDirectory.empty()) (void)chdir(oldDirectory.c_str());
  std::error_code ignored;
  if (!workDirectory.empty()) {
    std::filesystem::remove_all(workDirectory, ignored);
    for (const char* suffix : {"", "-wal", "-shm"})
      std::filesystem::remove(workDirectory + "-profile.db" + suffix, ignored);
  }
}

void TwoPlayers::OpenBoth() {
  ASSERT_TRUE(WindowPair::OpenBoth());
}

void TwoPlayers::ClickPoint(GameWindow& window, int x, int y) {
  ASSERT_TRUE(ui.Click(window, BoardPoint(x, y)));
  Settle();
}

void TwoPlayers::PostClick(GameWindow& window, int x, int y) {
  const CPoint point = BoardPoint(x, y);
  const HWND target = ui.platform().ChildAt(window.m_hWnd, point);
  ASSERT_TRUE(
      ui.platform().PostMessage(target, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(point.x, point.y)));
}

std::vector<std::string> TwoPlayers::LogLines(const GameWindow& window) {
  std::vector<std::string> lines;
  std::string line;
  for (char c : window.LogText()) {
    if (c == '\n') {
      lines.push_back(line);
      line.clear();
    } else {
      line += c;
    }
  }
  if (!line.empty()) lines.push_back(line);
  return lines;
}

std::vector<std::string> TwoPlayers::SentFrames(HANDLE contact) const {
  std::vector<std::string> frames;
  for (const host::EventRecord& event : host->EventsOf(contact)) {
    if (!(event.flags & DBEF_SENT)) continue;
    std::string text = event.blob;
    if (!text.empty() && text.back() == '\0') text.pop_back();
    frames.push_back(text);
  }
  return frames;
}

std::string TwoPlayers::BoardText(const Board& board) {
  return FormatBoard(board);
}

void TwoPlayers::Deliver(HANDLE contact, const std::string& text) {
  ASSERT_NE(StoreReceived(contact, "ICQ", 0, EVENTTYPE_MESSAGE, text + '\0'), nullptr);
}

std::string TwoPlayers::FrameOf(int32_t code, const std::string& data) {
  std::string bytes;
  const auto length = static_cast<uint32_t>(data.size());
  for (int shift = 0; shift < 32; shift += 8)
    bytes.push_back(static_cast<char>((static_cast<uint32_t>(code) >> shift) & 0xFF));
  for (int shift = 0; shift < 32; shift += 8)
    bytes.push_back(static_cast<char>((length >> shift) & 0xFF));
  bytes += data;
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string frame = "#RQ";
  for (unsigned char byte : bytes) {
    frame.push_back(kDigits[byte >> 4]);
    frame.push_back(kDigits[byte & 0x0F]);
  }
  return frame;
}

std::string TwoPlayers::MoveFrame(int x, int y, uint32_t value) {
  std::string data;
  for (uint32_t part : {static_cast<uint32_t>(x), static_cast<uint32_t>(y)}) {
    data.push_back(static_cast<char>(part & 0xFF));
    data.push_back(static_cast<char>((part >> 8) & 0xFF));
  }
  for (int shift = 0; shift < 32; shift += 8)
    data.push_back(static_cast<char>((value >> shift) & 0xFF));
  return FrameOf(0, data);
}

void TwoPlayers::PlayThroughChoice() {
  ClickPoint(*black, 7, 7);
  ClickPoint(*black, 7, 8);
  ui.AnswerMessageBox(IDNO, {}, "Do you want to play as BLACK?");
  ClickPoint(*black, 8, 8);
  ClickPoint(*white, 6, 6);
  ClickPoint(*black, 9, 9);
  ClickPoint(*black, 6, 9);
  ClickPoint(*white, 9, 9);
}

Board TwoPlayers::FreshBoard() {
  Board board;
  board.cells.fill(ForbiddenMark);
  board.at(7, 7) = Empty;
  return board;
}

}  // namespace tessaro::testing
