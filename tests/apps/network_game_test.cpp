// Two tessaro-host processes, Alice and Bob, play through a prosody of the test's
// own, each with the real plug-in module and a profile of its own, each playing
// its lines of a two-player script. Around them the test does what real life
// does: the server dies and comes back, a host is killed and started again.
// Whatever happened, each side's profile must hold exactly what the other sent,
// once and in order.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <iterator>
#include <memory>
#include <mutex>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "game/game.h"
#include "game/little_endian.h"
#include "host/database.h"
#include "host/xmpp_server.h"
#include "sdk/plugin_api.h"
#include "tests/host/xmpp_fixture.h"

extern char** environ;

namespace tessaro {
namespace {

using host::Database;
using host::LocalXmppServer;
using namespace std::chrono_literals;

// One host process and everything it printed.
class Player {
 public:
  // Runs `args` in `folder`, its standard error into the file `errors`, with
  // this process's environment and `env` ("NAME=value" each).
  Player(const std::vector<std::string>& args, const std::string& folder, const std::string& errors,
         const std::vector<std::string>& env = {}) {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errors.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0600);
    std::vector<char*> argv;
    for (const std::string& arg : args)
      argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    std::vector<char*> envp;
    for (char** variable = environ; *variable != nullptr; ++variable)
      envp.push_back(*variable);
    for (const std::string& variable : env)
      envp.push_back(const_cast<char*>(variable.c_str()));
    envp.push_back(nullptr);
    if (posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), envp.data()) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    reader_ = std::thread([this, fd = fds[0]] {
      char buffer[4096];
      for (ssize_t n; (n = read(fd, buffer, sizeof buffer)) > 0;) {
        std::lock_guard<std::mutex> lock(mutex_);
        output_.append(buffer, static_cast<size_t>(n));
      }
      close(fd);
    });
  }
  ~Player() {
    if (pid_ > 0) {
      kill(pid_, SIGKILL);
      Wait();
    }
    if (reader_.joinable()) reader_.join();
  }
  bool started() const { return pid_ > 0; }
  std::string Output() {
    std::lock_guard<std::mutex> lock(mutex_);
    return output_;
  }
  // Waits until the output holds `text`.
  bool Printed(const std::string& text, std::chrono::seconds limit = 30s) {
    return host::testing::WaitUntil([&] { return Output().find(text) != std::string::npos; }, {},
                                    limit);
  }
  void Kill() { kill(pid_, SIGKILL); }
  // The exit status; -1 when it did not exit by itself.
  int Wait() {
    int status = 0;
    if (pid_ <= 0 || waitpid(pid_, &status, 0) != pid_) return -1;
    pid_ = -1;
    if (reader_.joinable()) reader_.join();
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

 private:
  pid_t pid_ = -1;
  std::mutex mutex_;
  std::string output_;
  std::thread reader_;
};

struct Seat {
  const char* name;
  const char* account;
  const char* other;
  const char* otherAccount;
};
constexpr Seat kAlice{"Alice", "alice", "Bob", "bob"};
constexpr Seat kBob{"Bob", "bob", "Alice", "alice"};

// The texts a profile holds of its talk with the other player, each side in order.
struct Conversation {
  std::vector<std::string> sent;
  std::vector<std::string> received;
};

class NetworkGame : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!LocalXmppServer::Installed()) GTEST_SKIP() << "prosody is not installed";
    ASSERT_FALSE(folder_.path().empty());
    std::string error;
    server_ = LocalXmppServer::Create(folder_.path() + "/xmpp", &error);
    ASSERT_TRUE(server_) << error;
    for (const Seat* seat : {&kAlice, &kBob}) {
      const std::string password = std::string("secret-") + seat->account;
      std::ofstream(Path(seat->account) + ".password") << password << "\n";
      ASSERT_TRUE(server_->AddAccount(seat->account, password, &error)) << error;
      // Both profiles exist before either host runs: a message the server kept
      // for a player before the player's profile was made would be dropped as
      // one meant for a former profile.
      ASSERT_TRUE(Database::Open(Path(seat->name) + ".db", &error)) << error;
    }
    ASSERT_TRUE(server_->Start(&error)) << error;
  }

  std::string Path(const std::string& name) const { return folder_.path() + "/" + name; }

  std::unique_ptr<Player> Start(const Seat& seat, const std::string& script,
                                const std::vector<std::string>& env = {}) {
    const std::vector<std::string> args = {TESSARO_HOST,
                                           "--headless",
                                           "--script",
                                           script,
                                           "--module",
                                           TESSARO_MODULE,
                                           "--profile",
                                           Path(seat.name) + ".db",
                                           "--name",
                                           seat.name,
                                           "--account",
                                           server_->Address(seat.account),
                                           "--server",
                                           "127.0.0.1:" + std::to_string(server_->port()),
                                           "--no-tls",
                                           "--password-file",
                                           Path(seat.account) + ".password",
                                           "--contact",
                                           server_->Address(seat.otherAccount) + "=" + seat.other};
    auto player = std::make_unique<Player>(args, folder_.path(), Path(seat.name) + ".err", env);
    EXPECT_TRUE(player->started());
    return player;
  }

  std::string Errors(const Seat& seat) const {
    std::ifstream in(Path(seat.name) + ".err");
    return std::string(std::istreambuf_iterator<char>(in), {});
  }

  // Both ended well, having played every line of their script.
  void ExpectBothPassed(Player& alice, Player& bob) {
    EXPECT_EQ(alice.Wait(), 0) << Errors(kAlice) << alice.Output();
    EXPECT_EQ(bob.Wait(), 0) << Errors(kBob) << bob.Output();
  }

  Conversation Talk(const Seat& seat) const {
    std::string error;
    auto db = Database::Open(Path(seat.name) + ".db", &error);
    Conversation talk;
    if (!db) {
      ADD_FAILURE() << error;
      return talk;
    }
    for (const host::ContactRecord& contact : db->Contacts()) {
      if (contact.name != seat.other) continue;
      for (const host::EventRecord& event : db->EventsOf(contact.handle, host::ReadFilter::kAll))
        ((event.flags & DBEF_SENT) ? talk.sent : talk.received).push_back(event.blob);
    }
    return talk;
  }

  // Nothing lost, nothing twice, order kept: what each sent is what the other got.
  void ExpectProfilesAgree(size_t atLeast) {
    const Conversation alice = Talk(kAlice);
    const Conversation bob = Talk(kBob);
    EXPECT_GE(alice.sent.size() + bob.sent.size(), atLeast);
    EXPECT_TRUE(alice.sent == bob.received)
        << "Alice sent " << alice.sent.size() << ", Bob got " << bob.received.size();
    EXPECT_TRUE(bob.sent == alice.received)
        << "Bob sent " << bob.sent.size() << ", Alice got " << alice.received.size();
  }

  host::testing::TempFolder folder_;
  std::unique_ptr<LocalXmppServer> server_;
};

