#include "ZELCommon/ZELCriticalSection.h"
#include "ZELCommon/ZELEvent.h"
#include "ZELCommon/ZELRand.h"
#include "ZELCommon/ZELThread.h"

#include "WaitUntil.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <memory>
#include <set>
#include <string>
#include <vector>

namespace {

using TestSupport::WaitUntil;

// Runs body on a CZELThread of its own and waits for it to end.
template <typename Body> void RunOnThread(Body& body)
{
    CZELThread thread(L"test", [](void* b) -> unsigned long {
        (*static_cast<Body*>(b))();
        return 0;
    }, &body);
    thread.Resume();
    ASSERT_TRUE(thread.WaitTermination(10000));
}

// Whether another thread can enter section now; it leaves again at once.
bool AnotherThreadCanEnter(CZELCriticalSection& section)
{
    bool acquired = true;
    auto tryFromOther = [&] {
        acquired = section.TryEnter();
        if (acquired) section.Leave();
    };
    RunOnThread(tryFromOther);
    return acquired;
}

}  // namespace

// ---- CZELEvent ----

TEST(ZELEvent, StartsUnsignalledAndResetsItselfAfterOneWait)
{
    CZELEvent event;
    ULONGLONG before = GetTickCount64();
    EXPECT_FALSE(event.Wait(0));
    EXPECT_LT(GetTickCount64() - before, 1000u);
    event.Set();
    EXPECT_TRUE(event.Wait(0));
    EXPECT_FALSE(event.Wait(0));
}

TEST(ZELEvent, SetsDoNotAccumulate)
{
    CZELEvent event;
    event.Set();
    event.Set();
    EXPECT_TRUE(event.Wait());
    EXPECT_FALSE(event.Wait(0));
}

TEST(ZELEvent, WaitTimesOutAfterTheTime)
{
    CZELEvent event;
    ULONGLONG before = GetTickCount64();
    EXPECT_FALSE(event.Wait(60));
    EXPECT_GE(GetTickCount64() - before, 40u);
}

TEST(ZELEvent, SetOnAnotherThreadWakesAnEndlessWait)
{
    CZELEvent event;
    CZELThread setter(L"setter", [](void* e) -> unsigned long {
        Sleep(30);
        static_cast<CZELEvent*>(e)->Set();
        return 0;
    }, &event);
    setter.Resume();
    EXPECT_TRUE(event.Wait());
    EXPECT_TRUE(setter.WaitTermination(5000));
}

TEST(ZELEvent, EachSetReleasesOneWaiter)
{
    struct Shared {
        CZELEvent event;
        volatile long released = 0;
    } shared;
    auto waiter = [](void* s) -> unsigned long {
        Shared* shared = static_cast<Shared*>(s);
        if (shared->event.Wait(10000)) InterlockedIncrement(&shared->released);
        return 0;
    };
    CZELThread first(L"w1", waiter, &shared), second(L"w2", waiter, &shared);
    first.Resume();
    second.Resume();
    Sleep(50);  // let both block on the event
    shared.event.Set();
    ASSERT_TRUE(WaitUntil([&] { return shared.released == 1; }));
    Sleep(50);
    EXPECT_EQ(1, shared.released);
    EXPECT_FALSE(shared.event.Wait(0));
    shared.event.Set();
    ASSERT_TRUE(WaitUntil([&] { return shared.released == 2; }));
    EXPECT_TRUE(first.WaitTermination(5000));
    EXPECT_TRUE(second.WaitTermination(5000));
}

