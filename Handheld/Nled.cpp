#include "Handheld/Nled.h"

#include "Handheld/LazyLock.h"

#include <vector>

namespace {

LazyLock g_lock;

struct Hold : LazyHold {
    Hold() : LazyHold(g_lock) {}
};

struct Device {
    LONG cycleAdjust;
    NLED_SETTINGS_INFO state;
};

bool g_driver = true;
std::vector<Device> g_devices = {{1, {0, 0, 0, 0, 0, 0, 0}}, {-1, {1, 0, 0, 0, 0, 0, 0}}};
std::vector<NLED_SETTINGS_INFO> g_log;

}  // namespace

BOOL NLedGetDeviceInfo(UINT infoId, void* info)
{
    Hold hold;
    if (!g_driver || !info) return FALSE;
    switch (infoId) {
    case NLED_COUNT_INFO_ID: static_cast<NLED_COUNT_INFO*>(info)->cLeds = UINT(g_devices.size()); return TRUE;
    case NLED_SUPPORTS_INFO_ID: {
        NLED_SUPPORTS_INFO* supports = static_cast<NLED_SUPPORTS_INFO*>(info);
        if (supports->LedNum >= g_devices.size()) return FALSE;
        bool led = g_devices[supports->LedNum].cycleAdjust >= 0;
        supports->lCycleAdjust = g_devices[supports->LedNum].cycleAdjust;
        supports->fAdjustTotalCycleTime = supports->fAdjustOnTime = supports->fAdjustOffTime = led;
        supports->fMetaCycleOn = supports->fMetaCycleOff = led;
        return TRUE;
    }
    case NLED_SETTINGS_INFO_ID: {
        NLED_SETTINGS_INFO* settings = static_cast<NLED_SETTINGS_INFO*>(info);
        if (settings->LedNum >= g_devices.size()) return FALSE;
        *settings = g_devices[settings->LedNum].state;
        return TRUE;
    }
    default: return FALSE;
    }
}

BOOL NLedSetDevice(UINT infoId, void* info)
{
    Hold hold;
    if (!g_driver || !info || infoId != NLED_SETTINGS_INFO_ID) return FALSE;
    const NLED_SETTINGS_INFO* settings = static_cast<const NLED_SETTINGS_INFO*>(info);
    if (settings->LedNum >= g_devices.size()) return FALSE;
    g_log.push_back(*settings);
    g_devices[settings->LedNum].state = *settings;
    return TRUE;
}

void HandheldSetNledDevices(const LONG* cycleAdjusts, int count)
{
    Hold hold;
    g_driver = count >= 0;
    g_devices.clear();
    g_log.clear();
    for (int i = 0; i < count && cycleAdjusts; ++i) {
        NLED_SETTINGS_INFO state = {};
        state.LedNum = UINT(i);
        g_devices.push_back({cycleAdjusts[i], state});
    }
}

BOOL HandheldGetNledState(UINT led, NLED_SETTINGS_INFO* state)
{
    Hold hold;
    if (!state || led >= g_devices.size()) return FALSE;
    *state = g_devices[led].state;
    return TRUE;
}

int HandheldGetNledLog(NLED_SETTINGS_INFO* settings, int capacity)
{
    Hold hold;
    for (int i = 0; i < capacity && size_t(i) < g_log.size() && settings; ++i) settings[i] = g_log[size_t(i)];
    return int(g_log.size());
}

void HandheldResetNledLog(void)
{
    Hold hold;
    g_log.clear();
}
