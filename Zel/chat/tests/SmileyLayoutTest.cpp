// The smiley windows' arithmetic without a window: the dialog's grid layouts and key moves at 96
// and 192 dpi, the strip's fill, trim and hit-test, the shared animation schedule, and the search
// for smiley codes in a text.
#include "Zel/chat/smiley/AnimationSchedule.h"
#include "Zel/chat/smiley/SmileyCodeSearch.h"
#include "Zel/chat/smiley/SmileyGridLayout.h"
#include "Zel/chat/smiley/SmileyPicture.h"
#include "Zel/chat/smiley/SmileyStripLayout.h"
#include "Zel/chat/tests/GifTestSupport.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::vector<SIZE> Sizes(size_t count, int w, int h)
{
    return std::vector<SIZE>(count, SIZE{w, h});
}

std::string Rect(const RECT& r)
{
    return std::to_string(r.left) + "," + std::to_string(r.top) + "-" + std::to_string(r.right) + "," + std::to_string(r.bottom);
}

TEST(SmileyGridLayoutTest, UniformCellNineIsInRowOneColumnOneAtBothDensities)
{
    struct Case {
        int dpi;
        int width;
    } cases[] = {{96, 240}, {192, 480}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.dpi);
        int cell = c.dpi == 96 ? 30 : 60;
        SmileyGridLayout layout = LayoutSmileyGrid(Sizes(20, 19 * c.dpi / 96, 19 * c.dpi / 96), c.width, false, c.dpi, c.dpi);
        EXPECT_EQ(layout.columns, 8);
        EXPECT_EQ(Rect(layout.cells[9]), Rect(RECT{cell, cell, 2 * cell, 2 * cell}));
        EXPECT_EQ(layout.scrollMax, 3 * cell);  // 20 cells in rows of 8
    }
}

TEST(SmileyGridLayoutTest, UniformCellsTakeTheLargestSmiley)
{
    std::vector<SIZE> sizes = {{19, 19}, {44, 20}, {19, 35}};
    SmileyGridLayout layout = LayoutSmileyGrid(sizes, 100, false, 96, 96);
    EXPECT_EQ(layout.columns, 2);
    EXPECT_EQ(Rect(layout.cells[1]), "44,0-88,35");
    EXPECT_EQ(Rect(layout.cells[2]), "0,35-44,70");
}

TEST(SmileyGridLayoutTest, NarrowerThanOneCellStillPlacesEveryCellInOneColumn)
{
    SmileyGridLayout layout = LayoutSmileyGrid(Sizes(3, 19, 19), 10, false, 96, 96);
    EXPECT_EQ(layout.columns, 1);
    EXPECT_EQ(Rect(layout.cells[2]), "0,60-30,90");
    EXPECT_EQ(layout.scrollMax, 90);
    layout = LayoutSmileyGrid(Sizes(2, 19, 19), 0, true, 96, 96);
    EXPECT_EQ(Rect(layout.cells[1]), "0,30-30,60");
}

TEST(SmileyGridLayoutTest, NoCellsLeaveTheScrollRangeAtZero)
{
    for (bool compact : {false, true}) {
        SmileyGridLayout layout = LayoutSmileyGrid({}, 240, compact, 96, 96);
        EXPECT_TRUE(layout.cells.empty());
        EXPECT_EQ(layout.scrollMax, 0);
    }
}

