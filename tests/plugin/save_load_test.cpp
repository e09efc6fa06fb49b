// Save Game and Load Game from the window's menu, as the player sees them: the
// file dialogs and boxes shown, the bytes on disk, the board, the side question
// and what the peer's window receives.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "files/file_io.h"
#include "files/lib_file.h"
#include "two_players.h"

namespace tessaro::testing {
namespace {

namespace fs = std::filesystem;
using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;
using ::testing::UnorderedElementsAreArray;

using Bytes = std::vector<uint8_t>;

// ---- Files and frames written out by hand ----------------------------------

// A game file as the format lays it out: the 20 header bytes, the two-byte
// records as given, the title and its zero byte.
Bytes LibFile(const Bytes& records, const std::string& title) {
  Bytes file = {0xFF, 'R', 'e', 'n', 'L', 'i', 'b', 0xFF, 0x03, 0x00};
  file.insert(file.end(), 10, 0xFF);
  file.insert(file.end(), records.begin(), records.end());
  file.insert(file.end(), title.begin(), title.end());
  file.push_back(0);
  return file;
}

// The 20 header bytes and nothing else.
Bytes HeaderOnly() {
  Bytes file = LibFile({}, "");
  file.pop_back();
  return file;
}

std::string Hex(const Bytes& bytes) {
  std::string text;
  for (uint8_t byte : bytes) {
    char digits[3];
    std::snprintf(digits, sizeof digits, "%02X", byte);
    text += digits;
  }
  return text;
}

// The frames of CmdSide telling the receiver its colour.
const std::string kPlayBlackFrame = "#RQ030000000400000001000000";
const std::string kPlayWhiteFrame = "#RQ030000000400000002000000";

// The frame of CmdGame with one byte y * 16 + x per point.
std::string GameFrame(const Bytes& points) {
  const auto n = static_cast<uint8_t>(points.size());
  return "#RQ" + Hex({5, 0, 0, 0, n, 0, 0, 0}) + Hex(points);
}

// ---- Positions as readable text --------------------------------------------

std::string Describe(int x, int y, uint32_t value) {
  return std::to_string(x) + "," + std::to_string(y) + ":" + std::to_string(value);
}

std::vector<std::string> Describe(const MoveList& line) {
  std::vector<std::string> out;
  for (const Move& move : line)
    out.push_back(Describe(move.x, move.y, move.value));
  return out;
}

// The cells of a board that are not empty, marks and proposals included, or
// only its black and white stones.
std::vector<std::string> Cells(const Board& board, bool stonesOnly = false) {
  std::vector<std::string> out;
  for (int x = 0; x < kBoardSize; ++x) {
    for (int y = 0; y < kBoardSize; ++y) {
      const uint32_t cell = board.at(x, y);
      if (stonesOnly ? cell == Black || cell == White : cell != Empty)
        out.push_back(Describe(x, y, cell));
    }
  }
  return out;
}

// ---- The fixture -----------------------------------------------------------

class SaveLoad : public TwoPlayers {
 protected:
  void Menu(GameWindow& window, UINT command) {
    ASSERT_TRUE(ui.ChooseMenu(window, command));
    Settle();
  }
  // Save Game or Load Game with the file dialog answered by `name` (a name in
  // the test's folder), or cancelled.
  void Save(GameWindow& window, std::optional<std::string> name) {
    ui.AnswerFileDialog(std::move(name));
    Menu(window, kCmdSaveGame);
  }
  // A file that is no game library, or gives no move, brings a `notice` first.
  void Load(GameWindow& window, std::optional<std::string> name, int sideAnswer = IDYES,
            const std::string& notice = {}) {
    ui.AnswerFileDialog(std::move(name));
    if (!notice.empty()) ui.AnswerMessageBox(IDOK, {}, notice);
    ui.AnswerMessageBox(sideAnswer, {}, "Are you BLACK?");
    Menu(window, kCmdLoadGame);
  }

  // Loads `path` into the window for Bob, choosing black, and checks that the
  // line is all its board holds and that the peer got it as its game.
  void ExpectLoads(const std::string& path, const std::vector<std::string>& moves,
                   const Bytes& points, const std::string& notice = {}) {
    const size_t sent = SentFrames(bob).size();
    Load(*black, path, IDYES, notice);
    EXPECT_EQ(Describe(black->game.moveList), moves);
    EXPECT_THAT(Cells(black->game.board), UnorderedElementsAreArray(moves));
    EXPECT_THAT(FramesSince(bob, sent), ElementsAre(kPlayWhiteFrame, GameFrame(points)));
    EXPECT_EQ(Describe(white->game.moveList), moves);
    EXPECT_THAT(Cells(white->game.board, true), UnorderedElementsAreArray(moves));
  }

