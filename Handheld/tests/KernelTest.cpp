#include "Handheld/Kernel.h"

#include <gtest/gtest.h>

TEST(EventModify, SetResetAndUnknownFunction)
{
    HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ASSERT_NE(event, nullptr);
    EXPECT_TRUE(EventModify(event, EVENT_SET));
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_OBJECT_0);
    EXPECT_TRUE(EventModify(event, EVENT_RESET));
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT);
    EXPECT_FALSE(EventModify(event, 99));
    CloseHandle(event);
}

TEST(GetProcAddressW, FindsExportsByWideName)
{
    HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    ASSERT_NE(kernel, nullptr);
    EXPECT_EQ(GetProcAddressW(kernel, L"GetTickCount"), GetProcAddress(kernel, "GetTickCount"));
    EXPECT_EQ(GetProcAddressW(kernel, L"NoSuchExport"), nullptr);
    EXPECT_EQ(GetProcAddressW(kernel, L"Get\x0416TickCount"), nullptr);
    EXPECT_EQ(GetProcAddressW(kernel, nullptr), nullptr);
}
