// The edit control and the rich edit control (which here is an edit holding
// plain text, as the game log needs): typing and selection, the keys, the
// wheel and the scroll bars that move a multi-line edit's view, and how it is
// drawn. By window handle: the default window procedure runs it, and the
// CEdit and CRichEditCtrl classes (controls.h) are thin over it.
#pragma once

#include <string_view>

#include "framework/surface.h"
#include "framework/win_types.h"
#include "framework/window_record.h"

namespace tessaro {

// Whether a window is an edit or a rich edit control.
bool IsEdit(const WindowRecord& rec);

// What an edit control does with a message (typing, clicks, keys, EM_*).
LRESULT EditProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

// Sets an edit control's selection as EM_SETSEL does (-1 start: no selection,
// -1 end: to the end); the caret is at `end`. With `scroll`, a multi-line edit
// scrolls so that the caret's line is visible.
void SetEditSelection(HWND hwnd, int start, int end, bool scroll);
// Replaces an edit control's selection with text, as typing does.
void ReplaceEditSelection(HWND hwnd, std::string_view text);

// Draws all of an edit control: border, scroll bars, the lines in view, the
// selection and the caret.
void DrawEdit(const WindowRecord& rec, Surface& s, bool enabled, bool focused);

}  // namespace tessaro
