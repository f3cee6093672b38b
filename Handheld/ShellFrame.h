// The shell layer's hold on a window that asked for a title strip or a soft-key bar (internal to
// the layer): one subclass per window, its state kept in a window property and freed with the
// window. The subclass
// - reserves the title strip above the client area and draws it, with its button;
// - keeps the soft-key bar along the bottom of the client area, and out of the window's own
//   painting, as it would be on the device, where the bar is not part of the window.
#pragma once

#include <windows.h>

namespace ShellFrame {

struct State {
    WNDPROC previous;
    bool titleStrip;
    int button;  // IDOK, IDCANCEL, or 0 for none
    bool fullScreen;
    bool buttonPressed;
    int stripHeight;  // as reserved by the last WM_NCCALCSIZE
    HWND bar;
};

// The window's state, or null when the layer holds none.
State* Find(HWND window);
// The window's state, subclassing the window on first use; null when it cannot.
State* Attach(HWND window);

// Sizes a full-screen window to its owner's client area (the work area without an owner).
void FitToOwner(HWND window);
// Puts the bar along the bottom of the window's client area, above the window's other children.
void PlaceBar(HWND window, const State& state);

}  // namespace ShellFrame
