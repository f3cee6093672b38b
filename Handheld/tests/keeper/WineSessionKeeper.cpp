// Keeps one ordinary process on the test display's desktop for the whole test run. When the last
// ordinary process of a session ends, Wine stops its desktop and services; the next test program
// would start them again, and they would inherit that program's output pipe and hold it open after
// it ended, so the test runner would wait for them until its timeout. The run ends this process
// with the server ("wineserver -k").
#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    // Joining the desktop is what counts: a message-only window makes sure of it.
    HWND window = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) DispatchMessageW(&message);
    if (window) DestroyWindow(window);
    return 0;
}
