// ZEL_GUID: the 16-byte identifier that names services, message classes, events, settings sections
// and protocols. A plain value copied bytewise between modules, so it must keep exactly this
// layout (multi-byte fields in the processor's little-endian order) and stay trivially copyable.
#pragma once

#include "ZELCommon/ZELCommonApi.h"
#include "ZELCommon/ZELString.h"

#include <type_traits>

struct ZELCOMMON_API ZEL_GUID {
    unsigned int Data1;
    unsigned short Data2;
    unsigned short Data3;
    unsigned char Data4[8];

    // "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}": Data1, Data2, Data3 as numbers, then the Data4
    // bytes in order; upper-case hexadecimal, always 38 units.
    CZELString GetString() const;

    // Reads the text form back (hexadecimal digits of either case). Any text that is not exactly
    // that form, 38 units long, leaves the GUID unchanged.
    void SetString(const CZELString& text);

    bool operator==(const ZEL_GUID& other) const;
    bool operator!=(const ZEL_GUID& other) const { return !(*this == other); }

    // Unsigned byte-wise order of the 16 bytes as they lie in memory (Data1's least significant
    // byte first). Every map keyed by GUID uses this order; it is not the order of the texts.
    bool operator<(const ZEL_GUID& other) const;
};

static_assert(sizeof(ZEL_GUID) == 16, "ZEL_GUID is 16 bytes on every side of a module boundary");
static_assert(std::is_trivially_copyable<ZEL_GUID>::value, "ZEL_GUID is copied bytewise");
static_assert(std::is_standard_layout<ZEL_GUID>::value, "ZEL_GUID fields lie in declaration order");
