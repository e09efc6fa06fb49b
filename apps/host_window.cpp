#include "apps/host_window.h"

#include "apps/account_dialogs.h"

namespace tessaro {
namespace {

constexpr int kContactsLabel = 902;
constexpr COLORREF kListFace = RGB(255, 255, 255);
constexpr COLORREF kSelectedFace = RGB(0, 0, 128);
constexpr COLORREF kGrayText = RGB(96, 96, 96);
// Columns, in pixels from the list's left edge.
// The status column is the widest: it holds a result such as "WHITE win,
// forbidden move".
constexpr int kStatusColumn = 76;
constexpr int kPresenceColumn = 226;
constexpr int kProtocolColumn = 336;
constexpr int kColumnGap = 4;
constexpr COLORREF kOnline = RGB(0, 128, 0);

// `text`, cut short with "..." where it is wider than `width` pixels, so that
// a long name or status never runs into the next column.
std::string Fitted(CDC& dc, std::string text, int width) {
  if (dc.GetTextExtent(text).cx <= width) return text;
  while (!text.empty() && dc.GetTextExtent(text + "...").cx > width)
    text.pop_back();
  return text + "...";
}

}  // namespace

void HostWindow::AddResources(ResourceModule& module, CPoint topLeft) {
  DialogTemplate t;
  t.id = kTemplateId;
  // Pixels to dialog units of the template's font (base units 6 x 13).
  t.x = topLeft.x * 4 / 6;
  t.y = (topLeft.y * 8 + 12) / 13;
  t.cx = 260;
  t.cy = 272;
  t.style = DS_SETFONT | WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
  t.caption = "Contacts";
  t.font.points = 8;
  t.font.face = "MS Sans Serif";
  t.controls.push_back(ChildControl("STATIC", "You:", -1, SS_LEFT, 7, 6, 22, 9));
  t.controls.push_back(ChildControl("STATIC", "", kUserName, SS_LEFT, 30, 6, 223, 9));
  t.controls.push_back(ChildControl("STATIC", "Contacts:", kContactsLabel, SS_LEFT, 7, 21, 246, 9));
  t.controls.push_back(ChildControl("BUTTON", "Contact &Menu...", kMenuButton,
                                    BS_DEFPUSHBUTTON | WS_TABSTOP, 7, 131, 80, 14));
  t.controls.push_back(ChildControl("BUTTON", "A&dd Contact...", kAddButton,
                                    BS_PUSHBUTTON | WS_TABSTOP, 91, 131, 70, 14));
  // The connection and the contact requests.
  // The connection's reason wraps: five lines hold the longest (a certificate's
  // names are cut short for it).
  t.controls.push_back(ChildControl("BUTTON", "Try &Again", kRetryButton,
                                    BS_PUSHBUTTON | WS_TABSTOP, 193, 131, 60, 14));
  t.controls.push_back(ChildControl("STATIC", "", kConnection, SS_LEFT, 7, 150, 246, 45));
  // A request's text may be long: the box wraps it and scrolls, never cuts it.
  t.controls.push_back(ChildControl("STATIC", "", kRequestLabel, SS_LEFT, 7, 199, 246, 9));
  t.controls.push_back(ChildControl(
      "EDIT", "", kRequest, ES_MULTILINE | ES_READONLY | WS_VSCROLL | WS_BORDER | WS_TABSTOP, 7,
      209, 246, 42));
  t.controls.push_back(
      ChildControl("BUTTON", "&Accept", kAcceptButton, BS_PUSHBUTTON | WS_TABSTOP, 7, 254, 40, 14));
  t.controls.push_back(ChildControl("BUTTON", "D&ecline", kDeclineButton,
                                    BS_PUSHBUTTON | WS_TABSTOP, 51, 254, 40, 14));
  module.AddDialog(std::move(t));
  AddContactDialog::AddResources(module);
  SetupDialog::AddResources(module);
}

const AFX_MSGMAP* HostWindow::GetThisMessageMap() {
  static constexpr AFX_MSGMAP_ENTRY kEntries[] = {
      OnMessage<WM_CLOSE, &HostWindow::OnClose>(),
      OnMessage<WM_PAINT, &HostWindow::OnPaint>(),
      OnMessage<WM_LBUTTONDOWN, &HostWindow::OnLButtonDown>(),
      OnMessage<WM_RBUTTONDOWN, &HostWindow::OnRButtonDown>(),
      OnNotify<BN_CLICKED, kMenuButton, &HostWindow::OnMenuButton>(),
      OnNotify<BN_CLICKED, kAcceptButton, &HostWindow::OnAccept>(),
      OnNotify<BN_CLICKED, kDeclineButton, &HostWindow::OnDecline>(),
      OnNotify<BN_CLICKED, kAddButton, &HostWindow::OnAddContact>(),
      OnNotify<BN_CLICKED, kRetryButton, &HostWindow::OnRetry>(),
      OnMessageRaw<kAskTrust, &HostWindow::OnAskTrust>(),
  };
  static constexpr AFX_MSGMAP kMap = MakeMessageMap(&CDialog::GetThisMessageMap, kEntries);
  return &kMap;
}

const AFX_MSGMAP* HostWindow::GetMessageMap() const {
  return GetThisMessageMap();
}

HostWindow::HostWindow(host::Host& host) : host_(host) {}

HostWindow::~HostWindow() {
  // The host may already be gone (a player closes the host first, so that the
  // module and its windows go before this one); then so is the hook.
  if (host::Host::Current() == &host_) host_.OnStatusChanged({});
}

bool HostWindow::Open() {
  if (const Platform* platform = Platform::Current()) resources_ = platform->GetResourceModule();
  if (!Create(kTemplateId, nullptr)) return false;
  // A game's status changes as its moves come and go: the list follows.
  host_.OnStatusChanged([this] {
    if (m_hWnd) Invalidate(FALSE);
  });
  ShowWindow(SW_SHOW);
  return true;
}

BOOL HostWindow::OnInitDialog() {
  CDialog::OnInitDialog();
  Refresh();
  return TRUE;
}

void HostWindow::Refresh() {
  const std::string user = host_.DisplayName(nullptr);
  SetDlgItemText(kUserName, user);
  SetWindowText("Contacts - " + user);
  rows_ = host_.Contacts();
  if (rows_.size() > static_cast<size_t>(kVisibleRows)) rows_.resize(kVisibleRows);
  if (selected_ >= static_cast<int>(rows_.size())) selected_ = -1;
  if (selected_ < 0 && !rows_.empty()) selected_ = 0;
  ShowSelected();

  std::string connection =
      std::string("Connection: ") + host::LinkStateName(host_.ConnectionState());
  host::XmppLink* link = host_.Link();
  if (link && !link->state_detail().empty()) connection += " (" + link->state_detail() + ")";
  SetDlgItemText(kConnection, connection);
  if (CWnd* button = GetDlgItem(kRetryButton))
    button->EnableWindow(host_.ConnectionState() == host::LinkState::kWaiting);
  if (link && host::IsCertificateRefusal(link->problem().refusal) &&
      asked_.insert(link->problem().certificate.fingerprint).second) {
    PostMessage(kAskTrust);
  }
  const std::vector<host::ContactRequest> requests = host_.ContactRequests();
  request_ = requests.empty() ? std::string() : requests.front().address;
  std::string label = "No contact request waits.";
  if (requests.size() == 1) label = "A contact request waits:";
  if (requests.size() > 1)
    label = std::to_string(requests.size()) + " contact requests wait; the oldest:";
  SetDlgItemText(kRequestLabel, label);
  SetDlgItemText(kRequest,
                 requests.empty() ? std::string() : WrappedForBox(RequestText(requests.front())));
  for (int id : {kAcceptButton, kDeclineButton}) {
    if (CWnd* button = GetDlgItem(id)) button->EnableWindow(!request_.empty());
  }
  Invalidate(FALSE);
}

// Closing the messenger's main window ends the program; Escape, which the
// dialog manager also turns into a cancel, must not.
void HostWindow::OnCancel() {}

void HostWindow::OnClose() {
  ShowWindow(SW_HIDE);
  PostQuitMessage(0);
}

int HostWindow::RowAt(CPoint client) const {
  if (client.x < kListLeft || client.x >= kListRight || client.y < kListTop) return -1;
  const int row = (client.y - kListTop) / kRowHeight;
  return row < static_cast<int>(rows_.size()) ? row : -1;
}

std::vector<host::MenuItem> HostWindow::MenuFor(HANDLE contact) const {
  return host_.MenuItemsFor(contact);
}

bool HostWindow::Choose(HANDLE contact, size_t index) {
  const std::vector<host::MenuItem> items = MenuFor(contact);
  return index < items.size() && host_.InvokeMenuItem(contact, items[index].handle);
}

namespace {

// Whether the contact is there, and whether one of its clients runs the game
// (its capabilities say so: xmpp_peers.h).
std::string PresenceOf(const host::Host& host, HANDLE contact) {
  // Without the XMPP link nothing tells whether a contact is there.
  if (!host.Link()) return "";
  using Kind = host::XmppLink::PeerStatus::Kind;
  switch (host.Link()->StatusOf(contact).kind) {
    case Kind::kOffline:
      return "offline";
    case Kind::kOnline:
      return "online, no game";
    case Kind::kHost:
      return "online, game";
    case Kind::kOtherVersion:
      return "other game version";
  }
  return "";
}

// The network a contact is reached through: the module's own protocol name
// is an internal word and never shown. A contact with an address, or any
// contact of a host with the XMPP link, is an XMPP contact; others (the
// loopback's) are reached through no network.
std::string NetworkOf(const host::Host& host, HANDLE contact) {
  return host.Link() || !host.AddressOf(contact).empty() ? "XMPP" : "";
}

}  // namespace

// What the request box shows: who, what it asks, and its text with each line
// break as the box breaks lines.
std::string RequestText(const host::ContactRequest& request) {
  std::string text = "From: " + request.address + "\r\n";
  if (request.subscription) text += "Asks to see when you are online";
  if (request.messages > 0) {
    text += request.subscription ? " and wrote " : "Wrote ";
    text += request.messages == 1 ? "a message" : std::to_string(request.messages) + " messages";
  }
  if (request.last_text.empty()) return text + ".";
  text += request.messages > 1 ? "; the last:" : request.messages == 1 ? ":" : ", saying:";
  text += "\r\n";
  for (size_t i = 0; i < request.last_text.size(); ++i) {
    const char c = request.last_text[i];
    if (c == '\n' && (i == 0 || request.last_text[i - 1] != '\r')) text += '\r';
    text += c;
  }
  return text;
}

std::string HostWindow::RowText(int row) const {
  if (row < 0 || row >= static_cast<int>(rows_.size())) return "";
  const HANDLE contact = rows_[static_cast<size_t>(row)];
  std::string network = NetworkOf(host_, contact);
  if (const std::string address = host_.AddressOf(contact); !address.empty())
    network += " " + address;
  return std::string(host_.DisplayName(contact)) + " | " + host_.StatusOf(contact) + " | " +
         PresenceOf(host_, contact) + " | " + network;
}

// The line over the list names the selected contact's address, which the
// row has no room for.
void HostWindow::ShowSelected() {
  std::string line = "Contacts:";
  if (selected_ >= 0 && selected_ < static_cast<int>(rows_.size())) {
    const HANDLE contact = rows_[static_cast<size_t>(selected_)];
    if (const std::string address = host_.AddressOf(contact); !address.empty()) {
      line += ' ';
      line += host_.DisplayName(contact);
      line += " is " + address;
      if (const std::string network = NetworkOf(host_, contact); !network.empty())
        line += " (" + network + ")";
    }
  }
  std::string shown;
  GetDlgItemText(kContactsLabel, shown);
  if (shown != line) SetDlgItemText(kContactsLabel, line);
}

// The edit box breaks lines only where the text does: each line is broken
// here at the last space that fits the box's width (a word wider than the box,
// such as a long address, where it reaches the edge), so that nothing runs
// past the right edge.
std::string HostWindow::WrappedForBox(const std::string& text) {
  CWnd* box = GetDlgItem(kRequest);
  if (!box) return text;
  CRect client;
  box->GetClientRect(&client);
  // The box's border, its scroll bar and the margins of its text.
  const int width = client.Width() - 2 - GetSystemMetrics(SM_CXVSCROLL) - 4;
  CClientDC dc(box);
  if (CFont* font = box->GetFont()) dc.SelectObject(font);
  // Widths are summed a character at a time (a character is never split:
  // the bytes of one UTF-8 sequence stay together), so a long text costs
  // one pass.
  std::string out;
  size_t lineStart = 0;  // in `out`
  size_t lastSpace = 0;  // in `out`, of the current line; 0: none
  int used = 0;
  for (size_t i = 0; i < text.size();) {
    if (text.compare(i, 2, "\r\n") == 0) {
      out += "\r\n";
      i += 2;
      lineStart = out.size();
      lastSpace = 0;
      used = 0;
      continue;
    }
    size_t length = 1;
    while (i + length < text.size() &&
           (static_cast<unsigned char>(text[i + length]) & 0xC0) == 0x80)
      ++length;
    const std::string character = text.substr(i, length);
    const int w = dc.GetTextExtent(character).cx;
    if (width > 0 && used + w > width && out.size() > lineStart) {
      if (lastSpace > lineStart) {
        // Break at the last space: it becomes the line break.
        out.replace(lastSpace, 1, "\r\n");
        lineStart = lastSpace + 2;
      } else {
        out += "\r\n";
        lineStart = out.size();
      }
      lastSpace = 0;
      used = dc.GetTextExtent(out.substr(lineStart)).cx;
    }
    if (character == " ") lastSpace = out.size();
    out += character;
    used += w;
    i += length;
  }
  return out;
}

// ---- Painting: the list is drawn here; the controls draw themselves ----

void HostWindow::OnPaint() {
  {
    CPaintDC dc(this);
    const int bottom = kListTop + kVisibleRows * kRowHeight;
    CRect frame(kListLeft - 1, kListTop - 1, kListRight + 1, bottom + 1);
    dc.FillSolidRect(&frame, RGB(128, 128, 128));
    dc.FillSolidRect(kListLeft, kListTop, kListRight - kListLeft, bottom - kListTop, kListFace);
    dc.SetBkMode(TRANSPARENT);
    for (size_t i = 0; i < rows_.size(); ++i) {
      const int y = kListTop + static_cast<int>(i) * kRowHeight;
      const bool selected = static_cast<int>(i) == selected_;
      if (selected)
        dc.FillSolidRect(kListLeft, y, kListRight - kListLeft, kRowHeight, kSelectedFace);
      dc.SetTextColor(selected ? RGB(255, 255, 255) : RGB(0, 0, 0));
      dc.TextOut(kListLeft + 4, y + 2,
                 Fitted(dc, host_.DisplayName(rows_[i]), kStatusColumn - 4 - kColumnGap));
      const HANDLE contact = rows_[i];
      dc.TextOut(kListLeft + kStatusColumn, y + 2,
                 Fitted(dc, host_.StatusOf(contact), kPresenceColumn - kStatusColumn - kColumnGap));
      const std::string presence = PresenceOf(host_, contact);
      dc.SetTextColor(selected                     ? RGB(255, 255, 255)
                      : presence == "online, game" ? kOnline
                                                   : kGrayText);
      dc.TextOut(kListLeft + kPresenceColumn, y + 2,
                 Fitted(dc, presence, kProtocolColumn - kPresenceColumn - kColumnGap));
      dc.SetTextColor(selected ? RGB(255, 255, 255) : kGrayText);
      dc.TextOut(kListLeft + kProtocolColumn, y + 2, NetworkOf(host_, contact));
    }
  }
  Default();
}

// ---- Input ----

void HostWindow::OnLButtonDown(UINT, CPoint point) {
  const int row = RowAt(point);
  if (row < 0 || row == selected_) return;
  selected_ = row;
  ShowSelected();
  Invalidate(FALSE);
}

void HostWindow::OnRButtonDown(UINT, CPoint point) {
  const int row = RowAt(point);
  if (row < 0) return;
  selected_ = row;
  ShowSelected();
  Invalidate(FALSE);
  UpdateWindow();
  OpenMenu(row, point);
}

void HostWindow::OnMenuButton() {
  if (selected_ < 0) return;
  const CPoint below(kListLeft, kListTop + (selected_ + 1) * kRowHeight);
  OpenMenu(selected_, below);
}

void HostWindow::OnAccept() {
  if (request_.empty()) return;
  // The new contact is named after the address's local part until renamed.
  host_.AcceptRequest(request_, request_.substr(0, request_.find('@')));
  Refresh();
}

void HostWindow::OnDecline() {
  if (request_.empty()) return;
  host_.DeclineRequest(request_);
  Refresh();
}

void HostWindow::OnAddContact() {
  AddContactDialog dialog(host_);
  dialog.UseTemplatesOf(resources_);
  if (dialog.DoModal() != IDOK) return;
  Refresh();
  // The new contact is the one selected.
  for (size_t i = 0; i < rows_.size(); ++i) {
    if (rows_[i] == dialog.Added()) selected_ = static_cast<int>(i);
  }
  ShowSelected();
  Invalidate(FALSE);
}

void HostWindow::OnRetry() {
  if (host::XmppLink* link = host_.Link()) link->Retry();
}

// Asked after the refusal was shown, from a message of its own: the question's
// modal loop must not run inside the link's report of the refusal.
LRESULT HostWindow::OnAskTrust(WPARAM, LPARAM) {
  host::XmppLink* link = host_.Link();
  if (!link || !host::IsCertificateRefusal(link->problem().refusal)) return 0;
  const host::ConnectionProblem problem = link->problem();
  const std::string address = host_.Account().value_or(host::XmppAccount{}).address;
  const std::string domain = address.substr(address.find('@') + 1);
  if (MessageBox(TrustQuestion(problem, domain).c_str(), kTrustCaption,
                 MB_YESNO | MB_ICONWARNING) == IDYES)
    host_.TrustCertificate(problem.certificate.fingerprint);
  Refresh();
  return 0;
}

void HostWindow::OpenMenu(int row, CPoint at) {
  Platform* platform = Platform::Current();
  if (!platform || row < 0 || row >= static_cast<int>(rows_.size())) return;
  const HANDLE contact = rows_[static_cast<size_t>(row)];
  const std::vector<host::MenuItem> items = MenuFor(contact);
  CMenu menu;
  menu.CreatePopupMenu();
  for (size_t i = 0; i < items.size(); ++i) {
    menu.AppendMenu(MF_STRING, kFirstMenuCommand + i, items[i].name.c_str());
  }
  if (items.empty()) menu.AppendMenu(MF_STRING | MF_GRAYED, kFirstMenuCommand, "(nothing to do)");
  const UINT chosen = platform->GetDriver().RunPopupMenu(menu, m_hWnd, at);
  if (chosen >= kFirstMenuCommand && chosen < kFirstMenuCommand + items.size()) {
    Choose(contact, chosen - kFirstMenuCommand);
  }
}

}  // namespace tessaro
