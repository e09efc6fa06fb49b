// The game window of one contact: a modeless dialog that shows that contact's
// game (its Game: board, moves, sides, turn, clocks) with the log and the chat
// line, hands clicks, keys, menu choices and received commands to the game,
// and carries out what the game asks (commands to the peer, log lines, the
// swap question, repaints).
//
// The handlers live with what they serve: the window shell and board view in
// window/, the transport, dispatcher, game flow, clocks and log in link/, Save
// and Load Game in files/.
#pragma once

#include <array>
#include <bitset>
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "framework/afx.h"
#include "game/game.h"
#include "game/game_archive.h"
#include "link/game_command.h"
#include "link/game_link.h"
#include "window/game_host.h"

namespace tessaro {

// Resource and command ids of the window.
inline constexpr UINT kGameDialogId = 102;
inline constexpr UINT kAboutDialogId = 100;
inline constexpr UINT kInputBoxDialogId = 131;
inline constexpr UINT kEarlierGamesDialogId = 135;
inline constexpr UINT kAboutStringId = 101;
inline constexpr UINT kPluginIconId = 128;
inline constexpr UINT kNoSideIconId = 160;
inline constexpr UINT kBlackIconId = 161;
inline constexpr UINT kWhiteIconId = 162;
inline constexpr int kOwnClockLabel = 1000;
inline constexpr int kPeerClockLabel = 1001;
inline constexpr int kLogPane = 1007;
inline constexpr int kChatLine = 1008;
inline constexpr int kSimButton = 1009;
inline constexpr int kStatusLine = 1010;
inline constexpr int kOwnClockCaption = 1011;
inline constexpr int kPeerClockCaption = 1012;
inline constexpr UINT kCmdReset = 32771;
inline constexpr UINT kCmdExit = 32773;
inline constexpr UINT kCmdAbout = 32774;
inline constexpr UINT kCmdSetTimer = 32775;
inline constexpr UINT kCmdSaveGame = 32778;
inline constexpr UINT kCmdLoadGame = 32780;
inline constexpr UINT kCmdResign = 32782;
inline constexpr UINT kCmdOfferDraw = 32783;
inline constexpr UINT kCmdEarlierGames = 32784;
inline constexpr UINT kCmdClearLog = 32781;
inline constexpr UINT kCmdMoveNumbers = 32785;
inline constexpr UINT kCmdLastStoneMarker = 32786;
inline constexpr UINT kSysCmdAbout = 0x0010;
inline constexpr UINT_PTR kClockTimer = 0;
inline constexpr UINT kClockPeriodMs = 1000;

// One kept game as the Earlier Games box lists it.
struct ArchiveLine {
  ArchivedGame game;
  std::string text;  // date, players, outcome and stones
  bool readable = true;
};

class GameWindow : public CDialog, public LinkEndpoint, private GameEvents {
 public:
  GameWindow();
  ~GameWindow() override;

  // ---- Life of the window ----

  // Creates the dialog from template 102 with no parent; -1 when the template
  // cannot be loaded (no window exists then).
  int CreateModeless();
  // The game and window set-up done once after creation.
  void InitWindow();

  // ---- Transport and commands ----

  // Decodes and dispatches everything queued in `inbox` (first step of a paint).
  void DrainInbox();
  // Sends one command to the peer at once.
  void SendCommand(const GameCommand& command);
  // Acts on one received command.
  void Dispatch(GameCommand& command) override;
  void Apply(GameCommand& command);

  // ---- Game flow ----

  // Back to a fresh game, asking first whether to save the one on the board.
  void ResetGame();

  // ---- Log and clocks ----

  // Wraps `text` and appends it to the log; sends nothing. Every byte is
  // kept, a NUL too (a peer's text or an echoed damaged command may hold
  // one): the pane holds the log whole and shows every entry after it.
  void AppendLog(const std::string& text);
  // The log's text. Once the window is made the log pane holds it, and this
  // is the pane's own text: a long log is held once, not twice.
  const std::string& LogText() const;
  // Sets the log's text whole (what the pane shows too), as a cleared or a
  // restored log; the next paint puts its caret at the end.
  void SetLog(std::string text);
  // The log pane, when the window is made.
  CRichEditCtrl* LogPane() const;
  // Starts (or restarts) the one-second clock timer.
  void StartClockTimer();
  // Writes both clocks into their labels and repaints just those.
  void ShowClocks();
  void ShowClockCaptions();

  // ---- Board view ----

  // Paints the board through a paint context (only what is invalid) and sets
  // the window's icon by `myColor`.
  void DrawBoard();
  // The bitmap point (x, y) shows for the current pair, or 0 where the board's
  // own picture shows through.
  UINT CellImage(int x, int y) const;  // the stone's image, framed when it won
  UINT StoneImage(int x, int y) const;
  void FindWinningRow();
  // The View menu's choices, kept in the profile for every game window: move
  // numbers on the stones, and a mark on the last stone placed that stays
  // when a removal record follows it.
  void LoadViewOptions();
  void SetViewOption(UINT command, bool on);
  void KeepViewOptions();

  // ---- The game at a glance ----

  // Writes the game's StatusLine under the board when it changed.
  void ShowStatus();
  // Tells the host the game's StatusText when it changed since last told.
  void PublishStatus();

  // ---- Kept across runs ----

  // Writes the game with the received text not yet applied into the profile,
  // when either changed since last written (every message to the window ends
  // with this, and so does a message queued for it).
  void KeepGame();
  // Takes back the game, the log and the received text not yet applied that
  // an earlier run kept for this contact. Sends nothing.
  void RestoreKept();

