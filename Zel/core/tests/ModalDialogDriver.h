// Working modal dialogs from a test: the dialog runs on the test's thread, opened by a menu item as
// the program would, while a helper thread finds it and types into it.
#pragma once

#include "Zel/core/tests/BusTestSupport.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
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

// Runs what opens a modal dialog on this thread while driver works the dialog from another. A
// dialog the driver leaves open (a refused OK, a failed assertion) is a failure and is cancelled,
// so that the test goes on instead of waiting in the dialog's loop for ever.
inline void WithDialog(const std::function<void()>& open, const std::function<void(HWND)>& driver)
{
    const DWORD thread = GetCurrentThreadId();
    std::atomic<bool> returned(false);
    std::thread worker([&]() {
        HWND dialog = nullptr;
        BusTest::WaitUntil([&]() { return (dialog = FindDialog(thread, 0)) != nullptr || returned; }, 30000);
        if (!dialog) {
            ADD_FAILURE() << "no dialog opened";
            return;
        }
        driver(dialog);
        const auto closed = [&]() { return returned || !IsWindow(dialog) || !IsWindowVisible(dialog); };
        if (BusTest::WaitUntil(closed, 20000)) return;
        ADD_FAILURE() << "the dialog stayed open after the driver was done; cancelled";
        PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
        if (!BusTest::WaitUntil(closed, 5000)) EndDialog(dialog, IDCANCEL);
    });
    open();
    returned = true;
    worker.join();
}

}  // namespace DialogTest
