// The messenger's main window and a player's set-up, on the headless backend.
#include "apps/host_window.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <vector>

#include "apps/account_dialogs.h"
#include "apps/platform_queue.h"
#include "apps/player.h"
#include "framework/headless/headless.h"
#include "tests/host/xmpp_fixture.h"

namespace tessaro {
namespace {

class HostWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    host_ = host::Host::Create(queue_, {}, &error);
    ASSERT_NE(host_, nullptr) << error;
    HostWindow::AddResources(resources_);
    ui_.platform().SetResourceModule(&resources_);
  }
  void TearDown() override {
    window_.reset();
    host_.reset();
    ui_.platform().SetResourceModule(nullptr);
  }

  // Registers a contact-menu item whose service records the contacts it was
  // called for; protocol null offers it for every contact.
  void AddItem(const char* name, const char* service, const char* protocol, int position) {
    host_->services().CreateService(service, [this, name](WPARAM contact, LPARAM) -> INT_PTR {
      calls_.push_back({name, reinterpret_cast<HANDLE>(contact)});
      return 0;
    });
    CLISTMENUITEM item{};
    item.cbSize = sizeof item;
    item.pszName = const_cast<char*>(name);
    item.position = position;
    item.pszService = const_cast<char*>(service);
    item.pszContactOwner = const_cast<char*>(protocol);
    ASSERT_NE(host_->CallService(MS_CLIST_ADDCONTACTMENUITEM, 0, reinterpret_cast<LPARAM>(&item)),
              0);
  }
  HostWindow& Open() {
    window_ = std::make_unique<HostWindow>(*host_);
    EXPECT_TRUE(window_->Open());
    ui_.RunUntilIdle();
    return *window_;
  }
  static CPoint RowPoint(int row) {
    return CPoint(HostWindow::kListLeft + 5,
                  HostWindow::kListTop + row * HostWindow::kRowHeight + 4);
  }

  Headless ui_;
  PlatformQueue queue_;
  ResourceModule resources_;
  std::unique_ptr<host::Host> host_;
  std::unique_ptr<HostWindow> window_;
  std::vector<std::pair<std::string, HANDLE>> calls_;
};

TEST_F(HostWindowTest, ShowsTheUserAndEachContactARow) {
  host_->SetUserName("Alice");
  const HANDLE bob = host_->AddContact("Bob");
  const HANDLE carol = host_->AddContact("Carol", "MSN");
  HostWindow& window = Open();
  std::string text;
  window.GetDlgItemText(HostWindow::kUserName, text);
  EXPECT_EQ(text, "Alice");
  window.GetWindowText(text);
  EXPECT_EQ(text, "Contacts - Alice");
  EXPECT_EQ(window.Rows(), (std::vector<HANDLE>{bob, carol}));
  EXPECT_EQ(window.Selected(), 0);
  // The selected row is drawn highlighted, the one under it is not.
  EXPECT_EQ(ui_.Pixel(window, HostWindow::kListRight - 3, RowPoint(0).y), RGB(0, 0, 128));
  EXPECT_EQ(ui_.Pixel(window, HostWindow::kListRight - 3, RowPoint(1).y), RGB(255, 255, 255));
}

TEST_F(HostWindowTest, AClickSelectsTheRowUnderTheMouse) {
  host_->AddContact("Bob");
  host_->AddContact("Carol");
  HostWindow& window = Open();
  const struct {
    CPoint at;
    int row;
    int selectedAfter;
  } cases[] = {
      {RowPoint(1), 1, 1},
      {RowPoint(0), 0, 0},
      {RowPoint(2), -1, 0},  // below the last contact: nothing changes
      {CPoint(HostWindow::kListLeft - 2, RowPoint(1).y), -1, 0},
      {CPoint(HostWindow::kListRight, RowPoint(1).y), -1, 0},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(window.RowAt(c.at), c.row) << c.at.x << "," << c.at.y;
    ASSERT_TRUE(ui_.Click(window, c.at));
    EXPECT_EQ(window.Selected(), c.selectedAfter) << c.at.x << "," << c.at.y;
  }
  EXPECT_EQ(ui_.Pixel(window, HostWindow::kListRight - 3, RowPoint(1).y), RGB(255, 255, 255));
}