  // The opening up to white's choice of the proposal at (9,9): both windows
  // hold 8 records, 5 of them black and white stones.
  void PlayOpeningWithProposals() {
    OpenBoth();
    PlayThroughChoice();
    ASSERT_EQ(black->game.moveList.size(), 8u);
    ASSERT_EQ(black->game.moveList[7], (Move{6, 9, Empty}));
  }

  static std::string PathOf(const std::string& name) {
    return (fs::current_path() / name).string();
  }
  static void WriteBytes(const std::string& name, const Bytes& bytes) {
    std::ofstream out(name, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    ASSERT_TRUE(out.good()) << name;
  }
  static Bytes ReadBytes(const std::string& name) {
    std::ifstream in(name, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  // The names in the test's folder, sorted: shows any temporary file left over.
  static std::vector<std::string> FilesHere() {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(fs::current_path()))
      names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }

  std::vector<ShownRecord> FileDialogs() {
    std::vector<ShownRecord> out;
    for (const ShownRecord& shown : ui.driver().Shown()) {
      if (shown.kind == ShownKind::FileDialog) out.push_back(shown);
    }
    return out;
  }
  std::vector<std::string> BoxTexts() {
    std::vector<std::string> out;
    for (const ShownRecord& box : ui.driver().MessageBoxes())
      out.push_back(box.text);
    return out;
  }
  // The frames a window sent from the `from`-th on.
  std::vector<std::string> FramesSince(HANDLE contact, size_t from) const {
    std::vector<std::string> frames = SentFrames(contact);
    frames.erase(frames.begin(),
                 frames.begin() + static_cast<std::ptrdiff_t>(std::min(from, frames.size())));
    return frames;
  }
};

// ---- Save Game -------------------------------------------------------------

TEST_F(SaveLoad, RoundTripKeepsOnlyTheStonesInOrder) {
  PlayOpeningWithProposals();
  Save(*black, "game");

  const std::vector<ShownRecord> dialogs = FileDialogs();
  ASSERT_EQ(dialogs.size(), 1u);
  EXPECT_FALSE(dialogs[0].file.open);
  EXPECT_EQ(dialogs[0].file.defExt, "lib");
  EXPECT_EQ(dialogs[0].file.fileName, "SaveFile");
  EXPECT_EQ(dialogs[0].file.flags, static_cast<DWORD>(OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT));
  EXPECT_EQ(dialogs[0].file.filter, "LIB files|*.lib||");
  // The window the player works in owns it: the dialog opens beside it.
  EXPECT_EQ(dialogs[0].owner, black->m_hWnd);
  // The dialog added the extension and made the path absolute.
  EXPECT_EQ(black->saveFile, PathOf("game.lib"));
  // Proposals and the removal are left out; the white opening stone stays.
  EXPECT_EQ(ReadBytes("game.lib"),
            LibFile({0x78, 0x00, 0x88, 0x00, 0x89, 0x00, 0x67, 0x00, 0x9A, 0x48}, "Me vs Bob"));
  EXPECT_THAT(FilesHere(), ElementsAre("game.lib"));
  EXPECT_THAT(BoxTexts(), ElementsAre("Do you want to play as BLACK?"));  // no failure

  // Back in, both boards hold the five stones alone, colours alternating.
  ExpectLoads(black->saveFile, {"7,7:1", "7,8:2", "8,8:1", "6,6:2", "9,9:1"},
              {0x77, 0x87, 0x88, 0x66, 0x99});
  ASSERT_EQ(FileDialogs().size(), 2u);
  EXPECT_TRUE(FileDialogs()[1].file.open);
  EXPECT_EQ(FileDialogs()[1].file.fileName, PathOf("game.lib"));
  EXPECT_EQ(ui.driver().UnansweredCount(), 0u);
}

TEST_F(SaveLoad, TitleNamesThisWindowsPlayersWhateverTheColours) {
  OpenBoth();
  ClickPoint(*black, 7, 7);
  ASSERT_EQ(white->game.myColor, White);
  struct Case {
    GameWindow* window;
    const char* title;
  };
  for (const Case& c : {Case{black, "Me vs Bob"}, Case{white, "Me vs Alice"}}) {
    SCOPED_TRACE(c.title);
    Save(*c.window, "titled");
    EXPECT_EQ(ReadBytes("titled.lib"), LibFile({0x78, 0x48}, c.title));
    ui.AnswerMessageBox(IDYES, {}, "already exists");  // the next save replaces it
  }
}

TEST_F(SaveLoad, EmptyGameSavesNothingAndShowsNoDialog) {
  OpenBoth();
  ui.AnswerFileDialog("never");  // would be taken by a dialog that should not open
  Menu(*black, kCmdSaveGame);
  EXPECT_THAT(ui.driver().Shown(), IsEmpty());
  EXPECT_EQ(ui.driver().PendingScripts(), 1u);
  EXPECT_THAT(FilesHere(), IsEmpty());
  EXPECT_EQ(black->saveFile, "SaveFile");
}

TEST_F(SaveLoad, SimulationSavesTheWhatIfLine) {
  OpenBoth();
  ClickPoint(*black, 7, 7);
  ASSERT_TRUE(ui.PressButton(*black, kSimButton));
  ASSERT_EQ(black->game.simulationMode, 1u);
  ClickPoint(*black, 8, 8);
  ClickPoint(*black, 9, 9);
  const size_t sent = SentFrames(bob).size();

  Save(*black, "whatif.lib");
  EXPECT_EQ(ReadBytes("whatif.lib"),
            LibFile({0x78, 0x00, 0x89, 0x00, 0x9A, 0x48}, "Simulation by Me"));
  EXPECT_EQ(black->game.moveList.size(), 1u);  // the game itself is untouched
  EXPECT_THAT(FramesSince(bob, sent), IsEmpty());
}

TEST_F(SaveLoad, CancelledDialogChangesNothing) {
  OpenBoth();
  ClickPoint(*black, 7, 7);
  const std::string boardBefore = BoardText(black->game.board);
  const size_t sent = SentFrames(bob).size();

  for (UINT command : {kCmdSaveGame, kCmdLoadGame}) {
    SCOPED_TRACE(command);
    ui.AnswerFileDialog(std::nullopt);
    Menu(*black, command);
    EXPECT_EQ(black->saveFile, "SaveFile");
  }
  EXPECT_EQ(FileDialogs().size(), 2u);
  EXPECT_THAT(ui.driver().MessageBoxes(), IsEmpty());
  EXPECT_THAT(FilesHere(), IsEmpty());
  EXPECT_EQ(BoardText(black->game.board), boardBefore);
  EXPECT_EQ(black->game.moveList.size(), 1u);
  EXPECT_THAT(FramesSince(bob, sent), IsEmpty());

  // After an OK, a cancelled dialog keeps the path chosen, and proposes it.
  Save(*black, "kept.lib");
  Save(*black, std::nullopt);
  EXPECT_EQ(black->saveFile, PathOf("kept.lib"));
  EXPECT_EQ(FileDialogs().back().file.fileName, PathOf("kept.lib"));
}

TEST_F(SaveLoad, UnwritableTargetGivesFailedToSaveAndWritesNothing) {
  OpenBoth();
  ClickPoint(*black, 7, 7);
  WriteBytes("plain", {'x'});
  fs::create_directory("folder.lib");
  // A folder that is a regular file, which no rights can bypass; and a folder
  // chosen as the file, which a save must not replace.
  for (const std::string& target : {PathOf("plain") + "/game.lib", PathOf("folder.lib")}) {
    SCOPED_TRACE(target);
    ui.driver().ClearShown();
    ui.AnswerMessageBox(IDYES, {}, "already exists");
    Save(*black, target);
    EXPECT_THAT(BoxTexts(), Contains("Failed to save!"));
    EXPECT_EQ(ui.driver().MessageBoxes().back().type & MB_TYPEMASK, static_cast<UINT>(MB_OK));
    EXPECT_EQ(black->saveFile, target);
    EXPECT_THAT(FilesHere(), ElementsAre("folder.lib", "plain"));
    EXPECT_EQ(ReadBytes("plain"), Bytes{'x'});
    EXPECT_TRUE(fs::is_empty("folder.lib"));
    ui.driver().ClearScripts();
  }
}

TEST_F(SaveLoad, FailureWhileWritingKeepsTheOldFileWhole) {
  PlayOpeningWithProposals();
  const Bytes old = LibFile({0x11, 0x48}, "old");
  WriteBytes("game.lib", old);

  // Files may grow to a few bytes only, so the write of the new content fails
  // after the file was created; the failed write must not raise the signal.
  rlimit saved{};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
  rlimit small = saved;
  small.rlim_cur = 8;
  const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
  ui.AnswerMessageBox(IDYES, {}, "already exists");
  Save(*black, "game.lib");
  ::setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, oldHandler);

  EXPECT_THAT(BoxTexts(), Contains("Failed to save!"));
  EXPECT_EQ(ReadBytes("game.lib"), old);
  EXPECT_THAT(FilesHere(), ElementsAre("game.lib"));
}

// Saving over an existing file: the dialog asks first; Yes replaces the file
// whole (nothing of a longer old file remains), No leaves it as it was.
TEST_F(SaveLoad, OverwritingReplacesTheFileWholeOrNotAtAll) {
  struct Case {
    int answer;
    bool replaced;
  };
  OpenBoth();
  ClickPoint(*black, 7, 7);
  const Bytes old(300, 0x5A);
  for (const Case& c : {Case{IDNO, false}, Case{IDYES, true}}) {
    SCOPED_TRACE(c.answer);
    WriteBytes("game.lib", old);
    ui.AnswerMessageBox(c.answer, {}, "already exists");
    ui.AnswerFileDialog("game.lib");
    ui.AnswerFileDialog(std::nullopt);  // after No, the dialog comes back
    Menu(*black, kCmdSaveGame);
    EXPECT_EQ(ReadBytes("game.lib"), c.replaced ? LibFile({0x78, 0x48}, "Me vs Bob") : old);
    EXPECT_THAT(FilesHere(), ElementsAre("game.lib"));
    ui.driver().ClearScripts();
  }
}

// ---- Load Game -------------------------------------------------------------

TEST_F(SaveLoad, FailedOpenKeepsTheNewPathAndTheGame) {
  OpenBoth();
  ClickPoint(*black, 7, 7);
  const std::string boardBefore = BoardText(black->game.board);
  // A file far larger than any game; sparse, so it costs no disk.
  { std::ofstream create("huge.lib"); }
  fs::resize_file("huge.lib", kMaxLibFileSize + 1);
  fs::create_directory("folder.lib");

  for (const char* name : {"missing.lib", "huge.lib", "folder.lib"}) {
    SCOPED_TRACE(name);
    ui.driver().ClearShown();
    const size_t sent = SentFrames(bob).size();
    Load(*black, name);
    EXPECT_THAT(BoxTexts(), ElementsAre("Load failed"));  // and no side question
    EXPECT_EQ(black->saveFile, PathOf(name));
    EXPECT_EQ(BoardText(black->game.board), boardBefore);
    EXPECT_EQ(Describe(black->game.moveList), std::vector<std::string>{"7,7:1"});
    EXPECT_EQ(black->game.myColor, Black);
    EXPECT_THAT(FramesSince(bob, sent), IsEmpty());
    ui.driver().ClearScripts();  // the unused side answer
  }
}

// The side question and the colour of the last stone settle both windows'
// colours and turns; the peer names whose move it is in both logs.
struct SideCase {
  const char* name;
  Bytes records;
  int answer;
  uint32_t myColor, myTurn;
  uint32_t peerColor, peerTurn;
  const char* moveLine;
};

void PrintTo(const SideCase& c, std::ostream* out) {
  *out << c.name;
}

class LoadSide : public SaveLoad, public ::testing::WithParamInterface<SideCase> {};

TEST_P(LoadSide, SettlesColoursAndTurnsOnBothSides) {
  const SideCase& c = GetParam();
  OpenBoth();
  ASSERT_TRUE(ui.PressButton(*white, kSimButton));  // a received game ends it
  WriteBytes("line.lib", LibFile(c.records, "x"));
  Load(*black, "line.lib", c.answer);

  const std::vector<ShownRecord> boxes = ui.driver().MessageBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].caption, "Choose your side");
  EXPECT_EQ(boxes[0].type & MB_TYPEMASK, static_cast<UINT>(MB_YESNO));
  EXPECT_EQ(boxes[0].owner, black->m_hWnd);

