// The flowing control on a real window: rows as items are added and the width changes, taps,
// direction keys between rows, scroll requests, painting and the observer's notifications.
#include "ImageListTestSupport.h"

using namespace ImageListTest;

// Client 100 wide, gaps 2: items 40 x 30 fill rows of two.
TEST_F(ImageListWindow, FlowLaysOutTapsAndActivates)
{
    TestFlow flow(&recorder, 2, 2);
    Create(flow, 100, 200);
    for (int i = 0; i < 3; ++i) flow.AddItem(40, 30);
    EXPECT_EQ(flow.GetClientWidth(), 100);
    ASSERT_EQ(flow.drawn.layout.size(), 3u);
    EXPECT_TRUE(SameRect(flow.drawn.layout[0], Rect(3, 3, 43, 33)));
    EXPECT_TRUE(SameRect(flow.drawn.layout[1], Rect(45, 3, 85, 33)));
    EXPECT_TRUE(SameRect(flow.drawn.layout[2], Rect(3, 35, 43, 65)));
    EXPECT_EQ(Send(flow, WM_GETDLGCODE), DLGC_WANTARROWS);

    struct Case {
        const char* name;
        int x, y, selected;
    };
    const Case cases[] = {
        {"first item", 10, 10, 0},
        {"gap between items hits the next", 44, 10, 1},
        {"right of the row", 90, 10, -1},
        {"second row", 20, 50, 2},
        {"below the items", 20, 150, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Tap(flow, c.x, c.y);
        EXPECT_EQ(flow.GetSelectImage(), c.selected);
        std::vector<Event> expected;
        if (c.selected >= 0) expected.push_back({Event::Activate, c.selected});
        EXPECT_EQ(recorder.Take(), expected);
    }
    EXPECT_EQ(recorder.lastControl, static_cast<const void*>(&flow));
}

TEST_F(ImageListWindow, FlowArrowKeysMoveBetweenRows)
{
    // Row 0: items 0-2; row 1: 3 (wide) and 4; row 2: 5 and 6.
    TestFlow flow(&recorder, 2, 2);
    Create(flow, 100, 200);
    for (SIZE size : {SIZE{20, 10}, SIZE{20, 10}, SIZE{20, 10}, SIZE{50, 10}, SIZE{40, 10}, SIZE{20, 10},
                      SIZE{20, 10}}) {
        flow.AddItem(size.cx, size.cy);
    }
    struct Step {
        const char* name;
        int key, selected;
        std::vector<Event> events;
    };
    const Step steps[] = {
        {"up without selection", VK_UP, -1, {}},
        {"right takes the first", VK_RIGHT, 0, {{Event::Select, 0}}},
        {"right", VK_RIGHT, 1, {{Event::Select, 1}}},
        {"right", VK_RIGHT, 2, {{Event::Select, 2}}},
        {"down to the item starting left of it", VK_DOWN, 3, {{Event::Select, 3}}},
        {"right", VK_RIGHT, 4, {{Event::Select, 4}}},
        {"down", VK_DOWN, 6, {{Event::Select, 6}}},
        {"down in the last row takes the last", VK_DOWN, 6, {{Event::Select, 6}}},
        {"right at the last stays", VK_RIGHT, 6, {}},
        {"up", VK_UP, 3, {{Event::Select, 3}}},
        {"up", VK_UP, 0, {{Event::Select, 0}}},
        {"up in the first row takes the first", VK_UP, 0, {{Event::Select, 0}}},
        {"left at the first stays", VK_LEFT, 0, {}},
        {"enter activates", VK_RETURN, 0, {{Event::Activate, 0}}},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.name);
        Send(flow, WM_KEYDOWN, step.key);
        EXPECT_EQ(flow.GetSelectImage(), step.selected);
        EXPECT_EQ(recorder.Take(), step.events);
    }
}

TEST_F(ImageListWindow, FlowScrollBarRewrapsAndReachesTheLastItem)
{
    // Two items of 45 fit a row of 100; the third needs a second row, which overflows 50 pixels.
    // The bar then takes its width and every item wraps onto a row of its own: the range must
    // cover three rows (bottom 97 + gap 2), or the last item could not be scrolled into view.
    TestFlow flow(&recorder, 2, 2);
    Create(flow, 100, 50);
    for (int i = 0; i < 3; ++i) flow.AddItem(45, 30);
    EXPECT_LT(flow.GetClientWidth(), 100);
    EXPECT_TRUE(SameRect(flow.drawn.layout[0], Rect(3, 3, 48, 33)));
    EXPECT_TRUE(SameRect(flow.drawn.layout[1], Rect(3, 35, 48, 65)));
    EXPECT_TRUE(SameRect(flow.drawn.layout[2], Rect(3, 67, 48, 97)));
    EXPECT_EQ(flow.GetScrollMaxRange(), 99);
    EXPECT_EQ(flow.GetScrollPage(), 50);
    EXPECT_EQ(flow.GetScrollPos(), 0);

    EXPECT_EQ(flow.SetSelectImage(2), 2);
    EXPECT_EQ(flow.GetScrollPos(), 50);
    RECT last = flow.drawn.layout[2];
    EXPECT_GE(last.top, 0);
    EXPECT_LE(last.bottom, flow.GetClientHeight());
    Tap(flow, 10, last.top + 1);
    EXPECT_EQ(flow.GetSelectImage(), 2);
    EXPECT_EQ(recorder.Take(), (std::vector<Event>{{Event::Activate, 2}}));

    // Wide enough for one row: the items flow back together and the bar goes.
    ResizeClient(flow, 200, 50);
    EXPECT_EQ(flow.GetClientWidth(), 200);
    EXPECT_TRUE(SameRect(flow.drawn.layout[2], Rect(97, 3, 142, 33)));
    EXPECT_EQ(flow.GetScrollPos(), 0);
}

