#include "ZELCommon/ZELCommonMain.h"

#include <gtest/gtest.h>

TEST(ZELCommonMain, KeepsTheLibrarysOwnModuleHandle)
{
    HMODULE library = GetModuleHandleW(L"ZELCommon.dll");
    ASSERT_NE(library, nullptr);
    EXPECT_EQ(GetZELCommonModule(), library);
    EXPECT_NE(GetZELCommonModule(), GetModuleHandleW(nullptr));
}