  EXPECT_EQ(black->game.myColor, c.myColor);
  EXPECT_EQ(black->game.myTurn, c.myTurn);
  EXPECT_EQ(white->game.myColor, c.peerColor);
  EXPECT_EQ(white->game.myTurn, c.peerTurn);
  EXPECT_EQ(white->game.simulationMode, 0u);
  EXPECT_EQ(Describe(white->game.moveList), Describe(black->game.moveList));
  EXPECT_EQ(Cells(white->game.board, true), Cells(black->game.board, true));

  ASSERT_EQ(SentFrames(bob).size(), 2u);
  EXPECT_EQ(SentFrames(bob)[0], c.peerColor == Black ? kPlayBlackFrame : kPlayWhiteFrame);
  // The peer's sides sentence, wrapped before its last word.
  const std::string sides =
      std::string("Me plays ") + (c.peerColor == White ? "WHITE" : "BLACK") + "; Alice plays";
  const std::vector<std::string> peerLog = LogLines(*white);
  EXPECT_THAT(peerLog, Contains(sides));
  ASSERT_GE(peerLog.size(), 2u);
  EXPECT_THAT(std::vector<std::string>(peerLog.end() - 2, peerLog.end()),
              ElementsAre("Game loaded", c.moveLine));
  // The loading side logs nothing itself: its lines are the ones the peer
  // sent, so the same as the peer's but for "Game loaded".
  std::vector<std::string> shared = peerLog;
  std::erase(shared, "Game loaded");
  EXPECT_EQ(LogLines(*black), shared);
}

const Bytes kBlackLast = {0x78, 0x00, 0x79, 0x00, 0x88, 0x48};
const Bytes kWhiteLast = {0x78, 0x00, 0x79, 0x48};

// clang-format off
const SideCase kSideCases[] = {
  // name          line        answer  loader    peer      whose move
  {"BlackLastYes", kBlackLast, IDYES,  Black, 0, White, 1, "Me's move"},
  {"BlackLastNo",  kBlackLast, IDNO,   White, 1, Black, 0, "Alice's move"},
  {"WhiteLastYes", kWhiteLast, IDYES,  Black, 1, White, 0, "Alice's move"},
  {"WhiteLastNo",  kWhiteLast, IDNO,   White, 0, Black, 1, "Me's move"},
};
// clang-format on

INSTANTIATE_TEST_SUITE_P(LastStoneAndAnswer, LoadSide, ::testing::ValuesIn(kSideCases),
                         [](const ::testing::TestParamInfo<SideCase>& tested) {
                           return std::string(tested.param.name);
                         });

// A loaded game replaces the result on show in both windows: cleared when the
// loaded line goes on, its own result (logged, clocks stopped) when one of its
// stones ended it.
TEST_F(SaveLoad, LoadedGameShowsItsOwnResult) {
  struct Case {
    const char* name;
    std::vector<std::pair<int16_t, int16_t>> points;  // black first, alternating
    std::string result;
  };
  const Case cases[] = {
      {"goes on", {{7, 7}, {8, 7}, {8, 8}}, ""},
      {"black five",
       {{0, 0}, {10, 10}, {1, 0}, {12, 12}, {2, 0}, {14, 14}, {3, 0}, {10, 14}, {4, 0}},
       "BLACK win, 5 in row"},
      {"black overline",
       {{0, 0},
        {10, 10},
        {1, 0},
        {12, 12},
        {2, 0},
        {14, 14},
        {3, 0},
        {10, 14},
        {5, 0},
        {14, 10},
        {4, 0}},
       "WHITE win, forbidden move"},
      {"white five",
       {{0, 0}, {10, 0}, {0, 2}, {10, 1}, {0, 4}, {10, 2}, {0, 6}, {10, 3}, {0, 8}, {10, 4}},
       "WHITE win, 5 in row"},
  };
  OpenBoth();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    MoveList line;
    for (const auto& [x, y] : c.points)
      line.push_back(Move{x, y, line.size() % 2 == 0 ? Black : White});
    WriteBytes("ended.lib", EncodeLibFile(line, "x"));
    // Both windows still show the end of the game before.
    black->game.gameResult = white->game.gameResult = "WHITE win, 5 in row";
    black->game.myClock = 30;
    Load(*black, "ended.lib");
    for (GameWindow* window : {black, white}) {
      EXPECT_EQ(window->game.gameResult, c.result);
      if (c.result.empty()) {
        EXPECT_NE(window->game.StatusText(), "WHITE win, 5 in row");
        continue;
      }
      EXPECT_EQ(window->game.StatusText(), c.result);
      EXPECT_EQ(window->game.myClock, 0);
      EXPECT_THAT(LogLines(*window), Contains(c.result));
    }
    if (c.result.empty()) {
      EXPECT_EQ(black->game.myClock, 30);
    }
  }
}