TEST_F(HostWindowTest, EachRowShowsTheStatusItsModuleSet) {
  const HANDLE bob = host_->AddContact("Bob", "ICQ");
  const HANDLE carol = host_->AddContact("Carol", "ICQ");
  HostWindow& window = Open();
  auto set = [&](HANDLE contact, const char* text) {
    return host_->CallService(MS_CLIST_SETCONTACTSTATUS, reinterpret_cast<WPARAM>(contact),
                              reinterpret_cast<LPARAM>(text));
  };
  // 62 bytes of 'x' and a two-byte character: cutting at 63 bytes would split it.
  const std::string longText = std::string(62, 'x') + "\xC3\xA9" + "more";
  const struct {
    HANDLE contact;
    const char* text;
    INT_PTR result;
    const char* bobRow;
  } steps[] = {
      {bob, "your move", 0, "Bob | your move |  | "},
      {carol, "their move", 0, "Bob | your move |  | "},
      {bob, "BLACK win, 5 in row", 0, "Bob | BLACK win, 5 in row |  | "},
      {bob, "", 0, "Bob |  |  | "},
      {bob, nullptr, 0, "Bob |  |  | "},
      {reinterpret_cast<HANDLE>(0x5555), "your move", 1, "Bob |  |  | "},
  };
  for (const auto& step : steps) {
    EXPECT_EQ(set(step.contact, step.text), step.result) << (step.text ? step.text : "NULL");
    ui_.RunUntilIdle();
    EXPECT_EQ(window.RowText(0), step.bobRow) << (step.text ? step.text : "NULL");
  }
  EXPECT_EQ(window.RowText(1), "Carol | their move |  | ");
  set(bob, longText.c_str());
  EXPECT_EQ(host_->StatusOf(bob), std::string(62, 'x'));
  // The list shows the status: the status column is no longer blank.
  EXPECT_NE(ui_.Pixel(window, HostWindow::kListLeft + 77, RowPoint(1).y), RGB(255, 255, 255));
}

TEST_F(HostWindowTest, TheMenuOffersTheItemsOfTheContactsProtocolOnly) {
  const HANDLE bob = host_->AddContact("Bob", "ICQ");
  const HANDLE carol = host_->AddContact("Carol", "MSN");
  AddItem("&Tessaro", "Test/Game", "ICQ", 1);
  AddItem("&History", "Test/History", nullptr, 0);
  AddItem("&Nudge", "Test/Nudge", "MSN", 2);
  HostWindow& window = Open();

  std::vector<std::string> bobItems, carolItems;
  for (const host::MenuItem& item : window.MenuFor(bob))
    bobItems.push_back(item.name);
  for (const host::MenuItem& item : window.MenuFor(carol))
    carolItems.push_back(item.name);
  EXPECT_EQ(bobItems, (std::vector<std::string>{"&History", "&Tessaro"}));
  EXPECT_EQ(carolItems, (std::vector<std::string>{"&History", "&Nudge"}));

  EXPECT_TRUE(window.Choose(bob, 1));
  EXPECT_TRUE(window.Choose(carol, 1));
  EXPECT_FALSE(window.Choose(bob, 2));      // no third item
  EXPECT_FALSE(window.Choose(nullptr, 0));  // the user has no contact menu
  ASSERT_EQ(calls_.size(), 2u);
  EXPECT_EQ(calls_[0], std::make_pair(std::string("&Tessaro"), bob));
  EXPECT_EQ(calls_[1], std::make_pair(std::string("&Nudge"), carol));
}

TEST_F(HostWindowTest, AMenuThatCannotBeShownChoosesNothing) {
  host_->AddContact("Bob");
  AddItem("&Tessaro", "Test/Game", "ICQ", 1);
  HostWindow& window = Open();
  // The headless backend shows no pop-up menus: a right click and the button
  // must then leave everything as it was.
  EXPECT_TRUE(ui_.PressButton(window, HostWindow::kMenuButton));
  ui_.platform().PostMessage(window.m_hWnd, WM_RBUTTONDOWN, MK_RBUTTON,
                             MAKELPARAM(RowPoint(0).x, RowPoint(0).y));
  ui_.RunUntilIdle();
  EXPECT_TRUE(calls_.empty());
  EXPECT_TRUE(window.IsWindowVisible());
}

TEST_F(HostWindowTest, ClosingTheWindowEndsTheProgramButEscapeDoesNot) {
  HostWindow& window = Open();
  ASSERT_TRUE(ui_.Focus(window));
  EXPECT_TRUE(ui_.KeyDown(VK_ESCAPE));
  EXPECT_TRUE(window.IsWindowVisible());
  EXPECT_FALSE(ui_.platform().QuitPending());
  EXPECT_TRUE(ui_.SysCommand(window, SC_CLOSE));
  EXPECT_FALSE(window.IsWindowVisible());
  EXPECT_TRUE(ui_.platform().QuitPending());
}

TEST_F(HostWindowTest, DescribesWhatTheVisibleWindowsShow) {
  host_->SetUserName("Alice");
  HostWindow& window = Open();
  const std::string text = DescribeWindows(ui_.platform());
  EXPECT_NE(text.find("window Contacts - Alice\n"), std::string::npos) << text;
  EXPECT_NE(text.find("control 901 Alice\n"), std::string::npos) << text;
  window.ShowWindow(SW_HIDE);
  EXPECT_EQ(DescribeWindows(ui_.platform()), "");
}

