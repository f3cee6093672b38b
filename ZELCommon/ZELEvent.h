// CZELEvent: an unnamed auto-reset event. Set releases one waiting thread and the event resets
// itself; a Set with nobody waiting stays signalled until the next Wait takes it.
#pragma once

#include "ZELCommon/ZELCommonApi.h"

#include <windows.h>

class ZELCOMMON_API CZELEvent {
public:
    CZELEvent();
    ~CZELEvent();

    CZELEvent(const CZELEvent&) = delete;
    CZELEvent& operator=(const CZELEvent&) = delete;

    void Set();
    // Waits without limit; true when the event was signalled, false when the wait failed.
    bool Wait();
    // True when the event was signalled within the time, false on time-out or failure.
    bool Wait(unsigned milliseconds);

private:
    HANDLE handle;
};
