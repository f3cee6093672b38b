#include "Handheld/Power.h"

#include "Handheld/LazyLock.h"

#include "Handheld/MsgQueueInternal.h"

#include <cstddef>
#include <cstring>
#include <cwchar>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace {

struct Registration {
    std::shared_ptr<MsgQueueInternal::Queue> queue;
    DWORD flags;
};

LazyLock g_lock;

struct Hold : LazyHold {
    Hold() : LazyHold(g_lock) {}
};

HandheldPowerLog g_log = {};
std::map<UINT_PTR, Registration> g_notifications;
std::map<UINT_PTR, std::wstring> g_requirements;
std::wstring g_state = L"on";
DWORD g_stateFlags = POWER_STATE_ON;
UINT_PTR g_nextHandle = 0x50570001;

void CopyName(WCHAR* out, size_t capacity, const wchar_t* name)
{
    wcsncpy(out, name ? name : L"", capacity - 1);
    out[capacity - 1] = 0;
}

void SetState(const wchar_t* name, DWORD flags)
{
    g_state = name;
    g_stateFlags = flags;
    CopyName(g_log.systemPowerState, 64, name);
}

}  // namespace

HANDLE RequestPowerNotifications(HANDLE queue, DWORD flags)
{
    std::shared_ptr<MsgQueueInternal::Queue> target = MsgQueueInternal::Find(queue);
    if (!target || flags == 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    Hold hold;
    UINT_PTR id = g_nextHandle++;
    g_notifications[id] = Registration{target, flags};
    g_log.notificationsHeld = int(g_notifications.size());
    return HANDLE(id);
}

DWORD StopPowerNotifications(HANDLE notifications)
{
    Hold hold;
    if (!g_notifications.erase(UINT_PTR(notifications))) return ERROR_INVALID_HANDLE;
    g_log.notificationsHeld = int(g_notifications.size());
    return ERROR_SUCCESS;
}

HANDLE SetPowerRequirement(LPCWSTR device, CEDEVICE_POWER_STATE state, ULONG flags, LPVOID system, ULONG systemFlags)
{
    if (!device || state < D0 || state > D4) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    Hold hold;
    UINT_PTR id = g_nextHandle++;
    g_requirements[id] = device;
    g_log.requirementsHeld = int(g_requirements.size());
    CopyName(g_log.lastRequirementDevice, 64, device);
    g_log.lastRequirementState = state;
    g_log.lastRequirementFlags = flags;
    return HANDLE(id);
}

DWORD ReleasePowerRequirement(HANDLE requirement)
{
    Hold hold;
    if (!g_requirements.erase(UINT_PTR(requirement))) return ERROR_INVALID_HANDLE;
    g_log.requirementsHeld = int(g_requirements.size());
    return ERROR_SUCCESS;
}

DWORD GetSystemPowerStateName(LPWSTR buffer, DWORD length, PDWORD flags)
{
    if (!buffer || length == 0) return ERROR_INVALID_PARAMETER;
    Hold hold;
    if (g_state.size() + 1 > length) return ERROR_INSUFFICIENT_BUFFER;
    wcscpy(buffer, g_state.c_str());
    if (flags) *flags = g_stateFlags;
    return ERROR_SUCCESS;
}

DWORD GetDevicePower(LPCWSTR device, ULONG, CEDEVICE_POWER_STATE* state)
{
    if (!device || !state) return ERROR_INVALID_PARAMETER;
    Hold hold;
    ++g_log.getDevicePowerCalls;
    CopyName(g_log.lastDevicePowerName, 64, device);
    *state = D0;
    return ERROR_SUCCESS;
}

DWORD SetSystemPowerStateName(LPCWSTR name, DWORD stateFlags, ULONG options)
{
    if (!name || !*name) return ERROR_INVALID_PARAMETER;
    {
        Hold hold;
        ++g_log.setSystemPowerStateCalls;
        g_log.lastSetSystemPowerOptions = options;
    }
    HandheldBroadcastPowerState(name, stateFlags);
    return ERROR_SUCCESS;
}

BOOL PowerPolicyNotify(DWORD message, DWORD data)
{
    if (message != PPN_UNATTENDEDMODE) return TRUE;
    Hold hold;
    if (data) {
        ++g_log.unattendedOnCalls;
        ++g_log.unattendedLevel;
    } else {
        ++g_log.unattendedOffCalls;
        if (g_log.unattendedLevel > 0) --g_log.unattendedLevel;
    }
    // The desktop's nearest thing: the system may not sleep while the mode is held.
    SetThreadExecutionState(g_log.unattendedLevel > 0 ? ES_CONTINUOUS | ES_SYSTEM_REQUIRED : ES_CONTINUOUS);
    return TRUE;
}

BOOL CeRunAppAtTime(LPCWSTR app, const SYSTEMTIME* time)
{
    if (!app || !*app) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    Hold hold;
    ++g_log.runAtTimeCalls;
    CopyName(g_log.runAtTimeApp, MAX_PATH, app);
    g_log.runAtTimeScheduled = time != nullptr;
    g_log.runAtTime = time ? *time : SYSTEMTIME();
    return TRUE;
}

void HandheldBroadcastPowerState(LPCWSTR name, DWORD flags)
{
    if (!name) return;
    size_t units = wcslen(name) + 1;
    std::vector<BYTE> record(offsetof(POWER_BROADCAST, SystemPowerState) + units * sizeof(WCHAR));
    POWER_BROADCAST* broadcast = reinterpret_cast<POWER_BROADCAST*>(record.data());
    broadcast->Message = PBT_TRANSITION;
    broadcast->Flags = flags;
    broadcast->Length = DWORD(units * sizeof(WCHAR));
    memcpy(broadcast->SystemPowerState, name, units * sizeof(WCHAR));

    std::vector<std::shared_ptr<MsgQueueInternal::Queue>> targets;
    {
        Hold hold;
        SetState(name, flags);
        for (const auto& registration : g_notifications)
            if (registration.second.flags & PBT_TRANSITION) targets.push_back(registration.second.queue);
    }
    // A full queue loses the record, as on the device.
    for (const auto& queue : targets) queue->Write(record.data(), DWORD(record.size()));
}

void HandheldGetPowerLog(HandheldPowerLog* log)
{
    if (!log) return;
    Hold hold;
    *log = g_log;
    CopyName(log->systemPowerState, 64, g_state.c_str());
}

void HandheldResetPowerLog(void)
{
    Hold hold;
    int level = g_log.unattendedLevel;
    g_log = HandheldPowerLog();
    g_log.unattendedLevel = level;
    g_log.requirementsHeld = int(g_requirements.size());
    g_log.notificationsHeld = int(g_notifications.size());
    CopyName(g_log.systemPowerState, 64, g_state.c_str());
}

void SystemIdleTimerReset(void)
{
    SetThreadExecutionState(ES_SYSTEM_REQUIRED | ES_DISPLAY_REQUIRED);
}
