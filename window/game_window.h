// The game window of one contact: a modeless dialog that holds the whole state
// of that contact's game (board, moves, sides, turn, clocks, log, chat line)
// and turns menu choices, keys, clicks and received commands into moves.
//
// The handlers live with what they serve: the window shell and board view in
// window/, the transport, dispatcher, game flow, clocks and log in link/, Save
// and Load Game in files/.
#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <string>

#include "framework/afx.h"
#include "game/position.h"
#include "link/game_command.h"
#include "link/game_link.h"
#include "sdk/plugin_api.h"

namespace tessaro {

// Resource and command ids of the window.
inline constexpr UINT kGameDialogId = 102;
inline constexpr UINT kAboutDialogId = 100;
inline constexpr UINT kInputBoxDialogId = 131;
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
inline constexpr UINT kCmdReset = 32771;
inline constexpr UINT kCmdExit = 32773;
inline constexpr UINT kCmdAbout = 32774;
inline constexpr UINT kCmdSetTimer = 32775;
inline constexpr UINT kCmdSaveGame = 32778;
inline constexpr UINT kCmdLoadGame = 32780;
inline constexpr UINT kCmdClearLog = 32781;
inline constexpr UINT kSysCmdAbout = 0x0010;
inline constexpr UINT_PTR kClockTimer = 0;
inline constexpr UINT kClockPeriodMs = 1000;

class GameWindow : public CDialog, public GamePosition {
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
  void Dispatch(GameCommand& command);

  // ---- Game flow ----

  // A click on point (x, y) of the real board, simulation mode off.
  void LocalMove(int x, int y);
  // Back to a fresh game, asking first whether to save the one on the board.
  void ResetGame();

  // ---- Log and clocks ----

  // Wraps `text` and appends it to the log; sends nothing.
  void AppendLog(const std::string& text);
  // Starts (or restarts) the one-second clock timer.
  void StartClockTimer();
  // Writes both clocks into their labels and repaints just those.
  void ShowClocks();

  // ---- Board view ----

  // Paints the board through a paint context (only what is invalid) and sets
  // the window's icon by `myColor`.
  void DrawBoard();
  // The bitmap point (x, y) shows for the current pair, or 0 where the board's
  // own picture shows through.
  UINT CellImage(int x, int y) const;

  // ---- The game at a glance ----

  // What the messenger's contact list shows for this game: the result once
  // the game is over, else "your move" or "their move"; "" before any move.
  std::string StatusText() const;
  // Tells the host the status when it changed since last told.
  void PublishStatus();

  // ---- Files ----

  void SaveGame();
  void LoadGame();

  // ---- Message handlers ----

  BOOL OnInitDialog() override;
  void OnOK() override;
  void DoDataExchange(CDataExchange* pDX) override;
  void OnSysCommand(UINT nID, LPARAM lParam);
  void OnPaint();
  void OnTimer(UINT_PTR nIDEvent);
  HCURSOR OnQueryDragIcon();
  void OnExit();
  void OnReset();
  void OnSetTimer();
  void OnAbout();
  void OnLButtonDown(UINT nFlags, CPoint point);
  void OnKeyDown(UINT nChar, UINT nRepCnt, UINT nFlags);
  void OnSaveGame();
  void OnClose();
  void OnSim();
  void OnLoadGame();
  void OnClearLog();

  const AFX_MSGMAP* GetMessageMap() const override;
  static const AFX_MSGMAP* GetThisMessageMap();

 protected:
  void InvalidateBoard() override;

 private:
  void Announce(const std::string& text);
  // Drops a received command that no genuine peer sends, with one log line.
  void Refuse(const std::string& what);
  void TakeBackClick(int x, int y);
  void DispatchTakeBack();
  bool RemoveProposals();
  void ResolveCrossedTakeBack();
  void SimulationClick(int x, int y);
  void DispatchMove(GameCommand& command);
  void DispatchSide(GameCommand& command);
  void DispatchGame(GameCommand& command);
  void ResolveFirstStoneClash(const Move& peerStone);
  void LogSides();
  // The result the stones of `moves` ended the game with, judged stone by
  // stone as in play; "" when no stone ended it.
  static std::string ResultOfLine(const MoveList& moves);
  // After a game was loaded or received: the result of its line shown (and
  // logged, and the own clock stopped), or the shown result cleared.
  void ShowResultOfLoadedGame();

 public:
  // ---- State (board, simBoard, moveList, simMoveList and simulationMode come
  // from GamePosition) ----
  GameLink link{*this};
  uint32_t myColor = Empty;  // 0 no colour yet, 1 black, 2 white
  std::string logText;
  std::deque<GameLink*> inbox;
  std::string incomingText;
  std::string myName;
  std::string peerName;
  std::string saveFile;
  int32_t clockSetting = 0;
  int32_t myClock = 0;
  int32_t peerClock = 0;
  HANDLE hContact = nullptr;
  uint32_t myTurn = 0;
  uint32_t proposingFifth = 0;
  std::string logView;
  HICON hIcon = nullptr;
  CFont logFont;

  // The announced result of the game, "" while it goes on; and whether the
  // peer's game-over command came and its result text is the next text.
  std::string gameResult;
  bool resultFollows = false;
  std::string publishedStatus;  // what the host was last told

  // Set once the system menu holds the About item, so that the WM_INITDIALOG
  // posted at every opening does not append it again.
  bool aboutItemAdded = false;
  // Both sides placed a first stone before either CmdSide arrived: set on the
  // peer's CmdSide until its first stone arrives and settles who keeps black.
  bool firstStoneClash = false;
  // How many records at the end of moveList this side placed after the
  // peer's last one (a lower bound: 0 where that is not known, as after a
  // loaded game). While it is 0 no stone of ours can have crossed a take-back
  // from the peer (see DispatchTakeBack).
  size_t ownTail = 0;
  // Messages queued for this window so far, and the one whose commands last
  // opened the "Unknown command received" box: one box per message at most.
  uint64_t messagesQueued = 0;
  uint64_t unknownBoxMessage = 0;
  // The image each point was last painted with, whole (CellImage's value), or
  // kCellNotPainted: a change repaints only the points whose image changed, so
  // a stone costs the same on a full board as on an empty one.
  static constexpr UINT kCellNotPainted = 0xFFFFFFFF;
  std::array<UINT, kCellCount> paintedCells;  // filled by the constructor
};

}  // namespace tessaro
