#include "TextViewTestSupport.h"

#include <gtest/gtest.h>

namespace {

// Two paragraphs at a text width of 80: "hello world" wraps into "hello " and "world";
// "a<LS>b" has a forced break.
struct CaretFixture : TextFixture {
    CaretFixture() : TextFixture(80)
    {
        Add(L"hello world");
        Add(L"a\nb");
    }
};

TEST(TextViewStateTest, CaretCommandsAtLineParagraphAndDocumentEdges)
{
    struct Case {
        const char* name;
        TextPosition from;
        int command;
        TextPosition to;
        int edge;  // -1 none, 0 forwards, 1 backwards
    } cases[] = {
        {"left at doc start", At(0, 0, 0), CARET_LEFT, At(0, 0, 0), 1},
        {"left trailing", At(0, 5, 1), CARET_LEFT, At(0, 5, 0), -1},
        {"left from a wrapped line's start", At(0, 6, 0), CARET_LEFT, At(0, 5, 1), -1},
        {"left after a forced break", At(1, 2, 0), CARET_LEFT, At(1, 0, 1), -1},
        {"left into the previous paragraph", At(1, 0, 0), CARET_LEFT, At(0, 10, 1), -1},
        {"right mid line", At(0, 1, 0), CARET_RIGHT, At(0, 2, 0), -1},
        {"right at a wrapped line's end", At(0, 5, 0), CARET_RIGHT, At(0, 5, 1), -1},
        {"right past a wrapped line's end", At(0, 5, 1), CARET_RIGHT, At(0, 6, 0), -1},
        {"right over a forced break", At(1, 0, 1), CARET_RIGHT, At(1, 2, 0), -1},
        {"right at a paragraph's end", At(0, 10, 0), CARET_RIGHT, At(0, 10, 1), -1},
        {"right into the next paragraph", At(0, 10, 1), CARET_RIGHT, At(1, 0, 0), -1},
        {"right at doc end", At(1, 2, 1), CARET_RIGHT, At(1, 2, 1), 0},
        {"line start", At(0, 8, 0), CARET_LINE_START, At(0, 6, 0), -1},
        {"line end", At(0, 1, 0), CARET_LINE_END, At(0, 5, 1), -1},
        {"line end before a forced break", At(1, 0, 0), CARET_LINE_END, At(1, 1, 0), -1},
        {"line up", At(0, 8, 0), CARET_LINE_UP, At(0, 2, 0), -1},
        {"line up at doc start", At(0, 0, 0), CARET_LINE_UP, At(0, 0, 0), 1},
        {"line down", At(0, 2, 0), CARET_LINE_DOWN, At(0, 8, 0), -1},
        {"line down into the next paragraph", At(0, 7, 0), CARET_LINE_DOWN, At(1, 0, 1), -1},
        {"line down at doc end", At(1, 2, 1), CARET_LINE_DOWN, At(1, 2, 1), 0},
        {"para start", At(0, 8, 0), CARET_PARA_START, At(0, 0, 0), -1},
        {"para end", At(0, 3, 0), CARET_PARA_END, At(0, 10, 1), -1},
        {"para prev mid paragraph", At(1, 2, 0), CARET_PARA_PREV, At(1, 0, 0), -1},
        {"para prev at its start", At(1, 0, 0), CARET_PARA_PREV, At(0, 0, 0), -1},
        {"para prev in the first", At(0, 0, 0), CARET_PARA_PREV, At(0, 0, 0), 1},
        {"para next", At(0, 3, 0), CARET_PARA_NEXT, At(1, 0, 0), -1},
        {"para next in the last", At(1, 0, 0), CARET_PARA_NEXT, At(1, 2, 1), -1},
        {"para next at the very end", At(1, 2, 1), CARET_PARA_NEXT, At(1, 2, 1), 0},
        {"doc start", At(1, 2, 0), CARET_DOC_START, At(0, 0, 0), -1},
        {"doc end", At(0, 2, 0), CARET_DOC_END, At(1, 2, 1), -1},
    };
    for (const Case& c : cases) {
        CaretFixture f;
        f.state.caret = c.from;
        f.state.RunCaretCommand(c.command, false);
        EXPECT_EQ(c.to, f.state.caret) << c.name;
        std::vector<int> edges;
        if (c.edge >= 0) edges.push_back(c.edge);
        EXPECT_EQ(edges, f.host.edges) << c.name;
    }
}

TEST(TextViewStateTest, EmptyDocumentReportsEdgesAndHasNoText)
{
    TextFixture f(80);
    f.state.RunCaretCommand(CARET_RIGHT, false);
    f.state.RunCaretCommand(CARET_LINE_DOWN, false);
    f.state.RunCaretCommand(CARET_LEFT, false);
    f.state.RunCaretCommand(CARET_LINE_UP, false);
    f.state.RunCaretCommand(CARET_DOC_END, false);
    EXPECT_EQ((std::vector<int>{0, 0, 1, 1}), f.host.edges);
    EXPECT_EQ(At(0, 0, 0), f.state.caret);
    std::wstring text;
    EXPECT_FALSE(f.state.GetAllText(text, false));
    EXPECT_FALSE(f.state.GetLastParagraphText(text, false));
    EXPECT_FALSE(f.state.GetSelectedText(text, false));
    EXPECT_FALSE(f.state.Find(L"x", FindOptions{false, false}));
}

TEST(TextViewStateTest, ShiftSelectsGrowsAndShrinks)
{
    CaretFixture f;
    for (int i = 0; i < 3; ++i) f.state.RunCaretCommand(CARET_RIGHT, true);
    std::wstring text;
    ASSERT_TRUE(f.state.GetSelectedText(text, false));
    EXPECT_EQ(L"hel", text);
    f.state.RunCaretCommand(CARET_LEFT, true);
    ASSERT_TRUE(f.state.GetSelectedText(text, false));
    EXPECT_EQ(L"he", text);
    // Over a paragraph boundary, then back to nothing.
    f.state.RunCaretCommand(CARET_PARA_NEXT, true);
    ASSERT_TRUE(f.state.GetSelectedText(text, false));
    EXPECT_EQ(L"hello world", text);
    f.state.RunCaretCommand(CARET_PARA_PREV, true);
    EXPECT_FALSE(f.state.HasSelection());
    // A move without Shift clears a selection.
    f.state.RunCaretCommand(CARET_RIGHT, true);
    f.state.RunCaretCommand(CARET_RIGHT, false);
    EXPECT_FALSE(f.state.HasSelection());
}

TEST(TextViewStateTest, DragSelectsBetweenPoints)
{
    CaretFixture f;
    POINT from = {12, 5}, to = {45, 5};  // characters 1 .. 4
    f.state.SelectBetween(from, to, true);
    std::wstring text;
    ASSERT_TRUE(f.state.GetSelectedText(text, false));
    EXPECT_EQ(L"ell", text);
    EXPECT_EQ(At(0, 4, 0), f.state.caret);
    POINT back = {45, 5};
    f.state.SelectBetween(back, from, false);  // dragged backwards: the same characters
    ASSERT_TRUE(f.state.GetSelectedText(text, false));
    EXPECT_EQ(L"ell", text);
    f.state.SelectBetween(from, from, false);
    EXPECT_FALSE(f.state.HasSelection());
}

TEST(TextViewStateTest, RangeTextQuotesParagraphsAndExpandsElementsAndBreaks)
{
    TextFixture f(200);
    f.Add(L"first");
    FakeElement smile(12, 12, L":-)");
    TextParagraph* p = new TextParagraph(16);
    p->AppendText(L"a\nb ", 4, 7);
    p->AppendElement(&smile);
    f.document.Add(p);
    f.layout.LayOutLast();
    EXPECT_EQ(L"> first\r\n\r\n> a\r\nb :-)", f.state.GetRangeText(At(0, 0, 0), At(1, 4, 1), true));
    EXPECT_EQ(L"irst\r\n\r\na", f.state.GetRangeText(At(0, 1, 0), At(1, 0, 1), false));
    std::wstring last;
    ASSERT_TRUE(f.state.GetLastParagraphText(last, true));
    EXPECT_EQ(L"> a\r\nb :-)", last);
}

TEST(TextViewStateTest, FindWholeWordCaseAndWrap)
{
    TextFixture f(500);
    f.Add(L"Cat catalogue cat");
    f.Add(L"the cat sat");
    struct Case {
        const char* name;
        TextPosition caret;
        const wchar_t* text;
        FindOptions options;
        bool found;
        TextPosition selStart;
    } cases[] = {
        {"first from the start", At(0, 0, 0), L"cat", {false, false}, true, At(0, 0, 0)},
        {"match case skips Cat", At(0, 0, 0), L"cat", {false, true}, true, At(0, 4, 0)},
        {"whole word skips catalogue", At(0, 1, 0), L"cat", {true, false}, true, At(0, 14, 0)},
        {"on to the next paragraph", At(0, 15, 0), L"cat", {true, false}, true, At(1, 4, 0)},
        {"wraps to the start", At(1, 6, 0), L"cat", {false, false}, true, At(0, 0, 0)},
        {"own paragraph before the caret after wrapping", At(1, 6, 0), L"the", {false, false}, true, At(1, 0, 0)},
        {"missing", At(0, 0, 0), L"dog", {false, false}, false, At(-1, 0, 0)},
        {"empty text", At(0, 0, 0), L"", {false, false}, false, At(-1, 0, 0)},
    };
    for (const Case& c : cases) {
        f.state.ClearSelection();
        f.state.caret = c.caret;
        EXPECT_EQ(c.found, f.state.Find(c.text, c.options)) << c.name;
        EXPECT_EQ(c.selStart, f.state.selStart) << c.name;
        if (c.found) {
            EXPECT_EQ(c.selStart.character + int(wcslen(c.text)) - 1, f.state.selEnd.character) << c.name;
        }
    }
}

TEST(TextViewStateTest, ShrinkingViewportKeepsTheBottom)
{
    TextFixture f(80, 50);
    for (int i = 0; i < 20; ++i) f.Add(L"line");
    f.state.viewport.top = 150;
    f.state.viewport.bottom = 200;
    f.state.Resize(30, f.layout.GetHeight());
    EXPECT_EQ(170, f.state.viewport.top);
    EXPECT_EQ(200, f.state.viewport.bottom);
    f.state.viewport.top = 0;
    f.state.viewport.bottom = 50;
    f.state.Resize(20, 30);  // a short document keeps its top
    EXPECT_EQ(0, f.state.viewport.top);
    EXPECT_EQ(20, f.state.viewport.bottom);
}

}  // namespace