TEST_F(HostWindowTest, ShowsTheConnectionAndAnswersContactRequests) {
  // Two strangers wrote while the host was not running.
  const std::filesystem::path profile =
      std::filesystem::temp_directory_path() / "tessaro-host-window-requests.db";
  std::filesystem::remove(profile);
  {
    std::string error;
    auto db = host::Database::Open(profile.string(), &error);
    ASSERT_NE(db, nullptr) << error;
    ASSERT_TRUE(db->AddRequest("carol@example.org", "hello", 1));
    ASSERT_TRUE(db->AddRequest("dave@example.org", "hi", 2));
  }
  host_.reset();
  host::HostOptions options;
  options.profile_path = profile.string();
  std::string error;
  host_ = host::Host::Create(queue_, options, &error);
  ASSERT_NE(host_, nullptr) << error;
  HostWindow& window = Open();
  const auto shows = [&](int id) {
    std::string text;
    window.GetDlgItemText(id, text);
    return text;
  };
  EXPECT_EQ(shows(HostWindow::kConnection), "Connection: offline");
  EXPECT_EQ(shows(HostWindow::kRequestLabel), "2 contact requests wait; the oldest:");
  EXPECT_EQ(shows(HostWindow::kRequest), "From: carol@example.org\r\nWrote a message:\r\nhello");

  ASSERT_TRUE(ui_.PressButton(window, HostWindow::kAcceptButton));
  const HANDLE carol = host_->ContactByAddress("carol@example.org");
  ASSERT_NE(carol, nullptr);
  EXPECT_STREQ(host_->DisplayName(carol), "carol");
  EXPECT_EQ(window.Rows(), std::vector<HANDLE>{carol});
  EXPECT_EQ(shows(HostWindow::kRequest), "From: dave@example.org\r\nWrote a message:\r\nhi");
  // The row and the line over the list name the network and the address,
  // never the module's own protocol name.
  EXPECT_TRUE(window.RowText(0).ends_with(" | XMPP carol@example.org")) << window.RowText(0);
  EXPECT_EQ(shows(902), "Contacts: carol is carol@example.org (XMPP)");

  // Declining a stranger who merely wrote drops the request.
  ASSERT_TRUE(ui_.PressButton(window, HostWindow::kDeclineButton));
  EXPECT_EQ(host_->ContactByAddress("dave@example.org"), nullptr);
  EXPECT_TRUE(host_->ContactRequests().empty());
  EXPECT_EQ(shows(HostWindow::kRequest), "");
  EXPECT_EQ(shows(HostWindow::kRequestLabel), "No contact request waits.");
  // With nothing to answer, the buttons cannot be pressed.
  EXPECT_FALSE(ui_.PressButton(window, HostWindow::kAcceptButton));
  window_.reset();
  host_.reset();
  std::filesystem::remove(profile);
}

// A server whose certificate is refused: the window says why, offers Try
// Again, and asks once whether to trust the certificate, naming what it is
// for; Yes keeps its fingerprint in the profile and connects at once.
TEST_F(HostWindowTest, AsksOnceToTrustARefusedCertificate) {
  if (!host::LocalXmppServer::Installed()) GTEST_SKIP() << "prosody is not installed";
  host::testing::TempFolder folder;
  std::string error;
  ASSERT_TRUE(host::testing::MakeCertificate(folder.path(), "self", "localhost", 30, true, &error))
      << error;
  auto server = host::LocalXmppServer::Create(folder.path() + "/server", &error);
  ASSERT_NE(server, nullptr) << error;
  ASSERT_TRUE(server->AddAccount("alice", "pw", &error)) << error;
  const std::string base = folder.path() + "/self";
  ASSERT_TRUE(server->UseCertificate(base + ".pem", base + ".key", &error)) << error;
  ASSERT_TRUE(server->Start(&error)) << error;
  ASSERT_TRUE(host_->SetAccount({server->Address("alice"), "127.0.0.1", server->port(), "pw"}));
  HostWindow& window = Open();
  std::string shown;
  bool retry = false;
  ui_.AnswerMessageBox(
      IDYES,
      [&] {
        window.GetDlgItemText(HostWindow::kConnection, shown);
        retry = window.GetDlgItem(HostWindow::kRetryButton)->IsWindowEnabled();
      },
      "Trust this certificate for localhost?");
  ASSERT_TRUE(host_->ConnectXmpp(&error, [&] { window.Refresh(); })) << error;
  ASSERT_TRUE(
      host::testing::WaitUntil([&] { return host_->ConnectionState() == host::LinkState::kOnline; },
                               [&] { ui_.RunUntilIdle(); }));
  EXPECT_EQ(
      shown.rfind("Connection: waiting to reconnect (the server's certificate is self-signed", 0),
      0u)
      << shown;
  EXPECT_TRUE(retry);
  const std::vector<ShownRecord> boxes = ui_.driver().MessageBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_TRUE(boxes[0].answered);
  const std::optional<host::CertificateInfo> self =
      host::ReadTrustedCertificate(host::testing::ReadWhole(base + ".fp"), &error);
  ASSERT_TRUE(self) << error;
  EXPECT_NE(boxes[0].text.find(host::FormatFingerprint(self->fingerprint)), std::string::npos);
  EXPECT_EQ(host_->Account()->trusted_certificate, self->fingerprint);
  window.Refresh();
  EXPECT_FALSE(window.GetDlgItem(HostWindow::kRetryButton)->IsWindowEnabled());
  window_.reset();  // the link's hook calls the window: both go before the server
  host_.reset();
}

