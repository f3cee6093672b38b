// A test run at another system density really starts at it, and the density goes back afterwards.
#include "Handheld/tests/DisplayRequirement.h"
#include "Handheld/tests/SystemDensity.h"

#include <gtest/gtest.h>
#include <windows.h>

namespace {

DWORD StoredDensity()
{
    DWORD value = 0, size = sizeof value;
    if (RegGetValueW(HKEY_CURRENT_USER, L"Control Panel\\Desktop", L"LogPixels", RRF_RT_REG_DWORD, nullptr, &value,
                     &size) != ERROR_SUCCESS)
        return 0;
    return value;
}

int ScreenDensity()
{
    HDC screen = GetDC(nullptr);
    int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    return dpi;
}

}  // namespace

TEST(SystemDensity, TheBodyRunsAtTheDensityAndTheStoredValueGoesBack)
{
    ZEL_REQUIRE_DISPLAY();
    const DWORD before = StoredDensity();
    const int screenBefore = ScreenDensity();
    if (DisplayTestSupport::RunsAtSystemDensity(192)) {
        EXPECT_EQ(192, ScreenDensity());
        // Dialog units follow: a template's 100 units are twice as many pixels as at 96 dpi.
        LONG units = GetDialogBaseUnits();
        EXPECT_GE(LOWORD(units), 12);
        return;
    }
    EXPECT_EQ(before, StoredDensity());
    EXPECT_EQ(screenBefore, ScreenDensity());
    EXPECT_NE(192, screenBefore);
}
