// CWnd: a C++ object attached to a window of the current platform. Messages
// reach it through its message map; what the map leaves out gets the window's
// default processing (dialog manager, controls, painting). The object and the
// window have separate lives: DestroyWindow ends the window and leaves the
// object; deleting the object destroys its window.
#pragma once

#include <memory>
#include <string>

#include "framework/message_map.h"
#include "framework/metrics.h"
#include "framework/win_const.h"
#include "framework/win_types.h"
#include "framework/window_object.h"

class CDC;
class CFont;
class CMenu;

class CWnd : public tessaro::WindowObject {
 public:
  CWnd();
  ~CWnd() override;
  CWnd(const CWnd&) = delete;
  CWnd& operator=(const CWnd&) = delete;

  // ---- Window life ----

  // Creates a plain window (or, with WS_CHILD, a child of pParentWnd) whose client
  // area is `rect` (screen or parent client coordinates). FALSE without a platform,
  // for an object that already has a window or an unknown control class.
  BOOL CreateEx(DWORD dwExStyle, const char* lpszClassName, const char* lpszWindowName,
                DWORD dwStyle, const RECT& rect, CWnd* pParentWnd, UINT nID);
  virtual BOOL DestroyWindow();
  HWND GetSafeHwnd() const { return m_hWnd; }
  static CWnd* FromHandle(HWND hWnd);  // the object of a live window, else null

  // ---- Messages ----

  LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);
  BOOL PostMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
  virtual LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam);
  // Default processing of the message being handled right now.
  LRESULT Default();
  // Called for keyboard messages before they are dispatched, for the target and
  // each of its parents; TRUE means the message was dealt with.
  BOOL PreTranslateMessage(MSG* pMsg) override;
  // The dialog manager's keyboard handling (Enter, Escape, Tab, Space on buttons).
  BOOL IsDialogMessage(MSG* pMsg);
  virtual const AFX_MSGMAP* GetMessageMap() const;
  static const AFX_MSGMAP* GetThisMessageMap();

  // ---- Timers ----

  // Starts or restarts timer nIDEvent of this window; returns nonzero on success.
  UINT_PTR SetTimer(UINT_PTR nIDEvent, UINT nElapse, TIMERPROC lpfnTimer = nullptr);
  BOOL KillTimer(UINT_PTR nIDEvent);

  // ---- Painting ----

  void Invalidate(BOOL bErase = TRUE);
  void InvalidateRect(const RECT* lpRect, BOOL bErase = TRUE);  // null: the whole client
  void ValidateRect(const RECT* lpRect);
  BOOL GetUpdateRect(RECT* lpRect, BOOL bErase = FALSE);
  void UpdateWindow();  // paints now if anything is invalid
  // Writes the client area as a PNG file.
  BOOL SavePng(const std::string& path) const;

  // ---- State ----

  BOOL ShowWindow(int nCmdShow);  // returns whether it was visible before
  BOOL IsWindowVisible() const;
  BOOL IsIconic() const;
  BOOL EnableWindow(BOOL bEnable = TRUE);
  BOOL IsWindowEnabled() const;
  BOOL FlashWindow(BOOL bInvert);
  DWORD GetStyle() const;
  DWORD GetExStyle() const;
  void GetClientRect(RECT* lpRect) const;
  void GetWindowRect(RECT* lpRect) const;
  CWnd* GetParent() const;
  int GetDlgCtrlID() const;
  CWnd* SetFocus();  // returns the window that had the focus
  static CWnd* GetFocus();

  // ---- Text ----

  void SetWindowText(const char* lpszString);
  void SetWindowText(const std::string& text) { SetWindowText(text.c_str()); }
  int GetWindowText(char* lpszStringBuf, int nMaxCount) const;
  void GetWindowText(std::string& text) const;
  int GetWindowTextLength() const;

  // ---- Controls of a dialog ----

  CWnd* GetDlgItem(int nID) const;  // the first child with that id, else null
  void SetDlgItemText(int nID, const char* lpszString);
  void SetDlgItemText(int nID, const std::string& text) { SetDlgItemText(nID, text.c_str()); }
  int GetDlgItemText(int nID, std::string& text) const;

  // ---- Icons, menus, fonts ----

  HICON SetIcon(HICON hIcon, BOOL bBigIcon);  // sends WM_SETICON; returns the previous icon
  HICON GetIcon(BOOL bBigIcon) const;
  // The window's system menu (null without WS_SYSMENU); bRevert = TRUE restores
  // the standard items and returns null.
  CMenu* GetSystemMenu(BOOL bRevert);
  CMenu* GetMenu() const;  // the menu bar, or null
  void SetFont(CFont* pFont, BOOL bRedraw = TRUE);
  CFont* GetFont() const;  // a copy kept by the window, or null

  // ---- Message boxes ----

  // A modal message box owned by this window. A null caption shows "Error".
  int MessageBox(const char* lpszText, const char* lpszCaption = nullptr, UINT nType = MB_OK);

  // ---- Default handlers (each does the default processing) ----

  void OnPaint();
  void OnClose();
  void OnDestroy();
  void OnTimer(UINT_PTR nIDEvent);
  void OnLButtonDown(UINT nFlags, CPoint point);
  void OnKeyDown(UINT nChar, UINT nRepCnt, UINT nFlags);
  void OnSysCommand(UINT nID, LPARAM lParam);
  HCURSOR OnQueryDragIcon();

  // m_hWnd, the window, comes with tessaro::WindowObject.

 protected:
  // Finds the handler of a message in the map chain and calls it; FALSE when no
  // entry matches.
  BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult);

 private:
  friend class CDialog;
};

// ---- Platform calls on handles ----

BOOL IsWindow(HWND hWnd);
LRESULT SendMessage(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);
// Thread-safe. FALSE when no platform exists (or, on the UI thread, for a window
// that no longer exists).
BOOL PostMessage(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);
void PostQuitMessage(int nExitCode);
