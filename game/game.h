// The state of one game between this player and a peer, and the rules that
// change it: the position and its what-if copy, the sides and whose turn it
// is, the opening (three stones, the swap, the fifth-move proposals), the
// clocks and the result.
//
// The game knows nothing of windows, frames or files. What it must tell the
// peer, show this player or ask this player goes through GameEvents, which
// the game owns and whoever carries and shows the game implements (the game
// window, a test, the soak). Every rule runs here, so a rule is tested on a
// Game alone, and a game is kept by writing its state down.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "game/board.h"
#include "game/position.h"

namespace tessaro {

// What a game asks of its surroundings, in the order the rules call it.
class GameEvents {
 public:
  virtual ~GameEvents() = default;

  // ---- To the peer: one command each, sent at once ----
  virtual void SendSide(int32_t side) = 0;  // the colour the peer plays
  virtual void SendMove(const Move& move) = 0;
  virtual void SendTakeBack() = 0;
  virtual void SendText(const std::string& text) = 0;
  virtual void SendClock(int32_t seconds) = 0;
  virtual void SendGameOver() = 0;
  virtual void SendGame(const MoveList& moves) = 0;

  // ---- To this player ----
  // One entry in the game log.
  virtual void Log(const std::string& text) = 0;
  // White is asked, once the three opening stones are down, whether to play
  // black instead; true for yes.
  virtual bool AskSwap() = 0;
  // The peer offers a draw; true to accept. Surroundings without a player to
  // ask decline.
  virtual bool AskDraw() { return false; }
  // The position shown changed (either pair, or which pair is shown).
  virtual void BoardChanged() = 0;
  // This side's colour changed.
  virtual void SideChanged() = 0;
  // The game got its result (judged here, or this side's resignation or
  // accepted draw, or the peer's game over with its result): called once,
  // when the result and the stone that brought it are in the game.
  virtual void GameEnded() {}
};

// The texts of a result, as both logs show them.
inline constexpr const char* kBlackFive = "BLACK win, 5 in row";
inline constexpr const char* kWhiteByForbidden = "WHITE win, forbidden move";
inline constexpr const char* kWhiteFive = "WHITE win, 5 in row";
inline constexpr const char* kBlackResigned = "WHITE win, BLACK resigned";
inline constexpr const char* kWhiteResigned = "BLACK win, WHITE resigned";
inline constexpr const char* kDrawAgreed = "Draw by agreement";

class Game : public GamePosition {
 public:
  explicit Game(GameEvents& events) : events_(events) {}

  // ---- Play on this side ----

  // The game as a window starts it: no stones, no sides, this side may place
  // the first stone, the real pair shown.
  void Start();

  // A click on point (x, y) of the real board: a stone when it is this
  // side's turn and the point allows one, else the take-back of this side's
  // own last stone when (x, y) is that stone. Points off the board do nothing.
  void LocalMove(int x, int y);
  // A click on the what-if board: the next colour on (x, y) if it is free.
  void SimulationMove(int x, int y);
  // Shows the other pair; the what-if pair starts as a copy of the game.
  void ToggleSimulation();
  // Shows `line` whole on the what-if board, to be stepped through.
  void OpenOnSimulation(const MoveList& line);
  // On the what-if board: `steps` records back (negative) or on along the
  // line last copied or opened, as far as either end. A step on needs the
  // what-if list to be the start of that line (a stone of the player's own
  // leaves only steps back). True when the board changed.
  bool StepSimulation(int steps);

  // ---- A new game ----

  // The clocks of a new game: this side's from the setting, the peer's 0.
  void RestartClocks();
  // Back to a fresh game: no stones, no sides, this side may place the first
  // stone; "Game reset" in the log. Sends nothing (the caller tells the peer
  // when the reset is its own).
  void Reset();

  // ---- Commands from the peer ----

  void ReceiveMove(const Move& move);  // the point must be on the board
  // `valid` is false for a side of the wrong size: the colour stays.
  void ReceiveSide(bool valid, int32_t side);
  void ReceiveTakeBack();
  void ReceiveText(const std::string& text);
  void ReceiveClock(int32_t seconds) { peerClock = seconds; }
  void ReceiveGameOver();
  void ReceiveGame(MoveList moves);
  // A CmdSide held back as half of a first-stone clash takes effect now
  // unless the command that follows is the peer's first stone, which settles
  // the clash. `firstStoneFollows` says whether it is.
  void SettleHeldSide(bool firstStoneFollows);
  // Whether `move` from the peer would be the first stone that settles a
  // clash, were one held.
  bool IsFirstStoneOfClash(const Move& move) const;

