// Helpers for tests that make real windows: a plain top-level host window, a message pump and a
// scope that sets the screen density for one test. The display check, ZEL_REQUIRE_DISPLAY, comes
// from the header shared by every module's tests.
#pragma once

#include "Handheld/tests/DisplayRequirement.h"
#include "ZELCommon/ZELWMUI_HiDpi.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <functional>
#include <vector>

namespace TestSupport {

// A visible top-level window with a white background whose client area has the given size, at the
// screen's top-left corner. Destroyed by DestroyWindow.
HWND CreateHostWindow(int clientWidth, int clientHeight, const wchar_t* title = L"Test host");

// Handles every message waiting for this thread.
void PumpMessages();

// The test program's module, which holds the test dialog templates.
inline HINSTANCE TestModule()
{
    return GetModuleHandleW(nullptr);
}

// Sets both density values for the scope's life.
class DpiScope {
public:
    explicit DpiScope(int dpi) : x(g_HIDPI_LogPixelsX), y(g_HIDPI_LogPixelsY)
    {
        g_HIDPI_LogPixelsX = dpi;
        g_HIDPI_LogPixelsY = dpi;
    }
    ~DpiScope()
    {
        g_HIDPI_LogPixelsX = x;
        g_HIDPI_LogPixelsY = y;
    }

private:
    int x, y;
};

// Destroys a window at the end of a scope, unless it is already gone.
class WindowScope {
public:
    explicit WindowScope(HWND window) : window(window) {}
    ~WindowScope()
    {
        if (window && IsWindow(window)) DestroyWindow(window);
    }
    WindowScope(const WindowScope&) = delete;
    WindowScope& operator=(const WindowScope&) = delete;
    HWND Get() const { return window; }

private:
    HWND window;
};

// A dialog that runs a script once it stands: each step runs from a posted message, so a modal
// dialog's own loop drives it, and the next step follows when the previous one returns. A watchdog
// ends a dialog that a broken script leaves open, with kTimedOut.
template <typename Dialog> class Scripted : public Dialog {
public:
    using Dialog::Dialog;
    enum { kStepMessage = WM_APP + 0x3A1, kWatchdogTimer = 0x3A1, kTimedOut = -2 };

    std::vector<std::function<void()>> steps;

    // Call from OnInitDialog.
    void StartScript()
    {
        SetTimer(this->hwnd, kWatchdogTimer, 10000, nullptr);
        next = 0;
        if (!steps.empty()) PostMessageW(this->hwnd, kStepMessage, 0, 0);
    }

    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        if (message != kStepMessage) return Dialog::OnMessage(message, wParam, lParam);
        HWND window = this->hwnd;
        if (next < steps.size()) steps[next++]();
        if (next < steps.size() && IsWindow(window)) PostMessageW(window, kStepMessage, 0, 0);
        return 0;
    }

    void OnTimer(UINT_PTR id, TIMERPROC procedure) override
    {
        if (id == kWatchdogTimer)
            ::EndDialog(this->hwnd, kTimedOut);
        else
            Dialog::OnTimer(id, procedure);
    }

private:
    size_t next = 0;
};

// Clicks a point of a window's client area with the left button, by messages.
inline void ClickClient(HWND window, int x, int y)
{
    SendMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
    SendMessageW(window, WM_LBUTTONUP, 0, MAKELPARAM(x, y));
}

// A window's rectangle in the client coordinates of another (a child's in its parent's).
inline RECT RectIn(HWND control, HWND to)
{
    RECT rect = {};
    GetWindowRect(control, &rect);
    MapWindowPoints(HWND_DESKTOP, to, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

}  // namespace TestSupport
