#include "Zel/shell/alerts/NotificationLed.h"

#include "Handheld/Nled.h"

namespace {

// -2: not looked up yet.
int CachedLed = -2;

int FindByCycleAdjust(bool vibrator)
{
    int count = GetLedCount();
    for (int i = 0; i < count; ++i) {
        NLED_SUPPORTS_INFO supports = {};
        supports.LedNum = UINT(i);
        if (!NLedGetDeviceInfo(NLED_SUPPORTS_INFO_ID, &supports)) continue;
        if (vibrator ? supports.lCycleAdjust == -1 : supports.lCycleAdjust >= 0) return i;
    }
    return -1;
}

}  // namespace

int GetLedCount()
{
    NLED_COUNT_INFO count = {};
    return NLedGetDeviceInfo(NLED_COUNT_INFO_ID, &count) ? int(count.cLeds) : 0;
}

int FindLedIndex()
{
    return FindByCycleAdjust(false);
}

int FindVibratorIndex()
{
    return FindByCycleAdjust(true);
}

void SetNotificationLed(bool on, int hardLed)
{
    int led = hardLed;
    if (led == -1) {
        if (CachedLed == -2) CachedLed = FindLedIndex();
        led = CachedLed;
    }
    if (led < 0) return;
    NLED_SETTINGS_INFO settings = {UINT(led), on ? 2 : 0, 5000, 200, 0, 200, 200};
    NLedSetDevice(NLED_SETTINGS_INFO_ID, &settings);
}

void ForgetNotificationLed()
{
    CachedLed = -2;
}
