// The grid control on a real window: layout at creation and on resizing, taps, direction keys,
// scroll requests, painting and the observer's notifications.
#include "ImageListTestSupport.h"

using namespace ImageListTest;

// The grid of 10 cells of 20 x 20 with gaps of 4 in a client 98 x 100: 4 columns, 3 rows, no bar.
TEST_F(ImageListWindow, GridLaysOutCellsOnCreate)
{
    TestGrid grid(&recorder, 10, 20, 20, 4, 4);
    Create(grid, 98, 100);
    EXPECT_EQ(grid.GetClientWidth(), 98);
    EXPECT_EQ(grid.GetScrollMaxRange(), 0);
    EXPECT_EQ(grid.GetSelectImage(), -1);

    EXPECT_TRUE(SameRect(ImageRect(grid, 0), Rect(1, 1, 21, 21)));
    EXPECT_TRUE(SameRect(ImageRect(grid, 3), Rect(73, 1, 93, 21)));
    EXPECT_TRUE(SameRect(ImageRect(grid, 5), Rect(25, 25, 45, 45)));
    EXPECT_TRUE(SameRect(ImageRect(grid, 9), Rect(25, 49, 45, 69)));
    RECT rect;
    EXPECT_EQ(grid.GetImageRect(10, &rect), 0);
    EXPECT_EQ(grid.GetImageRect(-1, &rect), 0);

    // Every cell was handed to LayoutItem at its place.
    ASSERT_EQ(grid.drawn.layout.size(), 10u);
    for (int i = 0; i < 10; ++i) {
        SCOPED_TRACE(i);
        EXPECT_TRUE(SameRect(grid.drawn.layout[i], ImageRect(grid, i)));
    }
    EXPECT_EQ(Send(grid, WM_GETDLGCODE), DLGC_WANTARROWS);
}

TEST_F(ImageListWindow, GridCellsScaleWithTheScreen)
{
    for (int dpi : {96, 120, 192}) {
        SCOPED_TRACE(dpi);
        DpiScope scope(dpi);
        TestGrid grid(&recorder, 10, UI::HIDPI_ScaleX(20), UI::HIDPI_ScaleY(20), UI::HIDPI_ScaleX(4),
                      UI::HIDPI_ScaleY(4));
        Create(grid, UI::HIDPI_ScaleX(98), UI::HIDPI_ScaleY(100));
        int pitch = UI::HIDPI_ScaleX(24);
        int cell = UI::HIDPI_ScaleX(20);
        EXPECT_TRUE(SameRect(ImageRect(grid, 5), Rect(pitch + 1, pitch + 1, pitch + 1 + cell, pitch + 1 + cell)));
        EXPECT_TRUE(SameRect(ImageRect(grid, 3), Rect(3 * pitch + 1, 1, 3 * pitch + 1 + cell, 1 + cell)));
        Tap(grid, 2 * pitch + 2, pitch + 2);
        EXPECT_EQ(grid.GetSelectImage(), 6);
        EXPECT_EQ(recorder.Take(), (std::vector<Event>{{Event::Activate, 6}}));
    }
}

TEST_F(ImageListWindow, GridNarrowerThanACellHasOneColumn)
{
    TestGrid grid(&recorder, 10, 20, 20, 4, 4);
    Create(grid, 10, 300);
    for (int i : {0, 1, 9}) {
        SCOPED_TRACE(i);
        EXPECT_TRUE(SameRect(ImageRect(grid, i), Rect(1, i * 24 + 1, 21, i * 24 + 21)));
    }
    Tap(grid, 5, 3 * 24 + 5);
    EXPECT_EQ(grid.GetSelectImage(), 3);
    Send(grid, WM_KEYDOWN, VK_DOWN);
    EXPECT_EQ(grid.GetSelectImage(), 4);
    EXPECT_EQ(recorder.Take(), (std::vector<Event>{{Event::Activate, 3}, {Event::Select, 4}}));
}