// Add Contact asks the address for its presence; Decline refuses a request to
// see ours and Accept grants it, each as the other side's client sees it.
TEST_F(HostWindowTest, AddsContactsAndAnswersSubscriptionRequestsOverTheServer) {
  if (!host::LocalXmppServer::Installed()) GTEST_SKIP() << "prosody is not installed";
  host::testing::TempFolder folder;
  std::string error;
  auto server = host::LocalXmppServer::Create(folder.path() + "/server", &error);
  ASSERT_NE(server, nullptr) << error;
  for (const char* user : {"alice", "bob", "carol", "dave"})
    ASSERT_TRUE(server->AddAccount(user, "pw", &error)) << error;
  ASSERT_TRUE(server->Start(&error)) << error;
  const auto account = [&](const char* user) {
    return host::XmppAccount{server->Address(user), "127.0.0.1", server->port(), "pw", false};
  };
  std::vector<std::unique_ptr<host::testing::OtherClient>> others;
  for (const char* user : {"bob", "carol", "dave"}) {
    others.push_back(std::make_unique<host::testing::OtherClient>(account(user)));
    others.back()->Start();
  }
  host::testing::OtherClient& carol = *others[1];
  host::testing::OtherClient& dave = *others[2];
  ASSERT_TRUE(host_->SetAccount(account("alice")));
  HostWindow& window = Open();
  ASSERT_TRUE(host_->ConnectXmpp(&error, [&] { window.Refresh(); })) << error;
  const auto pump = [&] { ui_.RunUntilIdle(); };
  ASSERT_TRUE(host::testing::WaitUntil(
      [&] {
        return host_->ConnectionState() == host::LinkState::kOnline && others[0]->online() &&
               others[1]->online() && others[2]->online();
      },
      pump));
  const auto got = [&](size_t other, const std::string& presence) {
    const std::vector<std::string> seen = others[other]->Presences();
    return std::find(seen.begin(), seen.end(), presence) != seen.end();
  };
  const auto shows = [&](int id) {
    std::string text;
    window.GetDlgItemText(id, text);
    return text;
  };

  // A module loaded since installed resources of its own: the window's dialog
  // still comes from the host's.
  ResourceModule module;
  ui_.platform().SetResourceModule(&module);
  // An address that is none makes no contact: the dialog stays open with its
  // reason (AddressProblem) until the person cancels.
  ui_.AnswerDialog(
      {AddContactDialog::kTemplateId, {{AddContactDialog::kAddress, "bob"}}, IDOK, {}});
  ASSERT_TRUE(ui_.PressButton(window, HostWindow::kAddButton));
  EXPECT_FALSE(ui_.driver().Shown().back().answered);
  EXPECT_TRUE(host_->Contacts().empty());
  ui_.AnswerDialog(
      {AddContactDialog::kTemplateId,
       {{AddContactDialog::kAddress, " Bob@localhost "}, {AddContactDialog::kName, "Bob"}},
       IDOK,
       {}});
  ASSERT_TRUE(ui_.PressButton(window, HostWindow::kAddButton));
  const HANDLE added = host_->ContactByAddress("bob@localhost");
  ASSERT_NE(added, nullptr);
  EXPECT_STREQ(host_->DisplayName(added), "Bob");
  EXPECT_EQ(window.Rows(), std::vector<HANDLE>{added});
  ASSERT_TRUE(host::testing::WaitUntil([&] { return got(0, "alice@localhost subscribe"); }, pump));

  // Two strangers ask to see Alice's presence, the first with a few words.
  const std::string words =
      "Hello Alice, it is Carol from the club. Shall we play a game "
      "of renju tonight? I am online after eight.";
  carol.transport().SendRaw("<presence to='alice@localhost' type='subscribe'><status>" + words +
                            "</status></presence>");
  ASSERT_TRUE(host::testing::WaitUntil([&] { return host_->ContactRequests().size() == 1; }, pump));
  dave.transport().SendPresence("alice@localhost", "subscribe");
  ASSERT_TRUE(host::testing::WaitUntil([&] { return host_->ContactRequests().size() == 2; }, pump));
  EXPECT_EQ(shows(HostWindow::kRequestLabel), "2 contact requests wait; the oldest:");
  // The box breaks the words to its width, at spaces: with the breaks read
  // as spaces, the text is whole.
  std::string whole = shows(HostWindow::kRequest);
  EXPECT_GT(std::count(whole.begin(), whole.end(), '\n'), 2);
  for (size_t at; (at = whole.find("\r\n")) != std::string::npos;)
    whole.replace(at, 2, " ");
  EXPECT_EQ(whole, "From: carol@localhost Asks to see when you are online, saying: " + words);

  ASSERT_TRUE(ui_.PressButton(window, HostWindow::kDeclineButton));
  EXPECT_EQ(host_->ContactByAddress("carol@localhost"), nullptr);
  EXPECT_EQ(shows(HostWindow::kRequest),
            "From: dave@localhost\r\nAsks to see when you are online.");
  ASSERT_TRUE(
      host::testing::WaitUntil([&] { return got(1, "alice@localhost unsubscribed"); }, pump));

  ASSERT_TRUE(ui_.PressButton(window, HostWindow::kAcceptButton));
  EXPECT_NE(host_->ContactByAddress("dave@localhost"), nullptr);
  EXPECT_TRUE(host_->ContactRequests().empty());
  ASSERT_TRUE(host::testing::WaitUntil([&] { return got(2, "alice@localhost subscribed"); }, pump));
  EXPECT_FALSE(got(1, "alice@localhost subscribed"));
  EXPECT_FALSE(got(2, "alice@localhost unsubscribed"));
  window_.reset();
  host_.reset();
  ui_.platform().SetResourceModule(nullptr);
}

