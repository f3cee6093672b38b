#include "ZELCommon/ImageGridLayout.h"
#include "ZELCommon/ZELWMUI_HiDpi.h"

#include <gtest/gtest.h>

#include <climits>
#include <vector>

using namespace UI::ImageLayout;

namespace {

// The grid of the usual example: 10 cells of 20 x 20 with gaps of 4, so a pitch of 24.
const GridMetrics kTen = {10, 20, 20, 4, 4};

int Scale(int value, int dpi)
{
    return UI::HIDPI_Scale(value, dpi);
}

struct Flow {
    CZELArray<RECT> rects;
    CZELArray<SIZE> sizes;
    CZELArray<int> rowStarts;
};

Flow MakeFlow(const std::vector<SIZE>& items, int clientWidth, int gap)
{
    Flow flow;
    for (const SIZE& size : items) {
        EXPECT_TRUE(FlowAddItem(flow.rects, flow.sizes, flow.rowStarts, size.cx, size.cy, clientWidth, gap, gap));
    }
    return flow;
}

std::vector<int> RowStarts(const Flow& flow)
{
    std::vector<int> starts;
    for (int i = 0; i < flow.rowStarts.GetCount(); ++i) starts.push_back(flow.rowStarts[i]);
    return starts;
}

void ExpectRect(const RECT& actual, LONG left, LONG top, LONG right, LONG bottom)
{
    EXPECT_EQ(actual.left, left);
    EXPECT_EQ(actual.top, top);
    EXPECT_EQ(actual.right, right);
    EXPECT_EQ(actual.bottom, bottom);
}

}  // namespace

TEST(ImageGridLayout, ComputeGridCountsColumnsRowsAndScrollRange)
{
    struct Case {
        const char* name;
        GridMetrics metrics;
        int width, height, scrollBar;
        int columns, rows;
        bool scroll;
        int scrollMax, scrollStep;
    };
    const Case cases[] = {
        // Inner width 96: (96 + 4) / 24 = 4 columns, 3 rows; (98 + 4) / 24 = 4 rows fit.
        {"fits without scrolling", kTen, 98, 100, 16, 4, 3, false, 0, 0},
        // Inner height 48 holds (48 + 4) / 24 = 2 rows of 3: columns again from 96 - 16 = 80.
        {"scroll bar takes a column", kTen, 98, 50, 16, 3, 4, true, 4 * 24 - 4, 24},
        {"scroll bar too narrow to matter", kTen, 98, 50, 2, 4, 3, true, 3 * 24 - 4, 24},
        {"exactly four cells wide", kTen, 94, 100, 16, 4, 3, false, 0, 0},
        {"one pixel short of four", kTen, 93, 100, 16, 3, 4, false, 0, 0},
        {"three rows exactly tall", kTen, 98, 70, 16, 4, 3, false, 0, 0},
        {"one pixel short of three rows", kTen, 98, 69, 16, 3, 4, true, 92, 24},
        {"narrower than one cell", kTen, 10, 1000, 16, 1, 10, false, 0, 0},
        {"as narrow as the border", kTen, 2, 1000, 16, 1, 10, false, 0, 0},
        {"zero-sized client", kTen, 0, 0, 16, 1, 10, true, 10 * 24 - 4, 24},
        {"negative client", kTen, -50, -50, 16, 1, 10, true, 236, 24},
        {"no cells", {0, 20, 20, 4, 4}, 98, 0, 16, 4, 0, false, 0, 0},
        {"negative count", {-3, 20, 20, 4, 4}, 98, 0, 16, 4, 0, false, 0, 0},
        {"zero pitch across", {10, 0, 20, 0, 4}, 98, 1000, 16, 1, 10, false, 0, 0},
        {"negative pitch across", {10, 5, 20, -9, 4}, 98, 1000, 16, 1, 10, false, 0, 0},
        {"zero pitch down never scrolls", {10, 20, 0, 4, 0}, 98, 0, 16, 4, 3, false, 0, 0},
        {"no gaps", {6, 10, 10, 0, 0}, 32, 22, 0, 3, 2, false, 0, 0},
        {"huge count clamps the range", {INT_MAX, 20, 20, 4, 4}, 98, 50, 16, 3, 715827883, true, INT_MAX, 24},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        GridShape shape = ComputeGrid(c.metrics, c.width, c.height, c.scrollBar);
        EXPECT_EQ(shape.columns, c.columns);
        EXPECT_EQ(shape.rows, c.rows);
        EXPECT_EQ(shape.needsScrollBar, c.scroll);
        if (c.scroll) {
            EXPECT_EQ(shape.scrollMax, c.scrollMax);
            EXPECT_EQ(shape.scrollStep, c.scrollStep);
        }
    }
}

