// The accounts' keep-alive timers and the power states, read back from the handheld layer's power
// log: the unattended mode held while timers exist, wake-up launches scheduled for the earliest
// timer, and the running instance releasing a waiting wake-up launch.
#include "Zel/shell/tests/AppTestSupport.h"

#include "Zel/core/accounts/ManagerPayloads.h"
#include "Handheld/Power.h"

#include "ZELCommon/tests/WaitUntil.h"

#include <ctime>
#include <thread>

using namespace AppTest;

namespace {

int Calls = 0;
unsigned NextInterval = 0;

unsigned CountingTimer(intptr_t context)
{
    ++Calls;
    return NextInterval;
}

HandheldPowerLog PowerLog()
{
    HandheldPowerLog log;
    HandheldGetPowerLog(&log);
    return log;
}

class AppTimers : public ::testing::Test {
protected:
    AppTimers() : folder(L"AppTimersTest") {}
    void SetUp() override
    {
        ZEL_REQUIRE_DISPLAY();
        run.reset(new AppRun(folder, L"Missing"));
        ASSERT_TRUE(run->started);
        Calls = 0;
        NextInterval = 0;
        HandheldResetPowerLog();
    }
    void TearDown() override
    {
        if (run) run->Close();
    }

    CApplication& App() { return run->App(); }

    // What the queue "GUI" sends for PMEV_TIMER_SET and PMEV_TIMER_CANCEL.
    void Set(long long dueIn, intptr_t context = 7)
    {
        CZELTime due(unsigned((long long)time(nullptr) + dueIn));
        CTimerPayload payload(due, &CountingTimer, context);
        SendMessageW(run->Window(), CApplication::WM_APP_TIMER_SET, 0, LPARAM(static_cast<CRefObject*>(&payload)));
    }
    void Cancel(intptr_t context = 7)
    {
        CCallbackPayload payload(&CountingTimer, context);
        SendMessageW(run->Window(), CApplication::WM_APP_TIMER_CANCEL, 0, LPARAM(static_cast<CRefObject*>(&payload)));
    }
    void Expire(int index)
    {
        SendMessageW(run->Window(), WM_TIMER, WPARAM(App().Timers()[index].id), 0);
    }

    AppFolder folder;
    std::unique_ptr<AppRun> run;
};

}  // namespace

TEST_F(AppTimers, ACallbackThatEndsItsTimerEndsTheUnattendedMode)
{
    Set(120);
    ASSERT_EQ(App().Timers().GetCount(), 1);
    EXPECT_EQ(App().Timers()[0].id, 1);
    EXPECT_EQ(PowerLog().unattendedOnCalls, 1);
    NextInterval = 30000;
    Expire(0);
    EXPECT_EQ(Calls, 1);
    ASSERT_EQ(App().Timers().GetCount(), 1);
    long long due = App().Timers()[0].due.GetUnixTime();
    EXPECT_NEAR(double(due), double(time(nullptr) + 30), 2.0);
    EXPECT_EQ(PowerLog().unattendedOffCalls, 0);
    NextInterval = 0;
    Expire(0);
    EXPECT_EQ(Calls, 2);
    EXPECT_EQ(App().Timers().GetCount(), 0);
    EXPECT_EQ(PowerLog().unattendedOffCalls, 1);
    // An unknown id is ignored.
    SendMessageW(run->Window(), WM_TIMER, 4242, 0);
    EXPECT_EQ(Calls, 2);
}

TEST_F(AppTimers, CancellingTheLastTimerEndsTheUnattendedMode)
{
    Set(120, 1);
    Set(120, 2);
    EXPECT_EQ(PowerLog().unattendedOnCalls, 1);
    Cancel(3);  // matches nothing
    Cancel(1);
    EXPECT_EQ(App().Timers().GetCount(), 1);
    EXPECT_EQ(PowerLog().unattendedOffCalls, 0);
    Cancel(2);
    EXPECT_EQ(App().Timers().GetCount(), 0);
    EXPECT_EQ(PowerLog().unattendedOffCalls, 1);
    EXPECT_EQ(Calls, 0);
}

TEST_F(AppTimers, WithDontSleepTheUnattendedModeStays)
{
    App().Settings().dontSleep = true;
    Set(120);
    Expire(0);
    Set(120);
    Cancel();
    EXPECT_EQ(PowerLog().unattendedOffCalls, 0);
}

TEST_F(AppTimers, ADueTimeAlreadyPastFiresAtOnce)
{
    Set(-100);
    ASSERT_EQ(App().Timers().GetCount(), 1);
    ASSERT_TRUE(PumpUntil([] { return Calls == 1; }, 3000));
    EXPECT_EQ(App().Timers().GetCount(), 0);
}

