#include "ZELCommon/ZELRand.h"

#include <windows.h>

#include <atomic>

namespace {

// The tick count alone repeats across processes started in the same tick; the process id and the
// performance counter tell them apart.
unsigned Seed()
{
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    unsigned long long ticks = (unsigned long long)counter.QuadPart;
    return GetTickCount() ^ (GetCurrentProcessId() << 16) ^ unsigned(ticks) ^ unsigned(ticks >> 32);
}

std::atomic<unsigned>& State()
{
    static std::atomic<unsigned> state(Seed());  // initialised once, whichever thread comes first
    return state;
}

}  // namespace

unsigned CZELRand::Rand()
{
    // The runtime's linear congruential step, advanced atomically: every draw takes its own step of
    // the one sequence, so no two threads replay the same numbers.
    std::atomic<unsigned>& state = State();
    unsigned current = state.load(std::memory_order_relaxed), next;
    do next = current * 214013u + 2531011u;
    while (!state.compare_exchange_weak(current, next, std::memory_order_relaxed));
    return (next >> 16) & 0x7FFF;
}