// ---- The set-up of an account in a dialog ----

// Each try shows its outcome in the dialog; a refused one stores nothing, and
// the one the server accepts stores the name and the account in a profile only
// its owner can read.
TEST_F(HostWindowTest, TheSetUpDialogStoresOnlyAnAccountTheServerAccepts) {
  if (!host::LocalXmppServer::Installed()) GTEST_SKIP() << "prosody is not installed";
  host::testing::TempFolder folder;
  std::string error;
  auto server = host::LocalXmppServer::Create(folder.path() + "/server", &error);
  ASSERT_NE(server, nullptr) << error;
  ASSERT_TRUE(server->AddAccount("alice", "pw", &error)) << error;
  ASSERT_TRUE(server->Start(&error)) << error;
  const std::string here = "127.0.0.1:" + std::to_string(server->port());
  // A port nobody listens on: one this process had and gave back.
  const int probe = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in any{};
  any.sin_family = AF_INET;
  any.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t size = sizeof any;
  ASSERT_EQ(::bind(probe, reinterpret_cast<sockaddr*>(&any), sizeof any), 0);
  ASSERT_EQ(::getsockname(probe, reinterpret_cast<sockaddr*>(&any), &size), 0);
  ::close(probe);
  const std::string nobody = "127.0.0.1:" + std::to_string(ntohs(any.sin_port));

  const std::string profile = folder.path() + "/Alice.db";
  host_.reset();
  host::HostOptions options;
  options.profile_path = profile;
  host_ = host::Host::Create(queue_, options, &error);
  ASSERT_NE(host_, nullptr) << error;
  const struct {
    const char* address;
    const char* password;
    std::string server;
    const char* says;  // the start of the status line afterwards
  } tries[] = {
      {"alice", "pw", here, "\"alice\" is not an address"},
      {"alice@localhost", "", here, "Type the account's password."},
      {"alice@localhost", "pw", "127.0.0.1:0", "\"127.0.0.1:0\" is not a server"},
      {"alice@localhost", "wrong", here,
       "Not connected: the server localhost refused the password. Nothing was stored."},
      {"alice@localhost", "pw", nobody, "Not connected: the server localhost cannot be reached"},
      {" alice@localhost ", "pw", here, ""},  // accepted: the dialog ends
  };
  SetupDialog dialog(*host_, "");
  ui_.AnswerDialog(
      {SetupDialog::kTemplateId, {}, IDCANCEL, [&] {
         for (const auto& t : tries) {
           SCOPED_TRACE(t.password + std::string(" ") + t.server);
           dialog.SetDlgItemText(SetupDialog::kAddress, t.address);
           dialog.SetDlgItemText(SetupDialog::kPassword, t.password);
           dialog.SetDlgItemText(SetupDialog::kName, *t.says ? "" : "Alice");
           dialog.SetDlgItemText(SetupDialog::kServer, t.server);
           ASSERT_TRUE(ui_.PressButton(dialog, IDOK));
           ASSERT_TRUE(host::testing::WaitUntil(
               [&] { return dialog.IsModalEnded() || !dialog.Status().starts_with("Connecting"); },
               [&] { ui_.RunUntilIdle(); }));
           if (!*t.says) break;
           EXPECT_TRUE(dialog.Status().starts_with(t.says)) << dialog.Status();
           EXPECT_FALSE(host_->Account().has_value());
           EXPECT_STREQ(host_->DisplayName(nullptr), host::kDefaultUserName);
         }
       }});
  EXPECT_EQ(dialog.DoModal(), IDOK);
  EXPECT_STREQ(host_->DisplayName(nullptr), "Alice");
  const std::optional<host::XmppAccount> stored = host_->Account();
  ASSERT_TRUE(stored);
  EXPECT_EQ(stored->address, "alice@localhost");
  EXPECT_EQ(stored->password, "pw");
  EXPECT_EQ(stored->server, "127.0.0.1");
  EXPECT_EQ(stored->port, server->port());
  EXPECT_FALSE(stored->require_tls);  // a server on this machine that offers no TLS
  host_.reset();
  EXPECT_EQ(std::filesystem::status(profile).permissions() & std::filesystem::perms::all,
            std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
}

// A server whose certificate is self-signed, here on this machine and offering
// TLS: each Connect names the reason and asks once; No stores nothing, Yes logs
// in trusting that certificate, and the profile keeps its fingerprint, so the
// next start connects without asking.
TEST_F(HostWindowTest, TheSetUpDialogAsksOnceToTrustASelfSignedServer) {
  if (!host::LocalXmppServer::Installed()) GTEST_SKIP() << "prosody is not installed";
  host::testing::TempFolder folder;
  std::string error;
  ASSERT_TRUE(host::testing::MakeCertificate(folder.path(), "self", "localhost", 30, true, &error))
      << error;
  const std::string base = folder.path() + "/self";
  const std::optional<host::CertificateInfo> self =
      host::ReadTrustedCertificate(host::testing::ReadWhole(base + ".fp"), &error);
  ASSERT_TRUE(self) << error;
  auto server = host::LocalXmppServer::Create(folder.path() + "/server", &error);
  ASSERT_NE(server, nullptr) << error;
  ASSERT_TRUE(server->AddAccount("alice", "pw", &error)) << error;
  ASSERT_TRUE(server->UseCertificate(base + ".pem", base + ".key", &error)) << error;
  ASSERT_TRUE(server->Start(&error)) << error;
  const std::string profile = folder.path() + "/Alice.db";
  host::HostOptions options;
  options.profile_path = profile;
  host_.reset();
  host_ = host::Host::Create(queue_, options, &error);
  ASSERT_NE(host_, nullptr) << error;

  SetupDialog dialog(*host_, "Alice");
  std::vector<std::string> said;  // the status line while each question is open
  const auto connect = [&](int answer) {
    ui_.AnswerMessageBox(
        answer, [&] { said.push_back(dialog.Status()); }, "Trust this certificate for localhost?");
    ASSERT_TRUE(ui_.PressButton(dialog, IDOK));
    ASSERT_TRUE(host::testing::WaitUntil(
        [&] { return dialog.IsModalEnded() || dialog.Status().starts_with("Not connected"); },
        [&] { ui_.RunUntilIdle(); }));
  };
  ui_.AnswerDialog(
      {SetupDialog::kTemplateId, {}, IDCANCEL, [&] {
         dialog.SetDlgItemText(SetupDialog::kAddress, "alice@localhost");
         dialog.SetDlgItemText(SetupDialog::kPassword, "pw");
         dialog.SetDlgItemText(SetupDialog::kServer, "127.0.0.1:" + std::to_string(server->port()));
         connect(IDNO);
         EXPECT_TRUE(
             dialog.Status().starts_with("Not connected: the server's certificate is self-signed"))
             << dialog.Status();
         EXPECT_FALSE(host_->Account().has_value());
         connect(IDYES);
       }});
  EXPECT_EQ(dialog.DoModal(), IDOK);
  EXPECT_EQ(said, std::vector<std::string>(
                      2,
                      "The server's certificate is self-signed: nobody vouches that the "
                      "server is localhost."));
  const std::vector<ShownRecord> boxes = ui_.driver().MessageBoxes();
  ASSERT_EQ(boxes.size(), 2u);
  for (const ShownRecord& box : boxes)
    EXPECT_NE(box.text.find(host::FormatFingerprint(self->fingerprint)), std::string::npos);
  host_.reset();
  host_ = host::Host::Create(queue_, options, &error);
  ASSERT_NE(host_, nullptr) << error;
  const std::optional<host::XmppAccount> stored = host_->Account();
  ASSERT_TRUE(stored);
  EXPECT_EQ(stored->trusted_certificate, self->fingerprint);
  EXPECT_TRUE(stored->require_tls);  // the server offers it
  ASSERT_TRUE(host_->ConnectXmpp(&error, [] {})) << error;
  ASSERT_TRUE(
      host::testing::WaitUntil([&] { return host_->ConnectionState() == host::LinkState::kOnline; },
                               [&] { ui_.RunUntilIdle(); }));
  EXPECT_EQ(ui_.driver().MessageBoxes().size(), 2u);
  host_.reset();
}

// ---- A player's profile ----

class PlayerProfileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ =
        std::filesystem::temp_directory_path() /
        ("tessaro-player-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
         ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(folder_);
    std::filesystem::create_directories(folder_);
  }
  void TearDown() override { std::filesystem::remove_all(folder_); }
  std::unique_ptr<host::Host> OpenProfile() {
    host::HostOptions options;
    options.profile_path = (folder_ / "Alice.db").string();
    std::string error;
    auto host = host::Host::Create(queue_, options, &error);
    EXPECT_NE(host, nullptr) << error;
    return host;
  }
  // A password file in the profile's folder holding `text`; its path.
  std::string WriteSecret(const char* text) {
    const std::string path = (folder_ / "secret").string();
    std::ofstream(path) << text;
    return path;
  }

  Headless ui_;
  PlatformQueue queue_;
  std::filesystem::path folder_;
};

