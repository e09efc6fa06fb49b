// The messenger's main window: the user's own name, the contact list (one
// contact a row: name, the status its modules set, e.g. whose move it is in
// its game or the result, whether it is online, and protocol) and each
// contact's menu, which offers the items
// modules registered for the contact's protocol. A right click on a row, or the
// "Contact Menu" button for the selected row, opens it; choosing an item calls
// its service for that contact. Closing the window ends the program.
//
// Under the list: the state of the connection to the XMPP server, wrapped over
// as many lines as its reason needs, with Try Again, which connects now instead
// of when the next attempt is due; and the oldest contact request (a stranger
// who wrote or asked to see our presence): its address and its text, whole,
// wrapped and scrolled in a box of its own, with Accept, which makes the address
// a contact, and Decline, which drops it and refuses a request to see our
// presence. Add Contact asks for an address and a name, makes the contact and
// asks it for its presence. When the server's certificate is
// refused, the window asks once per certificate whether to trust it, showing
// its SHA-256 fingerprint and the names it is for; the answer Yes keeps the
// fingerprint in the profile and connects again at once.
//
// The window is a dialog made from a template of the host's own resource
// module, so it works on every backend.
#pragma once

#include <set>
#include <string>
#include <vector>

#include "framework/afx.h"
#include "framework/resources.h"
#include "host/host.h"

namespace tessaro {

// What the window's request box shows for a request: the sender's address,
// what it asks, and its text whole, line breaks as the box breaks lines.
std::string RequestText(const host::ContactRequest& request);

class HostWindow : public CDialog {
 public:
  static constexpr UINT kTemplateId = 900;
  static constexpr int kUserName = 901;
  static constexpr int kMenuButton = 903;
  static constexpr int kConnection = 904;
  static constexpr int kRequest = 905;  // the request's sender and text
  static constexpr int kAcceptButton = 906;
  static constexpr int kDeclineButton = 907;
  static constexpr int kRetryButton = 908;
  static constexpr int kAddButton = 909;
  static constexpr int kRequestLabel = 910;
  static constexpr UINT kAskTrust = WM_USER + 1;  // posted: ask about the refused certificate
  static constexpr UINT kFirstMenuCommand = 0x7000;
  // Pixel geometry of the list, in the window's client coordinates.
  static constexpr int kListLeft = 10;
  static constexpr int kListTop = 52;
  static constexpr int kListRight = 380;
  static constexpr int kRowHeight = 16;
  static constexpr int kVisibleRows = 8;

  // Adds the window's template to `module`, placed at a screen pixel, and those
  // of the messenger's dialogs (apps/account_dialogs.h).
  static void AddResources(ResourceModule& module, CPoint topLeft = CPoint(0, 0));

  explicit HostWindow(host::Host& host);
  ~HostWindow() override;
  // Creates and shows the window; false when its template is missing.
  bool Open();
  // Re-reads the user's name, the contacts, the connection and the requests.
  void Refresh();

  // ---- What a person sees and does ----
  const std::vector<HANDLE>& Rows() const { return rows_; }
  int Selected() const { return selected_; }
  // What a row shows, its columns joined by " | ": name, status, presence
  // ("online", "offline", or "" while the host has no link that knows), protocol.
  std::string RowText(int row) const;
  // The row at a client point, or -1.
  int RowAt(CPoint client) const;
  // The items the contact menu offers for a contact, in menu order.
  std::vector<host::MenuItem> MenuFor(HANDLE contact) const;
  // Calls the index-th item of the contact's menu; false when there is none.
  bool Choose(HANDLE contact, size_t index);

  const AFX_MSGMAP* GetMessageMap() const override;
  static const AFX_MSGMAP* GetThisMessageMap();

 protected:
  BOOL OnInitDialog() override;
  void OnCancel() override;

 private:
  afx_msg void OnClose();
  afx_msg void OnPaint();
  afx_msg void OnLButtonDown(UINT flags, CPoint point);
  afx_msg void OnRButtonDown(UINT flags, CPoint point);
  afx_msg void OnMenuButton();
  afx_msg void OnAccept();
  afx_msg void OnDecline();
  afx_msg void OnAddContact();
  afx_msg void OnRetry();
  LRESULT OnAskTrust(WPARAM, LPARAM);
  void OpenMenu(int row, CPoint at);
  std::string WrappedForBox(const std::string& text);
  void ShowSelected();

  host::Host& host_;
  std::vector<HANDLE> rows_;
  int selected_ = -1;
  std::string request_;          // the address the request line shows; empty: none
  std::set<std::string> asked_;  // fingerprints of the certificates asked about
  // The resources the window was made from: its dialogs come from them too,
  // whatever module is loaded since.
  const ResourceModule* resources_ = nullptr;
};

}  // namespace tessaro
