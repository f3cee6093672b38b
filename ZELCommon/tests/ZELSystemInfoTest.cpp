#include "ZELCommon/ZELSystemInfo.h"

#include "Handheld/Device.h"
#include "Handheld/tests/DeviceTestSupport.h"
#include "modules/TestModules.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using ZELSystemInfoDevice = HandheldTest::BareDeviceTest;

std::wstring Digits(size_t count)
{
    std::wstring text;
    for (size_t i = 0; i < count; ++i) text.push_back(wchar_t(L'0' + i % 10));
    return text;
}

}  // namespace

TEST(ZELSystemInfo, BuildNumberAndPlatformName)
{
    EXPECT_EQ(CZELSystemInfo::ZELVersion(), 2140u);
    EXPECT_EQ(WideText(CZELSystemInfo::OSName()), L"WM");
}

TEST_F(ZELSystemInfoDevice, EmptyWithoutCellularLineOrOemText)
{
    EXPECT_TRUE(CZELSystemInfo::DeviceID().IsEmpty());
    EXPECT_TRUE(CZELSystemInfo::DeviceName().IsEmpty());
}

TEST_F(ZELSystemInfoDevice, DeviceIdIsTheCellularLineSerial)
{
    const struct {
        const char* name;
        std::wstring serial;
        std::wstring expected;
    } cases[] = {
        {"typical serial", L"356938035643809", L"356938035643809"},
        {"non-ASCII", L"SN-\x0416\x0419-01", L"SN-\x0416\x0419-01"},
        {"63 units", Digits(63), Digits(63)},
        {"64 units", Digits(64), Digits(64)},
        {"1000 units", Digits(1000), Digits(1000)},
        {"longer than a string holds", Digits(70000), Digits(CZELString::MaxLength)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SetCellularLineSerial(c.serial.c_str());
        EXPECT_EQ(WideText(CZELSystemInfo::DeviceID()), c.expected);
    }
    SetCellularLineSerial(nullptr);
    EXPECT_TRUE(CZELSystemInfo::DeviceID().IsEmpty());
}

TEST_F(ZELSystemInfoDevice, DeviceNameIsTheOemTextInA256UnitBuffer)
{
    const struct {
        const char* name;
        std::wstring text;
        std::wstring expected;
    } cases[] = {
        {"typical", L"Handheld \x041F\x041A", L"Handheld \x041F\x041A"},
        {"255 units", Digits(255), Digits(255)},
        {"256 units", Digits(256), Digits(255)},
        {"1000 units", Digits(1000), Digits(255)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SetOemInfoText(c.text.c_str());
        EXPECT_EQ(WideText(CZELSystemInfo::DeviceName()), c.expected);
    }
}