// A file that holds no move: the player is told, the board is emptied (marks
// too), the side is still asked and sent with an empty game, and the turn
// stays as it was.
struct NoMoveFile {
  const char* name;
  Bytes content;
  const char* notice;
};

void PrintTo(const NoMoveFile& file, std::ostream* out) {
  *out << file.name;
}

class LoadNoMove : public SaveLoad, public ::testing::WithParamInterface<NoMoveFile> {};

TEST_P(LoadNoMove, EmptiesTheBoardAndKeepsTheTurn) {
  OpenBoth();
  ClickPoint(*black, 7, 7);
  ClickPoint(*black, 7, 8);
  ASSERT_EQ(white->game.myTurn, 0u);
  ASSERT_THAT(Cells(white->game.board), Not(IsEmpty()));
  const uint32_t peerTurn = black->game.myTurn;
  WriteBytes("empty.lib", GetParam().content);
  const size_t sent = SentFrames(alice).size();

  Load(*white, "empty.lib", IDYES, GetParam().notice);
  EXPECT_THAT(BoxTexts(), ElementsAre(HasSubstr(GetParam().notice), "Are you BLACK?"));
  EXPECT_EQ(ui.driver().UnansweredCount(), 0u);
  EXPECT_THAT(FramesSince(alice, sent), ElementsAre(kPlayWhiteFrame, GameFrame({})));
  EXPECT_EQ(white->game.myColor, Black);
  EXPECT_EQ(white->game.myTurn, 0u);
  EXPECT_THAT(white->game.moveList, IsEmpty());
  EXPECT_THAT(Cells(white->game.board), IsEmpty());

  EXPECT_EQ(black->game.myColor, White);
  EXPECT_EQ(black->game.myTurn, peerTurn);
  EXPECT_THAT(black->game.moveList, IsEmpty());
  EXPECT_THAT(Cells(black->game.board), IsEmpty());
  EXPECT_EQ(LogLines(*black).back(), "Game loaded");
}

