// The rules of one game. The receiving side judges the stones it gets (white
// judges black's stones, black judges white's), announces a result to both
// logs and stops its clock; the mover never judges its own stone. Nothing on
// this side tests the peer's word beyond what keeps the two boards alike.
#include "game/game.h"

#include <algorithm>
#include <cassert>
#include <cstdio>
#include <string>
#include <utility>

#include "game/judge.h"

namespace tessaro {

namespace {

// The result a stone ends the game with, judged on `board` as it stands
// before the stone (a forbidden black point gets its mark there); null when
// the game goes on.
const char* VerdictOf(Board& board, const Move& move) {
  if (move.value == Black) {
    if (JudgePoint(board, move.x, move.y)) return kBlackFive;
    if (board.at(move.x, move.y) == ForbiddenMark) return kWhiteByForbidden;
  } else if (move.value == White && WhiteFiveAt(board, move.x, move.y)) {
    return kWhiteFive;
  }
  return nullptr;
}

const char* ColourWord(uint32_t colour) {
  return colour == White ? "WHITE" : "BLACK";
}

constexpr std::string_view kOutOfTime = " is out of time";

bool IsTimeOut(std::string_view text) {
  return text.size() > kOutOfTime.size() && text.ends_with(kOutOfTime) &&
         text.find(':') == std::string_view::npos;
}

// "NAME plays COLOUR; NAME plays COLOUR", cut as a 1 KiB line buffer cuts it.
std::string Sentence(const std::string& me, uint32_t mine, const std::string& peer,
                     uint32_t theirs) {
  char sentence[1024];
  std::snprintf(sentence, sizeof sentence, "%s plays %s; %s plays %s", me.c_str(), ColourWord(mine),
                peer.c_str(), ColourWord(theirs));
  return sentence;
}

}  // namespace

void Game::CheckInvariants() const {
  assert(PositionAgrees(board, moveList));
  assert(!simulationMode || PositionAgrees(simBoard, simMoveList));
  assert(myColor <= White && myTurn <= 1 && proposingFifth <= 1 && simulationMode <= 1);
  assert(ownTail <= moveList.size());
  assert(clockSetting >= 0 && myClock >= 0);
}

// ---- Play on this side ----

void Game::Start() {
  myTurn = 1;
  proposingFifth = 0;
  myColor = Empty;
  simulationMode = 0;
  RefreshMarks();
}

void Game::LocalMove(int x, int y) {
  if (!OnBoard(x, y)) return;
  if (!myTurn) {
    TakeBackClick(x, y);
    return;
  }
  int proposals = 0;
  for (uint32_t cell : board.cells)
    proposals += cell == Proposal;

  // A forbidden mark never stops a click: it is the white side that judges.
  uint32_t& cell = board.at(x, y);
  if (cell == ForbiddenMark) cell = Empty;
  bool choosingProposal = false;
  if (cell != Empty) {
    if (cell != Proposal || myColor != White) return;
    choosingProposal = true;
  } else if (myColor == White && proposals != 0) {
    return;  // while proposals lie on the board, white may only choose one
  }

  const size_t n = moveList.size();
  // The fifth-move proposals are black's fifth and sixth records. A flag left
  // from an earlier moment (white took its fourth stone back, the sides were
  // swapped, a game was loaded) must not turn a later stone into a proposal.
  if (proposingFifth && !(myColor == Black && (n == 4 || n == 5))) proposingFifth = 0;
  uint32_t value = Black;
  if (myColor == Empty) {
    // The first stone of a game makes this side black and the peer white.
    myColor = Black;
    events_.SendSide(White);
  } else if (myColor == Black && n == 1) {
    value = White;  // black's second opening stone is a white one
  } else if (myColor == White && !choosingProposal) {
    value = White;
  }
  if (proposingFifth) {
    value = Proposal;
    if (n == 5) proposingFifth = 0;
  }

  const auto px = static_cast<int16_t>(x), py = static_cast<int16_t>(y);
  events_.SendMove(Move{px, py, value});
  if (myClock != 0) events_.SendClock(myClock);
  PlaceMove(px, py, value);
  ++ownTail;

  myTurn = (myColor == Black && (moveList.size() < 3 || proposingFifth)) ? 1 : 0;
  CheckInvariants();
}

// A click while waiting: the own last stone goes back on both sides and the
// turn returns. The cell decides, not the record, so a proposal or black's
// white opening stone cannot be taken back: not by black, whose colour it is
// not, and not by white either, which waits while black places the first
// stones (the peer could not tell that take-back from one crossing black's
// next stone, and the boards would part).
void Game::TakeBackClick(int x, int y) {
  if (moveList.empty() || moveList.back().x != x || moveList.back().y != y) return;
  if (myColor == White && moveList.size() <= 2) return;
  const uint32_t cell = board.at(x, y);
  if (!((myColor == Black && cell == Black) || (myColor == White && cell == White))) return;
  TakeBack();
  if (ownTail > 0) --ownTail;
  events_.SendTakeBack();
  myTurn = 1;
}

void Game::SimulationMove(int x, int y) {
  const uint32_t colour =
      !simMoveList.empty() && simMoveList.back().value == Black ? uint32_t{White} : uint32_t{Black};
  uint32_t& cell = simBoard.at(x, y);
  if (cell == ForbiddenMark) cell = Empty;
  if (cell != Empty) return;
  cell = colour;
  simMoveList.push_back(Move{static_cast<int16_t>(x), static_cast<int16_t>(y), colour});
  RefreshMarks();  // repaints the points that changed
}

void Game::ToggleSimulation() {
  simulationMode = simulationMode ? 0 : 1;
  simShowsEarlier = false;
  if (simulationMode) {
    CopyToSimulation();
    simLine = moveList;
  }
  InvalidateBoard();  // the other pair is shown
}

void Game::OpenOnSimulation(const MoveList& line) {
  simulationMode = 1;
  simShowsEarlier = true;
  simLine = line;
  simMoveList = line;
  Replay(simBoard, simMoveList);
  RefreshMarks();  // the marks of its length, and a repaint
  CheckInvariants();
}

bool Game::StepSimulation(int steps) {
  if (!simulationMode || steps == 0) return false;
  const size_t n = simMoveList.size();
  size_t to = n;
  if (steps < 0) {
    to = n - std::min(n, static_cast<size_t>(-static_cast<int64_t>(steps)));
  } else {
    if (n > simLine.size() || !std::equal(simMoveList.begin(), simMoveList.end(), simLine.begin()))
      return false;
    to = std::min(simLine.size(), n + static_cast<size_t>(steps));
  }
  if (to == n) return false;
  // Back cuts the list as it stands, stones the player placed included; on
  // copies from the line.
  if (steps < 0) {
    simMoveList.resize(to);
  } else {
    simMoveList.assign(simLine.begin(), simLine.begin() + static_cast<std::ptrdiff_t>(to));
  }
  Replay(simBoard, simMoveList);
  RefreshMarks();
  CheckInvariants();
  return true;
}

// ---- A new game ----

void Game::RestartClocks() {
  myClock = clockSetting;
  peerClock = 0;
}

void Game::Reset() {
  moveList.clear();
  ownTail = 0;
  myColor = Empty;
  myTurn = 1;
  proposingFifth = 0;
  firstStoneClash = false;
  gameResult.clear();
  outOfTime = kNobodyOutOfTime;
  // With the list empty this rewrites every cell of the board.
  RefreshBoardMarks(board, 0);
  InvalidateBoard();
  events_.Log("Game reset\r\n");
  CheckInvariants();
}

// ---- Commands from the peer ----

void Game::Refuse(const std::string& what) {
  events_.Log("Refused from " + peerName + ": " + what);
}

uint32_t Game::PeerColour() const {
  return myColor == Black ? White : myColor == White ? Black : Empty;
}

bool Game::IsFirstStoneOfClash(const Move& move) const {
  return move.value == Black && moveList.size() == 1;
}

void Game::SettleHeldSide(bool firstStoneFollows) {
  if (firstStoneClash && !firstStoneFollows) ReceiveSide(true, White);
}

void Game::ReceiveText(const std::string& text) {
  if (resultFollows) {
    gameResult = text;
    outOfTime = kNobodyOutOfTime;  // the game's end says more than a clock
    InvalidateBoard();             // the winning row is marked
  }
  // The peer's clock ran out: its side sends "NAME is out of time". A chat
  // line always holds "NAME: ", so a text without a colon is no chat.
  if (IsTimeOut(text)) outOfTime = kPeerTimeOut;
  events_.Log(text);
  if (resultFollows) events_.GameEnded();
  const bool drawOffered = !resultFollows && text == peerName + " offers a draw";
  resultFollows = false;
  if (drawOffered && InPlay()) {
    if (events_.AskDraw()) {
      // The game may have ended while the question was open.
      if (InPlay()) {
        Announce(kDrawAgreed);
        events_.GameEnded();
      }
    } else {
      SendAndLog(myName + " declines the draw");
    }
  }
}

void Game::SendAndLog(const std::string& text) {
  events_.SendText(text);
  events_.Log(text);
}

void Game::Resign() {
  if (!InPlay()) return;
  SendAndLog(myName + " resigns");
  Announce(myColor == Black ? kBlackResigned : kWhiteResigned);
  events_.GameEnded();
}

void Game::OfferDraw() {
  if (!InPlay()) return;
  SendAndLog(myName + " offers a draw");
}

void Game::ReceiveGameOver() {
  myClock = 0;
  resultFollows = true;
}

// One game over: CmdGameOver and the result to the peer, the result into the
// own log, and the own clock stopped.
void Game::Announce(const std::string& text) {
  events_.SendGameOver();
  events_.SendText(text);
  events_.Log(text);
  gameResult = text;
  outOfTime = kNobodyOutOfTime;  // the game's end says more than a clock
  myClock = 0;
}

void Game::ReceiveMove(const Move& move) {
  if (firstStoneClash) {
    firstStoneClash = false;
    ResolveFirstStoneClash(move);
    return;
  }
  // A stone onto a stone would leave the board and the move list telling two
  // games. A black stone onto a proposal is white's choice, and value 0 takes
  // a proposal away: both are genuine.
  const uint32_t cell = board.at(move.x, move.y);
  if ((move.value == Black || move.value == White) && (cell == Black || cell == White)) {
    Refuse("a stone onto the stone at " + std::to_string(move.x) + "," + std::to_string(move.y));
    return;
  }

  // Judge on the board as it stands before the stone.
  bool ended = false;
  if ((myColor == White && move.value == Black) || (myColor == Black && move.value == White)) {
    if (const char* verdict = VerdictOf(board, move)) {
      Announce(verdict);
      ended = true;
    }
  }

  PlaceMove(move.x, move.y, move.value);
  ownTail = 0;
  if (ended) events_.GameEnded();  // with the stone that ended it

  // Whose turn: a stone from the peer gives it to this side, except to white
  // while black places the three opening stones; then the first of the
  // opening's moments below that applies.
  const size_t n = moveList.size();
  myTurn = (myColor == White && n < 3) ? 0 : 1;
  if (myColor == White && n == 3) {
    // The three opening stones are down: white may take black instead.
    if (events_.AskSwap()) {
      myColor = Black;
      events_.SendSide(White);
      myTurn = 0;
      events_.SendText(myName + " is BLACK now");
    }
  } else if (myColor == Black && n == 4) {
    proposingFifth = 1;
    myTurn = 1;
  } else if (myColor == White && move.value == Proposal && n == 5) {
    myTurn = 0;  // wait for the second proposal
  } else if (myColor == Black && move.value == Black) {
    // White chose a proposal: take the other one away on both boards.
    RemoveProposals();
    myTurn = 0;
  }
  CheckInvariants();
}

// The peer takes back its last stone, one of its own colour, and the turn
// goes to it. Normally that is our last record. But stones of ours may have
// crossed the take-back on the way: here they lie above the peer's stone,
// while on the peer's board they arrive after the stone has gone. The
// crossing shows as a last record that is not of the peer's colour while
// records of ours came after the peer's last one; otherwise the last record
// goes, as it always did (in the opening white may take back black's white
// stone; after a swap black may take back a stone the peer placed as black).
void Game::ReceiveTakeBack() {
  const uint32_t peerColour = PeerColour();
  size_t fromEnd = 0;
  if (ownTail > 0 && peerColour != Empty && !moveList.empty() &&
      moveList.back().value != peerColour) {
    for (size_t i = 1; i < moveList.size(); ++i) {
      if (moveList[moveList.size() - 1 - i].value == peerColour) {
        fromEnd = i;
        break;
      }
    }
  }
  TakeBackBefore(fromEnd);
  if (ownTail > moveList.size()) ownTail = moveList.size();
  if (fromEnd == 0) {
    myTurn = 0;
    return;
  }
  ResolveCrossedTakeBack();
}

// Every proposal still on the board goes, here and on the peer's board, by a
// removal record each; true if there was one.
bool Game::RemoveProposals() {
  bool removed = false;
  for (int16_t x = 0; x < kBoardSize; ++x) {
    for (int16_t y = 0; y < kBoardSize; ++y) {
      if (board.at(x, y) != Proposal) continue;
      PlaceMove(x, y, Empty);
      ++ownTail;
      events_.SendMove(Move{x, y, Empty});
      removed = true;
    }
  }
  return removed;
}

// After a crossing the peer's stone has gone from beneath ours and our
// records stay, on both boards alike; the peer has the turn there, since our
// stone reached it after its take-back. Fifth-move proposals of ours that
// crossed a take-back of white's fourth stone would leave white to choose
// without a fifth move to choose from: they are taken away on both boards as
// an unchosen proposal is, by a removal record, and play goes on without
// them. This side keeps the turn its own last stone left it.
void Game::ResolveCrossedTakeBack() {
  if (RemoveProposals()) proposingFifth = 0;
  const size_t n = moveList.size();
  myTurn = (myColor == Black && (n < 3 || proposingFifth)) ? 1 : 0;
}

void Game::ReceiveSide(bool valid, int32_t side) {
  // Both players placed a first stone before either CmdSide arrived: each
  // claims black. Wait for the peer's stone to settle it (see
  // ResolveFirstStoneClash) instead of letting both turn white.
  if (valid && side == White && myColor == Black && moveList.size() == 1 &&
      moveList.front().value == Black && !firstStoneClash) {
    firstStoneClash = true;
    return;
  }
  firstStoneClash = false;
  if (valid) myColor = static_cast<uint32_t>(side);
  const size_t n = moveList.size();
  if (myColor == White) {
    if (n == 3) myTurn = 1;  // after a swap the new white plays the fourth stone
  } else if (n == 0) {
    myTurn = 0;
  }
  LogSides();
  events_.SideChanged();
}

std::string Game::SidesSentence() const {
  return Sentence(myName, myColor, peerName, myColor == White ? Black : White);
}

// The sides sentence into the own log and to the peer, so both logs carry it.
void Game::LogSides() {
  const std::string sentence = SidesSentence();
  events_.Log(sentence);
  events_.SendText(sentence);
}

// Both sides run this with the same two stones and reach the same result: the
// stone nearer the top of the board (then nearer the left) stays black. The
// other stone is taken off, so both boards hold one black stone and black
// keeps the turn. Nothing is sent: each side works it out alone.
void Game::ResolveFirstStoneClash(const Move& peerStone) {
  const Move own = moveList.front();
  const int ownKey = own.y * kBoardSize + own.x;
  const int peerKey = peerStone.y * kBoardSize + peerStone.x;
  if (ownKey == peerKey) {
    // Nothing both sides see alike tells them apart (the name each shows for
    // the other is its own choice, so comparing names could make both white):
    // start again from an empty board. The real one, also while the what-if
    // board is on show.
    moveList.clear();
    ownTail = 0;
    RefreshBoardMarks(board, 0);
    InvalidateBoard();
    myColor = Empty;
    myTurn = 1;
    events_.Log("Both players placed the first stone at once; place it again");
    return;
  }
  const bool ownStays = ownKey < peerKey;
  moveList.assign(1, ownStays ? own : Move{peerStone.x, peerStone.y, Black});
  Replay(board, moveList);
  RefreshMarks();
  ownTail = ownStays ? 1 : 0;
  myColor = ownStays ? Black : White;
  myTurn = ownStays ? 1 : 0;
  events_.Log("Both players placed a first stone at once; the one nearer the top stays");
  events_.Log(SidesSentence());
  events_.SideChanged();
}

std::string Game::ResultOfLine(const MoveList& moves) {
  // The stones go down one by one, each judged on the board before it as the
  // receiving side judges a stone in play, marks included (they decide which
  // threes are real). A later verdict replaces an earlier one, as a game that
  // went on after its end announces again.
  Board judged;
  std::string result;
  size_t placed = 0;
  for (const Move& move : moves) {
    if (!OnBoard(move.x, move.y)) continue;
    const uint32_t cell = judged.at(move.x, move.y);
    if (cell == Empty || cell == ForbiddenMark) {
      if (const char* verdict = VerdictOf(judged, move)) result = verdict;
    }
    judged.at(move.x, move.y) = move.value;
    RefreshBoardMarks(judged, ++placed);
  }
  return result;
}

// After a game was loaded or received: the result of its line shown (and
// logged, and the own clock stopped), or the shown result cleared.
void Game::ShowResultOfLoadedGame() {
  outOfTime = kNobodyOutOfTime;  // another game now
  gameResult = ResultOfLine(moveList);
  if (gameResult.empty()) return;
  InvalidateBoard();  // the winning row is marked
  // A finished game's clock stands still, as it did when the result came.
  myClock = 0;
  events_.Log(gameResult);
}

void Game::ReceiveGame(MoveList moves) {
  firstStoneClash = false;
  simulationMode = 0;
  board.cells.fill(Empty);
  moveList = std::move(moves);
  ownTail = 0;
  for (const Move& move : moveList)
    board.at(move.x, move.y) = move.value;
  events_.Log("Game loaded");
  ShowResultOfLoadedGame();
  if (moveList.empty()) return;
  std::string text;
  if (moveList.back().value == myColor) {
    myTurn = 0;
    text = peerName + "'s move";
  } else {
    text = myName + "'s move";
    myTurn = 1;
  }
  events_.Log(text);
  events_.SendText(text);
  RefreshMarks();
  CheckInvariants();
}

// ---- Loading a game on this side ----

void Game::PutLoadedLine(const MoveList& moves) {
  // The loaded game is the one both players play: it goes onto the real
  // board, as it does on the peer's side, which leaves its what-if board when
  // the game arrives. This side leaves its own too.
  simulationMode = 0;
  moveList.clear();
  ownTail = 0;
  board.cells.fill(Empty);
  for (const Move& move : moves) {
    moveList.push_back(move);
    board.at(move.x, move.y) = move.value;
  }
}

void Game::PlayLoadedLine(bool black) {
  myColor = black ? Black : White;
  events_.SendSide(static_cast<int32_t>(black ? White : Black));
  events_.SendGame(moveList);
  // The result shown is the loaded game's, not the one of the game it replaced.
  ShowResultOfLoadedGame();
  // The marks of the loaded position, as the peer's board shows them: a board
  // that hid a forbidden point from the side that must avoid it would let it
  // lose the game there. An empty line leaves the board empty, as it does on
  // the peer's side.
  if (!moveList.empty()) RefreshMarks();
  if (!moveList.empty()) myTurn = moveList.back().value == myColor ? 0 : 1;
  CheckInvariants();
}

// ---- Clocks ----

void Game::SetTimer(int32_t seconds) {
  // A negative number of seconds would count away from zero and never run
  // out; it switches the clock off like any answer that is not a number.
  clockSetting = std::max<int32_t>(0, seconds);
  myClock = clockSetting;
  const std::string text = myName + " set timer to " + std::to_string(clockSetting);
  events_.SendText(text);
  events_.Log(text);
}

bool Game::Tick() {
  if (myClock == 0 || myTurn == 0 || moveList.empty()) return false;
  --myClock;
  if (myClock != 0) return true;
  outOfTime = kOwnTimeOut;
  const std::string text = myName + std::string(kOutOfTime);
  events_.SendText(text);
  events_.Log(text);
  gameResult = text;
  return true;
}

// ---- Reading the game ----

std::string Game::StatusLine() const {
  if (simulationMode && simShowsEarlier)
    return "Earlier game: Left, Right, Home and End step through it. Space goes back";
  if (simulationMode) return "What-if board: your stones stay here. Space or sim goes back";
  if (!gameResult.empty() && outOfTime == kNobodyOutOfTime)
    return "Game over: " + gameResult + ". Reset starts a new game";
  if (outOfTime == kOwnTimeOut) return "You are out of time";
  if (outOfTime == kPeerTimeOut) return peerName + " is out of time";
  const size_t n = moveList.size();
  if (myColor == Empty) {
    return n == 0 ? "Place the first stone to play black" : peerName + " places the first stone";
  }
  const char* mine = myColor == Black ? "black" : "white";
  const char* theirs = myColor == Black ? "white" : "black";
  int proposals = 0;
  for (uint32_t cell : board.cells)
    proposals += cell == Proposal;
  if (myTurn) {
    if (myColor == Black && n < 3) {
      return std::string("Your move: opening stone ") + std::to_string(n + 1) + " of 3 (" +
             (n == 1 ? "white" : "black") + ")";
    }
    if (proposingFifth) {
      return "Your move: offer the fifth stone (" + std::to_string(proposals + 1) + " of 2)";
    }
    if (myColor == White && proposals > 0) return "Choose one of the two proposals";
    return std::string("Your move (") + mine + ")";
  }
  if (myColor == White && n < 3) return "Opening: " + peerName + " places the first three stones";
  if (myColor == Black && n == 3) return "Opening: " + peerName + " decides whether to swap";
  if (myColor == Black && proposals > 0) return "Opening: " + peerName + " chooses a proposal";
  if (myColor == White && (n == 4 || (n == 5 && proposals == 1)))
    return "Opening: " + peerName + " offers the fifth stone";
  return peerName + "'s move (" + theirs + ")";
}

std::vector<int> Game::WinningRow() const {
  const uint32_t colour = gameResult == kBlackFive   ? Black
                          : gameResult == kWhiteFive ? White
                                                     : Empty;
  if (colour == Empty) return {};
  constexpr int kSteps[4][2] = {{1, 0}, {0, 1}, {1, 1}, {1, -1}};
  // The newest stone of the winner's colour that lies in a row of five.
  for (auto move = moveList.rbegin(); move != moveList.rend(); ++move) {
    if (move->value != colour || board.at(move->x, move->y) != colour) continue;
    for (const auto& step : kSteps) {
      int x = move->x, y = move->y;
      while (board.read(x - step[0], y - step[1]) == static_cast<int64_t>(colour)) {
        x -= step[0];
        y -= step[1];
      }
      std::vector<int> row;
      for (; board.read(x, y) == static_cast<int64_t>(colour); x += step[0], y += step[1])
        row.push_back(CellIndex(x, y));
      if (row.size() >= 5) return row;
    }
  }
  return {};
}

std::string Game::StatusText() const {
  if (!gameResult.empty()) return gameResult;
  if (moveList.empty()) return "";
  return myTurn ? "your move" : "their move";
}

}  // namespace tessaro
