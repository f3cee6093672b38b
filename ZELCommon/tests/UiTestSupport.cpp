#include "UiTestSupport.h"

#include <string>

namespace TestSupport {

namespace {
const wchar_t kHostClass[] = L"ZelTestHost";

// Under Wine, a window that was ever active is handed to the window manager, and destroying it
// waits two seconds for a window manager that Xvfb does not have. Before the display driver
// starts, ask Wine to manage no window of this test program itself.
struct UnmanagedWindowsUnderWine {
    UnmanagedWindowsUnderWine()
    {
        HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
        if (!ntdll || !GetProcAddress(ntdll, "wine_get_version")) return;
        wchar_t path[MAX_PATH] = L"";
        DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
        std::wstring program(path, length);
        size_t slash = program.find_last_of(L"\\/");
        if (slash != std::wstring::npos) program = program.substr(slash + 1);
        std::wstring key = L"Software\\Wine\\AppDefaults\\" + program + L"\\X11 Driver";
        RegSetKeyValueW(HKEY_CURRENT_USER, key.c_str(), L"Managed", REG_SZ, L"N", 2 * sizeof(wchar_t));
    }
} g_unmanagedWindows;

bool RegisterHostClass()
{
    static bool registered = false;
    if (registered) return true;
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = DefWindowProcW;
    windowClass.hInstance = TestModule();
    windowClass.hbrBackground = (HBRUSH)GetStockObject(WHITE_BRUSH);
    windowClass.hCursor = LoadCursorW(nullptr, (LPCWSTR)IDC_ARROW);
    windowClass.lpszClassName = kHostClass;
    registered = RegisterClassW(&windowClass) != 0;
    return registered;
}
}  // namespace

bool DisplayAvailable()
{
    static int known = -1;
    if (known < 0) {
        RegisterHostClass();
        HWND probe = CreateWindowExW(0, kHostClass, L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, TestModule(), nullptr);
        known = probe != nullptr;
        if (probe) DestroyWindow(probe);
    }
    return known == 1;
}

HWND CreateHostWindow(int clientWidth, int clientHeight, const wchar_t* title)
{
    if (!RegisterHostClass()) return nullptr;
    DWORD style = WS_POPUP | WS_CLIPCHILDREN | WS_VISIBLE;
    RECT frame = {0, 0, clientWidth, clientHeight};
    AdjustWindowRectEx(&frame, style, FALSE, 0);
    HWND window = CreateWindowExW(0, kHostClass, title, style, 0, 0, frame.right - frame.left,
                                  frame.bottom - frame.top, nullptr, nullptr, TestModule(), nullptr);
    if (window) {
        UpdateWindow(window);
        PumpMessages();
    }
    return window;
}

void PumpMessages()
{
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

}  // namespace TestSupport