TEST_F(ImageListWindow, GridWithoutClientAreaPaintsNothing)
{
    // Window sizes, border included: nothing left, only a border's width, only a border's height.
    struct Case {
        const char* name;
        int width, height;
    };
    for (Case c : {Case{"zero-sized", 0, 0}, Case{"zero width", 2, 102}, Case{"zero height", 102, 2}}) {
        SCOPED_TRACE(c.name);
        TestGrid grid(&recorder, 10, 20, 20, 4, 4);
        RECT rect = {10, 10, 10 + c.width, 10 + c.height};
        ASSERT_EQ(grid.Create(GetModuleHandleW(nullptr), parent, WS_VISIBLE, rect), 1);
        EXPECT_TRUE(grid.GetClientWidth() == 0 || grid.GetClientHeight() == 0);
        if (c.width <= 2) {
            // Narrower than a cell: one column.
            EXPECT_EQ(ImageRect(grid, 1).left, ImageRect(grid, 0).left);
            EXPECT_GT(ImageRect(grid, 1).top, ImageRect(grid, 0).top);
        }

        Repaint(grid);
        PaintDirectly(grid);
        EXPECT_TRUE(grid.drawn.painted.empty());

        // Still works as a control.
        Tap(grid, 0, 0);
        EXPECT_EQ(grid.GetSelectImage(), -1);
        Send(grid, WM_KEYDOWN, VK_RIGHT);
        EXPECT_EQ(grid.GetSelectImage(), 0);
        EXPECT_EQ(grid.SetSelectImage(7), 7);
        Send(grid, WM_VSCROLL, SB_BOTTOM);
        ResizeClient(grid, 0, 0);
        EXPECT_EQ(recorder.Take(), (std::vector<Event>{{Event::Select, 0}}));
        PaintDirectly(grid);
        EXPECT_TRUE(grid.drawn.painted.empty());
    }
}

TEST_F(ImageListWindow, GridTapsSelectAndActivate)
{
    TestGrid grid(&recorder, 10, 20, 20, 4, 4);
    Create(grid, 98, 100);
    struct Case {
        const char* name;
        int x, y, selected;
    };
    const Case cases[] = {
        {"middle of cell 5", 35, 35, 5},
        {"vertical gap between rows", 5, 23, -1},
        {"first pixel of cell 0", 1, 1, 0},
        {"empty place after the last cell", 60, 60, -1},
        {"last cell", 30, 60, 9},
        {"right of the columns", 95, 5, -1},
        {"horizontal gap", 23, 5, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Send(grid, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(c.x, c.y));
        EXPECT_EQ(grid.GetSelectImage(), c.selected);
        std::vector<Event> expected;
        if (c.selected >= 0) expected.push_back({Event::Activate, c.selected});
        EXPECT_EQ(recorder.Take(), expected);
        // Lifting the finger changes nothing.
        Send(grid, WM_LBUTTONUP, 0, MAKELPARAM(c.x, c.y));
        EXPECT_EQ(grid.GetSelectImage(), c.selected);
        EXPECT_TRUE(recorder.Take().empty());
    }
    EXPECT_EQ(recorder.lastControl, static_cast<const void*>(&grid));
}

TEST_F(ImageListWindow, GridArrowKeysMoveTheSelection)
{
    TestGrid grid(&recorder, 10, 20, 20, 4, 4);
    Create(grid, 98, 100);
    struct Step {
        const char* name;
        int key, selected;
        std::vector<Event> events;
    };
    const Step steps[] = {
        {"left without selection", VK_LEFT, -1, {}},
        {"up without selection", VK_UP, -1, {}},
        {"down without selection", VK_DOWN, -1, {}},
        {"enter without selection", VK_RETURN, -1, {}},
        {"right takes the first", VK_RIGHT, 0, {{Event::Select, 0}}},
        {"left at the first stays", VK_LEFT, 0, {}},
        {"up in the first row takes the first", VK_UP, 0, {{Event::Select, 0}}},
        {"down", VK_DOWN, 4, {{Event::Select, 4}}},
        {"down to the last row", VK_DOWN, 8, {{Event::Select, 8}}},
        {"down in the last row takes the last", VK_DOWN, 9, {{Event::Select, 9}}},
        {"right at the last stays", VK_RIGHT, 9, {}},
        {"up", VK_UP, 5, {{Event::Select, 5}}},
        {"right", VK_RIGHT, 6, {{Event::Select, 6}}},
        {"right", VK_RIGHT, 7, {{Event::Select, 7}}},
        {"down where the row below is short", VK_DOWN, 9, {{Event::Select, 9}}},
        {"left across a row start", VK_LEFT, 8, {{Event::Select, 8}}},
        {"left across a row start", VK_LEFT, 7, {{Event::Select, 7}}},
        {"enter activates", VK_RETURN, 7, {{Event::Activate, 7}}},
        {"other keys do nothing", VK_SPACE, 7, {}},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.name);
        Send(grid, WM_KEYDOWN, step.key);
        EXPECT_EQ(grid.GetSelectImage(), step.selected);
        EXPECT_EQ(recorder.Take(), step.events);
    }
}

