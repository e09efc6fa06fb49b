// Routing of stored game messages to the windows and the registry of windows,
// with the plug-in's core linked in so the windows' fields can be seen.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "two_players.h"

namespace tessaro::testing {
namespace {

using ::testing::ElementsAre;

// CmdText "hello" and CmdText "again" as a peer frames them.
constexpr char kHelloFrame[] = "#RQ020000000500000068656C6C6F";
constexpr char kAgainFrame[] = "#RQ0200000005000000616761696E";

class Registry : public TwoPlayers {
 protected:
  // Stores a received ICQ message of the contact, as the protocol does.
  HANDLE Receive(HANDLE contact, std::string blob) {
    host::EventRecord event;
    event.contact = contact;
    event.module = "ICQ";
    event.type = EVENTTYPE_MESSAGE;
    event.blob = std::move(blob);
    return host->AddEvent(event);
  }

  // How many times the window's dialog initialisation ran: each run sets the
  // large icon once, nothing else does.
  size_t InitDialogRuns(const GameWindow& window) {
    size_t runs = 0;
    for (const IconRecord& icon : ui.driver().Icons(window.m_hWnd)) {
      runs += icon.big ? 1 : 0;
    }
    return runs;
  }

  static std::vector<UINT> SystemMenuIds(GameWindow& window) {
    std::vector<UINT> ids;
    CMenu* menu = window.GetSystemMenu(FALSE);
    if (menu == nullptr) return ids;
    for (const CMenu::Item& item : menu->Items())
      ids.push_back(item.flags & MF_SEPARATOR ? 0 : item.id);
    return ids;
  }
};

// ---- Incoming messages ----

TEST_F(Registry, HiddenWindowHoldsTheTextUntilAPaintDrainsIt) {
  Receive(bob, std::string(kHelloFrame) + '\0');
  Receive(bob, std::string(kAgainFrame) + '\0');
  ASSERT_EQ(app->registry().size(), 1u);
  GameWindow& window = *app->registry()[0];
  EXPECT_EQ(window.hContact, bob);
  EXPECT_EQ(window.game.peerName, "Bob");
  EXPECT_EQ(window.game.myName, "Me");
  // Nothing is decoded before the window's paint: both texts wait in one
  // string, with one inbox entry per message.
  EXPECT_EQ(window.incomingText, std::string(kHelloFrame) + kAgainFrame);
  EXPECT_EQ(window.inbox.size(), 2u);
  EXPECT_TRUE(window.LogText().empty());

  Settle();
  EXPECT_TRUE(window.incomingText.empty());
  EXPECT_TRUE(window.inbox.empty());
  EXPECT_THAT(LogLines(window), ElementsAre("hello", "again"));
  EXPECT_FALSE(window.IsWindowVisible());
  EXPECT_TRUE(ui.driver().MessageBoxes().empty());
}

TEST_F(Registry, BlobWithoutAZeroIsReadWhole) {
  // A blob longer than the host's usual 16384-byte event buffer, with no
  // closing zero anywhere: it is read whole, never cut inside a frame.
  std::string blob = "#RQ";
  while (blob.size() < 20000)
    blob += "41";
  Receive(alice, blob);
  ASSERT_EQ(app->registry().size(), 1u);
  EXPECT_EQ(app->registry()[0]->incomingText, blob);
}

TEST_F(Registry, TextStopsAtTheFirstZeroByte) {
  Receive(alice, std::string(kHelloFrame) + '\0' + "414243" + '\0');
  ASSERT_EQ(app->registry().size(), 1u);
  EXPECT_EQ(app->registry()[0]->incomingText, kHelloFrame);
}

TEST_F(Registry, MessagesGoToTheSendersWindow) {
  OpenBoth();
  Receive(alice, std::string(kHelloFrame) + '\0');
  Receive(bob, std::string(kAgainFrame) + '\0');
  Settle();
  ASSERT_EQ(app->registry().size(), 2u);
  EXPECT_THAT(LogLines(*white), ElementsAre("hello"));
  EXPECT_THAT(LogLines(*black), ElementsAre("again"));
}

// ---- The registry's key ----

TEST_F(Registry, ContactsWithOneNameGetTheirOwnWindows) {
  const HANDLE first = host->AddContact("Carol");
  const HANDLE second = host->AddContact("Carol");
  // The two Carols are each other's mirrors, so what one window sends arrives
  // from the other contact.
  auto loopback = std::make_unique<host::LoopbackTransport>(host->IncomingSink());
  ASSERT_TRUE(loopback->Pair(first, second));
  host->SetTransport(std::move(loopback));

  app->OpenGameWindow(first);
  app->OpenGameWindow(second);
  Settle();
  ASSERT_EQ(app->registry().size(), 2u);
  GameWindow& one = WindowFor(first);
  GameWindow& other = WindowFor(second);
  ASSERT_NE(&one, &other);
  EXPECT_EQ(one.hContact, first);
  EXPECT_EQ(other.hContact, second);
  EXPECT_EQ(one.game.peerName, "Carol");
  EXPECT_EQ(other.game.peerName, "Carol");

  ClickPoint(one, 7, 7);
  EXPECT_EQ(SentFrames(first).size(), 2u);  // the side and the stone
  EXPECT_EQ(other.game.board.at(7, 7), Black);
  EXPECT_EQ(other.game.myColor, White);
  EXPECT_EQ(one.game.board.at(7, 7), Black);

  const size_t sentForOther = SentFrames(second).size();
  ASSERT_TRUE(ui.TypeText(other, 1008, "hi"));
  ASSERT_TRUE(ui.KeyDown(VK_RETURN));
  Settle();
  EXPECT_EQ(SentFrames(second).size(), sentForOther + 1);
  EXPECT_EQ(SentFrames(first).size(), 2u);
  EXPECT_EQ(LogLines(one).back(), "Me: hi");
  EXPECT_EQ(app->registry().size(), 2u);
}

TEST_F(Registry, RenamedContactKeepsItsWindow) {
  OpenBoth();
  ClickPoint(*black, 7, 7);
  ASSERT_TRUE(host->RenameContact(alice, "Alicia"));

  app->OpenGameWindow(alice);
  Receive(alice, std::string(kHelloFrame) + '\0');
  Settle();
  ASSERT_EQ(app->registry().size(), 2u);
  EXPECT_EQ(&WindowFor(alice), white);
  EXPECT_EQ(white->game.board.at(7, 7), Black);
  EXPECT_EQ(LogLines(*white).back(), "hello");

  // A new contact that takes the old name is someone else.
  const HANDLE newAlice = host->AddContact("Alice");
  app->OpenGameWindow(newAlice);
  Settle();
  ASSERT_EQ(app->registry().size(), 3u);
  EXPECT_NE(&WindowFor(newAlice), white);
  EXPECT_EQ(WindowFor(newAlice).game.board.at(7, 7), Empty);
}

// ---- The contact-menu command ----

TEST_F(Registry, EveryOpeningReinitialisesButAddsTheAboutItemOnce) {
  app->OpenGameWindow(bob);
  Settle();
  GameWindow& window = WindowFor(bob);
  const std::vector<UINT> menuAfterFirst = SystemMenuIds(window);
  // Created with its dialog initialisation, then the one posted at creation
  // and the one posted by this opening.
  EXPECT_EQ(InitDialogRuns(window), 3u);
  ASSERT_GE(menuAfterFirst.size(), 2u);
  EXPECT_EQ(menuAfterFirst[menuAfterFirst.size() - 2], 0u);  // the separator
  EXPECT_EQ(menuAfterFirst.back(), 0x0010u);

  for (int i = 0; i < 3; ++i) {
    app->OpenGameWindow(bob);
    Settle();
  }
  EXPECT_EQ(InitDialogRuns(window), 6u);
  EXPECT_EQ(SystemMenuIds(window), menuAfterFirst);
  EXPECT_EQ(app->registry().size(), 1u);
  EXPECT_TRUE(window.IsWindowVisible());
}

TEST_F(Registry, MenuInvokeThroughTheHostOpensTheWindow) {
  std::vector<host::MenuItem> items = host->MenuItemsFor(alice);
  ASSERT_EQ(items.size(), 1u);
  EXPECT_EQ(items[0].name, "&Tessaro");
  ASSERT_TRUE(host->InvokeMenuItem(alice, items[0].handle));
  Settle();
  ASSERT_EQ(app->registry().size(), 1u);
  EXPECT_EQ(app->registry()[0]->hContact, alice);
  EXPECT_TRUE(app->registry()[0]->IsWindowVisible());
  std::string title;
  app->registry()[0]->GetWindowText(title);
  EXPECT_EQ(title, "Alice");
}

}  // namespace
}  // namespace tessaro::testing