// The board a player printed last ("print board"), without its legend.
std::string LastBoard(const std::string& output) {
  const std::string header = "    a b c d e f g h i j k l m n o\n";
  const size_t end = output.rfind(header);
  if (end == std::string::npos || end == 0) return std::string();
  const size_t start = output.rfind(header, end - 1);
  return start == std::string::npos ? std::string() : output.substr(start, end - start);
}

TEST_F(NetworkGame, TwoHostsPlayAWholeGameThroughTheServer) {
  auto alice = Start(kAlice, TESSARO_SAMPLES "/network_game.script");
  auto bob = Start(kBob, TESSARO_SAMPLES "/network_game.script");
  ExpectBothPassed(*alice, *bob);
  const std::string shown = alice->Output();
  EXPECT_NE(shown.find("move 1: Alice plays h8 (black)"), std::string::npos) << shown;
  EXPECT_NE(bob->Output().find("move 4: Bob plays g10 (white)"), std::string::npos);
  EXPECT_NE(shown.find("result: BLACK win, 5 in row"), std::string::npos) << shown;
  ExpectProfilesAgree(12);
}

// The server dies (SIGKILL) and comes back twice: between two moves, and while
// Alice sends 2,000 chat lines.
TEST_F(NetworkGame, ServerKilledAndRestartedLosesAndDoublesNothing) {
  auto alice = Start(kAlice, TESSARO_TESTS "/server_restart.script");
  auto bob = Start(kBob, TESSARO_TESTS "/server_restart.script");
  std::string error;
  for (const char* moment : {"move 3: Alice plays", "the burst begins"}) {
    ASSERT_TRUE(alice->Printed(moment)) << alice->Output() << Errors(kAlice);
    std::this_thread::sleep_for(20ms);
    server_->Kill();
    std::this_thread::sleep_for(300ms);
    ASSERT_TRUE(server_->Start(&error)) << error;
  }
  ExpectBothPassed(*alice, *bob);
  const std::string board = LastBoard(alice->Output());
  EXPECT_FALSE(board.empty()) << alice->Output();
  EXPECT_EQ(board, LastBoard(bob->Output()));
  ExpectProfilesAgree(2000 + 8);
}

