// What a game window does with each command it receives.
//
// The receiving side judges the stones it gets (white judges black's stones,
// black judges white's), announces a result to both logs and stops the
// clocks; the mover never judges its own stone. Nothing on this side tests the
// peer's word beyond what keeps the two boards alike: a command that no
// genuine peer sends (a colour that is no colour, a stone value that names no
// stone, a stone onto a stone, a game longer than the board) is refused whole
// with one line in the log, and everything else is applied as received.
#include <cstdio>
#include <string>

#include "game/judge.h"
#include "window/game_window.h"

namespace tessaro {

namespace {

inline constexpr const char* kBlackFive = "BLACK win, 5 in row";
inline constexpr const char* kWhiteByForbidden = "WHITE win, forbidden move";
inline constexpr const char* kWhiteFive = "WHITE win, 5 in row";

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

// More moves than the board has points: no game of ours is that long.
inline constexpr size_t kMaxGameMoves = kCellCount;

const char* ColourWord(uint32_t colour) {
  return colour == White ? "WHITE" : "BLACK";
}

// The peer's first stone, the one that settles a clash of two first stones.
bool IsFirstStoneOfClash(const GameCommand& command, size_t ownRecords) {
  Move move;
  return command.getMove(move) && MoveOnBoard(move) && move.value == Black && ownRecords == 1;
}

// Why a command is refused before it is looked at any further, or an empty
// text. Only what a genuine peer never sends is refused; a command of the
// wrong size keeps its older handling (a side of the wrong size still logs
// the sides sentence, a move of the wrong size is dropped).
std::string Refusal(const GameCommand& command) {
  switch (command.code) {
    case CmdSide: {
      int32_t side = 0;
      if (command.getSide(side) && side != Black && side != White) {
        return "a side of " + std::to_string(side);
      }
      break;
    }
    case CmdMove: {
      Move move;
      if (command.getMove(move) && move.value > Proposal) {
        return "a stone of value " + std::to_string(move.value);
      }
      break;
    }
    case CmdGame:
      if (command.data.size() > kMaxGameMoves) {
        return "a game of " + std::to_string(command.data.size()) + " moves";
      }
      break;
    default:
      break;
  }
  return {};
}

}  // namespace

void GameWindow::Refuse(const std::string& what) {
  AppendLog("Refused from " + peerName + ": " + what);
}

void GameWindow::Dispatch(GameCommand& command) {
  if (m_hWnd != nullptr) FlashWindow(TRUE);
  if (const std::string refusal = Refusal(command); !refusal.empty()) {
    Refuse(refusal);
    return;
  }
  // A CmdSide held back as half of a first-stone clash is settled by the
  // peer's first stone, which the peer sends right behind it. Anything else
  // means it was an ordinary CmdSide (Load Game sends one before its CmdGame):
  // it takes effect now, before the command that follows it.
  if (firstStoneClash && !IsFirstStoneOfClash(command, moveList.size())) {
    GameCommand held(this);
    held.setSide(White);
    DispatchSide(held);
  }
  switch (static_cast<uint32_t>(command.code)) {
    case CmdMove:
      DispatchMove(command);
      break;
    case CmdReset:
      ResetGame();
      break;
    case CmdText: {
      std::string text;
      if (command.getText(text)) {
        if (resultFollows) gameResult = text;
        AppendLog(text);
      }
      resultFollows = false;
      break;
    }
    case CmdSide:
      DispatchSide(command);
      break;
    case CmdTakeBack:
      DispatchTakeBack();
      break;
    case CmdGame:
      DispatchGame(command);
      break;
    case CmdClock:
      command.getClock(peerClock);
      break;
    case CmdGameOver:
      myClock = 0;
      resultFollows = true;
      break;
    default:
      // One box for a whole message, however many unknown commands it holds:
      // each box waits for the user.
      if (unknownBoxMessage != messagesQueued) {
        unknownBoxMessage = messagesQueued;
        AfxMessageBox("Unknown command received", MB_OK);
      }
      break;
  }
}

// One game over: CmdGameOver and the result to the peer, the result into the
// own log, and the own clock stopped.
void GameWindow::Announce(const std::string& text) {
  GameCommand command(this);
  command.setGameOver();
  SendCommand(command);
  command.setText(text);
  SendCommand(command);
  AppendLog(text);
  gameResult = text;
  myClock = 0;
}

void GameWindow::DispatchMove(GameCommand& command) {
  Move move;
  // A move off the board can only come from a damaged or hostile peer; it
  // never reaches the board.
  if (!command.getMove(move) || !MoveOnBoard(move)) return;

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
  if ((myColor == White && move.value == Black) || (myColor == Black && move.value == White)) {
    if (const char* verdict = VerdictOf(board, move)) Announce(verdict);
  }

  PlaceMove(move.x, move.y, move.value);
  ownTail = 0;

  // Whose turn: a stone from the peer gives it to this side, except to white
  // while black places the three opening stones; then the first of the
  // opening's moments below that applies.
  const size_t n = moveList.size();
  myTurn = (myColor == White && n < 3) ? 0 : 1;
  if (myColor == White && n == 3) {
    // The three opening stones are down: white may take black instead.
    if (MessageBox("Do you want to play as BLACK?", "Swap sides?", MB_YESNO) == IDYES) {
      myColor = Black;
      GameCommand reply(this);
      reply.setSide(White);
      SendCommand(reply);
      myTurn = 0;
      reply.setText(myName + " is BLACK now");
      SendCommand(reply);
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
}

// The peer takes back its last stone, one of its own colour, and the turn
// goes to it. Normally that is our last record. But stones of ours may have
// crossed the take-back on the way: here they lie above the peer's stone,
// while on the peer's board they arrive after the stone has gone. The
// crossing shows as a last record that is not of the peer's colour while
// records of ours came after the peer's last one; otherwise the last record
// goes, as it always did (in the opening white may take back black's white
// stone; after a swap black may take back a stone the peer placed as black).
void GameWindow::DispatchTakeBack() {
  const uint32_t peerColour = myColor == Black ? White : myColor == White ? Black : Empty;
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
bool GameWindow::RemoveProposals() {
  GameCommand removal(this);
  bool removed = false;
  for (int16_t x = 0; x < kBoardSize; ++x) {
    for (int16_t y = 0; y < kBoardSize; ++y) {
      if (board.at(x, y) != Proposal) continue;
      PlaceMove(x, y, Empty);
      ++ownTail;
      removal.setMove(Move{x, y, Empty});
      SendCommand(removal);
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
void GameWindow::ResolveCrossedTakeBack() {
  if (RemoveProposals()) proposingFifth = 0;
  const size_t n = moveList.size();
  myTurn = (myColor == Black && (n < 3 || proposingFifth)) ? 1 : 0;
}

void GameWindow::DispatchSide(GameCommand& command) {
  int32_t side = 0;
  const bool valid = command.getSide(side);
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
  DrawBoard();
}

// The sides sentence into the own log and to the peer, so both logs carry it.
void GameWindow::LogSides() {
  const uint32_t peerColour = myColor == White ? Black : White;
  char sentence[1024];
  std::snprintf(sentence, sizeof sentence, "%s plays %s; %s plays %s", myName.c_str(),
                ColourWord(myColor), peerName.c_str(), ColourWord(peerColour));
  AppendLog(sentence);
  GameCommand reply(this);
  reply.setText(sentence);
  SendCommand(reply);
}

// Both sides run this with the same two stones and reach the same result: the
// stone nearer the top of the board (then nearer the left) stays black; with
// both on one point, the player whose name sorts first keeps black. The other
// stone is taken off, so both boards hold one black stone and black keeps the
// turn. Nothing is sent: each side works it out alone.
void GameWindow::ResolveFirstStoneClash(const Move& peerStone) {
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
    AppendLog("Both players placed the first stone at once; place it again");
    return;
  }
  const bool ownStays = ownKey < peerKey;
  moveList.assign(1, ownStays ? own : Move{peerStone.x, peerStone.y, Black});
  Replay(board, moveList);
  RefreshMarks();
  ownTail = ownStays ? 1 : 0;
  myColor = ownStays ? Black : White;
  myTurn = ownStays ? 1 : 0;
  const uint32_t peerColour = ownStays ? White : Black;
  char sentence[1024];
  std::snprintf(sentence, sizeof sentence, "%s plays %s; %s plays %s", myName.c_str(),
                ColourWord(myColor), peerName.c_str(), ColourWord(peerColour));
  AppendLog("Both players placed a first stone at once; the one nearer the top stays");
  AppendLog(sentence);
  DrawBoard();
}

std::string GameWindow::ResultOfLine(const MoveList& moves) {
  // The stones go down one by one, each judged on the board before it as the
  // receiving side judges a stone in play, marks included (they decide which
  // threes are real). A later verdict replaces an earlier one, as a game that
  // went on after its end announces again.
  Board judged;
  std::string result;
  size_t placed = 0;
  for (const Move& move : moves) {
    if (!MoveOnBoard(move)) continue;
    const uint32_t cell = judged.at(move.x, move.y);
    if (cell == Empty || cell == ForbiddenMark) {
      if (const char* verdict = VerdictOf(judged, move)) result = verdict;
    }
    judged.at(move.x, move.y) = move.value;
    RefreshBoardMarks(judged, ++placed);
  }
  return result;
}

void GameWindow::ShowResultOfLoadedGame() {
  gameResult = ResultOfLine(moveList);
  if (gameResult.empty()) return;
  // A finished game's clock stands still, as it did when the result came.
  myClock = 0;
  AppendLog(gameResult);
}

void GameWindow::DispatchGame(GameCommand& command) {
  MoveList moves;
  // A byte naming row or column 15 cannot be a point: the whole game is
  // refused and the board stays as it was.
  if (!command.getGame(moves)) return;
  firstStoneClash = false;
  simulationMode = 0;
  board.cells.fill(Empty);
  moveList = std::move(moves);
  ownTail = 0;
  for (const Move& move : moveList)
    board.at(move.x, move.y) = move.value;
  AppendLog("Game loaded");
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
  AppendLog(text);
  GameCommand reply(this);
  reply.setText(text);
  SendCommand(reply);
  RefreshMarks();
}

}  // namespace tessaro
