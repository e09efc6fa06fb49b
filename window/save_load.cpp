// Save Game and Load Game of the game window.
#include <cstdio>
#include <string>

#include "files/file_io.h"
#include "files/lib_file.h"
#include "window/game_window.h"

namespace tessaro {

namespace {

inline constexpr const char* kLibFilter = "LIB files|*.lib||";
inline constexpr const char* kLibExtension = "lib";
inline constexpr DWORD kLibDialogFlags = OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT;

// Any file is read by the same rule, so a wrong file still loads; the player
// is told when it is not a game library or gave no move, before choosing a
// side for it. Empty when there is nothing to tell.
std::string LoadNotice(bool library, size_t moves) {
  if (library && moves > 0) return {};
  if (library) return "This game library holds no move: the board is empty.";
  if (moves == 0) return "This file is not a game library and gave no move: the board is empty.";
  return "This file is not a game library. Its bytes were read as " + std::to_string(moves) +
         (moves == 1 ? " move" : " moves") + " all the same: check the board.";
}

}  // namespace

void GameWindow::SaveGame() {
  const MoveList& source = game.simulationMode ? game.simMoveList : game.moveList;
  if (source.empty()) return;
  // The dialog belongs to this window: it opens beside it, not over the board.
  CFileDialog dialog(FALSE, kLibExtension, saveFile.c_str(), kLibDialogFlags, kLibFilter, this);
  if (dialog.DoModal() != IDOK) return;
  saveFile = dialog.GetPathName();

  char title[1024];
  if (game.simulationMode) {
    std::snprintf(title, sizeof title, "Simulation by %s", game.myName.c_str());
  } else {
    std::snprintf(title, sizeof title, "%s vs %s", game.myName.c_str(), game.peerName.c_str());
  }
  // The source is read again: the dialog's nested loop may have let a stone in.
  const std::vector<uint8_t> content =
      EncodeLibFile(game.simulationMode ? game.simMoveList : game.moveList, title);
  // The old file is replaced only once the new one is completely on disk.
  std::string error;
  if (!WriteFileAtomically(saveFile, content, error)) AfxMessageBox("Failed to save!", MB_OK);
}

void GameWindow::SaveLine(const MoveList& moves, const std::string& title) {
  if (moves.empty()) return;
  CFileDialog dialog(FALSE, kLibExtension, saveFile.c_str(), kLibDialogFlags, kLibFilter, this);
  if (dialog.DoModal() != IDOK) return;
  saveFile = dialog.GetPathName();
  std::string error;
  if (!WriteFileAtomically(saveFile, EncodeLibFile(moves, title), error))
    AfxMessageBox("Failed to save!", MB_OK);
}

void GameWindow::LoadGame() {
  CFileDialog dialog(TRUE, kLibExtension, saveFile.c_str(), kLibDialogFlags, kLibFilter, this);
  if (dialog.DoModal() != IDOK) return;
  saveFile = dialog.GetPathName();

  std::vector<uint8_t> content;
  std::string error;
  if (!ReadLibFile(saveFile, content, error)) {
    AfxMessageBox("Load failed", MB_OK);
    return;
  }
  // Only moves on the board come back; a line ends at a record off the board.
  const LibLine line = DecodeLibFile(content);
  // The peer refuses a game longer than the board has points, as no game is:
  // such a line is not loaded here either, or the two boards would part.
  if (line.moves.size() > static_cast<size_t>(kCellCount)) {
    const std::string text = "This file holds " + std::to_string(line.moves.size()) +
                             " moves, more than the board's " + std::to_string(kCellCount) +
                             " points: it was not loaded.";
    MessageBox(text.c_str(), "Load Game", MB_OK | MB_ICONWARNING);
    return;
  }

  MoveList moves;
  for (const LibMove& move : line.moves)
    moves.push_back(Move{move.x, move.y, move.colour});
  ArchiveReplaced(ArchiveReason::kLoaded);
  game.PutLoadedLine(moves);

  const std::string notice = LoadNotice(HasLibSignature(content), line.moves.size());
  if (!notice.empty()) MessageBox(notice.c_str(), "Load Game", MB_OK | MB_ICONWARNING);

  const bool black = MessageBox("Are you BLACK?", "Choose your side", MB_YESNO) == IDYES;
  game.PlayLoadedLine(black);
  Invalidate(TRUE);
}

// The side whose messages were lost for good sends its game whole, as Load
// Game sends a loaded one: the stones on its board in the order they were
// placed (a proposal not yet chosen cannot travel in a game and goes) and the
// side the peer plays. The peer takes it as a loaded game, and the two boards
// are alike again.
void GameWindow::MessagesLost(bool sent) {
  const std::string& peer = game.peerName;
  if (!sent) {
    AppendLog("Messages from " + peer + " were lost on the way; " + peer +
              " sends the game whole to put both boards back in step");
    return;
  }
  AppendLog("Messages to " + peer + " were lost on the way; your game goes to " + peer +
            " whole to put both boards back in step");
  if (game.myColor != Black && game.myColor != White) return;  // no game yet
  MoveList stones;
  for (const Move& move : game.moveList) {
    std::erase_if(stones,
                  [&](const Move& stone) { return stone.x == move.x && stone.y == move.y; });
    if (move.value == Black || move.value == White) stones.push_back(move);
  }
  game.PutLoadedLine(stones);
  game.PlayLoadedLine(game.myColor == Black);
  if (m_hWnd != nullptr) Invalidate(TRUE);
}

std::string GameWindow::OtherVersionText() const {
  return game.peerName + "'s Tessaro speaks another game version; moves cannot be exchanged";
}

void GameWindow::PeerSpeaksOtherVersion(bool other) {
  if (other == peerOtherVersion) return;
  peerOtherVersion = other;
  AppendLog(other ? OtherVersionText()
                  : game.peerName + "'s Tessaro speaks this game version again; moves go through");
  ShowStatus();
}

void GameWindow::OnSaveGame() {
  SaveGame();
}

void GameWindow::OnLoadGame() {
  LoadGame();
}

}  // namespace tessaro