  // ---- Earlier games ----

  // Keeps the game on the board for the contact, unless it is empty or was
  // kept already (when it ended); a game replaced by a reset, a received or a
  // loaded one goes through ArchiveReplaced, after which a game alike is
  // another one.
  void ArchiveGame(ArchiveReason reason);
  void ArchiveReplaced(ArchiveReason reason);
  // The number of the next entry, and what was kept last, from the profile.
  void RestoreArchive();
  // The kept games, newest first.
  std::vector<ArchiveLine> ReadArchive();
  // Left, Right, Home, End on the what-if board step through its line; false
  // for other keys and off the what-if board.
  bool StepKey(UINT key);

  // ---- Files ----

  void SaveGame();
  // Asks for a file and writes `moves` there as a game library titled `title`.
  void SaveLine(const MoveList& moves, const std::string& title);
  void LoadGame();
  // Messages to the peer (`sent`) or from it were lost for good: the log says
  // so, and this side's game goes whole to the peer when they were its own.
  void MessagesLost(bool sent);
  // The peer's Tessaro speaks another version of the game's messages (`other`),
  // or this one again: the log says so, and the status line while it lasts.
  void PeerSpeaksOtherVersion(bool other);

  // ---- Message handlers ----

  BOOL OnInitDialog() override;
  void OnOK() override;
  void OnSysCommand(UINT nID, LPARAM lParam);
  void OnPaint();
  void OnTimer(UINT_PTR nIDEvent);
  HCURSOR OnQueryDragIcon();
  void OnExit();
  void OnReset();
  void OnResign();
  void OnOfferDraw();
  void OnSetTimer();
  void OnAbout();
  void OnLButtonDown(UINT nFlags, CPoint point);
  void OnKeyDown(UINT nChar, UINT nRepCnt, UINT nFlags);
  void OnSaveGame();
  void OnClose();
  void OnSim();
  void OnLoadGame();
  void OnClearLog();
  void OnMoveNumbers();
  void OnLastStoneMarker();
  void OnEarlierGames();

  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
  const AFX_MSGMAP* GetMessageMap() const override;
  static const AFX_MSGMAP* GetThisMessageMap();

 private:
  // ---- What the link asks of the window ----
  void SendFrame(const std::string& frame) override;
  std::string& IncomingText() override;
  void QueueDrain(GameLink& queued) override;
  void ShowReceiveError() override;

  // What the log and the status line say while the peer speaks another version.
  std::string OtherVersionText() const;
  // The log entry written into the profile; the kept log emptied.
  void KeepLogEntry(const std::string& entry);
  void ForgetLog();
  // Invalidates the points whose image changed since they were painted.
  void InvalidateBoard();

  // ---- What the game asks of the window ----
  void SendSide(int32_t side) override;
  void SendMove(const Move& move) override;
  void SendTakeBack() override;
  void SendText(const std::string& text) override;
  void SendClock(int32_t seconds) override;
  void SendGameOver() override;
  void SendGame(const MoveList& moves) override;
  void Log(const std::string& text) override;
  bool AskSwap() override;
  bool AskDraw() override;
  void BoardChanged() override;
  void SideChanged() override;
  void GameEnded() override;

 public:
  // ---- State ----
  Game game{*this};
  GameLink link{*this};
  std::deque<GameLink*> inbox;
  std::string incomingText;
  std::string saveFile;
  HANDLE hContact = nullptr;
  GameHost* host = nullptr;  // the messenger this window runs in
  // The log before the window is made (the pane takes it over then).
  std::string logBeforePane;
  HICON hIcon = nullptr;
  CFont logFont;
  std::string publishedStatus;    // what the host was last told
  std::string shownStatus;        // what the line under the board says
  bool peerOtherVersion = false;  // the peer's Tessaro cannot read our moves
  int shownTurnOwner = -1;        // the clock caption drawn bold: 0 own, 1 peer, 2 none
  CFont boldCaption;              // made on first use
  // What KeepGame last wrote, and the numbers of the log's first kept entry
  // and of the next one.
  // Nothing is kept before RestoreKept has taken back what an earlier run kept.
  bool keeping = false;
  std::string keptGame;
  // Set while a received command runs, with the game as it was before it.
  bool dispatching = false;
  std::string gameBeforeCommand;
  uint64_t keptLogFirst = 0;
  uint64_t keptLogNext = 0;
  // The number of the next earlier game kept, and what tells the last one
  // kept from others ("" when the game on the board is not kept yet).
  uint64_t archiveNext = 0;
  std::string archivedLine;
  // Seconds since 1970 for an earlier game's date; null: the system's clock.
  int64_t (*wallClock)() = nullptr;

  // Set once the system menu holds the About item, so that the WM_INITDIALOG
  // posted at every opening does not append it again.
  bool aboutItemAdded = false;
  // Messages queued for this window so far, and the one whose commands last
  // opened the "Unknown command received" box: one box per message at most.
  uint64_t messagesQueued = 0;
  uint64_t unknownBoxMessage = 0;
  // The image each point was last painted with, whole (CellImage's value), or
  // kCellNotPainted: a change repaints only the points whose image changed, so
  // a stone costs the same on a full board as on an empty one.
  static constexpr UINT kCellNotPainted = 0xFFFFFFFF;
  std::array<UINT, kCellCount> paintedCells;  // filled by the constructor
  std::bitset<kCellCount> winningCells;       // the row that won, as last found
  bool showMoveNumbers = false;               // View > Move Numbers
  bool showLastStoneMarker = false;           // View > Last Stone Marker
};

}  // namespace tessaro
