// Modal message boxes and the common file dialog. Each runs a nested message
// loop while it is open, so other windows keep getting their messages.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "framework/modal_box.h"
#include "framework/win_const.h"
#include "framework/win_types.h"

class CWnd;

// An application-modal message box with the application's name as caption,
// owned by the application's main window if there is one. Returns the button
// chosen (IDOK, IDYES, ...).
int AfxMessageBox(const char* lpszText, UINT nType = MB_OK, UINT nIDHelp = 0);
int AfxMessageBox(const std::string& text, UINT nType = MB_OK, UINT nIDHelp = 0);

// ---- CFileDialog ----

class CFileDialog {
 public:
  // lpszFilter: pairs of "name|patterns|" ending in "|", e.g. "LIB files|*.lib||".
  explicit CFileDialog(BOOL bOpenFileDialog, const char* lpszDefExt = nullptr,
                       const char* lpszFileName = nullptr,
                       DWORD dwFlags = OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT,
                       const char* lpszFilter = nullptr, CWnd* pParentWnd = nullptr);
  virtual ~CFileDialog() = default;

  // IDOK once a file was chosen, else IDCANCEL. A name without an extension
  // gets the default one. Saving over an existing file with
  // OFN_OVERWRITEPROMPT asks first; No returns to the dialog.
  virtual INT_PTR DoModal();
  std::string GetPathName() const;   // the full path chosen
  std::string GetFileName() const;   // its last component
  std::string GetFileExt() const;    // its extension without the dot
  std::string GetFileTitle() const;  // its last component without the extension

  // The filter entries as (name, patterns).
  static std::vector<std::pair<std::string, std::string>> ParseFilter(const std::string& filter);

  BOOL m_bOpenFileDialog;
  std::string m_strDefExt;
  std::string m_strFileName;  // the initial name
  DWORD m_dwFlags;
  std::string m_strFilter;
  CWnd* m_pParentWnd;

 private:
  std::string path_;
};
