#include "UiTestSupport.h"

namespace TestSupport {

namespace {
const wchar_t kHostClass[] = L"ZelTestHost";

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
