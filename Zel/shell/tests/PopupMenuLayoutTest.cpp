// The popup menu's arithmetic as tables: columns and rows, the title, placement, hit tests, keys.
#include "Zel/shell/menu/PopupMenuLayout.h"

#include <gtest/gtest.h>

#include <string>

namespace {

const MenuMetrics At96 = {96, 96, true};
const MenuMetrics At192 = {192, 192, true};

// Every text is 10 pixels a letter wide.
int Measure(const CZELString& text, bool)
{
    return text.GetLength() * 10;
}

CPopupMenu Menu(int count, bool icons = false)
{
    CPopupMenu menu;
    for (int i = 0; i < count; ++i)
        menu.AddItem(CMenuItem(MENU_ITEM_PLAIN, icons ? 3 : -1, CZELString(L"item"), 100 + i, nullptr, i, false));
    return menu;
}

// Room for rows rows of 25 + 1 pixels at 96 dpi.
RECT BoundsForRows(int rows)
{
    return RECT{0, 0, 240, 2 + rows * 26};
}

}  // namespace

TEST(PopupMenuLayout, ColumnsAndRowsFillColumnByColumn)
{
    struct Case {
        int items;
        int roomRows;
        int columns;
        int rows;
    } cases[] = {
        {20, 8, 3, 7},   // 7, 7 and 6
        {8, 8, 1, 8},
        {9, 8, 2, 5},
        {1, 8, 1, 1},
        {5, 0, 5, 1},    // lower than one row: still one row
        {3, -4, 3, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.items) + " in " + std::to_string(c.roomRows));
        CPopupMenuLevel level;
        BuildMenuItems(Menu(c.items), At96, Measure, level);
        LayoutMenuLevel(level, At96, BoundsForRows(c.roomRows));
        EXPECT_EQ(level.columns, c.columns);
        EXPECT_EQ(level.rows, c.rows);
        EXPECT_EQ(level.total.cx, 1 + c.columns * (level.itemSize.cx + 1));
        EXPECT_EQ(level.total.cy, 1 + c.rows * 26);
    }
    CPopupMenuLevel level;
    BuildMenuItems(Menu(20), At96, Measure, level);
    LayoutMenuLevel(level, At96, BoundsForRows(8));
    // Item 7 opens the second column, item 14 the third.
    EXPECT_EQ(level.items[6].x, level.items[0].x);
    EXPECT_EQ(level.items[7].y, level.items[0].y);
    EXPECT_GT(level.items[7].x, level.items[6].x);
    EXPECT_EQ(level.items[14].x - level.items[7].x, level.itemSize.cx + 1);
}

TEST(PopupMenuLayout, WidthsSeparatorsTitleAndRowHeights)
{
    CPopupMenu menu;
    menu.AddItem(CMenuItem(MENU_ITEM_SEPARATOR));  // first: adds nothing
    menu.AddItem(CMenuItem(MENU_ITEM_PLAIN, 3, CZELString(L"abc"), 1, nullptr, 0, true));
    menu.AddItem(CMenuItem(MENU_ITEM_SEPARATOR));
    menu.AddItem(CMenuItem(MENU_ITEM_INFO, CZELString(L"info"), 0, nullptr, 0, false));
    menu.AddItem(CMenuItem(-1, CZELString(L"more"), 2, Menu(2)));
    CPopupMenuLevel level;
    BuildMenuItems(menu, At96, Measure, level);
    ASSERT_EQ(level.Count(), 3);
    EXPECT_FALSE(level.noIcons);
    EXPECT_EQ(level.items[0].flags, MenuItemPlain | MenuItemChecked | MenuItemLineBelow);
    EXPECT_EQ(level.items[1].flags, int(MenuItemInactive));
    EXPECT_EQ(level.items[2].flags, int(MenuItemHasSubMenu));
    // icon 16, gap 3, text, and 11 for the sub-menu mark.
    EXPECT_EQ(level.items[0].width, 16 + 3 + 30);
    EXPECT_EQ(level.items[2].width, 16 + 3 + 40 + 11);
    BuildMenuItems(menu, At192, Measure, level);
    EXPECT_EQ(level.items[0].width, 32 + 6 + 30);

    struct Case {
        MenuMetrics metrics;
        int height;
    } heights[] = {{{96, 96, true}, 25}, {{96, 96, false}, 16}, {{192, 192, true}, 50}, {{192, 192, false}, 32}};
    for (const Case& c : heights) {
        LayoutMenuLevel(level, c.metrics, RECT{0, 0, 1000, 1000});
        EXPECT_EQ(level.itemSize.cy, c.height);
    }

    // A title wider than the items widens them.
    CPopupMenu titled = Menu(2);
    titled.title = CZELString(L"a very long title indeed");
    BuildMenuItems(titled, At96, Measure, level);
    LayoutMenuLevel(level, At96, RECT{0, 0, 1000, 1000});
    EXPECT_TRUE(level.titled);
    EXPECT_EQ(level.title.width, 240 + 20);
    EXPECT_EQ(level.itemSize.cx, 260 + 1 - 1);
    EXPECT_EQ(level.items[0].y, 1 + (16 + 2));
    // But never past the bounds.
    LayoutMenuLevel(level, At96, RECT{0, 0, 100, 1000});
    EXPECT_EQ(level.itemSize.cx, 98);

    // Separators alone make a level with nothing to show.
    CPopupMenu lines;
    lines.AddItem(CMenuItem(MENU_ITEM_SEPARATOR));
    BuildMenuItems(lines, At96, Measure, level);
    EXPECT_EQ(level.Count(), 0);
}

