// UI::CZELWMUI_Wnd: a child window of the framework's own class, "ZELWNDCLASS", bound to its
// object through the window's user data from WM_CREATE on.
#pragma once

#include "ZELCommon/ZELCommonApi.h"
#include "ZELCommon/ZELWMUI_WndBase.h"

#include <windows.h>

namespace UI {

class ZELCOMMON_API CZELWMUI_Wnd : public CZELWMUI_WndBase {
public:
    CZELWMUI_Wnd();

    // Makes the window: a child (style plus WS_CHILD) of parent over rect, with this object as
    // its creation parameter. The class is registered on the first call in the process under this
    // library's own module, and the window made under it too, so every module of the process (the
    // program, each plug-in) shares the one class; instance is not needed for that. Returns 1 when
    // the window stands; 0 when the class could not be registered (the next call tries again) or no
    // window was made.
    int Create(HINSTANCE instance, HWND parent, DWORD style, const RECT& rect);

    // The class's window procedure: messages before WM_CREATE (and after WM_NCDESTROY) find no
    // object and get the default processing.
    static LRESULT CALLBACK sWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
};

}  // namespace UI