TEST_F(PlayerProfileTest, TheNameTheAccountAndTheContactOutliveTheProgram) {
  const std::string secret = WriteSecret("pw\nignored second line\n");
  AccountOptions options;
  options.name = "Alice";
  options.address = "alice@example.org";
  options.passwordFile = secret;
  const std::vector<std::pair<std::string, std::string>> bob = {{"bob@example.org", "Bob"}};
  std::vector<HANDLE> first;
  {
    auto host = OpenProfile();
    std::string error;
    ASSERT_TRUE(SetUpPlayer(*host, options, &error)) << error;
    ASSERT_TRUE(AddContacts(*host, bob, &first, &error)) << error;
    ASSERT_EQ(first.size(), 1u);
  }
  // Later runs need the profile alone; a known address keeps its contact.
  auto host = OpenProfile();
  std::string error;
  ASSERT_TRUE(SetUpPlayer(*host, AccountOptions{}, &error)) << error;
  EXPECT_STREQ(host->DisplayName(nullptr), "Alice");
  const auto account = host->Account();
  ASSERT_TRUE(account.has_value());
  EXPECT_EQ(account->address, "alice@example.org");
  EXPECT_EQ(account->password, "pw");
  EXPECT_TRUE(account->require_tls);
  std::vector<HANDLE> again;
  ASSERT_TRUE(AddContacts(*host, {{"Bob@Example.org", "Robert"}}, &again, &error)) << error;
  EXPECT_EQ(again, first);
  EXPECT_EQ(host->Contacts().size(), 1u);  // not added twice
  EXPECT_STREQ(host->DisplayName(first[0]), "Robert");
}

