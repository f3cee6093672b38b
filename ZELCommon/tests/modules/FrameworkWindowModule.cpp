// A second module that makes windows of the framework's class with its own instance, as a
// plug-in does: a plain window, and a dialog from its own template holding a framework control.
// The tests load it at run time beside their own windows.
#include "ZELCommon/ZELWMUI_Dlg.h"
#include "ZELCommon/ZELWMUI_Wnd.h"

#include <windows.h>

namespace {

const int kPageTemplate = 101;
HINSTANCE g_instance = nullptr;

class Page : public UI::CZELWMUI_Dlg {
public:
    UI::CZELWMUI_Wnd control;
    DWORD controlError = 0;

    void OnInitDialog() override
    {
        RECT rect = {4, 16, 24, 36};
        SetLastError(0);
        if (!control.Create(g_instance, hwnd, WS_VISIBLE, rect)) controlError = GetLastError();
    }
};

UI::CZELWMUI_Wnd g_window;
Page g_page;

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH) g_instance = instance;
    return TRUE;
}

// Makes the module's window, a child of parent; null when none was made, with the platform's
// error in *error.
extern "C" __declspec(dllexport) HWND MakeFrameworkWindow(HWND parent, DWORD* error)
{
    RECT rect = {0, 0, 20, 20};
    SetLastError(0);
    int made = g_window.Create(g_instance, parent, WS_VISIBLE, rect);
    *error = GetLastError();
    return made ? (HWND)g_window : nullptr;
}

// Makes the module's page, a modeless child dialog of parent, whose initialisation makes a
// framework control in it; returns the page (null when none was made) and the control in *control
// (null when none was made, with the platform's error in *error).
extern "C" __declspec(dllexport) HWND MakeFrameworkPage(HWND parent, HWND* control, DWORD* error)
{
    SetLastError(0);
    HWND page = g_page.Create(kPageTemplate, g_instance, parent);
    *control = g_page.control;
    *error = page ? g_page.controlError : GetLastError();
    return page;
}
