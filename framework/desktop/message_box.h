// The desktop backend's message box. Internal to the backend.
#pragma once

#include "framework/driver.h"
#include "framework/platform.h"

class Fl_Window;

namespace tessaro {

// What Escape and the close box answer for a box type.
int EscapeAnswerOf(UINT type);
// Shows the box centred over `owner` (or the screen), runs the platform's loop
// until a button is chosen and returns it.
int RunDesktopMessageBox(Platform& platform, const MessageBoxRequest& request, Fl_Window* owner);

}  // namespace tessaro
