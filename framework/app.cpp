#include "framework/app.h"

#include <atomic>

#include "framework/platform.h"

namespace {
std::atomic<CWinApp*> gApp{nullptr};
}  // namespace

CWinApp::CWinApp(const char* lpszAppName) : appName_(lpszAppName ? lpszAppName : "") {
  m_pszAppName = appName_.c_str();
  CWinApp* expected = nullptr;
  gApp.compare_exchange_strong(expected, this);
}

CWinApp::~CWinApp() {
  CWinApp* expected = this;
  gApp.compare_exchange_strong(expected, nullptr);
}

HICON CWinApp::LoadIcon(UINT nIDResource) const {
  return ::LoadIcon(nIDResource);
}

CWinApp* AfxGetApp() {
  return gApp.load();
}

CWnd* AfxGetMainWnd() {
  CWinApp* app = AfxGetApp();
  return app ? app->m_pMainWnd : nullptr;
}

BOOL LoadString(UINT nID, std::string& text) {
  tessaro::Platform* p = tessaro::Platform::Current();
  const tessaro::ResourceModule* module = p ? p->GetResourceModule() : nullptr;
  const std::string* found = module ? module->FindString(nID) : nullptr;
  text = found ? *found : std::string();
  return found ? TRUE : FALSE;
}

std::string LoadString(UINT nID) {
  std::string text;
  LoadString(nID, text);
  return text;
}

HICON LoadIcon(UINT nID) {
  tessaro::Platform* p = tessaro::Platform::Current();
  return p ? p->LoadIcon(nID) : nullptr;
}
