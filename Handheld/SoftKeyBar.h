// The soft-key bar window (internal to the layer): up to two keys taken from the top-level items of
// a menu, drawn across the bar, answering the toolbar messages listed in ShellUi.h.
#pragma once

#include <windows.h>

namespace SoftKeyBar {

// Makes the bar as a child of parent along the bottom of its client area. Takes ownership of menu
// (destroyed with the bar, or at once on failure). Null when no window could be made.
HWND Create(HWND parent, HMENU menu);

}  // namespace SoftKeyBar
