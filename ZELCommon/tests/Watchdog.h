// A time limit for test bodies that can deadlock. Header only, for any test program.
#pragma once

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <functional>

namespace TestSupport {

// Runs body on a thread of its own and waits for it at most milliseconds. A body still running by
// then can be neither finished nor cleaned up (its threads may be waiting for each other), so the
// test fails and the process ends at once: a hang fails the run instead of stalling it.
inline void RunWithWatchdog(DWORD milliseconds, const std::function<void()>& body)
{
    struct Thread {
        static DWORD WINAPI Run(void* argument)
        {
            (*static_cast<const std::function<void()>*>(argument))();
            return 0;
        }
    };
    HANDLE thread = CreateThread(nullptr, 0, &Thread::Run, const_cast<std::function<void()>*>(&body), 0, nullptr);
    if (!thread) {
        ADD_FAILURE() << "no thread to run the body on";
        return;
    }
    DWORD waited = WaitForSingleObject(thread, milliseconds);
    if (waited == WAIT_OBJECT_0) {
        CloseHandle(thread);
        return;
    }
    ADD_FAILURE() << "still running after " << milliseconds << " ms: the body hangs";
    fflush(stdout);
    fflush(stderr);
    TerminateProcess(GetCurrentProcess(), 3);
}

}  // namespace TestSupport
