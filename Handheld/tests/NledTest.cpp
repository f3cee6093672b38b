// The simulated notification-LED driver: the devices the tests set, their settings and the log.
#include "Handheld/Nled.h"
#include "Handheld/Power.h"

#include <gtest/gtest.h>

TEST(Nled, DevicesCountSupportsAndSettings)
{
    const LONG devices[] = {0, -1, 3};
    HandheldSetNledDevices(devices, 3);
    NLED_COUNT_INFO count = {};
    ASSERT_TRUE(NLedGetDeviceInfo(NLED_COUNT_INFO_ID, &count));
    EXPECT_EQ(count.cLeds, 3u);
    NLED_SUPPORTS_INFO supports = {};
    supports.LedNum = 1;
    ASSERT_TRUE(NLedGetDeviceInfo(NLED_SUPPORTS_INFO_ID, &supports));
    EXPECT_EQ(supports.lCycleAdjust, -1);
    supports.LedNum = 3;
    EXPECT_FALSE(NLedGetDeviceInfo(NLED_SUPPORTS_INFO_ID, &supports));

    NLED_SETTINGS_INFO blink = {0, 2, 5000, 200, 0, 200, 200};
    EXPECT_TRUE(NLedSetDevice(NLED_SETTINGS_INFO_ID, &blink));
    NLED_SETTINGS_INFO past = {7, 1, 0, 0, 0, 0, 0};
    EXPECT_FALSE(NLedSetDevice(NLED_SETTINGS_INFO_ID, &past));
    NLED_SETTINGS_INFO state = {};
    ASSERT_TRUE(HandheldGetNledState(0, &state));
    EXPECT_EQ(state.OffOnBlink, 2);
    EXPECT_EQ(state.TotalCycleTime, 5000);
    NLED_SETTINGS_INFO log[4];
    EXPECT_EQ(HandheldGetNledLog(log, 4), 1);
    HandheldResetNledLog();
    EXPECT_EQ(HandheldGetNledLog(log, 4), 0);

    // No driver at all: every call fails.
    HandheldSetNledDevices(nullptr, -1);
    EXPECT_FALSE(NLedGetDeviceInfo(NLED_COUNT_INFO_ID, &count));
    EXPECT_FALSE(NLedSetDevice(NLED_SETTINGS_INFO_ID, &blink));
    const LONG standard[] = {1, -1};
    HandheldSetNledDevices(standard, 2);
}

TEST(Power, DevicePowerIsFullAtOnce)
{
    HandheldResetPowerLog();
    CEDEVICE_POWER_STATE state = D4;
    EXPECT_EQ(GetDevicePower(L"wav1:", POWER_NAME, &state), DWORD(ERROR_SUCCESS));
    EXPECT_EQ(state, D0);
    EXPECT_EQ(GetDevicePower(nullptr, POWER_NAME, &state), DWORD(ERROR_INVALID_PARAMETER));
    HandheldPowerLog log;
    HandheldGetPowerLog(&log);
    EXPECT_EQ(log.getDevicePowerCalls, 1);
    EXPECT_EQ(std::wstring(log.lastDevicePowerName), L"wav1:");
}
