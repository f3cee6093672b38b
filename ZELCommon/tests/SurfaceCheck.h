// A page or dialog checked as it shows on the screen, for the window tests of the plug-ins: saved
// under bin\screenshots, then the skin's brush where no control is, a label's glyphs in the text
// colour, and a control where the template's dialog units put it (an edit's frame drawn there).
// Works from any thread.
#pragma once

#include "ZELCommon/tests/UiTestSupport.h"
#include "ZELCommon/tests/WindowScreenshot.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <string>

namespace TestSupport {

struct SurfaceExpectation {
    int label;
    int control;
    int x, y, width, height;  // the control's rectangle in dialog units
    bool edit;
    COLORREF brush;
    COLORREF text;
};

inline POINT PointIn(HWND from, HWND to, int x, int y)
{
    POINT point = {x, y};
    MapWindowPoints(from, to, &point, 1);
    return point;
}

// The screen's logical pixels per inch, as the windows under test are laid out for.
inline int ScreenDensity()
{
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    return dpi;
}

inline bool Inside(const Image& image, POINT point)
{
    return point.x >= 0 && point.y >= 0 && point.x < image.width && point.y < image.height;
}

inline int CountColour(const Image& image, const RECT& area, COLORREF colour)
{
    int count = 0;
    for (int y = std::max(0, int(area.top)); y < std::min(image.height, int(area.bottom)); ++y)
        for (int x = std::max(0, int(area.left)); x < std::min(image.width, int(area.right)); ++x)
            count += image.At(x, y) == Rgb(colour);
    return count;
}

// Captures top (the window on the screen), saves it as screenshot, and checks surface (a page of
// it, or top itself) as expected says.
inline void CheckSurface(HWND top, HWND surface, const std::wstring& screenshot, const SurfaceExpectation& expected)
{
    SCOPED_TRACE(std::string(screenshot.begin(), screenshot.end()));
    RedrawWindow(top, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    Sleep(100);
    ASSERT_TRUE(SaveScreenshot(top, false, screenshot.c_str()));
    Image image;
    ASSERT_TRUE(CaptureWindow(top, false, &image));

    // The skin's brush in the corner no control covers.
    const POINT corner = PointIn(surface, top, 1, 1);
    ASSERT_TRUE(Inside(image, corner));
    EXPECT_EQ(image.At(corner.x, corner.y), Rgb(expected.brush));

    // The label's glyphs in the text colour.
    HWND label = GetDlgItem(surface, expected.label);
    ASSERT_NE(label, nullptr);
    EXPECT_GE(CountColour(image, RectIn(label, top), expected.text), 3);

    // The control where the template's units, mapped for this window's font, put it.
    HWND control = GetDlgItem(surface, expected.control);
    ASSERT_NE(control, nullptr);
    // The dialog manager maps the origin and the size each on its own, not the far edges.
    RECT mapped = {expected.x, expected.y, expected.width, expected.height};
    ASSERT_TRUE(MapDialogRect(surface, &mapped));
    const RECT units = {mapped.left, mapped.top, mapped.left + mapped.right, mapped.top + mapped.bottom};
    const RECT placed = RectIn(control, surface);
    EXPECT_EQ(placed.top, units.top);
    EXPECT_EQ(placed.bottom, units.bottom);
    RECT client = {};
    GetClientRect(surface, &client);
    if (placed.left != units.left || placed.right != units.right) {
        // A template wider than the screen has its controls squeezed to the width, in proportion:
        // never further right or wider than the template says, and inside the screen.
        EXPECT_LE(placed.left, units.left);
        EXPECT_LE(placed.right - placed.left, units.right - units.left);
        EXPECT_LE(placed.right, client.right);
    }
    if (expected.edit) {
        // Its border on the screen: the frame's column is drawn, the one left of it is the brush.
        const POINT frame = PointIn(surface, top, placed.left, (units.top + units.bottom) / 2);
        ASSERT_TRUE(Inside(image, frame));
        EXPECT_NE(image.At(frame.x, frame.y), Rgb(expected.brush));
        EXPECT_EQ(image.At(frame.x - 1, frame.y), Rgb(expected.brush));
    }
}

}  // namespace TestSupport
