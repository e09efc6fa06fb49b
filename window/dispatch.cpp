// What a game window does with each command it receives: the command is read
// and its effect handed to the window's Game, which holds the rules.
//
// Nothing on this side tests the peer's word beyond what keeps the two boards
// alike: a command that no genuine peer sends (a colour that is no colour, a
// stone value that names no stone, a game longer than the board) is refused
// whole with one line in the log, and everything else is applied as received.
#include <string>

#include "window/game_window.h"

namespace tessaro {

namespace {

// More moves than the board has points: no game of ours is that long.
inline constexpr size_t kMaxGameMoves = kCellCount;

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

// While a command runs, a box it opens waits for the player, and the game is
// kept meanwhile (every message to the window ends with KeepGame): kept as it
// was before the command, with the command still to come, so that a restart
// meets the command, and its question, again.
void GameWindow::Dispatch(GameCommand& command) {
  gameBeforeCommand = game.Snapshot();
  dispatching = true;
  Apply(command);
  dispatching = false;
}

void GameWindow::Apply(GameCommand& command) {
  if (m_hWnd != nullptr) FlashWindow(TRUE);
  if (const std::string refusal = Refusal(command); !refusal.empty()) {
    AppendLog("Refused from " + game.peerName + ": " + refusal);
    return;
  }
  // A move off the board can only come from a damaged or hostile peer; it
  // never reaches the board.
  Move move;
  const bool stone = command.getMove(move) && MoveOnBoard(move);
  // Load Game sends a CmdSide before its CmdGame: a CmdSide held back as half
  // of a first-stone clash takes effect before whatever follows it, unless
  // that is the peer's first stone.
  game.SettleHeldSide(stone && game.IsFirstStoneOfClash(move));
  switch (static_cast<uint32_t>(command.code)) {
    case CmdMove:
      if (stone) game.ReceiveMove(move);
      break;
    case CmdReset:
      ResetGame();
      break;
    case CmdText: {
      std::string text;
      if (command.getText(text)) game.ReceiveText(text);
      break;
    }
    case CmdSide: {
      int32_t side = 0;
      const bool valid = command.getSide(side);
      game.ReceiveSide(valid, side);
      break;
    }
    case CmdTakeBack:
      game.ReceiveTakeBack();
      break;
    case CmdGame: {
      MoveList moves;
      // A byte naming row or column 15 cannot be a point: the whole game is
      // refused and the board stays as it was.
      if (command.getGame(moves)) {
        // The same game sent back whole (messages were lost) replaces nothing.
        if (moves != game.moveList) ArchiveReplaced(ArchiveReason::kReceived);
        game.ReceiveGame(std::move(moves));
      }
      break;
    }
    case CmdClock: {
      int32_t seconds = game.peerClock;
      command.getClock(seconds);
      game.ReceiveClock(seconds);
      break;
    }
    case CmdGameOver:
      game.ReceiveGameOver();
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

// ---- What the game asks of the window ----

void GameWindow::SendSide(int32_t side) {
  GameCommand command(this);
  command.setSide(side);
  SendCommand(command);
}

void GameWindow::SendMove(const Move& move) {
  GameCommand command(this);
  command.setMove(move);
  SendCommand(command);
}

void GameWindow::SendTakeBack() {
  GameCommand command(this);
  command.setTakeBack();
  SendCommand(command);
}

void GameWindow::SendText(const std::string& text) {
  GameCommand command(this);
  command.setText(text);
  SendCommand(command);
}

void GameWindow::SendClock(int32_t seconds) {
  GameCommand command(this);
  command.setClock(seconds);
  SendCommand(command);
}

void GameWindow::SendGameOver() {
  GameCommand command(this);
  command.setGameOver();
  SendCommand(command);
}

void GameWindow::SendGame(const MoveList& moves) {
  GameCommand command(this);
  command.setGame(moves);
  SendCommand(command);
}

void GameWindow::Log(const std::string& text) {
  AppendLog(text);
}

bool GameWindow::AskSwap() {
  return MessageBox("Do you want to play as BLACK?", "Swap sides?", MB_YESNO) == IDYES;
}

bool GameWindow::AskDraw() {
  return MessageBox((game.peerName + " offers a draw. Do you accept?").c_str(), "Draw offered",
                    MB_YESNO) == IDYES;
}

void GameWindow::BoardChanged() {
  InvalidateBoard();
}

void GameWindow::SideChanged() {
  DrawBoard();
}

}  // namespace tessaro
