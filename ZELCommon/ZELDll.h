// CZELDll: one loaded library and its exports. The object is a plain handle: copies share it, the
// destructor leaves the library loaded, and whichever holder calls Unload frees it (one copy may
// be handed to another thread to do so).
#pragma once

#include "ZELCommon/ZELCommonApi.h"
#include "ZELCommon/ZELString.h"

#include <windows.h>

class ZELCOMMON_API CZELDll {
public:
    CZELDll() : module(nullptr) {}

    // Loads folder + file (the folder ends with its separator). The new handle replaces the
    // stored one, which is not freed: other copies may still hold it. An empty folder loads
    // nothing, so a bare file name never goes through the system's search path.
    bool Load(const CZELString& file, const CZELString& folder);
    // The export of that name in the loaded library; null when absent or nothing is loaded.
    FARPROC GetProcAddressW(const CZELString& name) const;
    // Frees the loaded library; false when nothing is loaded.
    bool Unload();

private:
    HMODULE module;
};
