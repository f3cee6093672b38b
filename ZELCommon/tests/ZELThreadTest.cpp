#include "ZELCommon/ZELThread.h"

#include "WaitUntil.h"

#include <gtest/gtest.h>

#include <windows.h>

namespace {

using TestSupport::WaitUntil;

// What a procedure saw on its own thread, with a handle to that thread that outlives the object.
struct Probe {
    CZELThread* thread = nullptr;
    volatile long runs = 0;
    void* argumentSeen = nullptr;
    bool currentInside = false;
    HANDLE self = nullptr;
    HANDLE started = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    unsigned long result = 0;

    ~Probe()
    {
        if (self) CloseHandle(self);
        CloseHandle(started);
        CloseHandle(release);
    }
};

unsigned long ProbeProc(void* argument)
{
    Probe* probe = static_cast<Probe*>(argument);
    InterlockedIncrement(&probe->runs);
    probe->argumentSeen = argument;
    probe->currentInside = probe->thread && probe->thread->IsCurrent();
    DuplicateHandle(GetCurrentProcess(), GetCurrentThread(), GetCurrentProcess(), &probe->self, 0, FALSE,
                    DUPLICATE_SAME_ACCESS);
    SetEvent(probe->started);
    WaitForSingleObject(probe->release, INFINITE);
    return probe->result;
}

DWORD ExitCode(HANDLE thread)
{
    DWORD code = 0xDEAD;
    GetExitCodeThread(thread, &code);
    return code;
}

}  // namespace

TEST(ZELThread, NeverResumedRunsNothing)
{
    Probe probe;
    CZELThread thread(L"idle", ProbeProc, &probe);
    probe.thread = &thread;
    EXPECT_FALSE(thread.WaitTermination(0));
    EXPECT_FALSE(thread.WaitTermination(50));
    EXPECT_EQ(0, probe.runs);
    // The suspended thread is ended here only to leave nothing behind.
    thread.Terminate(0);
    EXPECT_TRUE(thread.WaitTermination(INFINITE));
    EXPECT_EQ(0, probe.runs);
}

TEST(ZELThread, RunsProcedureWithArgumentAndItsResultIsTheExitCode)
{
    Probe probe;
    probe.result = 1234;
    SetEvent(probe.release);
    CZELThread thread(L"worker", ProbeProc, &probe);
    probe.thread = &thread;
    thread.Resume();
    ASSERT_TRUE(thread.WaitTermination(INFINITE));
    EXPECT_EQ(1, probe.runs);
    EXPECT_EQ(&probe, probe.argumentSeen);
    ASSERT_NE(nullptr, probe.self);
    EXPECT_EQ(1234u, ExitCode(probe.self));
}

TEST(ZELThread, IsCurrentOnlyOnItsOwnThread)
{
    Probe probe;
    SetEvent(probe.release);
    CZELThread thread(L"own", ProbeProc, &probe);
    probe.thread = &thread;
    EXPECT_FALSE(thread.IsCurrent());
    thread.Resume();
    ASSERT_TRUE(thread.WaitTermination(INFINITE));
    EXPECT_TRUE(probe.currentInside);
    EXPECT_FALSE(thread.IsCurrent());

    // Asked from a third thread about the first one.
    Probe other;
    SetEvent(other.release);
    CZELThread first(L"first", ProbeProc, &other);
    other.thread = &first;
    struct Asker {
        CZELThread* target;
        bool answer;
    } asker{&first, true};
    CZELThread second(L"second", [](void* a) -> unsigned long {
        Asker* asker = static_cast<Asker*>(a);
        asker->answer = asker->target->IsCurrent();
        return 0;
    }, &asker);
    second.Resume();
    ASSERT_TRUE(second.WaitTermination(INFINITE));
    EXPECT_FALSE(asker.answer);
    first.Resume();
    ASSERT_TRUE(first.WaitTermination(INFINITE));
    EXPECT_TRUE(other.currentInside);
}

TEST(ZELThread, WaitTerminationTimesOutWhileTheThreadRuns)
{
    Probe probe;
    CZELThread thread(L"busy", ProbeProc, &probe);
    probe.thread = &thread;
    thread.Resume();
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(probe.started, 5000));
    EXPECT_FALSE(thread.WaitTermination(0));
    ULONGLONG before = GetTickCount64();
    EXPECT_FALSE(thread.WaitTermination(60));
    EXPECT_GE(GetTickCount64() - before, 40u);
    SetEvent(probe.release);
    EXPECT_TRUE(thread.WaitTermination(INFINITE));
}

TEST(ZELThread, TerminateEndsABlockedThreadWithTheCode)
{
    Probe probe;
    CZELThread thread(L"stuck", ProbeProc, &probe);
    probe.thread = &thread;
    thread.Resume();
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(probe.started, 5000));
    thread.Terminate(7);
    ASSERT_TRUE(thread.WaitTermination(5000));
    EXPECT_EQ(7u, ExitCode(probe.self));
}

TEST(ZELThread, SuspendHoldsTheThreadUntilResume)
{
    struct Spinner {
        volatile long count = 0;
        volatile long stop = 0;
    } spinner;
    CZELThread thread(L"spin", [](void* a) -> unsigned long {
        Spinner* s = static_cast<Spinner*>(a);
        while (!s->stop) InterlockedIncrement(&s->count);
        return 0;
    }, &spinner);
    thread.Resume();
    ASSERT_TRUE(WaitUntil([&] { return spinner.count > 0; }));
    thread.Suspend();
    Sleep(30);  // the suspension may land a moment after the call
    long held = spinner.count;
    Sleep(60);
    EXPECT_EQ(held, spinner.count);
    thread.Resume();
    EXPECT_TRUE(WaitUntil([&] { return spinner.count > held; }));
    spinner.stop = 1;
    EXPECT_TRUE(thread.WaitTermination(5000));
}

TEST(ZELThread, DestroyingTheObjectLeavesTheThreadRunning)
{
    Probe probe;
    probe.result = 5;
    CZELThread* thread = new CZELThread(L"orphan", ProbeProc, &probe);
    thread->Resume();
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(probe.started, 5000));
    delete thread;
    EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(probe.self, 0));
    SetEvent(probe.release);
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(probe.self, 5000));
    EXPECT_EQ(5u, ExitCode(probe.self));
}
