#include "apps/account_dialogs.h"

#include <cctype>
#include <mutex>
#include <utility>

#include "apps/player.h"
#include "host/xmpp_stanza.h"
#include "host/xmpp_transport.h"

namespace tessaro {
namespace {

ControlTemplate Edit(int id, DWORD style, int x, int y, int cx) {
  return ChildControl("EDIT", "", id, ES_LEFT | ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP | style, x,
                      y, cx, 12);
}

DialogTemplate Dialog(UINT id, const char* caption, int cx, int cy) {
  DialogTemplate t;
  t.id = id;
  t.cx = cx;
  t.cy = cy;
  t.style = DS_SETFONT | DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU;
  t.caption = caption;
  t.font.points = 8;
  t.font.face = "MS Sans Serif";
  return t;
}

std::string Trimmed(std::string text) {
  const auto blank = [](char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; };
  while (!text.empty() && blank(text.back()))
    text.pop_back();
  size_t first = 0;
  while (first < text.size() && blank(text[first]))
    ++first;
  return text.substr(first);
}

std::string Capitalized(std::string text) {
  if (!text.empty()) text[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(text[0])));
  return text;
}

std::string DomainOf(const std::string& address) {
  return address.substr(address.find('@') + 1);
}

}  // namespace

std::string AddressProblem(std::string_view text) {
  if (text.empty()) return "Type the address, such as alice@example.org.";
  std::string quoted = "\"";
  quoted += text;
  quoted += '"';
  if (text.find('/') != std::string_view::npos)
    return quoted + " names one client of an account: leave out the part from \"/\" on.";
  if (host::BareAddress(text).empty())
    return quoted + " is not an address: an address looks like name@example.org, without spaces.";
  return std::string();
}

std::string TrustQuestion(const host::ConnectionProblem& problem, const std::string& domain) {
  const std::string names = host::NamesForPeople(problem.certificate.names, 8);
  return Capitalized(host::DescribeProblem(problem, domain)) + ".\n\nTrust this certificate for " +
         (names.empty() ? domain : names) + "?\n\nSHA-256 fingerprint:\n" +
         host::FormatFingerprint(problem.certificate.fingerprint) +
         "\n\nAnswer Yes only if the server's administrator gave you this fingerprint.";
}

bool IsThisMachine(std::string_view server) {
  return server == "localhost" || server == "::1" || server == "[::1]" ||
         server.starts_with("127.");
}

// ---- One try of an account ----

// A connection that only logs in (XmppTransport::OnlyTryLogin). Its first
// outcome, online or refused, is handed to `done` on the user-interface
// thread; nothing comes after the try is destroyed.
class AccountTry final : private host::XmppTransport::Listener {
 public:
  using Outcome = TryOutcome;

  AccountTry(host::UiQueue& queue, const host::XmppAccount& account,
             std::function<void(Outcome)> done)
      : queue_(queue), done_(std::move(done)), transport_(account, *this) {
    transport_.OnlyTryLogin();
    transport_.Start();
  }
  ~AccountTry() override { *alive_ = false; }

 private:
  // Network thread.
  void OnProblem(const host::ConnectionProblem& problem) override { problem_ = problem; }
  void OnState(host::LinkState state, const std::string& detail) override {
    if (state != host::LinkState::kOnline && state != host::LinkState::kWaiting) return;
    if (reported_) return;
    reported_ = true;
    Outcome outcome;
    outcome.online = state == host::LinkState::kOnline;
    outcome.problem = problem_;
    outcome.reason = detail.substr(0, detail.find(host::kNextAttempt));
    queue_.Post([alive = alive_, done = done_, outcome = std::move(outcome)] {
      if (*alive) done(outcome);
    });
  }
  void OnMessage(host::IncomingStanza) override {}
  void OnPresence(const host::IncomingPresence&) override {}
  void OnRoster(std::vector<host::RosterItem>) override {}

  host::UiQueue& queue_;
  std::function<void(Outcome)> done_;
  // Set and read on the user-interface thread only: the tasks run there.
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
  host::ConnectionProblem problem_;  // network thread
  bool reported_ = false;            // network thread
  host::XmppTransport transport_;    // last: its thread stops before the rest goes
};

// ---- The set-up ----

