// Popup menus: every menu of the program is shown by ShowPopupMenu, which returns the chosen item's
// callback, command id and argument. This build has no menu window yet: nothing is shown and no item
// is chosen.
#pragma once

#include "Zel/core/plugin/PopupMenu.h"

#include <windows.h>

struct PopupMenuResult {
    MenuCallback callback;
    int commandId;
    intptr_t argument;
};

// Alignment modes of the anchor point.
enum { MenuAlignAboveLeft = 3, MenuAlignAboveRight = 5 };

PopupMenuResult ShowPopupMenu(const CPopupMenu& menu, const RECT& area, const POINT& anchor, int alignment,
                              HWND owner, bool fullScreen);

// Tests stand in for the menu window: while a runner is set, ShowPopupMenu hands it the menu and its
// placement instead of showing a window, and returns what it picks. Null restores the window.
typedef PopupMenuResult (*PopupMenuRunner)(void* context, const CPopupMenu& menu, const RECT& area,
                                           const POINT& anchor, int alignment);
void SetPopupMenuRunner(PopupMenuRunner runner, void* context);
