// The layer's message queues and power manager: named queues shared between handles, the power
// notifications written into them, and what the power calls keep for the program's tests.
#include "Handheld/Device.h"
#include "Handheld/Power.h"
#include "Handheld/Shell.h"
#include "Handheld/ShellUi.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <cstddef>
#include <string>
#include <thread>

namespace {

MSGQUEUEOPTIONS Options(BOOL read, DWORD maxMessages = 0, DWORD maxSize = 1024)
{
    MSGQUEUEOPTIONS options = {sizeof(MSGQUEUEOPTIONS), MSGQUEUE_NOPRECOMMIT, maxMessages, maxSize, read};
    return options;
}

}  // namespace

TEST(MsgQueue, HandlesOfOneNameShareTheQueue)
{
    MSGQUEUEOPTIONS write = Options(FALSE, 2, 8);
    MSGQUEUEOPTIONS read = Options(TRUE, 2, 8);
    HANDLE writer = CreateMsgQueue(L"PowerTest queue", &write);
    HANDLE reader = CreateMsgQueue(L"PowerTest queue", &read);
    ASSERT_NE(writer, nullptr);
    ASSERT_NE(reader, nullptr);

    char buffer[16] = {};
    DWORD got = 0, flags = 7;
    EXPECT_FALSE(ReadMsgQueue(reader, buffer, sizeof buffer, &got, 0, &flags));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_TIMEOUT));
    EXPECT_TRUE(WriteMsgQueue(writer, const_cast<char*>("one"), 4, 0, 0));
    EXPECT_TRUE(WriteMsgQueue(writer, const_cast<char*>("two"), 4, 0, 0));
    EXPECT_FALSE(WriteMsgQueue(writer, const_cast<char*>("three"), 6, 0, 0));  // two at most
    EXPECT_FALSE(WriteMsgQueue(writer, const_cast<char*>("too long!"), 10, 0, 0));
    EXPECT_FALSE(WriteMsgQueue(reader, const_cast<char*>("x"), 1, 0, 0));
    EXPECT_FALSE(ReadMsgQueue(writer, buffer, sizeof buffer, &got, 0, &flags));
    EXPECT_FALSE(ReadMsgQueue(reader, buffer, 2, &got, 0, &flags));  // does not fit: stays queued
    ASSERT_TRUE(ReadMsgQueue(reader, buffer, sizeof buffer, &got, 0, &flags));
    EXPECT_EQ(got, 4u);
    EXPECT_STREQ(buffer, "one");
    EXPECT_EQ(flags, 0u);

    // A reader that waits is woken by the next message.
    std::thread later([writer] {
        Sleep(50);
        WriteMsgQueue(writer, const_cast<char*>("3rd"), 4, 0, 0);
    });
    ASSERT_TRUE(ReadMsgQueue(reader, buffer, sizeof buffer, &got, 0, &flags));
    EXPECT_STREQ(buffer, "two");
    ASSERT_TRUE(ReadMsgQueue(reader, buffer, sizeof buffer, &got, 5000, &flags));
    EXPECT_STREQ(buffer, "3rd");
    later.join();

    EXPECT_TRUE(CloseMsgQueue(writer));
    EXPECT_TRUE(CloseMsgQueue(reader));
    EXPECT_FALSE(CloseMsgQueue(reader));
    EXPECT_FALSE(ReadMsgQueue(reader, buffer, sizeof buffer, &got, 0, &flags));
    EXPECT_EQ(CreateMsgQueue(L"x", nullptr), nullptr);
}

TEST(Power, TransitionsReachTheRegisteredQueues)
{
    MSGQUEUEOPTIONS write = Options(FALSE, 20);
    MSGQUEUEOPTIONS read = Options(TRUE, 20);
    HANDLE writer = CreateMsgQueue(L"PowerTest power", &write);
    HANDLE reader = CreateMsgQueue(L"PowerTest power", &read);
    HANDLE notifications = RequestPowerNotifications(writer, PBT_TRANSITION);
    ASSERT_NE(notifications, nullptr);

    HandheldBroadcastPowerState(L"unattended", POWER_STATE_UNATTENDED);
    BYTE record[1024];
    DWORD got = 0, flags = 0;
    ASSERT_TRUE(ReadMsgQueue(reader, record, sizeof record, &got, 0, &flags));
    const POWER_BROADCAST* broadcast = reinterpret_cast<const POWER_BROADCAST*>(record);
    EXPECT_EQ(broadcast->Message, PBT_TRANSITION);
    EXPECT_EQ(broadcast->Flags, POWER_STATE_UNATTENDED);
    EXPECT_EQ(broadcast->Length, sizeof(L"unattended"));
    EXPECT_EQ(got, offsetof(POWER_BROADCAST, SystemPowerState) + sizeof(L"unattended"));
    EXPECT_STREQ(reinterpret_cast<const wchar_t*>(record + 12), L"unattended");

    wchar_t state[64];
    DWORD stateFlags = 0;
    EXPECT_EQ(GetSystemPowerStateName(state, 64, &stateFlags), DWORD(ERROR_SUCCESS));
    EXPECT_STREQ(state, L"unattended");
    EXPECT_EQ(GetSystemPowerStateName(state, 5, &stateFlags), DWORD(ERROR_INSUFFICIENT_BUFFER));
    HandheldResetPowerLog();
    EXPECT_EQ(SetSystemPowerStateName(L"on", 0, POWER_FORCE), DWORD(ERROR_SUCCESS));
    ASSERT_TRUE(ReadMsgQueue(reader, record, sizeof record, &got, 0, &flags));
    EXPECT_STREQ(reinterpret_cast<const wchar_t*>(record + 12), L"on");
    HandheldPowerLog log;
    HandheldGetPowerLog(&log);
    EXPECT_EQ(log.setSystemPowerStateCalls, 1);
    EXPECT_EQ(log.lastSetSystemPowerOptions, POWER_FORCE);
    EXPECT_STREQ(log.systemPowerState, L"on");
    EXPECT_EQ(log.notificationsHeld, 1);

    EXPECT_EQ(StopPowerNotifications(notifications), DWORD(ERROR_SUCCESS));
    HandheldBroadcastPowerState(L"resuming", 0);
    EXPECT_FALSE(ReadMsgQueue(reader, record, sizeof record, &got, 0, &flags));
    CloseMsgQueue(writer);
    CloseMsgQueue(reader);
    HandheldBroadcastPowerState(L"on", POWER_STATE_ON);
}

