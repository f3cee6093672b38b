#include "Handheld/ShellUiLayout.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string Describe(const RECT& rect)
{
    return std::to_string(rect.left) + "," + std::to_string(rect.top) + "," + std::to_string(rect.right) + "," +
           std::to_string(rect.bottom);
}

TEST(ShellLayout, StripsScaleWithTheScreen)
{
    struct Case {
        int dpi, height;
    } cases[] = {{96, 26}, {120, 33}, {128, 35}, {192, 52}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.dpi);
        EXPECT_EQ(c.height, ShellLayout::TitleStripHeight(c.dpi));
        EXPECT_EQ(c.height, ShellLayout::SoftKeyBarHeight(c.dpi));
    }
    EXPECT_EQ(-13, ShellLayout::Scale(-10, 120));
    EXPECT_EQ(13, ShellLayout::Scale(10, 120));
}

TEST(ShellLayout, TitleButtonSitsAtTheRightEndOfTheStrip)
{
    struct Case {
        const char* name;
        int width, height, dpi;
        const char* button;
    } cases[] = {
        {"portrait at 96", 240, 26, 96, "181,3,237,23"},
        {"landscape at 96", 320, 26, 96, "261,3,317,23"},
        {"portrait at 192", 480, 52, 192, "362,6,474,46"},
        {"narrower than the button", 40, 26, 96, "3,3,37,23"},
        {"no room", 6, 26, 96, "0,0,0,0"},
        {"no height", 240, 6, 96, "0,0,0,0"},
        {"nothing", 0, 0, 96, "0,0,0,0"},
        {"negative", -50, -5, 96, "0,0,0,0"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.button, Describe(ShellLayout::TitleButtonRect(c.width, c.height, c.dpi)));
    }
}

TEST(ShellLayout, SoftKeysShareTheBar)
{
    struct Case {
        const char* name;
        int width, height, count, index;
        const char* key;
    } cases[] = {
        {"left of two", 240, 26, 2, 0, "0,0,120,26"},
        {"right of two", 240, 26, 2, 1, "120,0,240,26"},
        {"odd width", 241, 26, 2, 1, "120,0,241,26"},
        {"one key", 240, 26, 1, 0, "0,0,240,26"},
        {"index past the keys", 240, 26, 2, 2, "0,0,0,0"},
        {"negative index", 240, 26, 2, -1, "0,0,0,0"},
        {"no keys", 240, 26, 0, 0, "0,0,0,0"},
        {"more keys than a bar holds", 240, 26, 3, 0, "0,0,0,0"},
        {"empty bar", 0, 26, 2, 0, "0,0,0,0"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.key, Describe(ShellLayout::SoftKeyRect(c.width, c.height, c.count, c.index)));
    }
}

TEST(ShellLayout, PointsFindTheirKey)
{
    struct Case {
        const char* name;
        POINT point;
        int count, key;
    } cases[] = {
        {"left edge", {0, 0}, 2, 0},       {"last pixel of the left key", {119, 25}, 2, 0},
        {"first pixel of the right key", {120, 0}, 2, 1}, {"right edge", {239, 10}, 2, 1},
        {"past the right edge", {240, 10}, 2, -1}, {"below", {10, 26}, 2, -1},
        {"above", {10, -1}, 2, -1},        {"one key", {200, 5}, 1, 0},
        {"no keys", {10, 5}, 0, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.key, ShellLayout::SoftKeyAt(240, 26, c.count, c.point));
    }
}

}  // namespace
