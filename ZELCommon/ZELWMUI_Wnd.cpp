#include "ZELCommon/ZELWMUI_Wnd.h"

namespace UI {

namespace {
const wchar_t kClassName[] = L"ZELWNDCLASS";
bool g_classRegistered = false;  // user-interface thread only
}  // namespace

CZELWMUI_Wnd::CZELWMUI_Wnd() {}

int CZELWMUI_Wnd::Create(HINSTANCE instance, HWND parent, DWORD style, const RECT& rect)
{
    if (!g_classRegistered) {
        WNDCLASSW windowClass = {};
        windowClass.style = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS;
        windowClass.lpfnWndProc = sWndProc;
        windowClass.hInstance = instance;
        windowClass.lpszClassName = kClassName;
        if (!RegisterClassW(&windowClass)) return 0;
        g_classRegistered = true;
    }
    HWND window = CreateWindowExW(0, kClassName, nullptr, style | WS_CHILD, rect.left, rect.top,
                                  rect.right - rect.left, rect.bottom - rect.top, parent, nullptr, instance,
                                  static_cast<CZELWMUI_Wnd*>(this));
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
