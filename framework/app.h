// The application object and the resource look-ups of the current module.
#pragma once

#include <string>

#include "framework/win_types.h"

class CWnd;

// ---- CWinApp ----
// The first CWinApp constructed becomes the process's application object until
// it is destroyed. Its name is the caption of AfxMessageBox; its main window,
// when set, owns AfxMessageBox and the modal dialogs that have no parent.

class CWinApp {
 public:
  explicit CWinApp(const char* lpszAppName = nullptr);
  virtual ~CWinApp();
  CWinApp(const CWinApp&) = delete;
  CWinApp& operator=(const CWinApp&) = delete;

  HICON LoadIcon(UINT nIDResource) const;

  CWnd* m_pMainWnd = nullptr;
  const char* m_pszAppName;  // points into the object's own copy

 private:
  std::string appName_;
};

CWinApp* AfxGetApp();
CWnd* AfxGetMainWnd();

// ---- Resources of the current module ----
// Looked up in the resource module set on the current platform.

std::string LoadString(UINT nID);  // empty when missing
BOOL LoadString(UINT nID, std::string& text);
HICON LoadIcon(UINT nID);  // the same handle for every call; null when missing
