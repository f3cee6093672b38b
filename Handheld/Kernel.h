// Core-library calls of the handheld platform that desktop Win32 lacks, with the handheld's meaning.
#pragma once

#include "Handheld/HandheldApi.h"

#include <windows.h>

#ifndef EVENT_PULSE
#define EVENT_PULSE 1
#define EVENT_RESET 2
#define EVENT_SET 3
#endif

extern "C" {
// Sets, resets or pulses an event (EVENT_SET, EVENT_RESET, EVENT_PULSE).
HANDHELD_API BOOL EventModify(HANDLE event, DWORD function);
// Looks an export up by a UTF-16 name; the handheld's loader takes wide export names.
HANDHELD_API FARPROC GetProcAddressW(HMODULE module, LPCWSTR name);
}