  // ---- Ending a game by word ----
  // Resigning and draws travel as texts this side writes with its own name
  // ("Alice resigns", "Alice offers a draw", "Alice declines the draw"), as a
  // clock running out does, and as a game over with its result where the
  // game ends: a peer that knows nothing of them still logs each text and
  // stops its clock. Each does nothing unless a game is on.

  // This side gives the game up: the peer wins.
  void Resign();
  // Offers the peer a draw; the peer's side asks its player (AskDraw) and
  // answers with a game over "Draw by agreement" or with its refusal.
  void OfferDraw();
  // Sides taken and no result yet.
  bool InPlay() const { return myColor != Empty && gameResult.empty(); }

  // ---- Loading a game on this side ----

  // The loaded line goes onto the real board; this side leaves its what-if
  // board. The moves must lie on the board.
  void PutLoadedLine(const MoveList& moves);
  // Then, once the player chose a colour: this side takes it, the peer is
  // sent the other one and the game, and the line's own result is shown.
  void PlayLoadedLine(bool black);

  // ---- Clocks ----

  // Sets this side's clock (a negative number switches it off) and tells
  // both logs.
  void SetTimer(int32_t seconds);
  // One second of this side's clock, while it is this side's turn and the
  // clock is set; out of time tells both logs. True when a clock changed.
  bool Tick();

  // ---- Keeping the game ----

  // The whole state as bytes (names, sides, turn, opening, clocks, result,
  // both move lists; the boards follow from the lists), for a restart.
  std::string Snapshot() const;
  // Takes a snapshot back. Bytes that are not a snapshot of this layout, or
  // that name a state no game reaches (a colour that is none, a record off
  // the board), change nothing: false with the reason in `error`. Sends
  // nothing; tells the board and the side as changed.
  bool Restore(std::string_view bytes, std::string* error);

  // ---- Reading the game ----

  // "your move", "their move", the result once there is one, or "" before
  // any move: what the messenger's contact list shows.
  std::string StatusText() const;
  // Where the game stands, in one sentence for the line under the board:
  // whose move it is and with which colour, which step of the opening waits
  // for whom, that the game is over and how, that a clock ran out, that the
  // what-if board is shown.
  std::string StatusLine() const;
  // The result the stones of `moves` ended the game with, judged stone by
  // stone as in play; "" when no stone ended it.
  static std::string ResultOfLine(const MoveList& moves);
  uint32_t PeerColour() const;
  // The cells (CellIndex) of the row that won the game with five in
  // a row, or none when the game was not won so. Stones placed after the
  // result do not hide it.
  std::vector<int> WinningRow() const;

 protected:
  void InvalidateBoard() override { events_.BoardChanged(); }

 private:
  // Asserts what every rule leaves true: both pairs agree with their lists,
  // the sides and flags hold codes they can hold.
  void CheckInvariants() const;
  void Announce(const std::string& text);
  void SendAndLog(const std::string& text);
  void Refuse(const std::string& what);
  void TakeBackClick(int x, int y);
  bool RemoveProposals();
  void ResolveCrossedTakeBack();
  void ResolveFirstStoneClash(const Move& peerStone);
  void LogSides();
  std::string SidesSentence() const;
  void ShowResultOfLoadedGame();

  GameEvents& events_;

 public:
  // ---- State (board, simBoard, moveList, simMoveList and simulationMode
  // come from GamePosition) ----
  std::string myName;
  std::string peerName;
  uint32_t myColor = Empty;  // 0 no colour yet, 1 black, 2 white
  uint32_t myTurn = 0;
  uint32_t proposingFifth = 0;
  int32_t clockSetting = 0;
  int32_t myClock = 0;
  int32_t peerClock = 0;
  // The announced result of the game, "" while it goes on; and whether the
  // peer's game-over command came and its result text is the next text.
  std::string gameResult;
  bool resultFollows = false;
  // Whose clock ran out: running out ends nothing, but both windows say so
  // until the next game.
  enum OutOfTime : uint32_t { kNobodyOutOfTime = 0, kOwnTimeOut = 1, kPeerTimeOut = 2 };
  uint32_t outOfTime = kNobodyOutOfTime;
  // The line the what-if board steps along (StepSimulation); not kept.
  MoveList simLine;
  // The what-if board shows an earlier game (OpenOnSimulation), not a copy
  // of this one: the status line tells how to step through it. Not kept.
  bool simShowsEarlier = false;
  // Both sides placed a first stone before either CmdSide arrived: set on the
  // peer's CmdSide until its first stone arrives and settles who keeps black.
  bool firstStoneClash = false;
  // How many records at the end of moveList this side placed after the
  // peer's last one (a lower bound: 0 where that is not known, as after a
  // loaded game). While it is 0 no stone of ours can have crossed a take-back
  // from the peer (see ReceiveTakeBack).
  size_t ownTail = 0;
};

}  // namespace tessaro