TEST(ZELEvent, PingPongBetweenThreadsKeepsTurns)
{
    // The shape of a synchronous send: each side wakes the other and waits for its answer.
    struct Table {
        CZELEvent ping, pong;
        int turns = 0;
        bool outOfTurn = false;
    } table;
    const int rounds = 200;
    CZELThread partner(L"partner", [](void* t) -> unsigned long {
        Table* table = static_cast<Table*>(t);
        for (int i = 0; i < rounds; ++i) {
            if (!table->ping.Wait(10000)) return 1;
            if (table->turns != 2 * i + 1) table->outOfTurn = true;
            ++table->turns;
            table->pong.Set();
        }
        return 0;
    }, &table);
    partner.Resume();
    for (int i = 0; i < rounds; ++i) {
        ++table.turns;
        table.ping.Set();
        ASSERT_TRUE(table.pong.Wait(10000)) << "round " << i;
    }
    EXPECT_TRUE(partner.WaitTermination(5000));
    EXPECT_EQ(2 * rounds, table.turns);
    EXPECT_FALSE(table.outOfTurn);
}

// ---- CZELCriticalSection ----

TEST(ZELCriticalSection, TryEnterFromAnotherThreadFailsWhileHeld)
{
    CZELCriticalSection section;
    section.Enter();
    EXPECT_FALSE(AnotherThreadCanEnter(section));
    section.Leave();
    EXPECT_TRUE(AnotherThreadCanEnter(section));
}

TEST(ZELCriticalSection, OwnerMayEnterAgainAndMustLeaveAsOften)
{
    CZELCriticalSection section;
    section.Enter();
    EXPECT_TRUE(section.TryEnter());
    section.Enter();
    section.Leave();
    section.Leave();
    EXPECT_FALSE(AnotherThreadCanEnter(section));  // still held once
    section.Leave();
    EXPECT_TRUE(AnotherThreadCanEnter(section));
}

TEST(ZELCriticalSection, EnterWaitsForTheOwnerToLeave)
{
    struct Shared {
        CZELCriticalSection section;
        volatile long inside = 0;
    } shared;
    shared.section.Enter();
    CZELThread other(L"other", [](void* s) -> unsigned long {
        Shared* shared = static_cast<Shared*>(s);
        shared->section.Enter();
        InterlockedExchange(&shared->inside, 1);
        shared->section.Leave();
        return 0;
    }, &shared);
    other.Resume();
    Sleep(60);
    EXPECT_EQ(0, shared.inside);
    shared.section.Leave();
    EXPECT_TRUE(other.WaitTermination(5000));
    EXPECT_EQ(1, shared.inside);
}

TEST(ZELCriticalSection, GuardsAPlainCounterAcrossThreads)
{
    struct Shared {
        CZELCriticalSection section;
        long counter = 0;
    } shared;
    const int threads = 4, rounds = 20000;
    auto body = [](void* s) -> unsigned long {
        Shared* shared = static_cast<Shared*>(s);
        for (int i = 0; i < rounds; ++i) {
            shared->section.Enter();
            long seen = shared->counter;
            if (i % 1000 == 0) Sleep(0);  // invite a switch inside the section
            shared->counter = seen + 1;
            shared->section.Leave();
        }
        return 0;
    };
    std::vector<std::unique_ptr<CZELThread>> workers;
    for (int i = 0; i < threads; ++i) workers.emplace_back(new CZELThread(L"count", body, &shared));
    for (auto& worker : workers) worker->Resume();
    for (auto& worker : workers) ASSERT_TRUE(worker->WaitTermination(30000));
    EXPECT_EQ(long(threads) * rounds, shared.counter);
}