void SetupDialog::AddResources(ResourceModule& module) {
  DialogTemplate t = Dialog(kTemplateId, "Tessaro: Your Account", 230, 172);
  t.controls.push_back(
      ChildControl("STATIC",
                   "Your XMPP account, to play with your contacts. It is tried "
                   "first and kept in this profile only when the server accepts it.",
                   -1, SS_LEFT, 7, 7, 216, 27));
  const struct {
    const char* label;
    int id;
    DWORD style;
  } fields[] = {
      {"&Address:", kAddress, 0},
      {"&Password:", kPassword, ES_PASSWORD},
      {"Your &name:", kName, 0},
      {"&Server:", kServer, 0},
  };
  int y = 38;
  for (const auto& field : fields) {
    t.controls.push_back(ChildControl("STATIC", field.label, -1, SS_LEFT, 7, y + 2, 50, 9));
    t.controls.push_back(Edit(field.id, field.style, 60, y, 163));
    y += 16;
  }
  t.controls.push_back(ChildControl("STATIC",
                                    "Optional: HOST or HOST:PORT, when the server is not the "
                                    "address's domain.",
                                    -1, SS_LEFT, 60, y - 2, 163, 18));
  t.controls.push_back(ChildControl("STATIC", "", kStatus, SS_LEFT, 7, y + 18, 216, 27));
  t.controls.push_back(
      ChildControl("BUTTON", "&Connect", IDOK, BS_DEFPUSHBUTTON | WS_TABSTOP, 119, 151, 50, 14));
  t.controls.push_back(
      ChildControl("BUTTON", "Cancel", IDCANCEL, BS_PUSHBUTTON | WS_TABSTOP, 173, 151, 50, 14));
  module.AddDialog(std::move(t));
}

const AFX_MSGMAP* SetupDialog::GetThisMessageMap() {
  static constexpr AFX_MSGMAP_ENTRY kEntries[] = {
      OnMessageRaw<kTried, &SetupDialog::OnTried>(),
  };
  static constexpr AFX_MSGMAP kMap = MakeMessageMap(&CDialog::GetThisMessageMap, kEntries);
  return &kMap;
}

const AFX_MSGMAP* SetupDialog::GetMessageMap() const {
  return GetThisMessageMap();
}

SetupDialog::SetupDialog(host::Host& host, std::string name)
    : CDialog(kTemplateId), host_(host), name_(std::move(name)) {}

SetupDialog::~SetupDialog() = default;

BOOL SetupDialog::OnInitDialog() {
  CDialog::OnInitDialog();
  SetDlgItemText(kName, name_);
  return TRUE;
}

std::string SetupDialog::Status() {
  std::string text;
  GetDlgItemText(kStatus, text);
  return text;
}

void SetupDialog::Say(const std::string& text) {
  SetDlgItemText(kStatus, text);
}

void SetupDialog::OnOK() {
  if (try_) return;  // a try is under way
  std::string address, password, name, server;
  GetDlgItemText(kAddress, address);
  GetDlgItemText(kPassword, password);
  GetDlgItemText(kName, name);
  GetDlgItemText(kServer, server);
  address = Trimmed(address);
  name = Trimmed(name);
  server = Trimmed(server);
  if (const std::string problem = AddressProblem(address); !problem.empty()) {
    Say(problem);
    GotoDlgCtrl(GetDlgItem(kAddress));
    return;
  }
  if (password.empty()) {
    Say("Type the account's password.");
    GotoDlgCtrl(GetDlgItem(kPassword));
    return;
  }
  AccountOptions where;
  if (!server.empty() && !ParseServer(server, where)) {
    Say("\"" + server +
        "\" is not a server: give HOST or HOST:PORT, such as xmpp.example.org:5222.");
    GotoDlgCtrl(GetDlgItem(kServer));
    return;
  }
  account_ = host::XmppAccount{};
  account_.address = host::BareAddress(address);
  account_.server = where.server;
  account_.port = where.port;
  account_.password = password;
  // A password never travels readable, except to a server on this machine, and
  // even there only when it offers no encryption: one that does is tried with
  // it, so its certificate is checked (and asked about) as any server's is.
  account_.require_tls = true;
  here_ = IsThisMachine(where.server.empty() ? DomainOf(account_.address) : where.server);
  name_ = name.empty() ? account_.address.substr(0, account_.address.find('@')) : name;
  asked_.clear();
  StartTry();
}

