// The static control (a label or an icon) and the push button: how they are
// drawn in the framework's plain flat look, and the button's click. By window
// handle: the default window procedure runs them; the CStatic and CButton
// classes are in controls.h.
#pragma once

#include "framework/surface.h"
#include "framework/win_types.h"
#include "framework/window_record.h"

namespace tessaro {

class Platform;

// What a push button does with a message: a click, or Space while it has the
// focus, tells its parent BN_CLICKED.
LRESULT ButtonProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

// Draws all of a static control: its text (wrapped at blanks for the left,
// centred and right styles) or its icon from the platform's loaded icons.
void DrawStatic(const WindowRecord& rec, Surface& s, bool enabled, const Platform& p);
// Draws all of a push button: face, frame (doubled for the default button),
// centred text and the focus rectangle.
void DrawButton(const WindowRecord& rec, Surface& s, bool enabled, bool focused);

}  // namespace tessaro