const char* const kNoMove = "This game library holds no move";
const NoMoveFile kNoMoveFiles[] = {
    {"AsWeWriteIt", EncodeLibFile({}, "Me vs Bob"), kNoMove},
    {"OldTitleLessForm", LibFile({}, ""), kNoMove},  // what earlier builds wrote
    {"HeaderOnly", HeaderOnly(), kNoMove},
    // A newer file's root record, flagged as the last.
    {"RootRecordOnly", LibFile({0x00, 0x40}, ""), kNoMove},
    {"NotALibrary", {'n', 'o', 't', 'e', 's', '\n'}, "not a game library and gave no move"},
};

INSTANTIATE_TEST_SUITE_P(Files, LoadNoMove, ::testing::ValuesIn(kNoMoveFiles),
                         [](const ::testing::TestParamInfo<NoMoveFile>& tested) {
                           return std::string(tested.param.name);
                         });

// A record off the board (x + 1 = 0 in the low nibble, or y = 15) ends the
// line before it: no later record is read and no cell is written for it.
TEST_F(SaveLoad, LineEndsBeforeARecordOffTheBoard) {
  struct Case {
    Bytes records;
    std::vector<std::string> moves;
    Bytes points;  // what the peer receives
  };
  const Case cases[] = {
      {{0x78, 0x00, 0x70, 0x00, 0x79, 0x48}, {"7,7:1"}, {0x77}},
      // x 0 and y 15 would be cell 15, the point (1,0), if it were written.
      {{0x78, 0x00, 0x79, 0x00, 0xF1, 0x00, 0x7A, 0x48}, {"7,7:1", "8,7:2"}, {0x77, 0x78}},
      {{0xFF, 0x48}, {}, {}},
  };
  OpenBoth();
  for (const Case& c : cases) {
    SCOPED_TRACE(Hex(c.records));
    WriteBytes("off.lib", LibFile(c.records, ""));
    ExpectLoads("off.lib", c.moves, c.points, c.moves.empty() ? kNoMove : "");
  }
  EXPECT_EQ(ui.driver().UnansweredCount(), 0u);
}

