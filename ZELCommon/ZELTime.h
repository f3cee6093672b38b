// CZELTime: a broken-down local calendar time, the nine fields of the runtime's struct tm in its
// order (second, minute, hour, day 1-31, month 0-11, years since 1900, day of week, day of year,
// daylight-saving flag). It never holds an invalid time: bad calendar arguments leave the current
// time.
#pragma once

#include "ZELCommon/ZELCommonApi.h"
#include "ZELCommon/ZELString.h"

#include <ctime>

class ZELCOMMON_API CZELTime {
public:
    // Now.
    CZELTime();
    // The local time of that count of seconds since 1970-01-01 00:00 UTC.
    explicit CZELTime(unsigned unixTime);
    // Month is 0-11, as stored. Takes the current time first, and these values only when all are in
    // range; day of week and day of year become 0, the daylight-saving flag stays as now.
    CZELTime(unsigned year, unsigned month, unsigned day, unsigned hour, unsigned minute, unsigned second);

    // Seconds since 1970 UTC of the held local time; out-of-range fields are normalised on the way.
    unsigned GetUnixTime() const;
    int Year() const { return value.tm_year + 1900; }
    int Month() const { return value.tm_mon + 1; }  // 1-12
    int Day() const { return value.tm_mday; }

    // Formatted with the runtime's wide strftime directives; at most 254 units, empty when the
    // result does not fit or the format is empty.
    CZELString ToString(const CZELString& format) const;

    // The held value is always local time; both leave it as it is.
    void ToGMT() {}
    void ToLocal() {}

private:
    void SetLocal(time_t seconds);

    struct tm value;
};