// Bob's host is killed (SIGKILL) while it sends 500 chat lines and Alice sends
// 300, then started again with its profile: what it stored as sent goes out
// again, what Alice sent meanwhile arrives, and nothing comes twice. Bob's
// phone is online on his account all along: it shows nothing of the game, gets
// no carbon copy of it, and its receipts confirm nothing.
TEST_F(NetworkGame, HostKilledAndStartedAgainSendsWhatWasUnconfirmed) {
  host::testing::OtherClient phone(host::XmppAccount{server_->Address("bob"), "127.0.0.1",
                                                     server_->port(), "secret-bob", false});
  phone.Start();
  ASSERT_TRUE(host::testing::WaitUntil([&] { return phone.online(); }));
  auto alice = Start(kAlice, TESSARO_TESTS "/host_killed.script");
  auto bob = Start(kBob, TESSARO_TESTS "/host_killed.script");
  ASSERT_TRUE(bob->Printed("the burst begins")) << bob->Output() << Errors(kBob);
  std::this_thread::sleep_for(150ms);
  bob->Kill();
  EXPECT_EQ(bob->Wait(), -1) << "Bob's host ended before it was killed";
  auto again = Start(kBob, TESSARO_TESTS "/host_restarted.script");
  ExpectBothPassed(*alice, *again);
  const Conversation talk = Talk(kBob);
  EXPECT_GT(talk.sent.size(), 3u);  // the moves and at least some of the burst
  ExpectProfilesAgree(300 + 4);
  for (const host::IncomingStanza& message : phone.Messages()) {
    EXPECT_FALSE(message.has_body) << message.body;
    EXPECT_NE(message.from, server_->Address("bob")) << "a carbon copy";
  }
}

// ---- A message lost on the way ----

// Alice's message number kLostSeq to Bob, her stone on k11 in
// lost_message.script, is lost on the way: her host skips it on purpose.
constexpr size_t kLostSeq = 8;

// Bob's host holds what follows the lost message, asks for it, and gets it;
// or, where Alice's profile forgot it too (true), both hosts give it up, both
// logs say so, and Alice's game goes to Bob whole. Either way both boards
// agree and the game goes on.
class LostOnTheWay : public NetworkGame, public ::testing::WithParamInterface<bool> {};

TEST_P(LostOnTheWay, IsAskedForOrTheGameComesWhole) {
  const bool forgotten = GetParam();
  const std::string variable = forgotten ? "TESSARO_TEST_FORGET_SENT" : "TESSARO_TEST_LOSE_SENT";
  auto alice = Start(kAlice, TESSARO_TESTS "/lost_message.script",
                     {variable + "=" + std::to_string(kLostSeq)});
  auto bob = Start(kBob, TESSARO_TESTS "/lost_message.script");
  ExpectBothPassed(*alice, *bob);
  const std::string board = LastBoard(alice->Output());
  EXPECT_FALSE(board.empty()) << alice->Output();
  EXPECT_EQ(board, LastBoard(bob->Output()));
  EXPECT_NE(Errors(kBob).find("for its messages " + std::to_string(kLostSeq)), std::string::npos)
      << Errors(kBob);
  const Conversation alices = Talk(kAlice), bobs = Talk(kBob);
  ASSERT_GT(alices.sent.size(), kLostSeq);
  std::vector<std::string> arrived = alices.sent;
  if (forgotten) arrived.erase(arrived.begin() + kLostSeq - 1);
  EXPECT_EQ(bobs.received, arrived);
  // What each printed of its log, the wrap undone.
  for (const auto& [who, said] :
       {std::pair{alice.get(), "Messages to Bob were lost on the way"},
        std::pair{bob.get(), "Messages from Alice were lost on the way"}}) {
    std::string shown = who->Output();
    std::erase(shown, '\n');
    EXPECT_EQ(shown.find(said) != std::string::npos, forgotten) << who->Output();
  }
}

INSTANTIATE_TEST_SUITE_P(NetworkGame, LostOnTheWay, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& forgotten) {
                           return forgotten.param ? "SenderForgotIt" : "SenderKeptIt";
                         });

// ---- A host killed mid-game ----

// The moments of restart_game.script at which one host is killed: its "say"
// line of that moment, and what its output shows once the moment has come
// (empty: that line itself).
struct KillMoment {
  const char* name;
  const Seat* killed;
  const char* moment;
  const char* shows;
};
// Named in test listings by its name, not by its bytes (which hold addresses
// that change from build to build).
void PrintTo(const KillMoment& moment, std::ostream* out) {
  *out << moment.name;
}
constexpr KillMoment kKillMoments[] = {
    {"BobAskedToSwap", &kBob, "moment: the swap question",
     "a box is open: Do you want to play as BLACK?"},
    {"AliceAfterOneProposal", &kAlice, "moment: one proposal", ""},
    {"BobBeforeChoosingAProposal", &kBob, "moment: two proposals", ""},
    {"AliceAfterTheResult", &kAlice, "moment: the result, Alice", ""},
    {"BobAfterTheResult", &kBob, "moment: the result, Bob", ""},
};