// A file of another kind is read by the same rule, and the player is told.
TEST_F(SaveLoad, FileWithoutTheLibrarySignatureLoadsWithAWarning) {
  Bytes notes(20, 'z');
  const Bytes records = {0x78, 0x00, 0x79, 0x48};
  notes.insert(notes.end(), records.begin(), records.end());
  WriteBytes("notes.txt", notes);
  OpenBoth();
  ExpectLoads("notes.txt", {"7,7:1", "8,7:2"}, {0x77, 0x78},
              "This file is not a game library. Its bytes were read as 2 moves");
  const ShownRecord notice = ui.driver().MessageBoxes().front();
  EXPECT_EQ(notice.caption, "Load Game");
  EXPECT_EQ(notice.type & MB_TYPEMASK, static_cast<UINT>(MB_OK));
  EXPECT_EQ(notice.owner, black->m_hWnd);
  EXPECT_EQ(ui.driver().UnansweredCount(), 0u);
}

// Files saved by the renju library program: their first line of play reaches
// the board and the peer, and nothing off the board does.
TEST_F(SaveLoad, FilesOfTheLibraryProgramLoadTheirFirstLine) {
  const fs::path folder = TESSARO_RENLIB_SAMPLES;
  ASSERT_TRUE(fs::is_directory(folder)) << "sample folder " << folder << " is missing";
  struct Case {
    const char* file;
    std::vector<std::string> moves;
    Bytes points;
  };
  const Case cases[] = {
      {"lib_nocomment.lib", {"7,7:1", "8,7:2"}, {0x77, 0x78}},
      {"lib_comment.lib", {"7,7:1"}, {0x77}},  // a comment flag ends the line
      {"nocomments.lib", {"7,7:1", "7,6:2"}, {0x77, 0x67}},
      {"lib_4_left_right_up_down.lib", {"7,7:1", "7,6:2"}, {0x77, 0x67}},
      {"lib_single_stone_15xB.lib", {"1,0:1"}, {0x01}},         // after the root record
      {"lib_3_is_pass.lib", {"7,7:1", "8,6:2"}, {0x77, 0x68}},  // ends at the pass
  };
  OpenBoth();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    ExpectLoads((folder / c.file).string(), c.moves, c.points);
    EXPECT_EQ(black->saveFile, (folder / c.file).lexically_normal().string());
  }
  EXPECT_EQ(ui.driver().UnansweredCount(), 0u);
}

