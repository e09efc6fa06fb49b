// The fixed sizes of the screen and of the parts every window shares (scroll
// bars, caption, icons). The framework's drawing, its controls and the windows
// themselves are laid out with them, so they sit below all of those.
#pragma once

int GetSystemMetrics(int nIndex);