TEST_F(ImageListWindow, GridScrollBarAppearsWhenRowsDoNotFit)
{
    // Two rows fit in 50 pixels: the bar takes its width, leaving 3 columns and 4 rows.
    TestGrid grid(&recorder, 10, 20, 20, 4, 4);
    Create(grid, 98, 50);
    EXPECT_EQ(grid.GetScrollMaxRange(), 4 * 24 - 4);
    EXPECT_EQ(grid.GetScrollPage(), 50);
    EXPECT_EQ(grid.GetScrollTic(), 24);
    EXPECT_LT(grid.GetClientWidth(), 98);
    EXPECT_TRUE(SameRect(ImageRect(grid, 3), Rect(1, 25, 21, 45)));
    EXPECT_TRUE(SameRect(ImageRect(grid, 9), Rect(1, 73, 21, 93)));

    // Growing the client so that everything fits hides the bar and gives the columns back.
    ResizeClient(grid, 98, 100);
    EXPECT_EQ(grid.GetClientWidth(), 98);
    EXPECT_TRUE(SameRect(ImageRect(grid, 3), Rect(73, 1, 93, 21)));
    EXPECT_TRUE(SameRect(grid.drawn.layout[3], Rect(73, 1, 93, 21)));
    // And wider again: six columns.
    ResizeClient(grid, 146, 100);
    EXPECT_TRUE(SameRect(ImageRect(grid, 5), Rect(121, 1, 141, 21)));
    EXPECT_TRUE(SameRect(ImageRect(grid, 6), Rect(1, 25, 21, 45)));
}

TEST_F(ImageListWindow, GridScrollRequestsMoveTheCells)
{
    TestGrid grid(&recorder, 10, 20, 20, 4, 4);
    Create(grid, 98, 50);
    // Range 0..92 with a page of 50: the position stops at 43. One line is one row, 24.
    struct Case {
        const char* name;
        int from, code, to;
    };
    const Case cases[] = {
        {"line down", 0, SB_LINEDOWN, 24},       {"line down to the end", 24, SB_LINEDOWN, 43},
        {"line down at the end", 43, SB_LINEDOWN, 43}, {"line up", 24, SB_LINEUP, 0},
        {"line up at the top", 0, SB_LINEUP, 0}, {"page down", 0, SB_PAGEDOWN, 43},
        {"page up", 43, SB_PAGEUP, 0},            {"top", 30, SB_TOP, 0},
        {"bottom", 0, SB_BOTTOM, 43},             {"end of scrolling", 30, SB_ENDSCROLL, 30},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        grid.SetScrollPos(c.from);
        ASSERT_EQ(grid.GetScrollPos(), c.from);
        grid.drawn.layout.clear();
        Send(grid, WM_VSCROLL, MAKEWPARAM(c.code, 0));
        EXPECT_EQ(grid.GetScrollPos(), c.to);
        // Every request lays the cells out again at the new position.
        ASSERT_EQ(grid.drawn.layout.size(), 10u);
        EXPECT_TRUE(SameRect(grid.drawn.layout[3], Rect(1, 25 - c.to, 21, 45 - c.to)));
        EXPECT_TRUE(SameRect(ImageRect(grid, 3), Rect(1, 25 - c.to, 21, 45 - c.to)));
    }

    // A tap finds the cell under the finger at the scroll position.
    grid.SetScrollPos(24);
    Tap(grid, 5, 1);
    EXPECT_EQ(grid.GetSelectImage(), 3);
    EXPECT_EQ(recorder.Take(), (std::vector<Event>{{Event::Activate, 3}}));
}

TEST_F(ImageListWindow, GridKeysScrollTheSelectionIntoView)
{
    TestGrid grid(&recorder, 10, 20, 20, 4, 4);
    Create(grid, 98, 50);
    EXPECT_EQ(grid.SetSelectImage(0), 0);
    struct Step {
        int key, selected, position;
    };
    // Rows start at 1, 25, 49, 73; a hidden cell comes to the top less a gap, as far as the bar goes.
    for (Step step : {Step{VK_DOWN, 3, 0}, Step{VK_DOWN, 6, 43}, Step{VK_DOWN, 9, 43}, Step{VK_UP, 6, 43},
                      Step{VK_UP, 3, 21}, Step{VK_UP, 0, 0}}) {
        SCOPED_TRACE(step.selected);
        Send(grid, WM_KEYDOWN, step.key);
        EXPECT_EQ(grid.GetSelectImage(), step.selected);
        EXPECT_EQ(grid.GetScrollPos(), step.position);
        RECT cell = ImageRect(grid, step.selected);
        EXPECT_GE(cell.top, 0);
        EXPECT_LE(cell.bottom, grid.GetClientHeight());
    }
    EXPECT_EQ(recorder.Take().size(), 6u);

    // SetSelectImage scrolls as well, and does not tell the observer.
    EXPECT_EQ(grid.SetSelectImage(9), 9);
    EXPECT_EQ(grid.GetScrollPos(), 43);
    EXPECT_TRUE(recorder.Take().empty());
}