TEST(ZELCriticalSection, InterlockedOperationsReturnWhatThePlatformDoes)
{
    struct Case {
        const char* name;
        long start;
        int operation;  // 0 increment, 1 decrement, 2 exchange-add
        long addend;
        long result;
        long after;
    } cases[] = {
        {"increment", 5, 0, 0, 6, 6},
        {"increment past zero", -1, 0, 0, 0, 0},
        {"decrement", 0, 1, 0, -1, -1},
        {"decrement to zero", 1, 1, 0, 0, 0},
        {"add returns the old value", 10, 2, 5, 10, 15},
        {"add a negative", 10, 2, -12, 10, -2},
        {"add wraps", 0x7FFFFFFF, 2, 1, 0x7FFFFFFF, long(0x80000000u)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        long value = c.start, result = 0;
        switch (c.operation) {
        case 0: result = CZELCriticalSection::InterlockedIncrement(&value); break;
        case 1: result = CZELCriticalSection::InterlockedDecrement(&value); break;
        default: result = CZELCriticalSection::InterlockedExchangeAdd(&value, c.addend); break;
        }
        EXPECT_EQ(c.result, result);
        EXPECT_EQ(c.after, value);
    }
}

TEST(ZELCriticalSection, InterlockedIncrementHandsOutEachValueOnce)
{
    const int threads = 4, rounds = 5000;
    struct Shared {
        long counter = 0;
        std::vector<long> seen[threads];
    } shared;
    struct Slot {
        Shared* shared;
        int index;
    } slots[threads];
    std::vector<std::unique_ptr<CZELThread>> workers;
    for (int i = 0; i < threads; ++i) {
        slots[i] = {&shared, i};
        workers.emplace_back(new CZELThread(L"inc", [](void* s) -> unsigned long {
            Slot* slot = static_cast<Slot*>(s);
            for (int n = 0; n < rounds; ++n)
                slot->shared->seen[slot->index].push_back(CZELCriticalSection::InterlockedIncrement(&slot->shared->counter));
            return 0;
        }, &slots[i]));
    }
    for (auto& worker : workers) worker->Resume();
    for (auto& worker : workers) ASSERT_TRUE(worker->WaitTermination(30000));
    EXPECT_EQ(long(threads) * rounds, shared.counter);
    std::set<long> all;
    for (auto& values : shared.seen) all.insert(values.begin(), values.end());
    EXPECT_EQ(size_t(threads) * rounds, all.size());
    EXPECT_EQ(1, *all.begin());
    EXPECT_EQ(long(threads) * rounds, *all.rbegin());
}

// ---- CZELRand ----

TEST(ZELRand, StaysWithinFifteenBitsAndSpreadsOverThem)
{
    std::set<unsigned> distinct;
    unsigned low = 0xFFFFFFFF, high = 0;
    for (int i = 0; i < 20000; ++i) {
        unsigned value = CZELRand::Rand();
        ASSERT_LE(value, 32767u);
        distinct.insert(value);
        low = value < low ? value : low;
        high = value > high ? value : high;
    }
    EXPECT_LT(low, 1000u);
    EXPECT_GT(high, 31767u);
    // 20000 draws from 32768 values give about 15000 distinct ones; a stuck generator gives few.
    EXPECT_GT(distinct.size(), 10000u);
}

TEST(ZELRand, ThreadsDrawDifferentSequences)
{
    // Each thread starts the moment the gate opens, the way queue threads draw request ids.
    const int threads = 6, draws = 24;
    struct Shared {
        HANDLE gate = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        std::vector<unsigned> drawn[threads];
        ~Shared() { CloseHandle(gate); }
    } shared;
    struct Slot {
        Shared* shared;
        int index;
    } slots[threads];
    std::vector<std::unique_ptr<CZELThread>> workers;
    for (int i = 0; i < threads; ++i) {
        slots[i] = {&shared, i};
        workers.emplace_back(new CZELThread(L"rand", [](void* s) -> unsigned long {
            Slot* slot = static_cast<Slot*>(s);
            WaitForSingleObject(slot->shared->gate, INFINITE);
            for (int n = 0; n < draws; ++n) slot->shared->drawn[slot->index].push_back(CZELRand::Rand());
            return 0;
        }, &slots[i]));
    }
    for (auto& worker : workers) worker->Resume();
    SetEvent(shared.gate);
    for (auto& worker : workers) ASSERT_TRUE(worker->WaitTermination(10000));

    std::vector<unsigned> mine;
    for (int n = 0; n < draws; ++n) mine.push_back(CZELRand::Rand());
    for (int i = 0; i < threads; ++i) {
        SCOPED_TRACE("thread " + std::to_string(i));
        ASSERT_EQ(size_t(draws), shared.drawn[i].size());
        EXPECT_NE(mine, shared.drawn[i]);
        for (int j = i + 1; j < threads; ++j) EXPECT_NE(shared.drawn[i], shared.drawn[j]) << "and thread " << j;
    }
}
