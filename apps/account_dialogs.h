// The messenger's dialogs for the player's account and contacts, made from
// templates of the host's own resource module, so they work on every backend:
//
// - SetupDialog, shown at a first start without a terminal: the account's
//   address, password, the player's name and the server when it is not the
//   address's domain. Connect tries the account (a login that takes nothing
//   meant for the account's clients); only when the server accepted it are
//   the name and the account stored in the profile. A failure is named in
//   plain words in the dialog and nothing is stored. A refused certificate is
//   asked about with the host window's question, once per certificate and
//   Connect; Yes tries again trusting it, and the profile keeps its
//   fingerprint with the account. A server on this machine is tried without
//   encryption only when it offers none.
// - AddContactDialog: an address and a name; the address becomes a contact,
//   which asks it for its presence while the link runs.
#pragma once

#include <memory>
#include <set>
#include <string>
#include <string_view>

#include "framework/afx.h"
#include "framework/resources.h"
#include "host/host.h"
#include "host/xmpp_certificates.h"

namespace tessaro {

// Why `text` cannot be a contact's or the player's XMPP address, in plain
// words; empty when it is a bare address (local@domain).
std::string AddressProblem(std::string_view text);

// The question asked before a refused server certificate is trusted: why it
// was refused, what it is for, its SHA-256 fingerprint and when to say Yes.
// `domain` is the name the certificate should be for.
std::string TrustQuestion(const host::ConnectionProblem& problem, const std::string& domain);
inline constexpr char kTrustCaption[] = "Server certificate";

// Whether a server name means this machine, where a connection without TLS
// gives nothing away.
bool IsThisMachine(std::string_view server);

class AccountTry;
// How a try of an account ended.
struct TryOutcome {
  bool online = false;              // the server accepted the login
  host::ConnectionProblem problem;  // refused: why
  std::string reason;               // refused: in plain words
};

class SetupDialog : public CDialog {
 public:
  static constexpr UINT kTemplateId = 920;
  static constexpr int kAddress = 921;
  static constexpr int kPassword = 922;
  static constexpr int kName = 923;
  static constexpr int kServer = 924;
  static constexpr int kStatus = 925;
  static constexpr UINT kTried = WM_USER + 2;  // posted: the try's result is in

  static void AddResources(ResourceModule& module);

  // `name`: the player's name to offer (empty: the address's local part).
  SetupDialog(host::Host& host, std::string name);
  ~SetupDialog() override;

  // The status line: what is being done, or why the last try failed.
  std::string Status();

  const AFX_MSGMAP* GetMessageMap() const override;
  static const AFX_MSGMAP* GetThisMessageMap();

 protected:
  BOOL OnInitDialog() override;
  void OnOK() override;
  void OnCancel() override;

 private:
  LRESULT OnTried(WPARAM, LPARAM);
  void StartTry();
  void Say(const std::string& text);

  host::Host& host_;
  std::string name_;
  host::XmppAccount account_;
  std::unique_ptr<AccountTry> try_;
  TryOutcome outcome_;
  std::set<std::string> asked_;  // fingerprints already asked about
  bool here_ = false;            // the server is on this machine
};

class AddContactDialog : public CDialog {
 public:
  static constexpr UINT kTemplateId = 930;
  static constexpr int kAddress = 931;
  static constexpr int kName = 932;
  static constexpr int kStatus = 933;

  static void AddResources(ResourceModule& module);

  explicit AddContactDialog(host::Host& host);
  // The contact added, once the dialog ended with IDOK.
  HANDLE Added() const { return added_; }

 protected:
  void OnOK() override;

 private:
  host::Host& host_;
  HANDLE added_ = nullptr;
};

}  // namespace tessaro