TEST_F(ImageListWindow, GridSetSelectImageFallsBackToTheFirstCell)
{
    TestGrid grid(&recorder, 10, 20, 20, 4, 4);
    Create(grid, 98, 100);
    struct Case {
        int index, selected;
    };
    for (Case c : {Case{7, 7}, Case{10, 0}, Case{-1, 0}, Case{9, 9}, Case{1000, 0}}) {
        SCOPED_TRACE(c.index);
        EXPECT_EQ(grid.SetSelectImage(c.index), c.selected);
        EXPECT_EQ(grid.GetSelectImage(), c.selected);
    }
    EXPECT_TRUE(recorder.Take().empty());

    // Without cells nothing can be selected, whatever is asked.
    TestGrid none(&recorder, 0, 20, 20, 4, 4);
    Create(none, 98, 100);
    EXPECT_EQ(none.SetSelectImage(0), -1);
    EXPECT_EQ(none.SetSelectImage(3), -1);
    for (int key : {VK_RIGHT, VK_DOWN, VK_RETURN}) Send(none, WM_KEYDOWN, key);
    Tap(none, 5, 5);
    EXPECT_EQ(none.GetSelectImage(), -1);
    EXPECT_TRUE(recorder.Take().empty());
}

TEST_F(ImageListWindow, GridPaintsVisibleCellsAndOutlinesTheSelection)
{
    TestGrid grid(&recorder, 10, 20, 20, 4, 4);
    Create(grid, 98, 50);
    grid.SetScrollPos(24);
    grid.SetSelectImage(4);
    ASSERT_EQ(grid.GetScrollPos(), 24);
    grid.drawn.TakePainted();
    Repaint(grid);
    // Row 0 is above the client; rows 1 to 3 show (row 3 from y 49).
    EXPECT_EQ(grid.drawn.TakePainted(), (std::vector<int>{3, 4, 5, 6, 7, 8, 9}));

    RECT cell = ImageRect(grid, 4);  // {25, 1, 45, 21}
    int middle = (cell.top + cell.bottom) / 2;
    EXPECT_EQ(PixelAt(grid, (cell.left + cell.right) / 2, middle), Rgb(CellColour(4)));
    EXPECT_EQ(PixelAt(grid, cell.left - 1, middle), Rgb(GetSysColor(COLOR_HIGHLIGHT)));
    EXPECT_EQ(PixelAt(grid, cell.right, middle), Rgb(GetSysColor(COLOR_HIGHLIGHT)));
    // The unselected neighbour has no outline.
    RECT other = ImageRect(grid, 3);
    EXPECT_EQ(PixelAt(grid, other.left + (other.right - other.left) / 2, other.bottom), Rgb(RGB(255, 255, 255)));

    // A tap beside the cells clears the selection and its outline.
    Tap(grid, 5, 23);
    EXPECT_EQ(grid.GetSelectImage(), -1);
    UpdateWindow(grid);
    EXPECT_EQ(PixelAt(grid, cell.left - 1, middle), Rgb(RGB(255, 255, 255)));
}

// A picture of a grid with its scroll bar and a selection, for a person to look at.
TEST_F(ImageListWindow, GridScreenshot)
{
    TestGrid grid(&recorder, 30, 24, 24, 6, 6);
    Create(grid, 160, 120);
    grid.SetSelectImage(13);
    UpdateWindow(grid);
    std::wstring path;
    ASSERT_TRUE(TestSupport::SaveScreenshot(grid, true, L"image_grid.png", &path));
    EXPECT_NE(GetFileAttributesW(path.c_str()), INVALID_FILE_ATTRIBUTES);

    // The selected cell shows with its outline.
    RECT cell = ImageRect(grid, 13);
    int middle = (cell.top + cell.bottom) / 2;
    EXPECT_EQ(PixelAt(grid, (cell.left + cell.right) / 2, middle), Rgb(CellColour(13)));
    EXPECT_EQ(PixelAt(grid, cell.left - 1, middle), Rgb(GetSysColor(COLOR_HIGHLIGHT)));
}
