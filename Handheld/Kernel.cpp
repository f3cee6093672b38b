#include "Handheld/Kernel.h"

#include <string>

BOOL EventModify(HANDLE event, DWORD function)
{
    switch (function) {
    case EVENT_SET: return SetEvent(event);
    case EVENT_RESET: return ResetEvent(event);
    case EVENT_PULSE: return PulseEvent(event);
    default: SetLastError(ERROR_INVALID_PARAMETER); return FALSE;
    }
}

FARPROC GetProcAddressW(HMODULE module, LPCWSTR name)
{
    if (!name) return nullptr;
    // Export names are plain ASCII; anything else cannot name an export.
    std::string narrow;
    for (const wchar_t* p = name; *p; ++p) {
        if (*p > 0x7F) return nullptr;
        narrow.push_back(char(*p));
    }
    return GetProcAddress(module, narrow.c_str());
}
