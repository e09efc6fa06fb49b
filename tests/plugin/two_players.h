// The plug-in's tests on two game windows playing each other through the
// host's loopback (WindowPair, shared with the fuzz targets), each test in a
// folder of its own with its profile beside it.
//
// `black` is the window for Bob, `white` the window for Alice, once a game has
// been opened with OpenBoth(); the names say who places the first stone in
// most tests.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/transport.h"
#include "window_pair.h"

namespace tessaro::testing {

class TwoPlayers : public ::testing::Test, public WindowPair {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Opens both contacts' windows from the contact menu.
  void OpenBoth();
  // The host and the plug-in go and start again on the same profile, as after
  // a quit or a crash: every window is gone, and OpenBoth() makes them anew.
  // The profile is a file beside the test's folder from SetUp on.
  void Restart();
  // The window of a contact, made on first use.
  GameWindow& WindowFor(HANDLE contact) { return *app->FindOrCreateWindow(contact); }
  void Settle() { ASSERT_TRUE(ui.RunUntilIdle()); }

  // A click on point (x, y) of a window's board, then everything that follows.
  void ClickPoint(GameWindow& window, int x, int y);
  // The same click queued and not yet handled: clicks posted on both boards
  // before a Settle() cross on the way, each sent before the other arrives.
  void PostClick(GameWindow& window, int x, int y);
  // The log's lines, without the line feeds.
  static std::vector<std::string> LogLines(const GameWindow& window);
  // The frames a window sent, in order (the host stores them as sent events).
  std::vector<std::string> SentFrames(HANDLE contact) const;
  // The text of the board in the judge tool's format.
  static std::string BoardText(const Board& board);

  // A game message from `contact` stored as the host stores a received one;
  // the hook queues it for the contact's window at once, and the window takes
  // it up at its next paint (nothing is run here).
  void Deliver(HANDLE contact, const std::string& text);
  // The frame of one command, built byte by byte: for frames a test sends and
  // for the frames it expects on the wire.
  static std::string FrameOf(int32_t code, const std::string& data);
  // The frame of CmdMove with (x, y, value).
  static std::string MoveFrame(int x, int y, uint32_t value);
  // After OpenBoth(), the opening with the swap declined: black (7,7), (7,8)
  // as white, (8,8); white (6,6); black's proposals (9,9) and (6,9); white
  // chooses (9,9). Both windows then hold 8 records and white has the turn.
  void PlayThroughChoice();
  // The board of a fresh game: the reset filler everywhere but the centre.
  static Board FreshBoard();

  std::string oldDirectory;
  void StartHost();
  std::string workDirectory;
};

}  // namespace tessaro::testing