// A game loaded while the what-if board is on show is the game both players
// play: the loader leaves the what-if board, as the peer does when the game
// arrives, and both real boards hold the loaded line.
TEST_F(SaveLoad, LoadInSimulationLoadsTheRealGameOnBothSides) {
  OpenBoth();
  ClickPoint(*black, 7, 7);
  ASSERT_TRUE(ui.PressButton(*black, kSimButton));
  ClickPoint(*black, 3, 3);  // a what-if stone, gone with the load
  ASSERT_TRUE(ui.PressButton(*white, kSimButton));
  WriteBytes("two.lib", LibFile({0x79, 0x00, 0x8A, 0x48}, ""));

  Load(*black, "two.lib", IDYES);
  const std::vector<std::string> line = {"8,7:1", "9,8:2"};
  for (GameWindow* window : {black, white}) {
    EXPECT_EQ(window->game.simulationMode, 0u);
    EXPECT_EQ(Describe(window->game.moveList), line);
    EXPECT_THAT(Cells(window->game.board, true), UnorderedElementsAreArray(line));
  }
  EXPECT_EQ(black->game.myColor, Black);
  EXPECT_EQ(black->game.myTurn, 1u);
  EXPECT_EQ(white->game.myColor, White);
  EXPECT_EQ(white->game.myTurn, 0u);
  // The what-if board starts again from the loaded game.
  ASSERT_TRUE(ui.PressButton(*black, kSimButton));
  EXPECT_EQ(Describe(black->game.simMoveList), line);
}

// A line longer than the board has points is no game: the peer would refuse
// it, so the loader refuses it too and both boards stay as they were.
TEST_F(SaveLoad, LinesLongerThanTheBoardAreNotLoaded) {
  struct Case {
    size_t records;
    bool loaded;
  };
  const Case cases[] = {{224, true}, {225, true}, {226, false}, {300, false}, {1000, false}};
  OpenBoth();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.records);
    Bytes records;
    for (size_t i = 0; i < c.records; ++i) {
      const size_t point = i % 225;  // past 225 the points come round again
      records.push_back(static_cast<uint8_t>(point / 15 * 16 + point % 15 + 1));
      records.push_back(i + 1 == c.records ? 0x48 : 0x00);
    }
    WriteBytes("long.lib", LibFile(records, "long"));
    ClickPoint(*black, 7, 7);  // something that a refused load keeps
    const std::vector<Move> before = black->game.moveList;
    const size_t sent = SentFrames(bob).size();
    ui.driver().ClearShown();
    if (c.loaded) {
      Load(*black, "long.lib", IDYES);
      EXPECT_EQ(black->game.moveList.size(), c.records);
      EXPECT_EQ(FramesSince(bob, sent).size(), 2u);  // the side and the game
    } else {
      ui.AnswerFileDialog("long.lib");
      ui.AnswerMessageBox(IDOK, {}, "more than the board's 225 points");
      Menu(*black, kCmdLoadGame);
      EXPECT_THAT(BoxTexts(), ElementsAre("This file holds " + std::to_string(c.records) +
                                          " moves, more than the board's 225 points: it was "
                                          "not loaded."));
      EXPECT_EQ(black->game.moveList, before);
      EXPECT_THAT(FramesSince(bob, sent), IsEmpty());
    }
    EXPECT_EQ(ui.driver().UnansweredCount(), 0u);
    EXPECT_EQ(white->game.moveList, black->game.moveList);
    ui.driver().ClearScripts();
    ui.AnswerMessageBox(IDNO, {}, "save the game");
    Menu(*black, kCmdReset);
  }
}