TEST(ImageGridLayout, CellPositionsScaleWithDpi)
{
    // The same grid with its sizes scaled for the screen keeps its shape at every density.
    for (int dpi : {96, 120, 192}) {
        SCOPED_TRACE(dpi);
        GridMetrics m = {10, Scale(20, dpi), Scale(20, dpi), Scale(4, dpi), Scale(4, dpi)};
        int pitch = m.cellWidth + m.horizontalGap;
        GridShape shape = ComputeGrid(m, Scale(98, dpi), Scale(100, dpi), Scale(16, dpi));
        ASSERT_EQ(shape.columns, 4);
        ASSERT_EQ(shape.rows, 3);
        EXPECT_FALSE(shape.needsScrollBar);

        struct Cell {
            int index, row, column;
        };
        for (Cell cell : {Cell{0, 0, 0}, Cell{3, 0, 3}, Cell{5, 1, 1}, Cell{9, 2, 1}}) {
            SCOPED_TRACE(cell.index);
            RECT r;
            ASSERT_TRUE(GridCellRect(m, shape.columns, cell.index, 0, &r));
            ExpectRect(r, cell.column * pitch + 1, cell.row * pitch + 1, cell.column * pitch + 1 + m.cellWidth,
                       cell.row * pitch + 1 + m.cellHeight);
            // The middle of each cell hits it back.
            POINT middle = {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
            EXPECT_EQ(GridHitTest(m, shape.columns, shape.rows, 0, middle), cell.index);
        }
    }
}

TEST(ImageGridLayout, CellRectFollowsScrollAndRejectsBadIndexes)
{
    RECT r = {7, 7, 7, 7};
    ASSERT_TRUE(GridCellRect(kTen, 4, 5, 30, &r));
    ExpectRect(r, 25, 24 - 30 + 1, 45, 24 - 30 + 1 + 20);

    struct Case {
        const char* name;
        int columns, index;
    };
    for (Case c : {Case{"negative index", 4, -1}, Case{"index of count", 4, 10}, Case{"huge index", 4, INT_MAX},
                   Case{"not laid out", 0, 3}, Case{"negative columns", -2, 3}}) {
        SCOPED_TRACE(c.name);
        EXPECT_FALSE(GridCellRect(kTen, c.columns, c.index, 0, &r));
    }
    EXPECT_FALSE(GridCellRect(kTen, 4, 0, 0, nullptr));
}

TEST(ImageGridLayout, HitTestFindsCellsAndMissesGapsAndEdges)
{
    // 4 columns, 3 rows; cells span x 1..21 + 24c and y 1..21 + 24r, both edges hitting.
    struct Case {
        const char* name;
        int x, y, scroll, expected;
    };
    const Case cases[] = {
        {"top-left pixel", 1, 1, 0, 0},
        {"on the left edge", 0, 5, 0, -1},
        {"on the top edge", 5, 0, 0, -1},
        {"negative point", -5, -5, 0, -1},
        {"right edge of the first cell", 21, 5, 0, 0},
        {"horizontal gap", 22, 5, 0, -1},
        {"last pixel of the gap", 24, 5, 0, -1},
        {"second column", 25, 5, 0, 1},
        {"right edge of the last column", 92, 5, 0, 3},
        {"right of the grid", 93, 5, 0, -1},
        {"bottom edge of the first row", 5, 21, 0, 0},
        {"vertical gap between rows", 5, 23, 0, -1},
        {"second row", 5, 25, 0, 4},
        {"last cell", 25, 49, 0, 9},
        {"empty place of the last row", 49, 49, 0, -1},
        {"below the last row", 5, 73, 0, -1},
        {"scrolled by a row", 5, 1, 24, 4},
        {"scrolled into the gap", 5, 1, 21, -1},
        {"scrolled past the rows", 5, 1, 72, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(GridHitTest(kTen, 4, 3, c.scroll, POINT{c.x, c.y}), c.expected);
    }
}

TEST(ImageGridLayout, HitTestOfDegenerateGridsHitsNothing)
{
    EXPECT_EQ(GridHitTest(kTen, 0, 3, 0, POINT{5, 5}), -1);
    EXPECT_EQ(GridHitTest(kTen, 4, 0, 0, POINT{5, 5}), -1);
    EXPECT_EQ(GridHitTest({10, 0, 20, 0, 4}, 1, 10, 0, POINT{1, 5}), -1);
    EXPECT_EQ(GridHitTest({10, 20, 0, 4, 0}, 4, 3, 0, POINT{5, 1}), -1);
    EXPECT_EQ(GridHitTest({0, 20, 20, 4, 4}, 4, 1, 0, POINT{5, 5}), -1);
    EXPECT_EQ(GridHitTest(kTen, 4, 3, INT_MIN, POINT{5, 5}), -1);
    EXPECT_EQ(GridHitTest(kTen, INT_MAX, INT_MAX, INT_MAX, POINT{INT_MAX, INT_MAX}), -1);
}

TEST(ImageGridLayout, KeyMovesStopAtTheEdges)
{
    // 10 cells in 4 columns: rows 0-3, 4-7, 8-9.
    struct Case {
        const char* name;
        int key, from;
        bool moved;
        int to;
    };
    const Case cases[] = {
        {"left", VK_LEFT, 5, true, 4},
        {"left at the first cell", VK_LEFT, 0, false, 0},
        {"left without selection", VK_LEFT, -1, false, -1},
        {"left from a row start goes to the row above", VK_LEFT, 4, true, 3},
        {"right", VK_RIGHT, 5, true, 6},
        {"right from a row end goes to the next row", VK_RIGHT, 3, true, 4},
        {"right at the last cell", VK_RIGHT, 9, false, 9},
        {"right without selection takes the first", VK_RIGHT, -1, true, 0},
        {"up", VK_UP, 5, true, 1},
        {"up from the last row", VK_UP, 9, true, 5},
        {"up in the first row takes the first", VK_UP, 2, true, 0},
        {"up at the first cell", VK_UP, 0, true, 0},
        {"up without selection", VK_UP, -1, false, -1},
        {"down", VK_DOWN, 1, true, 5},
        {"down into the last row", VK_DOWN, 5, true, 9},
        {"down where the row below is short", VK_DOWN, 7, true, 9},
        {"down in the last row takes the last", VK_DOWN, 8, true, 9},
        {"down at the last cell", VK_DOWN, 9, true, 9},
        {"down without selection", VK_DOWN, -1, false, -1},
        {"other keys do nothing", VK_HOME, 5, false, 5},
        {"enter is no move", VK_RETURN, 5, false, 5},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        KeyMove move = GridKeyMove(10, 4, c.from, c.key);
        EXPECT_EQ(move.moved, c.moved);
        EXPECT_EQ(move.selection, c.to);
    }
}

TEST(ImageGridLayout, KeyMovesOfDegenerateGrids)
{
    // No cells: nothing to move to, even from a stale selection.
    for (int key : {VK_LEFT, VK_RIGHT, VK_UP, VK_DOWN}) {
        SCOPED_TRACE(key);
        EXPECT_FALSE(GridKeyMove(0, 4, -1, key).moved);
        EXPECT_FALSE(GridKeyMove(0, 4, 0, key).moved);
    }
    // A grid not laid out yet moves as one column.
    EXPECT_EQ(GridKeyMove(10, 0, 2, VK_DOWN).selection, 3);
    EXPECT_EQ(GridKeyMove(10, 0, 2, VK_UP).selection, 1);
    // A selection past the cells moves nowhere.
    EXPECT_FALSE(GridKeyMove(10, 4, 12, VK_LEFT).moved);
    EXPECT_FALSE(GridKeyMove(10, 4, 12, VK_UP).moved);
    EXPECT_FALSE(GridKeyMove(10, 4, -7, VK_RIGHT).moved);
    EXPECT_EQ(GridKeyMove(INT_MAX, INT_MAX, INT_MAX - 5, VK_DOWN).selection, INT_MAX - 1);
}

TEST(ImageGridLayout, ScrollToShowBringsHiddenItemsToTheTop)
{
    struct Case {
        const char* name;
        int top, bottom, scroll, height, gap, expected;
    };
    const Case cases[] = {
        {"visible", 25, 45, 0, 100, 4, 0},
        {"touching both edges", 10, 60, 10, 50, 4, 10},
        {"above the client", 25, 45, 30, 100, 4, 21},
        {"below the client", 97, 117, 0, 100, 4, 93},
        {"one pixel below", 80, 101, 0, 100, 4, 76},
        {"taller than the client", 0, 200, 0, 100, 4, -4},
        {"zero-sized client", 1, 21, 0, 0, 4, -3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(ScrollToShow(c.top, c.bottom, c.scroll, c.height, c.gap), c.expected);
    }
}

TEST(ImageFlowLayout, ItemsFlowIntoRows)
{
    // Client 100 wide, gaps 2: 40 + 40 fit in a row (lefts 3 and 45), the third wraps.
    Flow flow = MakeFlow({{40, 30}, {40, 30}, {40, 30}}, 100, 2);
    ASSERT_EQ(flow.rects.GetCount(), 3);
    ExpectRect(flow.rects[0], 3, 3, 43, 33);
    ExpectRect(flow.rects[1], 45, 3, 85, 33);
    ExpectRect(flow.rects[2], 3, 35, 43, 65);
    EXPECT_EQ(RowStarts(flow), (std::vector<int>{0, 2}));
    EXPECT_EQ(FlowContentBottom(flow.rects), 65);
}

TEST(ImageFlowLayout, RowsShareTopAndBottom)
{
    struct Case {
        const char* name;
        std::vector<SIZE> items;
        std::vector<LONG> bottoms;
    };
    const Case cases[] = {
        {"a taller item stretches the row", {{20, 10}, {20, 30}, {20, 5}}, {33, 33, 33}},
        {"a shorter item takes the row's height", {{20, 30}, {20, 10}}, {33, 33}},
        {"stretching stops at the row", {{20, 10}, {90, 10}, {5, 40}}, {13, 55, 55}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Flow flow = MakeFlow(c.items, 100, 2);
        ASSERT_EQ(flow.rects.GetCount(), int(c.bottoms.size()));
        for (int i = 0; i < flow.rects.GetCount(); ++i) {
            SCOPED_TRACE(i);
            EXPECT_EQ(flow.rects[i].bottom, c.bottoms[i]);
            EXPECT_EQ(flow.rects[i].right - flow.rects[i].left, c.items[i].cx);
        }
    }
}

TEST(ImageFlowLayout, WrapsAtTheClientWidth)
{
    struct Case {
        const char* name;
        int clientWidth;
        std::vector<SIZE> items;
        std::vector<int> rowStarts;
    };
    const Case cases[] = {
        // Second item: right edge 43 + 2 + 55 = 100 is not past the client.
        {"exactly filling the width", 100, {{40, 10}, {55, 10}, {1, 10}}, {0, 2}},
        {"one pixel too wide", 99, {{40, 10}, {55, 10}}, {0, 1}},
        {"wider than the client", 50, {{80, 10}, {80, 10}, {10, 10}, {10, 10}}, {0, 1, 2}},
        {"zero-sized client", 0, {{10, 10}, {10, 10}, {0, 0}}, {0, 1, 2}},
        {"negative sizes count as empty", 100, {{-10, -10}, {10, 10}}, {0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Flow flow = MakeFlow(c.items, c.clientWidth, 2);
        EXPECT_EQ(RowStarts(flow), c.rowStarts);
        for (int i = 0; i < flow.rects.GetCount(); ++i) {
            EXPECT_LE(flow.rects[i].left, flow.rects[i].right);
            EXPECT_LE(flow.rects[i].top, flow.rects[i].bottom);
        }
    }
}

TEST(ImageFlowLayout, RecalculateRewrapsForANewWidth)
{
    Flow flow = MakeFlow({{40, 30}, {40, 30}, {40, 30}, {40, 30}}, 200, 2);
    EXPECT_EQ(RowStarts(flow), (std::vector<int>{0}));

    FlowRecalculate(flow.rects, flow.sizes, flow.rowStarts, 100, 2, 2);
    EXPECT_EQ(RowStarts(flow), (std::vector<int>{0, 2}));
    ExpectRect(flow.rects[2], 3, 35, 43, 65);
    ExpectRect(flow.rects[3], 45, 35, 85, 65);

    FlowRecalculate(flow.rects, flow.sizes, flow.rowStarts, 0, 2, 2);
    EXPECT_EQ(RowStarts(flow), (std::vector<int>{0, 1, 2, 3}));
    EXPECT_EQ(FlowContentBottom(flow.rects), 3 + 4 * 30 + 3 * 2);

    FlowRecalculate(flow.rects, flow.sizes, flow.rowStarts, 200, 2, 2);
    EXPECT_EQ(RowStarts(flow), (std::vector<int>{0}));
    ExpectRect(flow.rects[3], 3 + 3 * 42, 3, 3 + 3 * 42 + 40, 33);

    Flow empty;
    FlowRecalculate(empty.rects, empty.sizes, empty.rowStarts, 100, 2, 2);
    EXPECT_EQ(empty.rowStarts.GetCount(), 0);
    EXPECT_EQ(FlowContentBottom(empty.rects), 0);
}

// Stretching is the row's doing: placed again, an item is as tall as itself, or as its new row.
TEST(ImageFlowLayout, RecalculateKeepsEachItemsOwnHeight)
{
    const std::vector<SIZE> items = {{40, 10}, {40, 30}, {40, 20}, {40, 5}};
    struct Case {
        const char* name;
        std::vector<int> widths;  // recalculated at each in turn
        std::vector<LONG> bottoms;
    };
    const Case cases[] = {
        {"as added", {}, {33, 33, 55, 55}},
        {"a row each", {60}, {13, 45, 67, 74}},
        {"all in one row", {200}, {33, 33, 33, 33}},
        {"a row each after one row", {200, 60}, {13, 45, 67, 74}},
        {"back and forth", {60, 200, 60, 100}, {33, 33, 55, 55}},
        {"three, then one", {140}, {33, 33, 33, 40}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Flow flow = MakeFlow(items, 100, 2);
        for (int width : c.widths) FlowRecalculate(flow.rects, flow.sizes, flow.rowStarts, width, 2, 2);
        ASSERT_EQ(flow.rects.GetCount(), int(c.bottoms.size()));
        for (int i = 0; i < flow.rects.GetCount(); ++i) {
            SCOPED_TRACE(i);
            EXPECT_EQ(flow.rects[i].bottom, c.bottoms[i]);
            EXPECT_EQ(flow.sizes[i].cy, items[size_t(i)].cy);
        }
    }
    // Arrays out of step: the items without a size keep their rectangles' sizes.
    Flow flow = MakeFlow(items, 100, 2);
    flow.sizes = CZELArray<SIZE>();
    FlowRecalculate(flow.rects, flow.sizes, flow.rowStarts, 60, 2, 2);
    const LONG stretched[] = {33, 65, 87, 109};
    for (int i = 0; i < 4; ++i) EXPECT_EQ(flow.rects[i].bottom, stretched[i]);
}

TEST(ImageFlowLayout, HitTestFindsTheRowThenTheItem)
{
    // Row 0: items 0 (3..43) and 1 (45..85), y 3..33; row 1: item 2 (3..43), y 35..65.
    Flow flow = MakeFlow({{40, 30}, {40, 30}, {40, 30}}, 100, 2);
    struct Case {
        const char* name;
        int x, y, scroll, expected;
    };
    const Case cases[] = {
        {"first item", 10, 10, 0, 0},
        {"left margin hits the first item", 0, 0, 0, 0},
        {"gap between items hits the next", 44, 10, 0, 1},
        {"second item's right edge", 85, 10, 0, 1},
        {"right of the last item in a row", 86, 10, 0, -1},
        {"gap between rows hits the row below", 10, 34, 0, 2},
        {"second row", 10, 50, 0, 2},
        {"right of the second row", 60, 50, 0, -1},
        {"below the content", 10, 66, 0, -1},
        {"scrolled to the second row", 10, 10, 30, 2},
        {"left of the client", -1, 10, 0, -1},
        {"right of the client", 100, 10, 0, -1},
        {"above the client", 10, -1, 0, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(FlowHitTest(flow.rects, flow.rowStarts, 100, c.scroll, POINT{c.x, c.y}), c.expected);
    }

    Flow empty;
    EXPECT_EQ(FlowHitTest(empty.rects, empty.rowStarts, 100, 0, POINT{1, 1}), -1);
    // Rows that name items that do not exist hit nothing.
    Flow broken = flow;
    broken.rowStarts = CZELArray<int>();
    broken.rowStarts.Add(7);
    EXPECT_EQ(FlowHitTest(broken.rects, broken.rowStarts, 100, 0, POINT{10, 10}), -1);
}

TEST(ImageFlowLayout, KeyMovesBetweenRows)
{
    // Client 100, gaps 2. Row 0: 0 (3..23), 1 (25..45), 2 (47..67); row 1: 3 (3..53), 4 (55..95);
    // row 2: 5 (3..23), 6 (25..45).
    Flow flow = MakeFlow({{20, 10}, {20, 10}, {20, 10}, {50, 10}, {40, 10}, {20, 10}, {20, 10}}, 100, 2);
    ASSERT_EQ(RowStarts(flow), (std::vector<int>{0, 3, 5}));
    struct Case {
        const char* name;
        int key, from;
        bool moved;
        int to;
    };
    const Case cases[] = {
        {"down takes the last item starting left of it", VK_DOWN, 2, true, 3},
        {"down from a row start", VK_DOWN, 0, true, 3},
        {"down under a wide item", VK_DOWN, 4, true, 6},
        {"down in the last row takes the last item", VK_DOWN, 5, true, 6},
        {"up", VK_UP, 4, true, 2},
        {"up from a wide item", VK_UP, 3, true, 0},
        {"up from the last row", VK_UP, 6, true, 3},
        {"up in the first row takes the first item", VK_UP, 2, true, 0},
        {"up without selection", VK_UP, -1, false, -1},
        {"down without selection", VK_DOWN, -1, false, -1},
        {"left", VK_LEFT, 3, true, 2},
        {"left at the first item", VK_LEFT, 0, false, 0},
        {"right at the last item", VK_RIGHT, 6, false, 6},
        {"right without selection", VK_RIGHT, -1, true, 0},
        {"past the items", VK_UP, 7, false, 7},
        {"other keys", VK_SPACE, 3, false, 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        KeyMove move = FlowKeyMove(flow.rects, flow.rowStarts, c.from, c.key);
        EXPECT_EQ(move.moved, c.moved);
        EXPECT_EQ(move.selection, c.to);
    }

    Flow broken = flow;
    broken.rowStarts = CZELArray<int>();
    EXPECT_FALSE(FlowKeyMove(broken.rects, broken.rowStarts, 4, VK_UP).moved);
    Flow empty;
    EXPECT_FALSE(FlowKeyMove(empty.rects, empty.rowStarts, 0, VK_DOWN).moved);
}