// A row is as tall as its tallest item; once the items wrap apart again, each is as tall as
// itself, however often the width changes.
TEST_F(ImageListWindow, FlowRewrapKeepsEachItemsOwnHeight)
{
    TestFlow flow(&recorder, 2, 2);
    Create(flow, 100, 200);
    flow.AddItem(40, 10);
    flow.AddItem(40, 30);
    flow.AddItem(40, 20);
    const struct {
        const char* name;
        int width;
        std::vector<RECT> layout;
    } steps[] = {
        {"one row of two, then one", 100, {Rect(3, 3, 43, 33), Rect(45, 3, 85, 33), Rect(3, 35, 43, 55)}},
        {"a row each", 60, {Rect(3, 3, 43, 13), Rect(3, 15, 43, 45), Rect(3, 47, 43, 67)}},
        {"one row of three", 200, {Rect(3, 3, 43, 33), Rect(45, 3, 85, 33), Rect(87, 3, 127, 33)}},
        {"a row each again", 60, {Rect(3, 3, 43, 13), Rect(3, 15, 43, 45), Rect(3, 47, 43, 67)}},
        {"one, then a row of two", 100, {Rect(3, 3, 43, 33), Rect(45, 3, 85, 33), Rect(3, 35, 43, 55)}},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.name);
        ResizeClient(flow, step.width, 200);
        ASSERT_EQ(flow.drawn.layout.size(), step.layout.size());
        for (size_t i = 0; i < step.layout.size(); ++i) EXPECT_TRUE(SameRect(flow.drawn.layout[int(i)], step.layout[i]));
    }
}

TEST_F(ImageListWindow, FlowScrollStepFollowsTheScreen)
{
    struct Case {
        int dpi, step;
    };
    for (Case c : {Case{96, 10}, Case{120, 13}, Case{192, 20}}) {
        SCOPED_TRACE(c.dpi);
        DpiScope scope(c.dpi);
        TestFlow flow(&recorder, 2, 2);
        Create(flow, 100, 50);
        for (int i = 0; i < 6; ++i) flow.AddItem(90, 30);
        flow.drawn.layout.clear();
        Send(flow, WM_VSCROLL, SB_LINEDOWN);
        EXPECT_EQ(flow.GetScrollPos(), c.step);
        EXPECT_TRUE(SameRect(flow.drawn.layout[1], Rect(3, 35 - c.step, 93, 65 - c.step)));
        Send(flow, WM_VSCROLL, SB_PAGEDOWN);
        EXPECT_EQ(flow.GetScrollPos(), c.step + 50);
        Send(flow, WM_VSCROLL, SB_TOP);
        EXPECT_EQ(flow.GetScrollPos(), 0);
    }
}

TEST_F(ImageListWindow, FlowPaintsVisibleItemsOnly)
{
    TestFlow flow(&recorder, 2, 2);
    Create(flow, 100, 50);
    for (int i = 0; i < 6; ++i) flow.AddItem(90, 30);  // rows at 3, 35, 67, 99, 131, 163
    flow.SetScrollPos(40);
    flow.SetSelectImage(1);
    EXPECT_EQ(flow.GetScrollPos(), 33);
    flow.drawn.TakePainted();
    Repaint(flow);
    // At 33 the client shows content 33..83: items 1 (35..65) and 2 (67..97).
    EXPECT_EQ(flow.drawn.TakePainted(), (std::vector<int>{1, 2}));
    RECT item = flow.drawn.layout[1];
    EXPECT_EQ(PixelAt(flow, 20, (item.top + item.bottom) / 2), Rgb(CellColour(1)));
    EXPECT_EQ(PixelAt(flow, item.left - 1, (item.top + item.bottom) / 2), Rgb(GetSysColor(COLOR_HIGHLIGHT)));
}

TEST_F(ImageListWindow, FlowOfZeroSizeStacksItemsAndPaintsNothing)
{
    TestFlow flow(&recorder, 2, 2);
    RECT empty = {10, 10, 10, 10};
    ASSERT_EQ(flow.Create(GetModuleHandleW(nullptr), parent, WS_VISIBLE, empty), 1);
    for (int i = 0; i < 3; ++i) flow.AddItem(40, 30);
    ASSERT_EQ(flow.drawn.layout.size(), 3u);
    EXPECT_EQ(flow.drawn.layout[1].left, flow.drawn.layout[0].left);
    EXPECT_GT(flow.drawn.layout[1].top, flow.drawn.layout[0].top);

    Repaint(flow);
    PaintDirectly(flow);
    EXPECT_TRUE(flow.drawn.painted.empty());

    Tap(flow, 0, 0);
    EXPECT_EQ(flow.GetSelectImage(), -1);
    EXPECT_EQ(flow.SetSelectImage(2), 2);
    Send(flow, WM_KEYDOWN, VK_UP);
    EXPECT_EQ(flow.GetSelectImage(), 1);
    EXPECT_EQ(recorder.Take(), (std::vector<Event>{{Event::Select, 1}}));
}

TEST_F(ImageListWindow, FlowWithoutItemsSelectsNothing)
{
    TestFlow flow(&recorder, 2, 2);
    Create(flow, 100, 100);
    EXPECT_EQ(flow.SetSelectImage(0), -1);
    for (int key : {VK_RIGHT, VK_LEFT, VK_UP, VK_DOWN, VK_RETURN}) Send(flow, WM_KEYDOWN, key);
    Tap(flow, 5, 5);
    ResizeClient(flow, 50, 50);
    EXPECT_EQ(flow.GetSelectImage(), -1);
    EXPECT_TRUE(recorder.Take().empty());
}