class NoEvents final : public GameEvents {
  void SendSide(int32_t) override {}
  void SendMove(const Move&) override {}
  void SendTakeBack() override {}
  void SendText(const std::string&) override {}
  void SendClock(int32_t) override {}
  void SendGameOver() override {}
  void SendGame(const MoveList&) override {}
  void Log(const std::string&) override {}
  bool AskSwap() override { return false; }
  void BoardChanged() override {}
  void SideChanged() override {}
};

class KilledMidGame : public NetworkGame, public ::testing::WithParamInterface<KillMoment> {
 protected:
  // restart_game.script as the killed player plays it: up to its moment, where
  // it holds; and from there on, in the host started again.
  void SplitScript(const KillMoment& kill, std::string& before, std::string& after) const {
    std::ifstream in(TESSARO_TESTS "/restart_game.script");
    const std::string marker = std::string(kill.killed->name) + ": say " + kill.moment;
    const std::string me = std::string(kill.killed->name) + ": ";
    std::ofstream first(before = Path("before.script"));
    std::ofstream then(after = Path("after.script"));
    bool reached = false;
    for (std::string line; std::getline(in, line);) {
      if (line == marker) {
        first << me << "hold " << kill.moment << "\n";
        reached = true;
      } else {
        (reached ? then : first) << line << "\n";
      }
    }
    EXPECT_TRUE(reached) << marker;
  }

  // The game a player's profile keeps for the other player, with what arrived
  // and was not yet applied.
  struct Kept {
    std::unique_ptr<Game> game;
    std::string unapplied;
  };
  Kept KeptGame(const Seat& seat) {
    static NoEvents none;
    Kept kept{std::make_unique<Game>(none), {}};
    std::string error;
    auto db = Database::Open(Path(seat.name) + ".db", &error);
    if (!db) {
      ADD_FAILURE() << error;
      return kept;
    }
    for (const host::ContactRecord& contact : db->Contacts()) {
      if (contact.name != seat.other) continue;
      const std::optional<std::string> record =
          db->ContactSetting(contact.handle, "Tessaro", "Game");
      if (!record || record->size() < 4) break;
      const size_t size = ReadUint32LE(reinterpret_cast<const uint8_t*>(record->data()));
      EXPECT_TRUE(size <= record->size() - 4 &&
                  kept.game->Restore(std::string_view(*record).substr(4, size), &error))
          << error;
      kept.unapplied = record->substr(4 + std::min(size, record->size() - 4));
      return kept;
    }
    ADD_FAILURE() << seat.name << "'s profile keeps no game";
    return kept;
  }
};

// Either host is killed (SIGKILL) at a moment of the game and started again
// with its profile: it comes back with the game as it was, what the other sent
// meanwhile is applied after it, and the game is played to its end, with both
// boards, move lists, sides and turns alike.
TEST_P(KilledMidGame, ComesBackAndBothGamesAgree) {
  const KillMoment& kill = GetParam();
  std::string before, after;
  SplitScript(kill, before, after);
  const std::string whole = TESSARO_TESTS "/restart_game.script";
  const bool aliceKilled = kill.killed == &kAlice;
  auto alice = Start(kAlice, aliceKilled ? before : whole);
  auto bob = Start(kBob, aliceKilled ? whole : before);
  Player& killed = aliceKilled ? *alice : *bob;
  ASSERT_TRUE(killed.Printed(*kill.shows != '\0' ? kill.shows : kill.moment))
      << killed.Output() << Errors(*kill.killed);
  killed.Kill();
  EXPECT_EQ(killed.Wait(), -1) << "the host ended before it was killed";
  (aliceKilled ? alice : bob) = Start(*kill.killed, after);
  ExpectBothPassed(*alice, *bob);

  const std::string board = LastBoard(alice->Output());
  EXPECT_FALSE(board.empty()) << alice->Output();
  EXPECT_EQ(board, LastBoard(bob->Output()));
  ExpectProfilesAgree(14);
  const Kept black = KeptGame(kAlice), white = KeptGame(kBob);
  ASSERT_TRUE(black.game && white.game);
  EXPECT_EQ(black.game->moveList, white.game->moveList);
  EXPECT_EQ(black.game->moveList.size(), 12u);
  EXPECT_EQ(black.game->myColor, static_cast<uint32_t>(Black));
  EXPECT_EQ(white.game->myColor, static_cast<uint32_t>(White));
  EXPECT_NE(black.game->myTurn, white.game->myTurn);
  EXPECT_EQ(black.game->gameResult, kBlackFive);
  EXPECT_EQ(white.game->gameResult, kBlackFive);
  EXPECT_EQ(black.unapplied, "");
  EXPECT_EQ(white.unapplied, "");
}

INSTANTIATE_TEST_SUITE_P(NetworkGame, KilledMidGame, ::testing::ValuesIn(kKillMoments),
                         [](const ::testing::TestParamInfo<KillMoment>& moment) {
                           return std::string(moment.param.name);
                         });

}  // namespace
}  // namespace tessaro
