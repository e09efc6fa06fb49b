// Pictures of windows for screenshots: a window's client area as its canvas
// holds it (Platform::Snapshot), or a top-level window with a plain frame
// drawn around it: border, caption bar with icon and title, and menu bar.
#pragma once

#include "framework/image.h"
#include "framework/win_types.h"

namespace tessaro {

class Platform;

// The framed picture of hwnd's top-level window; empty for an unknown window.
Image SnapshotWithFrame(const Platform& platform, HWND hwnd);

}  // namespace tessaro
