#include "Wex/proto/OfflineText.h"

#include <cwchar>
#include <string>

namespace Wex {

CZELString OfflineMessageText(const CZELString& label, time_t sent, const CZELString& text)
{
    wchar_t when[128] = L"";
    const struct tm* local = std::localtime(&sent);
    if (!local || std::wcsftime(when, sizeof when / sizeof when[0], L"%c", local) == 0) when[0] = L'\0';
    return label + L" (" + CZELString(when) + L")\r\n" + text;
}

time_t UniversalTimeOf(unsigned year, unsigned month, unsigned day, unsigned hour, unsigned minute)
{
    if (year < 1970 || month < 1 || month > 12 || day < 1 || day > 31 || hour > 23 || minute > 59) return -1;
    struct tm stamp = {};
    stamp.tm_year = int(year) - 1900;
    stamp.tm_mon = int(month) - 1;
    stamp.tm_mday = int(day);
    stamp.tm_hour = int(hour);
    stamp.tm_min = int(minute);
    return _mkgmtime(&stamp);
}

} // namespace Wex
