#include "ZELCommon/ZELSystemInfo.h"

#include "Handheld/Device.h"

#include <vector>

unsigned CZELSystemInfo::ZELVersion()
{
    return 2140;
}

CZELString CZELSystemInfo::OSName()
{
    return CZELString(L"WM");
}

CZELString CZELSystemInfo::DeviceID()
{
    // Serials are short; a longer one is fetched again at its size. A string holds at most
    // MaxLength units, so nothing beyond that is fetched.
    wchar_t small[64];
    DWORD length = GetCellularLineSerial(small, 64);
    if (length < 64) return CZELString(small, int(length));

    DWORD wanted = length < DWORD(CZELString::MaxLength) ? length : DWORD(CZELString::MaxLength);
    std::vector<wchar_t> large(wanted + 1);
    GetCellularLineSerial(large.data(), wanted + 1);
    return CZELString(large.data(), -1);
}

CZELString CZELSystemInfo::DeviceName()
{
    wchar_t buffer[256] = {};
    if (!GetOemInfoText(buffer, 256)) return CZELString();
    return CZELString(buffer, -1);
}
