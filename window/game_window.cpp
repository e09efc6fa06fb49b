#include "window/game_window.h"

#include <cstdio>
#include <utility>

namespace tessaro {

namespace {

inline constexpr const char* kWriteTestFile = "duvex.tmp";

}  // namespace

GameWindow::GameWindow() : CDialog(kGameDialogId, nullptr) {
  hIcon = ::LoadIcon(kPluginIconId);
  paintedCells.fill(kCellNotPainted);
}

GameWindow::~GameWindow() {
  // The dialog window goes before the members it draws from.
  if (m_hWnd != nullptr) DestroyWindow();
}

// ---- Message map ----

const AFX_MSGMAP* GameWindow::GetMessageMap() const {
  return GetThisMessageMap();
}

const AFX_MSGMAP* GameWindow::GetThisMessageMap() {
  static constexpr AFX_MSGMAP_ENTRY kEntries[] = {
      OnMessage<WM_SYSCOMMAND, &GameWindow::OnSysCommand>(),
      OnMessage<WM_PAINT, &GameWindow::OnPaint>(),
      OnMessage<WM_TIMER, &GameWindow::OnTimer>(),
      OnMessage<WM_QUERYDRAGICON, &GameWindow::OnQueryDragIcon>(),
      OnCommand<kCmdExit, &GameWindow::OnExit>(),
      OnCommand<kCmdReset, &GameWindow::OnReset>(),
      OnCommand<kCmdResign, &GameWindow::OnResign>(),
      OnCommand<kCmdOfferDraw, &GameWindow::OnOfferDraw>(),
      OnCommand<kCmdSetTimer, &GameWindow::OnSetTimer>(),
      OnCommand<kCmdAbout, &GameWindow::OnAbout>(),
      OnMessage<WM_LBUTTONDOWN, &GameWindow::OnLButtonDown>(),
      OnMessage<WM_KEYDOWN, &GameWindow::OnKeyDown>(),
      OnCommand<kCmdSaveGame, &GameWindow::OnSaveGame>(),
      OnMessage<WM_CLOSE, &GameWindow::OnClose>(),
      OnNotify<BN_CLICKED, kSimButton, &GameWindow::OnSim>(),
      OnCommand<kCmdLoadGame, &GameWindow::OnLoadGame>(),
      OnCommand<kCmdClearLog, &GameWindow::OnClearLog>(),
      OnCommand<kCmdMoveNumbers, &GameWindow::OnMoveNumbers>(),
      OnCommand<kCmdLastStoneMarker, &GameWindow::OnLastStoneMarker>(),
      OnCommand<kCmdEarlierGames, &GameWindow::OnEarlierGames>(),
  };
  static constexpr AFX_MSGMAP kMap = MakeMessageMap(&CDialog::GetThisMessageMap, kEntries);
  return &kMap;
}

// Whatever a message did to the game, the profile keeps it and the line under
// the board says it.
LRESULT GameWindow::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  const LRESULT result = CDialog::WindowProc(message, wParam, lParam);
  KeepGame();
  ShowStatus();
  return result;
}

// ---- Life of the window ----

int GameWindow::CreateModeless() {
  if (!Create(kGameDialogId, nullptr)) return -1;
  return 0;
}

BOOL GameWindow::OnInitDialog() {
  CDialog::OnInitDialog();
  // The pane takes over what was logged before the window was made; a window
  // opened again (the same message comes once more) shows its newest line.
  if (CRichEditCtrl* pane = LogPane()) {
    if (!logBeforePane.empty()) SetLog(std::exchange(logBeforePane, {}));
    pane->SetSel(pane->GetTextLength(), pane->GetTextLength());
  }
  if (CMenu* systemMenu = GetSystemMenu(FALSE); systemMenu != nullptr && !aboutItemAdded) {
    const std::string about = LoadString(kAboutStringId);
    if (!about.empty()) {
      systemMenu->AppendMenu(MF_SEPARATOR);
      systemMenu->AppendMenu(MF_STRING, kSysCmdAbout, about.c_str());
      aboutItemAdded = true;
    }
  }
  SetIcon(hIcon, TRUE);
  SetIcon(hIcon, FALSE);
  return FALSE;
}

