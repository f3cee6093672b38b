#include "ZELCommon/ZELTime.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>
#include <ctime>
#include <string>

namespace {

// Pins the runtime's time zone for one test and puts the old one back afterwards. The runtime reads
// TZ from its own environment, which both this program and the library share.
class ZoneGuard {
public:
    explicit ZoneGuard(const char* zone)
    {
        const char* old = getenv("TZ");
        hadZone = old != nullptr;
        if (old) previous = old;
        Set(zone);
    }
    ~ZoneGuard() { Set(hadZone ? previous.c_str() : ""); }

    static void Set(const char* zone)
    {
        _putenv(("TZ=" + std::string(zone)).c_str());
        _tzset();
    }

private:
    bool hadZone = false;
    std::string previous;
};

// Local time fixed to UTC without daylight saving, so calendar fields are known exactly.
class ZELTime : public ::testing::Test {
protected:
    ZoneGuard zone{"UTC0"};
};

std::wstring Text(const CZELString& text)
{
    return text.IsEmpty() ? std::wstring() : std::wstring(text.GetBuffer());
}

const wchar_t* const Stamp = L"%Y-%m-%d %H:%M:%S";

}  // namespace

TEST_F(ZELTime, FromUnixTimeAndBack)
{
    struct Case {
        const char* name;
        unsigned unixTime;
        const wchar_t* text;
        int year, month, day;
    } cases[] = {
        {"epoch", 0, L"1970-01-01 00:00:00", 1970, 1, 1},
        {"leap day", 951782400, L"2000-02-29 00:00:00", 2000, 2, 29},
        {"billion and more", 1234567890, L"2009-02-13 23:31:30", 2009, 2, 13},
        {"end of a year", 1262303999, L"2009-12-31 23:59:59", 2009, 12, 31},
        {"past 2038", 2147483648u, L"2038-01-19 03:14:08", 2038, 1, 19},
        {"largest", 4294967295u, L"2106-02-07 06:28:15", 2106, 2, 7},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CZELTime time(c.unixTime);
        EXPECT_EQ(std::wstring(c.text), Text(time.ToString(Stamp)));
        EXPECT_EQ(c.year, time.Year());
        EXPECT_EQ(c.month, time.Month());
        EXPECT_EQ(c.day, time.Day());
        EXPECT_EQ(c.unixTime, time.GetUnixTime());
    }
}

TEST_F(ZELTime, LocalTimeFollowsTheZone)
{
    {
        ZoneGuard east("XXX-3");
        CZELTime time(0u);
        EXPECT_EQ(L"1970-01-01 03:00:00", Text(time.ToString(Stamp)));
        EXPECT_EQ(0u, time.GetUnixTime());
        CZELTime later(1234567890u);
        EXPECT_EQ(L"2009-02-14 02:31:30", Text(later.ToString(Stamp)));
        EXPECT_EQ(1234567890u, later.GetUnixTime());
    }
    {
        ZoneGuard west("YYY5");
        CZELTime time(86400u);
        EXPECT_EQ(L"1970-01-01 19:00:00", Text(time.ToString(Stamp)));
        EXPECT_EQ(86400u, time.GetUnixTime());
    }
}

TEST_F(ZELTime, NowIsTheCurrentTime)
{
    unsigned before = unsigned(time(nullptr));
    CZELTime now;
    unsigned after = unsigned(time(nullptr));
    EXPECT_GE(now.GetUnixTime(), before);
    EXPECT_LE(now.GetUnixTime(), after);
}

TEST_F(ZELTime, CalendarFieldsAreTakenWhenAllAreInRange)
{
    struct Case {
        const char* name;
        unsigned year, month, day, hour, minute, second;
        const wchar_t* text;
        unsigned unixTime;
    } cases[] = {
        {"last second of 2009", 2009, 11, 31, 23, 59, 59, L"2009-12-31 23:59:59", 1262303999},
        {"first of January", 2009, 0, 1, 0, 0, 0, L"2009-01-01 00:00:00", 1230768000},
        {"epoch", 1970, 0, 1, 0, 0, 0, L"1970-01-01 00:00:00", 0},
        {"leap day", 2012, 1, 29, 12, 30, 15, L"2012-02-29 12:30:15", 1330518615},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CZELTime time(c.year, c.month, c.day, c.hour, c.minute, c.second);
        EXPECT_EQ(std::wstring(c.text), Text(time.ToString(Stamp)));
        EXPECT_EQ(int(c.year), time.Year());
        EXPECT_EQ(int(c.month) + 1, time.Month());
        EXPECT_EQ(int(c.day), time.Day());
        EXPECT_EQ(c.unixTime, time.GetUnixTime());
    }
    // Day of week and day of year are not worked out; they are left 0.
    CZELTime end(2009, 11, 31, 23, 59, 59);
    EXPECT_EQ(L"0 001", Text(end.ToString(L"%w %j")));
}

