#include "Handheld/Device.h"

#include "DeviceTestSupport.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using DeviceIdentity = HandheldTest::BareDeviceTest;

}  // namespace

TEST_F(DeviceIdentity, DesktopHasNoCellularLine)
{
    wchar_t buffer[8] = L"junk";
    EXPECT_EQ(GetCellularLineSerial(buffer, 8), 0u);
    EXPECT_STREQ(buffer, L"");
    EXPECT_EQ(GetCellularLineSerial(nullptr, 0), 0u);
}

TEST_F(DeviceIdentity, CellularSerialIsCopiedWithinTheBuffer)
{
    SetCellularLineSerial(L"356938035643809");
    const struct {
        const char* name;
        DWORD size;
        const wchar_t* expected;
    } cases[] = {
        {"ample room", 32, L"356938035643809"},
        {"exact room with the zero", 16, L"356938035643809"},
        {"one unit short", 15, L"35693803564380"},
        {"room for the zero only", 1, L""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        wchar_t buffer[40];
        wmemset(buffer, L'#', 40);
        EXPECT_EQ(GetCellularLineSerial(buffer, c.size), 15u);
        EXPECT_STREQ(buffer, c.expected);
        EXPECT_EQ(buffer[c.size], L'#') << "wrote past the given size";
    }
    // Asking for the length alone touches no buffer.
    EXPECT_EQ(GetCellularLineSerial(nullptr, 0), 15u);
    wchar_t untouched[2] = {L'#', L'#'};
    EXPECT_EQ(GetCellularLineSerial(untouched, 0), 15u);
    EXPECT_EQ(untouched[0], L'#');
}

TEST_F(DeviceIdentity, ClearingTheSerialRemovesTheLine)
{
    const struct {
        const char* name;
        const wchar_t* value;
    } clears[] = {{"null", nullptr}, {"empty text", L""}};
    for (const auto& c : clears) {
        SCOPED_TRACE(c.name);
        SetCellularLineSerial(L"12345");
        SetCellularLineSerial(c.value);
        wchar_t buffer[8] = L"junk";
        EXPECT_EQ(GetCellularLineSerial(buffer, 8), 0u);
        EXPECT_STREQ(buffer, L"");
    }
}

TEST_F(DeviceIdentity, OemInfoIsEmptyUntilSetAndBounded)
{
    wchar_t buffer[16] = L"junk";
    EXPECT_TRUE(GetOemInfoText(buffer, 16));
    EXPECT_STREQ(buffer, L"");

    SetOemInfoText(L"Handheld \x041F\x041A 6.5");
    EXPECT_TRUE(GetOemInfoText(buffer, 16));
    EXPECT_STREQ(buffer, L"Handheld \x041F\x041A 6.5");

    wmemset(buffer, L'#', 16);
    EXPECT_TRUE(GetOemInfoText(buffer, 5));
    EXPECT_STREQ(buffer, L"Hand");
    EXPECT_EQ(buffer[5], L'#');

    EXPECT_FALSE(GetOemInfoText(nullptr, 16));
    EXPECT_FALSE(GetOemInfoText(buffer, 0));

    SetOemInfoText(nullptr);
    EXPECT_TRUE(GetOemInfoText(buffer, 16));
    EXPECT_STREQ(buffer, L"");
}
