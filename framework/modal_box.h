// A modal message box by window handle, through the current platform's
// backend. Below the window classes: CWnd::MessageBox and AfxMessageBox
// (common_dialogs.h) both come down to it.
#pragma once

#include <string>

#include "framework/win_types.h"

namespace tessaro {
// Shows a modal message box through the current platform's backend, with
// `owner` (null: none) disabled while it is open. Returns the button chosen,
// or 0 when there is no platform.
int ShowMessageBox(const std::string& text, const std::string& caption, UINT type, HWND owner);
}  // namespace tessaro
