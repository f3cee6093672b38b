// A critical section made on its first use, so a static one is ready whatever the order in which
// the library's statics are made. Internal to the handheld layer.
#pragma once

#include <windows.h>

class LazyLock {
public:
    CRITICAL_SECTION* Get()
    {
        InitOnceExecuteOnce(
            &once,
            [](PINIT_ONCE, PVOID section, PVOID*) -> BOOL {
                InitializeCriticalSection(static_cast<CRITICAL_SECTION*>(section));
                return TRUE;
            },
            &section, nullptr);
        return &section;
    }

private:
    INIT_ONCE once = INIT_ONCE_STATIC_INIT;
    CRITICAL_SECTION section;
};

class LazyHold {
public:
    explicit LazyHold(LazyLock& lock) : section(lock.Get()) { EnterCriticalSection(section); }
    ~LazyHold() { LeaveCriticalSection(section); }
    LazyHold(const LazyHold&) = delete;
    LazyHold& operator=(const LazyHold&) = delete;

private:
    CRITICAL_SECTION* section;
};