void GameWindow::InitWindow() {
  // The games are saved next to where the host runs; say so at once when that
  // folder cannot be written.
  if (std::FILE* file = std::fopen(kWriteTestFile, "w"); file != nullptr) {
    std::fclose(file);
    std::remove(kWriteTestFile);
  } else {
    AfxMessageBox("ERROR: no write permission", MB_OK);
    SendMessage(WM_CLOSE, 0, 0);
  }
  saveFile = "SaveFile";
  game.Start();
  if (logFont.GetSafeHandle() == nullptr) {
    logFont.CreateFont(16, 0, 0, 0, 400, FALSE, FALSE, FALSE, 204, 0, 0, 0, 32, "Courier New");
    if (CWnd* pane = GetDlgItem(kLogPane)) pane->SetFont(&logFont, TRUE);
  }
  if (m_hWnd != nullptr) SetWindowText(game.peerName);
}

// ---- Painting ----

void GameWindow::OnPaint() {
  DrainInbox();
  if (m_hWnd == nullptr) return;
  if (IsIconic()) {
    CPaintDC dc(this);
    SendMessage(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc.GetSafeHdc()), 0);
    CRect client;
    GetClientRect(&client);
    const int x = (client.Width() - GetSystemMetrics(SM_CXICON) + 1) / 2;
    const int y = (client.Height() - GetSystemMetrics(SM_CYICON) + 1) / 2;
    dc.DrawIcon(x, y, hIcon);
    paintedCells.fill(kCellNotPainted);  // the icon covers the board
    return;
  }
  DrawBoard();
  if (CRichEditCtrl* pane = LogPane()) {
    const long end = pane->GetTextLength();
    long from = 0, to = 0;
    pane->GetSel(from, to);
    // Each log line leaves the caret at the end: setting it there again would
    // look through the whole log at every paint.
    if (from != end || to != end) pane->SetSel(end, end);
  }
  // A label set again repaints itself: only one whose text changed is set.
  for (const auto& [label, seconds] :
       {std::pair{kOwnClockLabel, game.myClock}, std::pair{kPeerClockLabel, game.peerClock}}) {
    std::string shown;
    GetDlgItemText(label, shown);
    if (std::string text = std::to_string(seconds); text != shown) SetDlgItemText(label, text);
  }
  PublishStatus();
  Default();
}

void GameWindow::ShowStatus() {
  if (m_hWnd == nullptr) return;
  ShowClockCaptions();
  std::string status = peerOtherVersion ? OtherVersionText() : game.StatusLine();
  if (status == shownStatus) return;
  SetDlgItemText(kStatusLine, status);
  if (CWnd* line = GetDlgItem(kStatusLine)) line->Invalidate(TRUE);
  shownStatus = std::move(status);
}

void GameWindow::PublishStatus() {
  const std::string status = game.StatusText();
  if (status == publishedStatus || hContact == nullptr || host == nullptr) return;
  publishedStatus = status;
  host->SetContactStatus(hContact, status);
}

HCURSOR GameWindow::OnQueryDragIcon() {
  return static_cast<HCURSOR>(hIcon);
}

// ---- Menu commands and closing ----

void GameWindow::OnSysCommand(UINT nID, LPARAM lParam) {
  if ((nID & 0xFFF0) == kSysCmdAbout) {
    OnAbout();
    return;
  }
  Default();
  (void)lParam;
}

void GameWindow::OnAbout() {
  CDialog about(kAboutDialogId, nullptr);
  about.DoModal();
}

void GameWindow::OnExit() {
  SendMessage(WM_CLOSE, 0, 0);
}

// The dialog manager turns WM_CLOSE into IDCANCEL, and OnCancel of a modeless
// dialog hides it: the game, the clocks and the log stay.
void GameWindow::OnClose() {
  Default();
}

void GameWindow::OnClearLog() {
  ForgetLog();
  SetLog({});
}

}  // namespace tessaro