TEST(Power, RequirementsUnattendedModeAndScheduledLaunchesAreKept)
{
    HandheldResetPowerLog();
    HandheldPowerLog before;
    HandheldGetPowerLog(&before);
    HANDLE requirement = SetPowerRequirement(L"wav1:", D0, POWER_NAME, nullptr, 0);
    ASSERT_NE(requirement, nullptr);
    HandheldPowerLog log;
    HandheldGetPowerLog(&log);
    EXPECT_EQ(log.requirementsHeld, before.requirementsHeld + 1);
    EXPECT_STREQ(log.lastRequirementDevice, L"wav1:");
    EXPECT_EQ(log.lastRequirementState, int(D0));
    EXPECT_EQ(log.lastRequirementFlags, POWER_NAME);
    EXPECT_EQ(ReleasePowerRequirement(requirement), DWORD(ERROR_SUCCESS));
    EXPECT_EQ(ReleasePowerRequirement(requirement), DWORD(ERROR_INVALID_HANDLE));

    PowerPolicyNotify(PPN_UNATTENDEDMODE, TRUE);
    PowerPolicyNotify(PPN_UNATTENDEDMODE, TRUE);
    PowerPolicyNotify(PPN_UNATTENDEDMODE, FALSE);
    HandheldGetPowerLog(&log);
    EXPECT_EQ(log.unattendedOnCalls, 2);
    EXPECT_EQ(log.unattendedOffCalls, 1);
    EXPECT_EQ(log.unattendedLevel, before.unattendedLevel + 1);
    PowerPolicyNotify(PPN_UNATTENDEDMODE, FALSE);

    SYSTEMTIME at = {2030, 1, 0, 2, 3, 4, 5, 0};
    EXPECT_TRUE(CeRunAppAtTime(L"C:\\Zel\\zel.exe", &at));
    HandheldGetPowerLog(&log);
    EXPECT_EQ(log.runAtTimeCalls, 1);
    EXPECT_TRUE(log.runAtTimeScheduled);
    EXPECT_STREQ(log.runAtTimeApp, L"C:\\Zel\\zel.exe");
    EXPECT_EQ(log.runAtTime.wYear, 2030);
    EXPECT_EQ(log.runAtTime.wMinute, 4);
    EXPECT_TRUE(CeRunAppAtTime(L"C:\\Zel\\zel.exe", nullptr));
    HandheldGetPowerLog(&log);
    EXPECT_FALSE(log.runAtTimeScheduled);
}

TEST(Power, FullScreenInstallerAndScreenDensity)
{
    ShellResetFullScreenLog();
    EXPECT_FALSE(SHFullScreen(nullptr, SHFS_HIDETASKBAR));
    EXPECT_TRUE(SHInitExtraControls());
    // A hold is never recognised: the right button brings the context menu on a desktop.
    SHRGINFO gesture = {sizeof gesture, nullptr, {5, 5}, SHRG_RETURNCMD | SHRG_LONGDELAY};
    EXPECT_EQ(SHRecognizeGesture(&gesture), 0u);
    EXPECT_EQ(SHRecognizeGesture(nullptr), 0u);

    ResetCabInstallerLog();
    EXPECT_FALSE(StartCabInstaller(nullptr));
    // The device's installer is not on a desktop: the request is kept, nothing starts.
    EXPECT_FALSE(StartCabInstaller(L"C:\\Zel\\zelpda.cab"));
    wchar_t cab[MAX_PATH];
    EXPECT_EQ(GetCabInstallerLog(cab, MAX_PATH), 1);
    EXPECT_STREQ(cab, L"C:\\Zel\\zelpda.cab");

    SetScreenLogPixels(192);
    EXPECT_EQ(GetScreenLogPixels(LOGPIXELSX), 192);
    EXPECT_EQ(GetScreenLogPixels(LOGPIXELSY), 192);
    SetScreenLogPixels(0);
    EXPECT_GT(GetScreenLogPixels(LOGPIXELSY), 0);
}