TEST_F(PlayerProfileTest, TlsIsOnUnlessTheCommandLineTurnsItOff) {
  const std::string secret = WriteSecret("pw\n");
  auto host = OpenProfile();
  const struct {
    const char* address;
    const char* server;
    bool tls;
    bool stored;  // require_tls afterwards
  } runs[] = {
      {"alice@example.org", "", true, true},    // a new account: TLS
      {"", "127.0.0.1:5222", false, false},     // turned off for a local server
      {"", "", true, false},                    // the profile alone keeps the choice
      {"", "xmpp.example.org", true, true},     // a server named again: TLS again
      {"alice@example.net", "", false, false},  // a new account without TLS
  };
  for (const auto& run : runs) {
    AccountOptions options;
    options.address = run.address;
    options.tls = run.tls;
    options.passwordFile = secret;
    if (*run.server) {
      ASSERT_TRUE(ParseServer(run.server, options));
    }
    std::string error;
    ASSERT_TRUE(SetUpPlayer(*host, options, &error)) << error;
    EXPECT_EQ(host->Account()->require_tls, run.stored) << run.address << " " << run.server;
  }
  EXPECT_EQ(host->Account()->address, "alice@example.net");
  EXPECT_EQ(host->Account()->server, "");  // a new account forgets the old one's server
}

TEST_F(PlayerProfileTest, ANamesakeOnAnotherNetworkIsNotThePeer) {
  auto host = OpenProfile();
  const HANDLE other = host->AddContact("Bob", "MSN");
  std::vector<HANDLE> peer;
  std::string error;
  ASSERT_TRUE(AddContacts(*host, {{"bob@example.org", "Bob"}}, &peer, &error)) << error;
  ASSERT_EQ(peer.size(), 1u);
  EXPECT_NE(peer[0], other);
  EXPECT_EQ(host->ProtocolOf(peer[0]).value_or(""), "ICQ");
  EXPECT_EQ(host->AddressOf(peer[0]), "bob@example.org");
}

TEST_F(PlayerProfileTest, RefusesWhatCannotMakeAPlayer) {
  const std::string secret = WriteSecret("pw\n");
  unsetenv(kPasswordVariable);
  const struct {
    const char* address;
    const char* passwordFile;
    const char* contact;
  } cases[] = {
      {"", "", ""},                                          // no account at all
      {"alice@example.org/phone", "", ""},                   // not a bare address
      {"alice@example.org", "/nonexistent/secret", ""},      // no password
      {"alice@example.org", "SECRET", "alice@example.org"},  // oneself as a contact
      {"alice@example.org", "SECRET", "not an address"},
  };
  for (const auto& c : cases) {
    auto host = OpenProfile();
    AccountOptions options;
    options.address = c.address;
    options.passwordFile = std::string(c.passwordFile) == "SECRET" ? secret : c.passwordFile;
    std::string error;
    bool ok = SetUpPlayer(*host, options, &error);
    if (ok && *c.contact) ok = AddContacts(*host, {{c.contact, "Me"}}, nullptr, &error);
    EXPECT_FALSE(ok) << c.address << " " << c.contact;
    EXPECT_FALSE(error.empty()) << c.address << " " << c.contact;
    EXPECT_TRUE(host->Contacts().empty());
    host.reset();
    std::filesystem::remove(folder_ / "Alice.db");
  }
}

