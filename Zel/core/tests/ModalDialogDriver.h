// Working modal dialogs from a test: the dialog runs on the test's thread, opened by a menu item as
// the program would, while a helper thread finds it and types into it.
#pragma once

#include "Zel/core/tests/BusTestSupport.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <functional>
#include <string>
#include <thread>

namespace DialogTest {

// Types text into a control as keystrokes; works from any thread.
inline void Type(HWND control, const std::wstring& text)
{
    SendMessageW(control, WM_SETTEXT, 0, LPARAM(L""));
    for (wchar_t c : text) SendMessageW(control, WM_CHAR, WPARAM(c), 0);
}

// The visible dialog of this process owned by thread, found from another thread.
inline HWND FindDialog(DWORD thread, unsigned milliseconds = 10000)
{
    HWND found = nullptr;
    BusTest::WaitUntil(
        [&]() {
            EnumThreadWindows(
                thread,
                [](HWND window, LPARAM context) {
                    wchar_t name[16] = L"";
                    GetClassNameW(window, name, 16);
                    if (IsWindowVisible(window) && wcscmp(name, L"#32770") == 0) {
                        *reinterpret_cast<HWND*>(context) = window;
                        return FALSE;
                    }
                    return TRUE;
                },
                LPARAM(&found));
            return found != nullptr;
        },
        milliseconds);
    return found;
}

// Runs what opens a modal dialog on this thread while driver works the dialog from another.
inline void WithDialog(const std::function<void()>& open, const std::function<void(HWND)>& driver)
{
    const DWORD thread = GetCurrentThreadId();
    std::thread worker([&]() {
        HWND dialog = FindDialog(thread);
        ASSERT_NE(nullptr, dialog) << "no dialog opened";
        driver(dialog);
    });
    open();
    worker.join();
}

}  // namespace DialogTest