TEST_F(AppTimers, TheUnattendedStateSchedulesAWakeupForTheEarliestTimer)
{
    Set(3);
    App().OnPowerState(L"Unattended");
    EXPECT_EQ(PowerLog().runAtTimeCalls, 0);  // 5 s or less: nothing changes
    EXPECT_EQ(PowerLog().unattendedOffCalls, 0);
    Cancel();
    App().OnPowerState(L"on");
    HandheldResetPowerLog();

    Set(60);
    Set(600, 8);
    App().OnPowerState(L"unattended");
    HandheldPowerLog log = PowerLog();
    EXPECT_EQ(log.runAtTimeCalls, 1);
    EXPECT_TRUE(log.runAtTimeScheduled);
    EXPECT_NE(std::wstring(log.runAtTimeApp).find(L"zel.exe"), std::wstring::npos);
    FILETIME scheduled, now;
    SystemTimeToFileTime(&log.runAtTime, &scheduled);
    SYSTEMTIME local;
    GetLocalTime(&local);
    SystemTimeToFileTime(&local, &now);
    long long seconds = ((long long)(ULARGE_INTEGER{{scheduled.dwLowDateTime, scheduled.dwHighDateTime}}.QuadPart) -
                         (long long)(ULARGE_INTEGER{{now.dwLowDateTime, now.dwHighDateTime}}.QuadPart)) / 10000000;
    EXPECT_NEAR(double(seconds), 60.0, 2.0);
    EXPECT_EQ(log.unattendedOffCalls, 1);
    EXPECT_EQ(Wide(App().LastPowerState()), L"unattended");

    // A new timer while unattended reschedules.
    Cancel(7);
    Cancel(8);
    HandheldResetPowerLog();
    Set(30);
    EXPECT_EQ(PowerLog().runAtTimeCalls, 1);
    EXPECT_EQ(PowerLog().unattendedOnCalls, 0);
}

TEST_F(AppTimers, ResumingRunsDueTimersAndReleasesTheWakeupLaunch)
{
    HANDLE wakeup = CreateEventW(nullptr, FALSE, FALSE, L"ZEL-PDA-WAKEUP");
    ASSERT_NE(wakeup, nullptr);
    Set(120, 1);
    Set(-5, 2);  // already due
    KillTimer(run->Window(), UINT_PTR(App().Timers()[1].id));  // as while asleep: it did not fire
    HandheldResetPowerLog();
    App().OnPowerState(L"resuming");
    EXPECT_EQ(Calls, 1);
    EXPECT_EQ(App().Timers().GetCount(), 1);
    HandheldPowerLog log = PowerLog();
    EXPECT_EQ(log.unattendedOnCalls, 1);
    EXPECT_EQ(log.runAtTimeCalls, 1);
    EXPECT_FALSE(log.runAtTimeScheduled);  // the scheduled launch is cleared
    EXPECT_EQ(WaitForSingleObject(wakeup, 0), WAIT_OBJECT_0);

    Cancel(1);
    HandheldResetPowerLog();
    App().OnPowerState(L"RESUMING");
    EXPECT_EQ(PowerLog().unattendedOnCalls, 0);
    EXPECT_EQ(PowerLog().unattendedOffCalls, 1);
    EXPECT_EQ(WaitForSingleObject(wakeup, 0), WAIT_OBJECT_0);
    CloseHandle(wakeup);
}

TEST_F(AppTimers, TheMessageLoopReadsPowerNotifications)
{
    // The loop runs until the window closes; a power state is read at the next window message.
    HandheldResetPowerLog();
    HWND window = run->Window();
    std::thread device([window] {
        TestSupport::WaitUntil([] { return PowerLog().notificationsHeld == 1; });
        HandheldBroadcastPowerState(L"suspend", POWER_STATE_SUSPEND);
        PostMessageW(window, WM_NULL, 0, 0);
        PostMessageW(window, WM_CLOSE, 0, 0);
    });
    int result = RunMessageLoop(App());
    device.join();
    EXPECT_EQ(result, 0);
    EXPECT_EQ(Wide(App().LastPowerState()), L"suspend");
    HandheldPowerLog log = PowerLog();
    EXPECT_STREQ(log.lastRequirementDevice, L"wav1:");
    EXPECT_EQ(log.lastRequirementFlags, POWER_NAME);
    EXPECT_EQ(log.requirementsHeld, 0);
    EXPECT_EQ(log.notificationsHeld, 0);
    HandheldBroadcastPowerState(L"on", POWER_STATE_ON);
}
