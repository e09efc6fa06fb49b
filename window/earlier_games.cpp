// Earlier games: every game that ends, and every game a reset, a received
// game or a loaded one replaces before it ended, is kept for the contact with
// its players, date and result, so that no answer to a box and no peer's
// command can throw a game away. The Earlier Games box lists them and opens
// one on the what-if board, where Left and Right step through it (Home and
// End go to either end), or saves it as a game library.
//
// Kept under the module's name for the contact, beside the current game:
//   "ArchiveNext"  decimal number of the next entry
//   "Archive<n>"   entry n (game_archive.h), written once
#include <algorithm>
#include <charconv>
#include <ctime>
#include <string>
#include <vector>

#include "window/earlier_games.h"
#include "window/game_window.h"

namespace tessaro {

namespace {

constexpr char kArchiveNext[] = "ArchiveNext";

std::string EntryName(uint64_t n) {
  return "Archive" + std::to_string(n);
}

// What tells one kept game from another: its result and its records.
std::string LineKey(const std::string& result, const MoveList& moves) {
  std::string key = result;
  key.push_back('\0');
  for (const Move& move : moves)
    key += std::to_string(move.x) + ',' + std::to_string(move.y) + ',' +
           std::to_string(move.value) + ';';
  return key;
}

std::string DateText(int64_t date) {
  const auto seconds = static_cast<std::time_t>(date);
  std::tm local{};
  char text[32] = "?";
  if (localtime_r(&seconds, &local) != nullptr)
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M", &local);
  return text;
}

}  // namespace

// ---- The box ----

EarlierGamesBox::EarlierGamesBox(std::string listText, CWnd* parent)
    : CDialog(kEarlierGamesDialogId, parent), list(std::move(listText)) {}

const AFX_MSGMAP* EarlierGamesBox::GetMessageMap() const {
  return GetThisMessageMap();
}

const AFX_MSGMAP* EarlierGamesBox::GetThisMessageMap() {
  static constexpr AFX_MSGMAP_ENTRY kEntries[] = {
      OnNotify<BN_CLICKED, kSaveEarlierButton, &EarlierGamesBox::OnSave>(),
  };
  static constexpr AFX_MSGMAP kMap = MakeMessageMap(&CDialog::GetThisMessageMap, kEntries);
  return &kMap;
}

void EarlierGamesBox::DoDataExchange(CDataExchange* pDX) {
  CDialog::DoDataExchange(pDX);
  DDX_Text(pDX, kEarlierList, list);
  DDX_Text(pDX, kEarlierNumber, chosen);
}

void EarlierGamesBox::OnSave() {
  UpdateData(TRUE);
  EndDialog(kSaveEarlierButton);
}

// ---- Keeping ----

void GameWindow::ArchiveGame(ArchiveReason reason) {
  if (!keeping || game.moveList.empty()) return;
  std::string key = LineKey(game.gameResult, game.moveList);
  if (key == archivedLine) return;  // kept when it ended
  const int64_t now = wallClock != nullptr ? wallClock() : static_cast<int64_t>(std::time(nullptr));
  if (!host->WriteKept(hContact, EntryName(archiveNext).c_str(),
                       EncodeArchiveEntry(game, now, reason))) {
    return;
  }
  ++archiveNext;
  host->WriteKept(hContact, kArchiveNext, std::to_string(archiveNext));
  archivedLine = std::move(key);
}

void GameWindow::ArchiveReplaced(ArchiveReason reason) {
  ArchiveGame(reason);
  archivedLine.clear();  // the next game is another one, however alike
}

void GameWindow::GameEnded() {
  ArchiveGame(ArchiveReason::kEnded);
}

void GameWindow::RestoreArchive() {
  archiveNext = 0;
  if (const std::optional<std::string> text = host->ReadKept(hContact, kArchiveNext))
    std::from_chars(text->data(), text->data() + text->size(), archiveNext);
  // The game on the board may be the last one kept (it ended before the
  // restart): it is not kept again when it is reset.
  ArchivedGame last;
  if (archiveNext > 0) {
    if (const std::optional<std::string> entry =
            host->ReadKept(hContact, EntryName(archiveNext - 1).c_str());
        entry && DecodeArchiveEntry(*entry, &last, nullptr)) {
      archivedLine = LineKey(last.result, last.moves);
    }
  }
}

std::vector<ArchiveLine> GameWindow::ReadArchive() {
  std::vector<ArchiveLine> lines;
  if (!keeping) return lines;
  for (uint64_t n = archiveNext; n-- > 0;) {
    const std::optional<std::string> entry = host->ReadKept(hContact, EntryName(n).c_str());
    if (!entry) continue;  // a write that failed half-way
    ArchiveLine line;
    std::string error;
    if (DecodeArchiveEntry(*entry, &line.game, &error)) {
      // Stones, as a player counts them: proposals and their removal are records too.
      const auto stones =
          std::count_if(line.game.moves.begin(), line.game.moves.end(),
                        [](const Move& m) { return m.value == Black || m.value == White; });
      line.text = DateText(line.game.date) + "  " + ArchivedPlayers(line.game) + "  " +
                  ArchivedOutcome(line.game) + "  (" + std::to_string(stones) +
                  (stones == 1 ? " stone)" : " stones)");
    } else {
      line.text = "could not be read (" + error + ")";
      line.readable = false;
    }
    lines.push_back(std::move(line));
  }
  return lines;
}

// ---- The box and the what-if board ----

void GameWindow::OnEarlierGames() {
  const std::vector<ArchiveLine> lines = ReadArchive();
  if (lines.empty()) {
    MessageBox(("No earlier game with " + game.peerName + " is kept.").c_str(), "Earlier Games",
               MB_OK);
    return;
  }
  std::string text;
  for (size_t i = 0; i < lines.size(); ++i)
    text += std::to_string(i + 1) + ". " + lines[i].text + "\r\n";
  EarlierGamesBox box(std::move(text), this);
  const INT_PTR answer = box.DoModal();
  if (answer != IDOK && answer != kSaveEarlierButton) return;

  size_t number = 0;
  const char* first = box.chosen.data();
  while (*first == ' ')
    ++first;
  const auto [end, failure] = std::from_chars(first, box.chosen.data() + box.chosen.size(), number);
  if (failure != std::errc() || number == 0 || number > lines.size() ||
      !lines[number - 1].readable) {
    MessageBox(("There is no game " + box.chosen + " to open in the list.").c_str(),
               "Earlier Games", MB_OK | MB_ICONWARNING);
    return;
  }
  const ArchivedGame& chosen = lines[number - 1].game;
  if (answer == kSaveEarlierButton) {
    SaveLine(chosen.moves, chosen.myName + " vs " + chosen.peerName);
    return;
  }
  game.OpenOnSimulation(chosen.moves);
  // The keys that step through it go to the board.
  if (m_hWnd != nullptr) SetFocus();
}

bool GameWindow::StepKey(UINT key) {
  if (!game.simulationMode) return false;
  constexpr int kWholeLine = 4 * kCellCount;
  switch (key) {
    case VK_LEFT:
      game.StepSimulation(-1);
      return true;
    case VK_RIGHT:
      game.StepSimulation(1);
      return true;
    case VK_HOME:
      game.StepSimulation(-kWholeLine);
      return true;
    case VK_END:
      game.StepSimulation(kWholeLine);
      return true;
    default:
      return false;
  }
}

}  // namespace tessaro
