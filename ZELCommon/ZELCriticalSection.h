// CZELCriticalSection: one platform critical section, entered recursively by its owning thread,
// plus the interlocked counter operations every reference count uses.
#pragma once

#include "ZELCommon/ZELCommonApi.h"

#include <windows.h>

class ZELCOMMON_API CZELCriticalSection {
public:
    CZELCriticalSection();
    ~CZELCriticalSection();

    CZELCriticalSection(const CZELCriticalSection&) = delete;
    CZELCriticalSection& operator=(const CZELCriticalSection&) = delete;

    void Enter();
    void Leave();
    // True when the section was acquired (always so for the thread that already holds it).
    bool TryEnter();

    // The new value.
    static long InterlockedIncrement(long* value);
    static long InterlockedDecrement(long* value);
    // The value before the addition.
    static long InterlockedExchangeAdd(long* value, long addend);

private:
    CRITICAL_SECTION section;
};
