#include "ZELCommon/ZELWMUI_Wnd.h"

#include "ZELCommon/ZELCommonMain.h"

namespace UI {

namespace {
const wchar_t kClassName[] = L"ZELWNDCLASS";
bool g_classRegistered = false;  // user-interface thread only

// A window class is found by its name together with the module it was registered under. The
// class belongs to this library, whichever module makes the first window: registered under the
// caller's instance, a plug-in's windows would not find the program's class, nor the other way
// round.
bool RegisterWindowClass()
{
    if (g_classRegistered) return true;
    WNDCLASSW windowClass = {};
    windowClass.style = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS;
    windowClass.lpfnWndProc = CZELWMUI_Wnd::sWndProc;
    windowClass.hInstance = GetZELCommonModule();
    windowClass.lpszClassName = kClassName;
    if (!RegisterClassW(&windowClass) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) return false;
    g_classRegistered = true;
    return true;
}
}  // namespace

CZELWMUI_Wnd::CZELWMUI_Wnd() {}

int CZELWMUI_Wnd::Create(HINSTANCE instance, HWND parent, DWORD style, const RECT& rect)
{
    if (!RegisterWindowClass()) return 0;
    HWND window = CreateWindowExW(0, kClassName, nullptr, style | WS_CHILD, rect.left, rect.top,
                                  rect.right - rect.left, rect.bottom - rect.top, parent, nullptr,
                                  GetZELCommonModule(), static_cast<CZELWMUI_Wnd*>(this));
    // Callers go on to use the window: a failure must not look like success.
    return window ? 1 : 0;
}

LRESULT CALLBACK CZELWMUI_Wnd::sWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_CREATE) {
        const CREATESTRUCTW* creation = (const CREATESTRUCTW*)lParam;
        SetWindowLongPtrW(window, GWLP_USERDATA, (LONG_PTR)creation->lpCreateParams);
    }
    CZELWMUI_Wnd* self = (CZELWMUI_Wnd*)GetWindowLongPtrW(window, GWLP_USERDATA);
    if (!self) return DefWindowProcW(window, message, wParam, lParam);
    // The object may be gone once the last message has been handled: nothing reaches it afterwards.
    if (message == WM_NCDESTROY) SetWindowLongPtrW(window, GWLP_USERDATA, 0);
    return self->WndProc(window, message, wParam, lParam);
}

}  // namespace UI