TEST(PopupMenuLayout, PlacementByAlignmentAndIntoTheBounds)
{
    const RECT bounds = {0, 0, 240, 320};
    const SIZE size = {100, 50};
    struct Case {
        const char* name;
        POINT anchor;
        int alignment;
        RECT expected;
    } cases[] = {
        {"top-left", {20, 30}, 0, {20, 30, 120, 80}},
        {"top centre", {120, 30}, 1, {70, 30, 170, 80}},
        {"top-right", {120, 30}, 2, {20, 30, 120, 80}},
        {"above left", {20, 300}, 3, {20, 250, 120, 300}},
        {"above centre", {120, 300}, 4, {70, 250, 170, 300}},
        {"above right", {240, 320}, 5, {140, 270, 240, 320}},
        {"left middle", {20, 100}, 6, {20, 75, 120, 125}},
        {"right middle", {200, 100}, 7, {100, 75, 200, 125}},
        {"unknown acts as 0", {20, 30}, 9, {20, 30, 120, 80}},
        {"left of the bounds", {-50, 30}, 0, {0, 30, 100, 80}},
        {"past the right, more room left", {200, 30}, 0, {140, 30, 240, 80}},
        {"past the bottom", {20, 300}, 0, {20, 270, 120, 320}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RECT placed = PlaceMenu(size, c.anchor, c.alignment, bounds);
        EXPECT_EQ(placed.left, c.expected.left);
        EXPECT_EQ(placed.top, c.expected.top);
        EXPECT_EQ(placed.right, c.expected.right);
        EXPECT_EQ(placed.bottom, c.expected.bottom);
    }
    // Overflowing more than the room on the left: to the left edge, then cut by the bounds.
    RECT wide = PlaceMenu(SIZE{300, 50}, POINT{10, 10}, 0, bounds);
    EXPECT_EQ(wide.left, 0);
    EXPECT_EQ(wide.right, 240);
}

TEST(PopupMenuLayout, HitTestsAndScrolling)
{
    CPopupMenuLevel level;
    BuildMenuItems(Menu(20), At96, Measure, level);
    LayoutMenuLevel(level, At96, BoundsForRows(8));
    const SIZE client = {level.total.cx, level.total.cy};
    EXPECT_EQ(MenuHitTest(level, client, POINT{-1, 5}, 0), -2);
    EXPECT_EQ(MenuHitTest(level, client, POINT{client.cx + 1, 5}, 0), -2);
    EXPECT_EQ(MenuHitTest(level, client, POINT{0, 0}, 0), -1);  // the frame
    EXPECT_EQ(MenuHitTest(level, client, POINT{2, 2}, 0), 0);
    EXPECT_EQ(MenuHitTest(level, client, POINT{level.items[8].x + 2, level.items[8].y + 2}, 0), 8);

    // Cut to a narrower window: scrolling stays between the ends and follows the selection.
    const int narrow = level.itemSize.cx + 2;
    EXPECT_TRUE(level.Scrolls(narrow));
    EXPECT_EQ(ClampMenuScroll(level, narrow, 10), 0);
    EXPECT_EQ(ClampMenuScroll(level, narrow, -100000), -(level.total.cx - narrow));
    EXPECT_EQ(ScrollToSelection(level, At96, narrow, 0, 0), 0);
    int scroll = ScrollToSelection(level, At96, narrow, 19, 0);
    EXPECT_EQ(MenuHitTest(level, SIZE{narrow, client.cy}, POINT{3, level.items[19].y + 2}, scroll), 19);
}

TEST(PopupMenuLayout, KeysMoveThroughColumns)
{
    CPopupMenuLevel level;
    CPopupMenu menu = Menu(20);
    menu.items[5].kind = MENU_ITEM_SUBMENU;
    menu.items[5].subMenu = new CPopupMenu(Menu(1));
    menu.items[6].kind = MENU_ITEM_INFO;
    BuildMenuItems(menu, At96, Measure, level);
    LayoutMenuLevel(level, At96, BoundsForRows(8));
    struct Case {
        int from;
        int key;
        MenuKeyResult::Action action;
        int to;
    } cases[] = {
        {0, VK_UP, MenuKeyResult::Move, 19},
        {19, VK_DOWN, MenuKeyResult::Move, 0},
        {3, VK_DOWN, MenuKeyResult::Move, 4},
        {3, VK_LEFT, MenuKeyResult::Close, 3},    // first column: the level closes
        {10, VK_LEFT, MenuKeyResult::Move, 3},
        {3, VK_RIGHT, MenuKeyResult::Move, 10},
        {10, VK_RIGHT, MenuKeyResult::Move, 17},
        {13, VK_RIGHT, MenuKeyResult::Move, 19},  // past the last: to the last
        {19, VK_RIGHT, MenuKeyResult::Move, 0},   // the last item, last column: to the first
        {16, VK_RIGHT, MenuKeyResult::Move, 19},  // last column, another item: to the last
        {5, VK_RIGHT, MenuKeyResult::OpenSubMenu, 5},
        {5, VK_RETURN, MenuKeyResult::OpenSubMenu, 5},
        {6, VK_RETURN, MenuKeyResult::Nothing, 6},
        {2, VK_RETURN, MenuKeyResult::Choose, 2},
        {-1, VK_RETURN, MenuKeyResult::Nothing, -1},
        {2, 'A', MenuKeyResult::Nothing, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.from) + " key " + std::to_string(c.key));
        MenuKeyResult result = MenuKey(level, c.from, c.key);
        EXPECT_EQ(result.action, c.action);
        EXPECT_EQ(result.selection, c.to);
    }
}
