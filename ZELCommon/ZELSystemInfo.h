// CZELSystemInfo: the system's build number and platform name, and the device's identity.
#pragma once

#include "ZELCommon/ZELCommonApi.h"
#include "ZELCommon/ZELString.h"

class ZELCOMMON_API CZELSystemInfo {
public:
    static unsigned ZELVersion();
    static CZELString OSName();
    // Serial number of the device's cellular line; empty without one.
    static CZELString DeviceID();
    // The device's OEM information text.
    static CZELString DeviceName();
};
