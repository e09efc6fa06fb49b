// What the window list knows of the C++ object attached to a window: where
// to deliver its messages. CWnd implements it; the platform, the drawing and
// the default processing below CWnd reach a window's object only through it,
// so that none of them depends on the window classes above.
#pragma once

#include "framework/win_types.h"

// A message as the queue holds it.
struct MSG {
  HWND hwnd = nullptr;
  UINT message = 0;
  WPARAM wParam = 0;
  LPARAM lParam = 0;
  DWORD time = 0;
  POINT pt;
};

typedef void (*TIMERPROC)(HWND, UINT, UINT_PTR, DWORD);

namespace tessaro {

class WindowObject {
 public:
  virtual ~WindowObject() = default;
  // Handles a message sent or posted to the window.
  virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) = 0;
  // Called for keyboard messages before they are dispatched, for the target and
  // each of its parents; TRUE means the message was dealt with.
  virtual BOOL PreTranslateMessage(MSG* pMsg) = 0;

  // The window, set by the platform while the object has one.
  HWND m_hWnd = nullptr;
};

}  // namespace tessaro
