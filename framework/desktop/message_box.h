// The desktop backend's message box. Internal to the backend.
#pragma once

#include "framework/driver.h"
#include "framework/platform.h"

class Fl_Window;

namespace tessaro {

// What Escape and the close box answer for a box type.
int EscapeAnswerOf(UINT type);
// Where a box of size `box` opens for a window at `owner` (screen pixels) so
// that the window, and the board in it, stay in view: to its right, else to
// its left, else below, else above it, wherever it fits on `screen` whole;
// when none does, over the window's right edge (where the game window has its
// log), kept on the screen.
CPoint PlaceBeside(const CRect& owner, CSize box, const CRect& screen);
// The same for a shown toolkit window on the whole screen.
CPoint PlaceBeside(const Fl_Window& owner, CSize box);
// Gives a newly shown box the keyboard once it is on screen: without a window
// manager nothing else would, and typing would go to the window under the mouse.
void GiveKeyboardFocus(Fl_Window& window);
// Shows a modal box beside `owner` (centred on the screen without one) and
// gives it the keyboard.
void ShowBeside(Fl_Window& box, Fl_Window* owner);
// Shows the box beside `owner` (or centred on the screen), runs the
// platform's loop until a button is chosen and returns it. Sizes grow with `scale`.
int RunDesktopMessageBox(Platform& platform, const MessageBoxRequest& request, Fl_Window* owner,
                         int scale = 1);

}  // namespace tessaro
