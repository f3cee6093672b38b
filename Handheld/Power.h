// The handheld's power manager: notifications of power-state transitions written into message
// queues, power requirements that keep a device powered, the unattended mode (the device runs with
// its screen off), the system power state by name, and launches of a program scheduled for a time.
//
// A desktop has no such manager. Here the calls keep what they were asked, so that the program's
// tests can read it back (HandheldGetPowerLog), and do the desktop's nearest thing: while the
// unattended mode is held the system is kept from sleeping. A power-state transition is simulated
// with HandheldBroadcastPowerState (the tests, or whatever stands in for the device's power button).
#pragma once

#include "Handheld/HandheldApi.h"
#include "Handheld/MsgQueue.h"

#include <windows.h>

// RequestPowerNotifications flags and POWER_BROADCAST messages.
const DWORD PBT_TRANSITION = 0x00000001;
const DWORD PBT_RESUME = 0x00000002;
const DWORD POWER_NOTIFY_ALL = 0xFFFFFFFF;

// Power-state flags.
const DWORD POWER_STATE_ON = 0x00010000;
const DWORD POWER_STATE_OFF = 0x00020000;
const DWORD POWER_STATE_SUSPEND = 0x00200000;
const DWORD POWER_STATE_RESET = 0x00800000;
const DWORD POWER_STATE_UNATTENDED = 0x00400000;

// SetPowerRequirement and SetSystemPowerStateName options.
const ULONG POWER_NAME = 0x00000001;
const ULONG POWER_FORCE = 0x00001000;

// PowerPolicyNotify messages.
const DWORD PPN_UNATTENDEDMODE = 0x00000003;

enum CEDEVICE_POWER_STATE { PwrDeviceUnspecified = -1, D0 = 0, D1, D2, D3, D4, PwrDeviceMaximum };

// One notification as read from the queue: three 32-bit words, then the state's name (Length bytes,
// with its zero).
struct POWER_BROADCAST {
    DWORD Message;
    DWORD Flags;
    DWORD Length;
    WCHAR SystemPowerState[1];
};

// What was asked of the power manager since the last reset.
struct HandheldPowerLog {
    int unattendedLevel;     // PowerPolicyNotify(PPN_UNATTENDEDMODE) TRUE calls minus FALSE calls
    int unattendedOnCalls;
    int unattendedOffCalls;
    int runAtTimeCalls;
    BOOL runAtTimeScheduled;  // the last call gave a time (FALSE: it cleared the launch)
    WCHAR runAtTimeApp[MAX_PATH];
    SYSTEMTIME runAtTime;      // local time of the launch, when scheduled
    int requirementsHeld;
    WCHAR lastRequirementDevice[64];
    int lastRequirementState;
    ULONG lastRequirementFlags;
    int notificationsHeld;
    WCHAR systemPowerState[64];  // the current state's name
    int setSystemPowerStateCalls;
    ULONG lastSetSystemPowerOptions;
    int getDevicePowerCalls;
    WCHAR lastDevicePowerName[64];
};

extern "C" {
// Writes a POWER_BROADCAST record into queue (a writing handle of CreateMsgQueue) at every
// notification of the given kinds; a handle for StopPowerNotifications, or null.
HANDHELD_API HANDLE RequestPowerNotifications(HANDLE queue, DWORD flags);
HANDHELD_API DWORD StopPowerNotifications(HANDLE notifications);
// Keeps device (by name with POWER_NAME) in at least state; a handle, or null.
HANDHELD_API HANDLE SetPowerRequirement(LPCWSTR device, CEDEVICE_POWER_STATE state, ULONG flags, LPVOID system,
                                        ULONG systemFlags);
HANDHELD_API DWORD ReleasePowerRequirement(HANDLE requirement);
// The current power state's name ("on" until another is set) and flags.
HANDHELD_API DWORD GetSystemPowerStateName(LPWSTR buffer, DWORD length, PDWORD flags);
// A device's power state; every device here runs at full power, so the answer is D0 at once.
// ERROR_INVALID_PARAMETER without a device or a place for the state.
HANDHELD_API DWORD GetDevicePower(LPCWSTR device, ULONG flags, CEDEVICE_POWER_STATE* state);
// Moves the device to the named state; the state's transition is notified.
HANDHELD_API DWORD SetSystemPowerStateName(LPCWSTR name, DWORD stateFlags, ULONG options);
// PPN_UNATTENDEDMODE with TRUE enters the unattended mode, FALSE leaves it (calls are counted).
HANDHELD_API BOOL PowerPolicyNotify(DWORD message, DWORD data);
// Schedules app to be started at the local time, with "AppRunAtTime" on its command line; a null
// time clears the launch scheduled for app.
HANDHELD_API BOOL CeRunAppAtTime(LPCWSTR app, const SYSTEMTIME* time);

// ---- Simulation, for tests ----

// The device enters the named state: every registered queue gets a PBT_TRANSITION record.
// Restarts the device's idle countdown, so it does not sleep now; the desktop's own.
HANDHELD_API void SystemIdleTimerReset(void);
HANDHELD_API void HandheldBroadcastPowerState(LPCWSTR name, DWORD flags);
HANDHELD_API void HandheldGetPowerLog(HandheldPowerLog* log);
// Clears the log's counters and names (held requirements, notifications and the state stay).
HANDHELD_API void HandheldResetPowerLog(void);
}
