#include "ZELCommon/DialogWidthFit.h"

#include "ZELCommon/tests/UiTestSupport.h"

#include <gtest/gtest.h>

TEST(DialogWidthFit, CoordinatesScaleDownOnlyWhenTheLayoutIsWider)
{
    struct Case {
        const char* name;
        int x, designed, width, expected;
    } cases[] = {
        {"a layout that fits stays", 150, 200, 240, 150},
        {"as wide as the window stays", 240, 240, 240, 240},
        {"the right edge comes to the window's", 273, 273, 234, 234},
        {"a margin shrinks in proportion", 7, 273, 234, 6},
        {"the left edge stays", 0, 273, 234, 0},
        {"rounded to the nearest", 100, 300, 200, 67},
        {"no designed width", 80, 0, 40, 80},
        {"a negative designed width", 80, -5, 40, 80},
        {"no room at all", 80, 100, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(UI::FitToWidth(c.x, c.designed, c.width), c.expected);
    }
}

TEST(DialogWidthFit, ChildrenComeWithinTheWidthAndAComboKeepsItsList)
{
    ZEL_REQUIRE_DISPLAY();
    HWND host = TestSupport::CreateHostWindow(200, 200);
    ASSERT_NE(host, nullptr);
    HINSTANCE instance = GetModuleHandleW(nullptr);
    HWND button = CreateWindowExW(0, L"BUTTON", L"B", WS_CHILD | WS_VISIBLE, 20, 10, 280, 20, host, nullptr,
                                  instance, nullptr);
    HWND combo = CreateWindowExW(0, L"COMBOBOX", L"", WS_CHILD | WS_VISIBLE | CBS_DROPDOWNLIST, 0, 40, 400, 150,
                                 host, nullptr, instance, nullptr);
    RECT dropped = {};
    SendMessageW(combo, CB_GETDROPPEDCONTROLRECT, 0, LPARAM(&dropped));
    const LONG listHeight = dropped.bottom - dropped.top;

    // Laid out for 300 pixels, but the combo reaches to 400: that is the width squeezed into 200.
    UI::FitChildrenToWidth(host, 300, 200);
    const RECT buttonRect = TestSupport::RectIn(button, host), comboRect = TestSupport::RectIn(combo, host);
    EXPECT_EQ(buttonRect.left, 10);
    EXPECT_EQ(buttonRect.right, 150);
    EXPECT_EQ(buttonRect.bottom - buttonRect.top, 20);
    EXPECT_EQ(comboRect.left, 0);
    EXPECT_EQ(comboRect.right, 200);
    SendMessageW(combo, CB_GETDROPPEDCONTROLRECT, 0, LPARAM(&dropped));
    EXPECT_EQ(dropped.bottom - dropped.top, listHeight);

    // Controls that fit stay, even under a template wider than the window.
    UI::FitChildrenToWidth(host, 300, 200);
    EXPECT_EQ(TestSupport::RectIn(button, host).left, 10);
    EXPECT_EQ(TestSupport::RectIn(button, host).right, 150);
    EXPECT_EQ(TestSupport::RectIn(combo, host).right, 200);
    DestroyWindow(host);
}
