#include "ZELCommon/ZELTime.h"

#include <cwchar>

static_assert(sizeof(struct tm) == 9 * sizeof(int), "the nine 32-bit fields of the broken-down time");

CZELTime::CZELTime()
{
    SetLocal(time(nullptr));
}

CZELTime::CZELTime(unsigned unixTime)
{
    SetLocal(time_t(unixTime));
}

CZELTime::CZELTime(unsigned year, unsigned month, unsigned day, unsigned hour, unsigned minute, unsigned second)
{
    SetLocal(time(nullptr));
    if (year <= 1900 || month >= 12 || day >= 32 || hour >= 24 || minute >= 60 || second >= 60) return;
    value.tm_year = int(year - 1900);
    value.tm_mon = int(month);
    value.tm_mday = int(day);
    value.tm_hour = int(hour);
    value.tm_min = int(minute);
    value.tm_sec = int(second);
    value.tm_wday = 0;
    value.tm_yday = 0;
}

void CZELTime::SetLocal(time_t seconds)
{
    struct tm local;
    if (localtime_s(&local, &seconds) != 0) local = tm();
    value = local;
}

unsigned CZELTime::GetUnixTime() const
{
    struct tm copy = value;
    return unsigned(mktime(&copy));
}

CZELString CZELTime::ToString(const CZELString& format) const
{
    if (format.IsEmpty()) return CZELString();
    const size_t room = 255;  // 254 units and the zero
    wchar_t text[room];
    size_t length = wcsftime(text, room, format.GetBuffer(), &value);
    // Some runtimes cut a result that does not fit and return the full room with no zero, where
    // others return 0; both mean it did not fit.
    if (length == 0 || length >= room) return CZELString();
    return CZELString(text, int(length));
}