TEST(SmileyGridLayoutTest, CompactRowsEndAtTheRightEdgeAndTakeTheirTallest)
{
    struct Case {
        int dpi;
        std::vector<SIZE> sizes;
        int width;
        std::vector<std::string> cells;
    } cases[] = {
        {96, {{19, 19}, {50, 40}, {19, 19}, {60, 19}, {19, 19}}, 100,
         {"0,0-30,40", "30,0-80,40", "0,40-30,70", "30,40-90,70", "0,70-30,100"}},
        {192, {{38, 38}, {100, 80}, {38, 38}}, 200, {"0,0-60,80", "60,0-160,80", "0,80-60,140"}},
        // A smiley wider than the grid opens its own row and never leaves an empty one above.
        {96, {{120, 19}, {19, 19}}, 100, {"0,0-120,30", "0,30-30,60"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.dpi);
        SmileyGridLayout layout = LayoutSmileyGrid(c.sizes, c.width, true, c.dpi, c.dpi);
        std::vector<std::string> got;
        for (const RECT& r : layout.cells) got.push_back(Rect(r));
        EXPECT_EQ(got, c.cells);
        EXPECT_EQ(layout.scrollMax, layout.cells.back().bottom);
    }
}

TEST(SmileyGridLayoutTest, UpAndDownTakeTheNearestCellOfTheNextRow)
{
    // Uniform, 8 columns: 20 cells, the last row holds 16..19.
    std::vector<RECT> uniform = LayoutSmileyGrid(Sizes(20, 19, 19), 240, false, 96, 96).cells;
    std::vector<RECT> uniform192 = LayoutSmileyGrid(Sizes(20, 38, 38), 480, false, 192, 192).cells;
    // Compact: row 0 = 0 (30 wide), 1 (50); row 1 = 2 (30), 3 (60); row 2 = 4.
    std::vector<RECT> compact =
        LayoutSmileyGrid({{19, 19}, {50, 40}, {19, 19}, {60, 19}, {19, 19}}, 100, true, 96, 96).cells;
    struct Case {
        const char* name;
        const std::vector<RECT>& cells;
        bool up;
        int from, to;
    } cases[] = {
        {"down from 1", uniform, false, 1, 9},
        {"down from 9", uniform, false, 9, 17},
        {"down into a short last row", uniform, false, 13, 19},
        {"down in the last row", uniform, false, 17, 19},
        {"up from 17", uniform, true, 17, 9},
        {"up in the first row", uniform, true, 5, 0},
        {"up from 0", uniform, true, 0, 0},
        {"down at 192 dpi", uniform192, false, 2, 10},
        {"up at 192 dpi", uniform192, true, 10, 2},
        {"compact down from 1", compact, false, 1, 3},
        {"compact down from 0", compact, false, 0, 2},
        {"compact up from 3", compact, true, 3, 1},
        {"compact down to the last", compact, false, 3, 4},
        {"compact up from 4", compact, true, 4, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.up ? SmileyGridUp(c.cells, c.from) : SmileyGridDown(c.cells, c.from), c.to);
    }
    // One column: Up and Down move one cell.
    std::vector<RECT> column = LayoutSmileyGrid(Sizes(4, 19, 19), 20, false, 96, 96).cells;
    EXPECT_EQ(SmileyGridUp(column, 2), 1);
    EXPECT_EQ(SmileyGridDown(column, 1), 2);
}

TEST(SmileyGridLayoutTest, HitTestIncludesEdgesAndEnsureVisibleScrollsBothWays)
{
    std::vector<RECT> cells = LayoutSmileyGrid(Sizes(20, 19, 19), 240, false, 96, 96).cells;
    EXPECT_EQ(SmileyGridHitTest(cells, POINT{45, 45}), 9);
    EXPECT_EQ(SmileyGridHitTest(cells, POINT{0, 0}), 0);
    EXPECT_EQ(SmileyGridHitTest(cells, POINT{200, 80}), -1);  // past the last cell of the last row
    EXPECT_EQ(SmileyGridEnsureVisible(cells[19], 0, 50), 40);
    EXPECT_EQ(SmileyGridEnsureVisible(cells[0], 40, 50), 0);
    EXPECT_EQ(SmileyGridEnsureVisible(cells[9], 25, 50), 25);
}

TEST(SmileyStripLayoutTest, FillCountsTheSmileyThatUsesTheLastRoom)
{
    struct Case {
        const char* name;
        std::vector<int> widths;
        int clientWidth, dpi, count;
    } cases[] = {
        {"exact fit", std::vector<int>(10, 19), 1 + 3 * 39, 96, 3},
        {"one pixel more", std::vector<int>(10, 19), 2 + 3 * 39, 96, 4},
        {"wide smilies", {50, 50, 50}, 100, 96, 2},
        {"at 192 dpi", std::vector<int>(10, 38), 2 + 3 * 78, 192, 3},
        {"more room than smilies", {19, 19}, 400, 96, 2},
        {"no room", {19}, 1, 96, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(SmileyStripFillCount(c.widths, c.clientWidth, c.dpi), c.count);
    }
}

TEST(SmileyStripLayoutTest, TrimKeepsAtLeastOneCellAndCutsAtTheEdge)
{
    struct Case {
        const char* name;
        std::vector<int> widths;
        int clientWidth, dpi, kept;
    } cases[] = {
        {"narrow strip", {19, 19, 19}, 10, 96, 1},
        {"last cut at the edge", {19, 19, 19}, 60, 96, 2},
        {"room exactly used", {19, 19, 19}, 1 + 2 * 39, 96, 2},
        {"one pixel left", {19, 19, 19}, 2 + 2 * 39, 96, 3},
        {"all fit", {19, 19}, 300, 96, 2},
        {"at 192 dpi", {38, 38, 38}, 3 + 2 * 78, 192, 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(SmileyStripKeepCount(c.widths, c.clientWidth, c.dpi), c.kept);
    }
}

TEST(SmileyStripLayoutTest, SlotsAndHits)
{
    std::vector<int> widths = {19, 50, 19};
    EXPECT_EQ(SmileyStripSlotStarts(widths, 96), (std::vector<int>{1, 40, 91}));
    EXPECT_EQ(SmileyStripSlotStarts(widths, 192), (std::vector<int>{2, 80, 158}));
    struct Case {
        int x, cell;
    } cases[] = {{0, 0}, {40, 0}, {41, 1}, {91, 1}, {92, 2}, {130, 2}, {131, -1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.x);
        EXPECT_EQ(SmileyStripHitTest(widths, c.x, 96), c.cell);
    }
}

// An element that records every frame its owner was told of.
struct Recorder : IAnimatedElementOwner {
    std::vector<std::pair<int, int>> told;  // smiley, frame
    void OnFrameChanged(AnimatedElement* element, int frame) override { told.emplace_back(element->Smiley(), frame); }
};

TEST(AnimationScheduleTest, TheTimerFollowsTheNearestFrameChange)
{
    Recorder owner;
    AnimationSchedule schedule;
    AnimatedElement a(0, &owner), b(1, &owner), a2(0, &owner);
    EXPECT_EQ(schedule.Register(&a, {150, 300}), AnimationSchedule::NewGroup);
    EXPECT_EQ(schedule.Period(), 0);
    EXPECT_EQ(schedule.Tick(), 150);  // a's first frame at once
    EXPECT_EQ(a.Frame(), 0);
    EXPECT_EQ(schedule.Register(&b, {150, 150, 150}), AnimationSchedule::NewGroup);
    EXPECT_EQ(schedule.Period(), 0);
    EXPECT_EQ(schedule.Tick(), 150);  // only the new group moves
    EXPECT_EQ(owner.told, (std::vector<std::pair<int, int>>{{0, 0}, {1, 0}}));
    // Two elements of one smiley share its group and frame.
    EXPECT_EQ(schedule.Register(&a2, {150, 300}), AnimationSchedule::Joined);
    EXPECT_EQ(schedule.Groups().size(), 2u);
    struct Step {
        int period, frameA, frameB;
    } steps[] = {{150, 1, 1}, {150, 1, 2}, {150, 0, 0}, {150, 1, 1}, {150, 1, 2}};
    for (const Step& s : steps) {
        EXPECT_EQ(schedule.Tick(), s.period);
        EXPECT_EQ(a.Frame(), s.frameA);
        EXPECT_EQ(a2.Frame(), s.frameA);
        EXPECT_EQ(b.Frame(), s.frameB);
    }
}

TEST(AnimationScheduleTest, AGifsDelaysOfZeroAndOneHundredFiftyAndThreeHundredMilliseconds)
{
    using namespace GifTest;
    GifBuilder gif;
    gif.Header(1, 1, {{0, 0, 0}, {255, 255, 255}});
    for (int hundredths : {0, 15, 30}) gif.Control(1, hundredths, -1).Image(0, 0, 1, 1, {1}, 2);
    gif.Trailer();
    GifImage image;
    DecodeGif(image, gif.bytes.data(), gif.bytes.size());
    SmileyPicture picture;
    MakeSmileyFrames(image, picture);
    std::vector<int> delays;
    for (const SmileyFrame& frame : picture.frames) delays.push_back(frame.delay);
    ASSERT_EQ(delays, (std::vector<int>{150, 150, 300}));
    Recorder owner;
    AnimationSchedule schedule;
    AnimatedElement element(0, &owner);
    schedule.Register(&element, delays);
    std::vector<int> periods, frames;
    for (int i = 0; i < 5; ++i) {
        periods.push_back(schedule.Tick());
        frames.push_back(element.Frame());
    }
    EXPECT_EQ(periods, (std::vector<int>{150, 150, 300, 150, 150}));
    EXPECT_EQ(frames, (std::vector<int>{0, 1, 2, 0, 1}));
}

TEST(AnimationScheduleTest, PicturesOfFewerThanTwoFramesNeverRegister)
{
    Recorder owner;
    AnimationSchedule schedule;
    AnimatedElement none(0, &owner), one(1, &owner);
    EXPECT_EQ(schedule.Register(&none, {}), AnimationSchedule::Refused);
    EXPECT_EQ(schedule.Register(&one, {150}), AnimationSchedule::Refused);
    EXPECT_TRUE(schedule.Empty());
    EXPECT_EQ(schedule.Tick(), kAnimationLongestWait);
    EXPECT_TRUE(owner.told.empty());
}

TEST(AnimationScheduleTest, TheLastUnregisterEmptiesTheSchedule)
{
    Recorder owner;
    AnimationSchedule schedule;
    AnimatedElement a(0, &owner), a2(0, &owner), b(1, &owner);
    schedule.Register(&a, {150, 150});
    schedule.Register(&a2, {150, 150});
    schedule.Register(&b, {200, 150});
    EXPECT_FALSE(schedule.Unregister(&a));
    EXPECT_FALSE(schedule.Unregister(&b));
    EXPECT_EQ(schedule.Groups().size(), 1u);
    EXPECT_FALSE(schedule.Unregister(&b));  // no longer there
    EXPECT_TRUE(schedule.Unregister(&a2));
    EXPECT_TRUE(schedule.Empty());
    // Registering again starts over at frame 0 at once.
    EXPECT_EQ(schedule.Register(&a, {150, 150}), AnimationSchedule::NewGroup);
    schedule.Tick();
    EXPECT_EQ(a.Frame(), 0);
}

TEST(SmileyCodeSearchTest, EarlierSmiliesWinAndTheBudgetEnds)
{
    std::vector<std::vector<std::wstring>> pack = {{L":-)", L":)"}, {L":-))"}, {L"8-)"}};
    struct Case {
        const char* name;
        std::wstring text;
        int budget;
        std::vector<std::pair<size_t, size_t>> taken;
        std::vector<std::vector<int>> spans;  // start, length, smiley, code
    } cases[] = {
        {"one", L"hi :-)", 10, {}, {{3, 3, 0, 0}}},
        {"overlap goes to the earlier smiley", L":-))", 10, {}, {{0, 3, 0, 0}}},
        {"second code", L":) and :-)", 10, {}, {{0, 2, 0, 1}, {7, 3, 0, 0}}},
        {"budget", L":):):):)8-)", 3, {}, {{0, 2, 0, 1}, {2, 2, 0, 1}, {4, 2, 0, 1}}},
        {"taken range", L"x:-)8-)", 10, {{0, 3}}, {{4, 3, 2, 0}}},
        {"case and nothing", L"no smiley", 10, {}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::vector<int>> got;
        for (const SmileyCodeSpan& s : FindSmileyCodes(c.text, pack, c.budget, c.taken))
            got.push_back({int(s.start), int(s.length), s.smiley, s.code});
        EXPECT_EQ(got, c.spans);
    }
}

}  // namespace