// --trust-certificate takes a certificate or its fingerprint as openssl prints
// it, --ca-file a certificate; the profile keeps what they give, and a file
// that holds neither is refused with its reason.
TEST_F(PlayerProfileTest, TheCertificatesGivenAreKeptInTheProfile) {
  const std::string secret = WriteSecret("pw\n");
  const std::string cert = (folder_ / "server.pem").string();
  const std::string fingerprint = (folder_ / "server.fp").string();
  ASSERT_EQ(std::system(("openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 "
                         "-nodes -keyout /dev/null -subj /CN=example.org -days 2 -out " +
                         cert + " 2>/dev/null && openssl x509 -noout -fingerprint -sha256 -in " +
                         cert + " > " + fingerprint)
                            .c_str()),
            0);
  std::ifstream in(cert);
  const std::optional<host::CertificateInfo> made = host::CertificateFromPem(
      std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()));
  ASSERT_TRUE(made);
  const struct {
    const char* name;
    std::string trust, ca;
    const char* refused;  // part of the error; nullptr: kept
  } cases[] = {
      {"a certificate", cert, "", nullptr},
      {"its fingerprint", fingerprint, "", nullptr},
      {"a CA", "", cert, nullptr},
      {"not a certificate", secret, "", "neither a PEM certificate nor a SHA-256 fingerprint"},
      {"no file", (folder_ / "none").string(), "", "cannot read"},
      {"a CA that is not one", "", secret, "holds no PEM certificate"},
  };
  for (const auto& c : cases) {
    std::filesystem::remove(folder_ / "Alice.db");  // each case a new profile
    auto host = OpenProfile();
    AccountOptions options;
    options.address = "alice@example.org";
    options.passwordFile = secret;
    options.trustFile = c.trust;
    options.caFile = c.ca;
    std::string error;
    if (c.refused != nullptr) {
      EXPECT_FALSE(SetUpPlayer(*host, options, &error)) << c.name;
      EXPECT_NE(error.find(c.refused), std::string::npos) << c.name << ": " << error;
      continue;
    }
    ASSERT_TRUE(SetUpPlayer(*host, options, &error)) << c.name << ": " << error;
    const host::XmppAccount account = host->Account().value_or(host::XmppAccount{});
    EXPECT_EQ(account.trusted_certificate, c.trust.empty() ? "" : made->fingerprint) << c.name;
    EXPECT_EQ(account.ca_file, c.ca) << c.name;
  }
  // What the desktop's question keeps, as the profile keeps it.
  std::filesystem::remove(folder_ / "Alice.db");
  auto host = OpenProfile();
  AccountOptions options;
  options.address = "alice@example.org";
  options.passwordFile = secret;
  std::string error;
  ASSERT_TRUE(SetUpPlayer(*host, options, &error)) << error;
  EXPECT_FALSE(host->TrustCertificate("not a fingerprint"));
  ASSERT_TRUE(host->TrustCertificate(host::FormatFingerprint(made->fingerprint)));
  EXPECT_EQ(host->Account().value_or(host::XmppAccount{}).trusted_certificate, made->fingerprint);
}

TEST(PlayerOptionsTest, ReadsContactsServersAndPasswords) {
  std::pair<std::string, std::string> contact;
  EXPECT_TRUE(ParseContact("bob@example.org=Bob B.", contact));
  EXPECT_EQ(contact, std::make_pair(std::string("bob@example.org"), std::string("Bob B.")));
  EXPECT_TRUE(ParseContact("bob@example.org", contact));
  EXPECT_EQ(contact.second, "bob");
  for (const char* bad : {"bob", "@example.org", "bob@", "bob@example.org=", "bob@x/res"})
    EXPECT_FALSE(ParseContact(bad, contact)) << bad;

  AccountOptions options;
  EXPECT_TRUE(ParseServer("127.0.0.1:15222", options));
  EXPECT_EQ(options.server, "127.0.0.1");
  EXPECT_EQ(options.port, 15222);
  EXPECT_TRUE(ParseServer("xmpp.example.org", options));
  EXPECT_EQ(options.port, 0);
  for (const char* bad : {"", ":5222", "host:", "host:0", "host:65536", "host:52x"})
    EXPECT_FALSE(ParseServer(bad, options)) << bad;

  // A file first, then the variable, then the profile's; nothing is asked
  // for without a terminal.
  const std::filesystem::path file = std::filesystem::temp_directory_path() / "tessaro-pw-test";
  std::ofstream(file) << "from-file\n";
  AccountOptions withFile;
  withFile.passwordFile = file.string();
  std::string error;
  setenv(kPasswordVariable, "from-variable", 1);
  EXPECT_EQ(ReadPassword(withFile, "stored", &error), "from-file");
  EXPECT_EQ(ReadPassword(AccountOptions{}, "stored", &error), "from-variable");
  unsetenv(kPasswordVariable);
  EXPECT_EQ(ReadPassword(AccountOptions{}, "stored", &error), "stored");
  if (isatty(STDIN_FILENO) != 1) {
    EXPECT_EQ(ReadPassword(AccountOptions{}, "", &error), "");
    EXPECT_NE(error.find(kPasswordVariable), std::string::npos) << error;
  }
  std::filesystem::remove(file);
}

TEST(DefaultProfilePathTest, KeepsTheFileInsideTheDataFolder) {
  const std::filesystem::path data =
      std::filesystem::temp_directory_path() / "tessaro-profile-path-test";
  setenv("XDG_DATA_HOME", data.c_str(), 1);
  const struct {
    const char* user;
    const char* file;
  } cases[] = {{"Alice", "Alice.db"}, {"../../etc/x", "______etc_x.db"}, {"a b", "a_b.db"}};
  for (const auto& c : cases) {
    EXPECT_EQ(DefaultProfilePath(c.user), (data / "tessaro" / c.file).string()) << c.user;
  }
  EXPECT_TRUE(std::filesystem::is_directory(data / "tessaro"));
  std::filesystem::remove_all(data);
  unsetenv("XDG_DATA_HOME");
}

}  // namespace
}  // namespace tessaro