TEST_F(ZELTime, ArgumentsOutOfRangeLeaveTheCurrentTime)
{
    struct Case {
        const char* name;
        unsigned year, month, day, hour, minute, second;
    } cases[] = {
        {"month 12", 2009, 12, 1, 0, 0, 0},
        {"year 1900", 1900, 0, 1, 0, 0, 0},
        {"year 0", 0, 0, 1, 0, 0, 0},
        {"day 32", 2009, 0, 32, 0, 0, 0},
        {"hour 24", 2009, 0, 1, 24, 0, 0},
        {"minute 60", 2009, 0, 1, 0, 60, 0},
        {"second 60", 2009, 0, 1, 0, 0, 60},
        {"wrapped negative month", 2009, unsigned(-1), 1, 0, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        unsigned before = unsigned(time(nullptr));
        CZELTime held(c.year, c.month, c.day, c.hour, c.minute, c.second);
        unsigned after = unsigned(time(nullptr));
        EXPECT_GE(held.GetUnixTime(), before);
        EXPECT_LE(held.GetUnixTime(), after);
    }
}

TEST_F(ZELTime, YearJustAbove1900IsTaken)
{
    CZELTime time(1901, 5, 2, 3, 4, 5);
    EXPECT_EQ(1901, time.Year());
    EXPECT_EQ(6, time.Month());
    EXPECT_EQ(2, time.Day());
}

TEST_F(ZELTime, DayZeroIsTakenAndNormalisedToTheMonthBefore)
{
    // Day 0 passes the range check; the conversion reads it as the last day of the month before.
    CZELTime zero(2009, 2, 0, 12, 0, 0);
    EXPECT_EQ(0, zero.Day());
    EXPECT_EQ(CZELTime(2009, 1, 28, 12, 0, 0).GetUnixTime(), zero.GetUnixTime());
    EXPECT_EQ(0, zero.Day());  // converting leaves the held fields alone
}

TEST_F(ZELTime, ToGMTAndToLocalChangeNothing)
{
    CZELTime time(1234567890u);
    time.ToGMT();
    EXPECT_EQ(1234567890u, time.GetUnixTime());
    time.ToLocal();
    EXPECT_EQ(1234567890u, time.GetUnixTime());
    {
        ZoneGuard east("XXX-3");
        CZELTime local(1234567890u);
        local.ToGMT();
        EXPECT_EQ(1234567890u, local.GetUnixTime());
        EXPECT_EQ(L"02", Text(local.ToString(L"%H")));
    }
}

TEST_F(ZELTime, ToStringFitsAtMost254Units)
{
    CZELTime time(1234567890u);
    struct Case {
        const char* name;
        std::wstring format;
        std::wstring expected;
    } cases[] = {
        {"empty format", L"", L""},
        {"plain text", L"at noon", L"at noon"},
        {"percent sign", L"100%%", L"100%"},
        {"parts", L"%d.%m.%Y %H:%M", L"13.02.2009 23:31"},
        {"254 units", std::wstring(250, L'x') + L"%Y", std::wstring(250, L'x') + L"2009"},
        {"255 units", std::wstring(251, L'x') + L"%Y", L""},
        {"254 plain units", std::wstring(254, L'y'), std::wstring(254, L'y')},
        {"255 plain units", std::wstring(255, L'y'), L""},
        {"far too long", std::wstring(1000, L'z'), L""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.expected, Text(time.ToString(CZELString(c.format.c_str()))));
    }
    // The locale's own form: whatever it is, it is some text.
    EXPECT_FALSE(time.ToString(L"%c").IsEmpty());
}

TEST_F(ZELTime, CopiesHoldTheSameTime)
{
    CZELTime original(2009, 11, 31, 23, 59, 59);
    CZELTime copy = original;
    EXPECT_EQ(original.GetUnixTime(), copy.GetUnixTime());
    copy = CZELTime(0u);
    EXPECT_EQ(0u, copy.GetUnixTime());
    EXPECT_EQ(1262303999u, original.GetUnixTime());
}
