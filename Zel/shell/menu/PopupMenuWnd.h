// Popup menus: every menu of the program is shown by ShowPopupMenu in one owner-drawn window class,
// "ZELMENUWNDCLASS", run modally (its own message loop) until the user chooses or cancels. It
// returns the chosen item's callback, command id and argument; it never runs a callback itself.
// Sub-menus open as further levels of the same class. Closing a level without a choice (Escape or a
// soft key released, a tap outside, Left in the first column) gives {null, -1, 0}.
// User-interface thread only.
#pragma once

#include "Zel/core/plugin/PopupMenu.h"
#include "Zel/shell/menu/PopupMenuLayout.h"

#include <windows.h>

struct PopupMenuResult {
    MenuCallback callback;
    int commandId;
    intptr_t argument;

    bool Chosen() const { return callback != nullptr || commandId != -1; }
};

const PopupMenuResult NothingChosen = {nullptr, -1, 0};

// bounds: the screen area the menu stays in; anchor and alignment place it there.
PopupMenuResult ShowPopupMenu(const CPopupMenu& menu, const RECT& area, const POINT& anchor, int alignment,
                              HWND owner, bool fullScreen);
// Over the window's screen rectangle, its bottom-right corner on the window's bottom-right corner.
PopupMenuResult ShowPopupMenuAtWindow(const CPopupMenu& menu, HWND window, bool fullScreen);
// Over the window's screen rectangle, rising from its bottom-left corner.
PopupMenuResult ShowPopupMenuBelowWindow(const CPopupMenu& menu, HWND window, bool fullScreen);

// Tests stand in for the menu window: while a runner is set, ShowPopupMenu hands it the menu and its
// placement instead of showing a window, and returns what it picks. Null restores the window.
typedef PopupMenuResult (*PopupMenuRunner)(void* context, const CPopupMenu& menu, const RECT& area,
                                           const POINT& anchor, int alignment);
void SetPopupMenuRunner(PopupMenuRunner runner, void* context);

// The row-height option the menus use (the global "GlobWideMenu"); on until set.
void SetPopupMenuWide(bool wide);
