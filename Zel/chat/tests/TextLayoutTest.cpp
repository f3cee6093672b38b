#include "TextViewTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <memory>

namespace {

std::vector<std::pair<int, int>> PieceSpans(const LaidOutParagraph* p)
{
    std::vector<std::pair<int, int>> spans;
    for (const LinePiece& piece : p->pieces) spans.push_back({piece.start, piece.length});
    return spans;
}

TEST(TextParagraphTest, LineBreaksBecomeOneSeparatorAndRunsMerge)
{
    struct Case {
        const wchar_t* text;
        const wchar_t* expected;
    } cases[] = {
        {L"a\r\nb", L"a\x2028" L"b"}, {L"a\rb", L"a\x2028" L"b"}, {L"a\nb", L"a\x2028" L"b"},
        {L"a\n\rb", L"a\x2028" L"b"}, {L"a\r\n\r\nb", L"a\x2028\x2028" L"b"}, {L"a\n\nb", L"a\x2028\x2028" L"b"},
    };
    for (const Case& c : cases) {
        TextParagraph p(16);
        p.AppendText(c.text, int(wcslen(c.text)), 7);
        EXPECT_STREQ(c.expected, p.GetText()) << c.text;
    }
    TextParagraph p(16);
    p.AppendText(L"ab", 2, 7);
    p.AppendText(L"cd", 2, 7);
    p.AppendText(L"e", 1, 8);
    ASSERT_EQ(2u, p.GetRuns().size());
    EXPECT_EQ(4, p.GetRuns()[0].length);
    EXPECT_EQ(5, p.GetEnd());
}

TEST(TextParagraphTest, NeverWritesPastItsCapacity)
{
    TextParagraph small(3);
    small.AppendText(L"abcdef", 6, 7);
    FakeElement element(5, 5, L":)");
    small.AppendElement(&element);
    EXPECT_STREQ(L"abc", small.GetText());
    EXPECT_EQ(3, small.GetEnd());

    // The longest string of the program, and a capacity asked beyond it.
    std::wstring longest(65535, L'x');
    TextFixture f(200);
    TextParagraph* p = new TextParagraph(70000);
    p->AppendText(longest.c_str(), int(longest.size()), 7);
    p->AppendText(L"more", 4, 7);
    EXPECT_EQ(65535, p->GetLength());
    f.document.Add(p);
    f.layout.LayOutLast();
    EXPECT_EQ(65535 / 20, int(f.layout.Get(0)->lines.size()) - 1);
}

TEST(TextParagraphTest, RestylingSplitsAndMergesRuns)
{
    TextParagraph p(32);
    p.AppendText(L"hello world", 11, 7);
    p.SetRunStyle(6, 5, 9);
    ASSERT_EQ(2u, p.GetRuns().size());
    EXPECT_EQ(9, p.GetRuns()[1].style);
    p.SetRunStyle(2, 2, 8);
    ASSERT_EQ(4u, p.GetRuns().size());
    p.SetRunStyle(2, 2, 7);  // back: the three runs of style 7 around it merge
    ASSERT_EQ(2u, p.GetRuns().size());
    EXPECT_EQ(6, p.GetRuns()[0].length);

    FakeElement smile(12, 12, L":-)");
    TextParagraph q(32);
    q.AppendText(L"a ", 2, 7);
    q.AppendElement(&smile);
    q.AppendText(L" b", 2, 7);
    int run = q.FindElement(&smile);
    ASSERT_EQ(1, run);
    q.ReplaceRange(2, 1, L":-)", 3, 7);
    EXPECT_STREQ(L"a :-) b", q.GetText());
    ASSERT_EQ(1u, q.GetRuns().size());
    EXPECT_EQ(7, q.GetRuns()[0].length);
}

TEST(TextLayoutTest, WrapsAtBreakOpportunitiesAndCutsLongWords)
{
    struct Case {
        int width;
        const wchar_t* text;
        int style;
        std::vector<std::pair<int, int>> pieces;
    } cases[] = {
        {80, L"hello world", 7, {{0, 6}, {6, 5}}},          // breaks after the space
        {40, L"abcdefghij", 7, {{0, 4}, {4, 4}, {8, 2}}},   // a word wider than the line is cut
        {50, L"ab,cdefgh", 7, {{0, 3}, {3, 5}, {8, 1}}},    // after punctuation
        {40, L"ab cd", 9, {{0, 4}, {4, 1}}},                 // a link never breaks at its spaces
        {200, L"a\x2028\x2028" L"b", 7, {{0, 1}, {2, 0}, {3, 1}}},  // the empty line gets an empty piece
        {5, L"ab", 7, {{0, 1}, {1, 1}}},                     // one character wider than the line stays alone
    };
    for (const Case& c : cases) {
        TextFixture f(c.width);
        f.Add(c.text, c.style);
        EXPECT_EQ(c.pieces, PieceSpans(f.layout.Get(0))) << c.text << " at " << c.width;
    }
}

TEST(TextLayoutTest, RunWithoutBreakMovesWholeToTheNextLine)
{
    TextFixture f(60);
    TextParagraph* p = new TextParagraph(32);
    p->AppendText(L"ab ", 3, 7);
    p->AppendText(L"http://x", 8, 9);
    f.document.Add(p);
    f.layout.LayOutLast();
    // The link starts a line of its own, then is cut at the width.
    std::vector<std::pair<int, int>> expected = {{0, 3}, {3, 6}, {9, 2}};
    EXPECT_EQ(expected, PieceSpans(f.layout.Get(0)));
}

TEST(TextLayoutTest, ElementsWrapAndPiecesCentreOnTheirLine)
{
    TextFixture f(100);
    f.metrics.heights[7] = 17;
    FakeElement icon(16, 13, L"");
    FakeElement wide(500, 20, L"wide");
    TextParagraph* p = new TextParagraph(32);
    p->AppendElement(&icon);
    p->AppendText(L"hi", 2, 7);
    p->AppendElement(&wide);
    f.document.Add(p);
    f.layout.LayOutLast();
    const LaidOutParagraph* laid = f.layout.Get(0);
    ASSERT_EQ(3u, laid->pieces.size());
    EXPECT_EQ(17 - 8 - 6, laid->pieces[0].y);  // integer halves on a line of height 17
    EXPECT_EQ(0, laid->pieces[1].y);           // as tall as the line: at its top, never below it
    EXPECT_EQ(0, laid->pieces[2].x);  // the over-wide element stands alone on the next line
    EXPECT_EQ(17, laid->pieces[2].y);
    EXPECT_EQ(37, laid->height);
}

// Whatever the heights, every piece stands within its line and on its middle, to half a pixel.
TEST(TextLayoutTest, EveryPieceStaysWithinItsLine)
{
    const std::vector<std::vector<int>> lines = {{19}, {19, 16}, {18, 17}, {17, 17}, {20, 19}, {19, 20, 1}, {1}};
    for (const std::vector<int>& heights : lines) {
        TextFixture f(1000);
        std::vector<std::unique_ptr<FakeElement>> elements;
        TextParagraph* p = new TextParagraph(32);
        for (int h : heights) {
            elements.emplace_back(new FakeElement(10, h, L""));
            p->AppendElement(elements.back().get());
        }
        f.document.Add(p);
        f.layout.LayOutLast();
        const LaidOutParagraph* laid = f.layout.Get(0);
        ASSERT_EQ(1u, laid->lines.size());
        const int top = laid->lines[0].top, bottom = laid->lines[0].bottom;
        EXPECT_EQ(*std::max_element(heights.begin(), heights.end()), bottom - top);
        for (const LinePiece& piece : laid->pieces) {
            SCOPED_TRACE(testing::PrintToString(heights) + " piece of " + std::to_string(piece.height));
            EXPECT_GE(piece.y, top);
            EXPECT_LE(piece.y + piece.height, bottom);
            EXPECT_LE(std::abs(2 * (piece.y - top) + piece.height - (bottom - top)), 1);
        }
    }
}

TEST(TextLayoutTest, ParagraphsStackWithGapAndMargin)
{
    TextFixture f(100);
    f.Add(L"one");
    f.Add(L"two");
    EXPECT_EQ(1, f.layout.Get(0)->y);
    EXPECT_EQ(1 + 10 + 1, f.layout.Get(1)->y);
    EXPECT_EQ(12 + 10 + 1, f.layout.GetHeight());
    CTextDocument empty;
    CTextLayout none(&empty, &f.metrics, 100, 1, 1);
    none.LayOutAll();
    EXPECT_EQ(0, none.GetHeight());
    EXPECT_EQ(At(0, 0, 0), none.HitTest(50, 50));
}

TEST(TextLayoutTest, DirtyRangeLaysOutOnlyTheChangedParagraphs)
{
    TextFixture f(100);
    for (int i = 0; i < 5; ++i) f.Add(L"some words here and there");
    CTextLayout other(&f.document, &f.metrics, 300, 1, 1);
    other.LayOutAll();
    f.Add(L"new one");
    f.Add(L"another");
    int before = f.metrics.calls;
    other.ApplyDirtyRange(5, 6);
    EXPECT_EQ(2, f.metrics.calls - before);
    EXPECT_EQ(7, other.GetCount());
    // Re-laying a middle paragraph only moves those below it.
    before = f.metrics.calls;
    other.ApplyDirtyRange(2, 2);
    EXPECT_EQ(1, f.metrics.calls - before);
    EXPECT_EQ(other.Get(5)->y + other.Get(5)->height + 1, other.Get(6)->y);
}

TEST(TextLayoutTest, HitTestAndCaretPoint)
{
    TextFixture f(80);
    f.Add(L"hello world");  // lines "hello " and "world"
    struct Case {
        int x, y;
        TextPosition expected;
    } cases[] = {
        {25, 5, At(0, 2, 0)},    // the character under the point
        {0, 5, At(0, 0, 0)},     // left of the line
        {75, 5, At(0, 5, 1)},    // right of the line: after its last character
        {15, 15, At(0, 7, 0)},   // second line
        {15, 40, At(0, 10, 1)},  // below the paragraph
        {15, 0, At(0, 0, 0)},    // above everything
    };
    for (const Case& c : cases) EXPECT_EQ(c.expected, f.layout.HitTest(c.x, c.y)) << c.x << "," << c.y;
    CaretPoint at = f.layout.GetCaretPoint(At(0, 2, 0));
    EXPECT_EQ(1 + 20, at.x);
    at = f.layout.GetCaretPoint(At(0, 10, 1));
    EXPECT_EQ(1 + 50, at.x);
    EXPECT_EQ(11, at.y);
}

TEST(TextLayoutTest, VisibleRangeByBinarySearch)
{
    TextFixture f(100);
    for (int i = 0; i < 100; ++i) f.Add(L"line");  // each 10 high, 11 apart, from y 1
    int first = 0, last = 0;
    f.layout.VisibleRange(0, 50, first, last);
    EXPECT_EQ(0, first);
    EXPECT_EQ(4, last);
    f.layout.VisibleRange(550, 600, first, last);
    EXPECT_EQ(49, first);
    EXPECT_EQ(54, last);
    f.layout.VisibleRange(5000, 5050, first, last);
    EXPECT_EQ(99, first);
    EXPECT_EQ(99, last);
}

}  // namespace
