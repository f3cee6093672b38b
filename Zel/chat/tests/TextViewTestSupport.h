// A fixed metric for layout tables: every character is 10 pixels wide; a style's text is 10 pixels
// high unless the table sets another height. Elements have the size they are given.
#pragma once

#include "Zel/chat/textview/TextViewState.h"

#include <map>
#include <memory>
#include <string>
#include <vector>

struct FakeMetrics : ITextMetrics {
    std::map<int, int> heights;
    int calls = 0;
    int Measure(int style, const wchar_t*, int count, int* widths) override
    {
        ++calls;
        for (int i = 0; i < count; ++i) widths[i] = (i + 1) * 10;
        auto found = heights.find(style);
        return found == heights.end() ? 10 : found->second;
    }
};

struct FakeElement : ITextElement {
    SIZE size;
    std::wstring text;
    FakeElement(int w, int h, const wchar_t* t) : text(t) { size.cx = w, size.cy = h; }
    void Measure(SIZE* out) override { *out = size; }
    void Paint(HDC, POINT) override {}
    const wchar_t* GetText() override { return text.c_str(); }
};

struct RecordingStateHost : ITextViewStateHost {
    std::vector<int> edges;
    int redraws = 0;
    void EdgeReached(int direction) override { edges.push_back(direction); }
    void Redraw() override { ++redraws; }
};

// A document, one layout of it and its state: margin 1 and gap 1, as at 96 dpi.
struct TextFixture {
    FakeMetrics metrics;
    CTextDocument document;
    CTextLayout layout;
    RecordingStateHost host;
    TextViewState state;

    explicit TextFixture(int textWidth, int height = 100)
        : layout(&document, &metrics, textWidth + 2, 1, 1), state(&document, &layout, &host, Viewport(textWidth + 2, height))
    {
    }
    static RECT Viewport(int w, int h)
    {
        RECT r = {0, 0, w, h};
        return r;
    }
    void Add(const wchar_t* text, int style = 7)
    {
        TextParagraph* p = new TextParagraph(int(wcslen(text)) + 1);
        p->AppendText(text, int(wcslen(text)), style);
        document.Add(p);
        layout.LayOutLast();
    }
};

inline TextPosition At(int p, int c, int t)
{
    TextPosition r = {p, c, t};
    return r;
}
