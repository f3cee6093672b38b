// Polling for a condition that another thread brings about. Header only, for any test program.
#pragma once

#include <windows.h>

namespace TestSupport {

// Waits until check() holds, polling; false when it still fails after the time.
template <typename Check> bool WaitUntil(Check check, DWORD milliseconds = 5000)
{
    ULONGLONG end = GetTickCount64() + milliseconds;
    while (!check()) {
        if (GetTickCount64() > end) return false;
        Sleep(1);
    }
    return true;
}

}  // namespace TestSupport
