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

// Holds a critical section for one scope, so every path out of it leaves the section.
class CZELLock {
public:
    explicit CZELLock(CZELCriticalSection& section) : section(section) { section.Enter(); }
    ~CZELLock() { section.Leave(); }
    CZELLock(const CZELLock&) = delete;
    CZELLock& operator=(const CZELLock&) = delete;

private:
    CZELCriticalSection& section;
};
