// The main window as it shows on the screen with the default skin, at 96 and 192 dpi: the tiled
// background picture in the contact list, the status strip with its frame and the offline status
// picture, and the soft keys below. The screenshots are saved under bin\screenshots.
#include "Zel/shell/tests/AppTestSupport.h"

#include "ZELCommon/tests/WindowScreenshot.h"
#include "Handheld/Device.h"
#include "Handheld/ShellUiLayout.h"

using namespace AppTest;

namespace {

// The default skin's background: a pale field with a darker dot every 8 pixels.
const uint32_t kField = 0xEAF2FA;
const uint32_t kDot = 0xC8DCF0;
// The offline status picture's grey.
const uint32_t kOffline = 0x969696;

int Count(const TestSupport::Image& image, const RECT& area, uint32_t colour)
{
    int count = 0;
    for (int y = area.top; y < area.bottom; ++y)
        for (int x = area.left; x < area.right; ++x) count += image.At(x, y) == colour;
    return count;
}

int CountDark(const TestSupport::Image& image, const RECT& area)
{
    int count = 0;
    for (int y = area.top; y < area.bottom; ++y)
        for (int x = area.left; x < area.right; ++x) {
            uint32_t pixel = image.At(x, y);
            count += ((pixel >> 16) & 0xFF) < 80 && ((pixel >> 8) & 0xFF) < 80 && (pixel & 0xFF) < 80;
        }
    return count;
}

}  // namespace

TEST(AppScreenshot, TheMainWindowShowsTheSkinTheStatusStripAndTheSoftKeys)
{
    ZEL_REQUIRE_DISPLAY();
    AppFolder folder(L"AppScreenshotTest");
    for (int dpi : {96, 192}) {
        SCOPED_TRACE(dpi);
        SetScreenLogPixels(dpi);
        {
            AppRun run(folder, L"Missing");
            ASSERT_TRUE(run.started);
            HWND window = run.Window();
            SetWindowPos(window, HWND_TOP, 0, 0, dpi * 5 / 2, dpi * 7 / 2, SWP_SHOWWINDOW);
            RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
            PumpFor(300);
            std::wstring name = L"zel_main_" + std::to_wstring(dpi) + L".png";
            TestSupport::SaveScreenshot(window, false, name.c_str());
            TestSupport::Image image;
            ASSERT_TRUE(TestSupport::CaptureWindow(window, false, &image));

            // The contact list: the background picture, tiled.
            RECT list = TestSupport::RectIn(*run.App().ContactList(), window);
            int area = (list.right - list.left) * (list.bottom - list.top);
            int field = Count(image, list, kField);
            int dots = Count(image, list, kDot);
            EXPECT_GT(field, area * 9 / 10);
            EXPECT_GT(dots, area / 64 * 3 / 4);
            EXPECT_LT(dots, area / 64 * 5 / 4 + 8);

            // The status strip: its frame, and the offline picture in the first cell at the icon size.
            RECT strip = TestSupport::RectIn(*run.App().TopPanel(), window);
            EXPECT_EQ(strip.bottom - strip.top, (dpi * 28 + 48) / 96);
            EXPECT_EQ(image.At(strip.left + 40, strip.top), 0u);
            EXPECT_EQ(image.At(strip.left + 40, strip.bottom - 1), 0u);
            int icon = (dpi + 3) * 16 / 96;
            RECT cell = {strip.left, strip.top, strip.left + (dpi * 24 + 48) / 96, strip.bottom};
            EXPECT_GT(Count(image, cell, kOffline), icon * icon / 4);
            RECT rest = {cell.right + 10, strip.top + 2, strip.right - 2, strip.bottom - 2};
            EXPECT_EQ(Count(image, rest, kOffline), 0);
            EXPECT_GT(Count(image, rest, kField), 0);

            // The soft keys below: "Menu" written on the left key, the right one empty.
            RECT bar = TestSupport::RectIn(run.App().GetMenuBar(), window);
            EXPECT_EQ(bar.top, strip.bottom);
            EXPECT_EQ(bar.bottom - bar.top, ShellLayout::SoftKeyBarHeight(dpi));
            RECT left = ShellLayout::SoftKeyRect(bar.right - bar.left, bar.bottom - bar.top, 2, 0);
            RECT right = ShellLayout::SoftKeyRect(bar.right - bar.left, bar.bottom - bar.top, 2, 1);
            OffsetRect(&left, bar.left, bar.top);
            OffsetRect(&right, bar.left, bar.top);
            InflateRect(&left, -3, -3);
            InflateRect(&right, -3, -3);
            EXPECT_GT(CountDark(image, left), 10);
            EXPECT_EQ(CountDark(image, right), 0);
            EXPECT_EQ(Count(image, bar, kField), 0);
        }
    }
    SetScreenLogPixels(0);
}