void SetupDialog::StartTry() {
  const std::string server = account_.server.empty() ? DomainOf(account_.address) : account_.server;
  Say("Connecting to " + server + "...");
  if (CWnd* connect = GetDlgItem(IDOK)) connect->EnableWindow(FALSE);
  try_ = std::make_unique<AccountTry>(host_.queue(), account_, [this](TryOutcome outcome) {
    outcome_ = std::move(outcome);
    PostMessage(kTried);
  });
}

// From a message of its own, not from the try's report: the certificate
// question's modal loop and the end of the try must not run inside it.
LRESULT SetupDialog::OnTried(WPARAM, LPARAM) {
  if (!try_) return 0;
  try_.reset();
  if (CWnd* connect = GetDlgItem(IDOK)) connect->EnableWindow(TRUE);
  const std::string domain = DomainOf(account_.address);
  if (outcome_.online) {
    if (!host_.SetUserName(name_) || !host_.SetAccount(account_)) {
      Say("The profile cannot store the account, so nothing was set up.");
      return 0;
    }
    EndDialog(IDOK);
    return 0;
  }
  const host::ConnectionProblem& problem = outcome_.problem;
  if (problem.refusal == host::Refusal::kNoEncryption && here_ && account_.require_tls) {
    account_.require_tls = false;
    StartTry();
    return 0;
  }
  if (host::IsCertificateRefusal(problem.refusal) &&
      asked_.insert(problem.certificate.fingerprint).second) {
    Say(Capitalized(outcome_.reason) + ".");
    if (MessageBox(TrustQuestion(problem, domain).c_str(), kTrustCaption,
                   MB_YESNO | MB_ICONWARNING) == IDYES) {
      account_.trusted_certificate = problem.certificate.fingerprint;
      StartTry();
      return 0;
    }
  }
  Say("Not connected: " + outcome_.reason + ". Nothing was stored.");
  return 0;
}

void SetupDialog::OnCancel() {
  try_.reset();
  CDialog::OnCancel();
}

// ---- Adding a contact ----

void AddContactDialog::AddResources(ResourceModule& module) {
  DialogTemplate t = Dialog(kTemplateId, "Add Contact", 230, 102);
  t.controls.push_back(
      ChildControl("STATIC", "The contact is asked whether you may see when they are online.", -1,
                   SS_LEFT, 7, 7, 216, 18));
  t.controls.push_back(ChildControl("STATIC", "&Address:", -1, SS_LEFT, 7, 31, 50, 9));
  t.controls.push_back(Edit(kAddress, 0, 60, 29, 163));
  t.controls.push_back(ChildControl("STATIC", "&Name:", -1, SS_LEFT, 7, 47, 50, 9));
  t.controls.push_back(Edit(kName, 0, 60, 45, 163));
  t.controls.push_back(ChildControl("STATIC", "", kStatus, SS_LEFT, 7, 61, 216, 18));
  t.controls.push_back(
      ChildControl("BUTTON", "&Add", IDOK, BS_DEFPUSHBUTTON | WS_TABSTOP, 119, 82, 50, 14));
  t.controls.push_back(
      ChildControl("BUTTON", "Cancel", IDCANCEL, BS_PUSHBUTTON | WS_TABSTOP, 173, 82, 50, 14));
  module.AddDialog(std::move(t));
}

AddContactDialog::AddContactDialog(host::Host& host) : CDialog(kTemplateId), host_(host) {}

void AddContactDialog::OnOK() {
  std::string address, name;
  GetDlgItemText(kAddress, address);
  GetDlgItemText(kName, name);
  address = Trimmed(address);
  name = Trimmed(name);
  const auto say = [&](const std::string& text) {
    SetDlgItemText(kStatus, text);
    GotoDlgCtrl(GetDlgItem(kAddress));
  };
  if (const std::string problem = AddressProblem(address); !problem.empty()) return say(problem);
  const std::string bare = host::BareAddress(address);
  const std::optional<host::XmppAccount> own = host_.Account();
  if (own && host::BareAddress(own->address) == bare) return say("That is your own address.");
  if (HANDLE known = host_.ContactByAddress(bare)) {
    return say(bare + " is already your contact " + host_.DisplayName(known) + ".");
  }
  if (name.empty()) name = bare.substr(0, bare.find('@'));
  // A request of the address that waits is answered by adding it.
  added_ = host_.AcceptRequest(bare, name);
  if (added_ == nullptr) return say("The profile cannot store the contact.");
  EndDialog(IDOK);
}

}  // namespace tessaro