// ---- Reset ----------------------------------------------------------------

// Reset asks whether to save a game that has moves; Yes runs Save Game, and
// the reset goes on whatever came of the save.
struct ResetCase {
  const char* name;
  int answer;
  std::optional<std::string> path;  // the save dialog's answer, if it opens
  bool saved;
  bool failed;
};

void PrintTo(const ResetCase& c, std::ostream* out) {
  *out << c.name;
}

class ResetSave : public SaveLoad, public ::testing::WithParamInterface<ResetCase> {};

TEST_P(ResetSave, SavesOnYesAndResetsAnyway) {
  const ResetCase& c = GetParam();
  const char* const question = "Do you want to save the game?";
  OpenBoth();
  ClickPoint(*black, 7, 7);
  WriteBytes("plain", {});
  ui.AnswerMessageBox(c.answer, {}, question);
  if (c.answer == IDYES) ui.AnswerFileDialog(c.path);
  ui.AnswerMessageBox(IDNO, {}, question);  // the peer asks its own question
  Menu(*black, kCmdReset);

  const std::vector<ShownRecord> boxes = ui.driver().MessageBoxes();
  ASSERT_FALSE(boxes.empty());
  EXPECT_EQ(boxes[0].caption, "Reset Game");
  EXPECT_EQ(boxes[0].type & MB_TYPEMASK, static_cast<UINT>(MB_YESNO));
  EXPECT_EQ(boxes[0].owner, black->m_hWnd);
  if (c.failed) {
    EXPECT_THAT(BoxTexts(), ElementsAre(question, "Failed to save!", question));
  } else {
    EXPECT_THAT(BoxTexts(), ElementsAre(question, question));
  }
  EXPECT_EQ(FileDialogs().size(), c.answer == IDYES ? 1u : 0u);
  if (c.saved) {
    EXPECT_THAT(FilesHere(), ElementsAre("plain", "reset.lib"));
    EXPECT_EQ(ReadBytes("reset.lib"), LibFile({0x78, 0x48}, "Me vs Bob"));
  } else {
    EXPECT_THAT(FilesHere(), ElementsAre("plain"));
  }
  for (GameWindow* window : {black, white}) {
    EXPECT_THAT(window->game.moveList, IsEmpty());
    EXPECT_EQ(window->game.myColor, Empty);
  }
}

// clang-format off
const ResetCase kResetCases[] = {
  // name              answer  save dialog's answer  saved  "Failed to save!"
  {"Yes",              IDYES,  "reset",              true,  false},
  {"No",               IDNO,   std::nullopt,         false, false},
  {"YesThenCancel",    IDYES,  std::nullopt,         false, false},
  {"YesButUnwritable", IDYES,  "plain/reset.lib",    false, true},
};
// clang-format on

INSTANTIATE_TEST_SUITE_P(Answers, ResetSave, ::testing::ValuesIn(kResetCases),
                         [](const ::testing::TestParamInfo<ResetCase>& tested) {
                           return std::string(tested.param.name);
                         });

// ---- Load Game against a first stone ---------------------------------------

// The peer holds only its first black stone when the other side loads a game
// and chooses black: the CmdSide it gets looks like the start of a
// first-stone clash, but the CmdGame behind it shows it is not; the colour
// must still be taken, or both windows would play black.
TEST_F(SaveLoad, PeerWithOneFirstStoneTakesTheColourOfALoad) {
  OpenBoth();
  ClickPoint(*black, 7, 7);
  WriteBytes("two.lib", LibFile({0x78, 0x00, 0x79, 0x48}, ""));
  Load(*white, "two.lib", IDYES);
  EXPECT_EQ(white->game.myColor, Black);
  EXPECT_EQ(black->game.myColor, White);
  EXPECT_THAT(LogLines(*black), Contains("Me plays WHITE; Bob plays"));
}

}  // namespace
}  // namespace tessaro::testing
