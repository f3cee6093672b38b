// CZELThread: one platform thread, created suspended so its owner can finish setting up before
// anything runs. The object owns the thread handle only: destroying it neither stops nor waits for
// the thread.
#pragma once

#include "ZELCommon/ZELCommonApi.h"
#include "ZELCommon/ZELString.h"

#include <windows.h>

class ZELCOMMON_API CZELThread {
public:
    typedef unsigned long (*Procedure)(void* argument);

    // The name is accepted for the callers' benefit and not used.
    CZELThread(const CZELString& name, Procedure procedure, void* argument);
    ~CZELThread();

    CZELThread(const CZELThread&) = delete;
    CZELThread& operator=(const CZELThread&) = delete;

    void Resume();
    void Suspend();
    void Terminate(int exitCode);
    // True when the thread has ended within the time (INFINITE waits without limit).
    bool WaitTermination(unsigned milliseconds);
    // True when called on this object's own thread.
    bool IsCurrent() const;

    static void Sleep(unsigned milliseconds);

private:
    // Runs on the new thread: the procedure's result becomes the thread's exit code.
    static DWORD WINAPI Start(void* self);

    HANDLE handle;
    Procedure procedure;
    void* argument;
    DWORD id;
};
