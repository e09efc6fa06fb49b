// Default processing: what a window does with a message its message map does
// not handle (painting and erasing, closing, the system commands, icons and
// text, and each control kind's own behaviour), and the dialog manager's
// keyboard handling. By window handle, below the window classes: CWnd's
// DefWindowProc and IsDialogMessage call down into it.
#pragma once

#include "framework/win_types.h"
#include "framework/window_object.h"

namespace tessaro {

// The default processing of a message for any window.
LRESULT DefaultWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

// The dialog manager's keyboard handling of `msg` for dialog `dialog` (Enter,
// Escape, Tab, Space on buttons); true when it dealt with the message. False
// for a window that is not a dialog or a message from outside it.
bool HandleDialogKey(HWND dialog, const MSG& msg);

}  // namespace tessaro
