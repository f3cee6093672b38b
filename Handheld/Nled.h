// Our layer in place of the handheld's notification-LED driver, which drives the LEDs and the
// vibrator (the device whose cycle adjustment is -1). A desktop has neither: the devices are
// simulated. By default there is one LED (device 0) and one vibrator (device 1); the tests set
// other devices, or none with no driver at all, and read every setting made (HandheldGetNledLog).
#pragma once

#include "Handheld/HandheldApi.h"

#include <windows.h>

// NLedGetDeviceInfo / NLedSetDevice record identifiers.
const UINT NLED_COUNT_INFO_ID = 0;
const UINT NLED_SUPPORTS_INFO_ID = 1;
const UINT NLED_SETTINGS_INFO_ID = 2;

struct NLED_COUNT_INFO {
    UINT cLeds;
};

struct NLED_SUPPORTS_INFO {
    UINT LedNum;  // in: the device
    LONG lCycleAdjust;
    BOOL fAdjustTotalCycleTime;
    BOOL fAdjustOnTime;
    BOOL fAdjustOffTime;
    BOOL fMetaCycleOn;
    BOOL fMetaCycleOff;
};

struct NLED_SETTINGS_INFO {
    UINT LedNum;
    INT OffOnBlink;  // 0 off, 1 on, 2 blink
    LONG TotalCycleTime;
    LONG OnTime;
    LONG OffTime;
    INT MetaCycleOn;
    INT MetaCycleOff;
};

extern "C" {
// FALSE without a driver, for an unknown identifier or a device past the count.
HANDHELD_API BOOL NLedGetDeviceInfo(UINT infoId, void* info);
HANDHELD_API BOOL NLedSetDevice(UINT infoId, void* info);

// ---- Simulation, for tests ----

// The devices, each given by its cycle adjustment (-1: a vibrator); count < 0: no driver at all.
// Every device starts off and the log is cleared.
HANDHELD_API void HandheldSetNledDevices(const LONG* cycleAdjusts, int count);
// The device's current setting; FALSE for a device that does not exist.
HANDHELD_API BOOL HandheldGetNledState(UINT led, NLED_SETTINGS_INFO* state);
// The settings made since the last reset, oldest first: copies at most capacity of them and
// returns how many there are.
HANDHELD_API int HandheldGetNledLog(NLED_SETTINGS_INFO* settings, int capacity);
HANDHELD_API void HandheldResetNledLog(void);
}
