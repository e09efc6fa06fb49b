#include "framework/common_dialogs.h"

#include <filesystem>

#include "framework/app.h"
#include "framework/platform.h"
#include "framework/wnd.h"

namespace fs = std::filesystem;
using tessaro::Platform;

int AfxMessageBox(const char* lpszText, UINT nType, UINT) {
  CWinApp* app = AfxGetApp();
  CWnd* main = AfxGetMainWnd();
  return tessaro::ShowMessageBox(lpszText ? lpszText : "", app ? app->m_pszAppName : "", nType,
                                 main ? main->m_hWnd : nullptr);
}

int AfxMessageBox(const std::string& text, UINT nType, UINT nIDHelp) {
  return AfxMessageBox(text.c_str(), nType, nIDHelp);
}

// ---- CFileDialog ----

CFileDialog::CFileDialog(BOOL bOpenFileDialog, const char* lpszDefExt, const char* lpszFileName,
                         DWORD dwFlags, const char* lpszFilter, CWnd* pParentWnd)
    : m_bOpenFileDialog(bOpenFileDialog),
      m_strDefExt(lpszDefExt ? lpszDefExt : ""),
      m_strFileName(lpszFileName ? lpszFileName : ""),
      m_dwFlags(dwFlags),
      m_strFilter(lpszFilter ? lpszFilter : ""),
      m_pParentWnd(pParentWnd) {}

std::vector<std::pair<std::string, std::string>> CFileDialog::ParseFilter(
    const std::string& filter) {
  std::vector<std::pair<std::string, std::string>> out;
  size_t at = 0;
  while (at < filter.size()) {
    const size_t bar = filter.find('|', at);
    if (bar == std::string::npos || bar == at) break;  // "||" ends the list
    const size_t end = filter.find('|', bar + 1);
    out.emplace_back(
        filter.substr(at, bar - at),
        filter.substr(bar + 1, (end == std::string::npos ? filter.size() : end) - bar - 1));
    if (end == std::string::npos) break;
    at = end + 1;
  }
  return out;
}

INT_PTR CFileDialog::DoModal() {
  Platform* p = Platform::Current();
  if (!p || !p->IsUiThread()) return IDCANCEL;
  tessaro::FileDialogRequest request;
  request.open = m_bOpenFileDialog != FALSE;
  request.defExt = m_strDefExt;
  request.fileName = path_.empty() ? m_strFileName : path_;
  request.flags = m_dwFlags;
  request.filter = m_strFilter;
  request.filters = ParseFilter(m_strFilter);
  request.owner = m_pParentWnd ? m_pParentWnd->m_hWnd : nullptr;
  const HWND owner = request.owner && p->Find(request.owner) ? request.owner : nullptr;
  const bool disable = owner && p->IsEnabled(owner);
  if (disable) p->SetEnabled(owner, false);
  INT_PTR result = IDCANCEL;
  for (;;) {
    std::string chosen;
    if (!p->GetDriver().RunFileDialog(request, chosen) || chosen.empty()) break;
    fs::path path(chosen);
    if (!m_strDefExt.empty() && !path.has_extension()) path += "." + m_strDefExt;
    std::error_code ec;
    const fs::path full = fs::absolute(path, ec).lexically_normal();
    const std::string full_string = ec ? path.string() : full.string();
    if (!request.open && (m_dwFlags & OFN_OVERWRITEPROMPT) && fs::exists(full_string, ec)) {
      // As the platform's dialog does: ask, and on No let the user choose again.
      const int answer =
          tessaro::ShowMessageBox(full_string + " already exists.\nDo you want to replace it?",
                                  "Save As", MB_YESNO | MB_ICONEXCLAMATION, owner);
      if (answer != IDYES) continue;
    }
    path_ = full_string;
    result = IDOK;
    break;
  }
  if (disable && p->Find(owner)) p->SetEnabled(owner, true);
  return result;
}

std::string CFileDialog::GetPathName() const {
  return path_;
}

std::string CFileDialog::GetFileName() const {
  return fs::path(path_).filename().string();
}

std::string CFileDialog::GetFileExt() const {
  const std::string ext = fs::path(path_).extension().string();
  return ext.empty() ? ext : ext.substr(1);
}

std::string CFileDialog::GetFileTitle() const {
  return fs::path(path_).stem().string();
}
