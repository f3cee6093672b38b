// The chat log's layout figures: 10,000 messages appended one by one (the cost of one append near
// 10, 1,000 and 10,000 held: only the new paragraph is laid out), the paragraphs one screen shows at
// the top, middle and end (a binary search on their origins), Find of a missing word over all of
// them, and a width change there and back (the second layout is built once, then only catches up).
// Text is measured with a real font on a screen-compatible device context. Run under Wine.
#include "Zel/chat/textview/TextViewState.h"
#include "ZELCommon/tests/BenchClock.h"

#include <cstdio>
#include <string>
#include <vector>

namespace {

struct GdiMetrics : ITextMetrics {
    HDC dc = CreateCompatibleDC(nullptr);
    HFONT font = CreateFontW(-14, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, L"Tahoma");
    GdiMetrics() { SelectObject(dc, font); }
    ~GdiMetrics()
    {
        DeleteDC(dc);
        DeleteObject(font);
    }
    int Measure(int, const wchar_t* text, int count, int* widths) override
    {
        SIZE size = {0, 0};
        int fit = 0;
        if (count > 0) GetTextExtentExPointW(dc, text, count, 0, &fit, widths, &size);
        else GetTextExtentPoint32W(dc, L" ", 1, &size);
        return size.cy;
    }
};

struct NoHost : ITextViewStateHost {
    void EdgeReached(int) override {}
    void Redraw() override {}
};

TextParagraph* Message(int i)
{
    std::wstring head = L" Bob (12:" + std::to_wstring(i % 60) + L"): ";
    std::wstring text = L"message number " + std::to_wstring(i) +
                        L" with a few words that wrap over a line or two on a narrow screen";
    TextParagraph* p = new TextParagraph(int(head.size() + text.size()) + 10);
    p->AppendText(head.c_str(), int(head.size()), 1);
    p->AppendText(text.c_str(), int(text.size()), 7);
    return p;
}

}  // namespace

int main()
{
    GdiMetrics metrics;
    CTextDocument document;
    CTextLayout portrait(&document, &metrics, 240, 1, 1);
    std::printf("Chat log layout (text width 238 px, Tahoma 14 px)\n");
    const int marks[] = {10, 1000, 10000};
    int mark = 0;
    double batchStart = 0;
    const int batch = 10;  // the appends averaged before each mark
    for (int i = 1; i <= 10000; ++i) {
        if (i == marks[mark] - batch + 1) batchStart = BenchSeconds();
        document.Add(Message(i));
        portrait.LayOutLast();
        if (i == marks[mark]) {
            double each = (BenchSeconds() - batchStart) / batch;
            std::printf("  append at %5d paragraphs: %8.1f us\n", i, each * 1e6);
            if (mark < 2) ++mark;
        }
    }
    int height = portrait.GetHeight();
    const int screen = 300;
    const char* names[] = {"top", "middle", "end"};
    int tops[] = {0, height / 2, height - screen};
    for (int k = 0; k < 3; ++k) {
        int first = 0, last = 0;
        double took = BestOf(5, [&] {
            for (int r = 0; r < 1000; ++r) portrait.VisibleRange(tops[k], tops[k] + screen, first, last);
        }) / 1000;
        std::printf("  visible paragraphs at the %-6s: %d..%d found in %.2f us\n", names[k], first, last, took * 1e6);
    }
    RECT viewport = {0, 0, 240, screen};
    NoHost host;
    TextViewState state(&document, &portrait, &host, viewport);
    double find = BestOf(3, [&] {
        state.caret = TextPosition{0, 0, 0};
        state.Find(L"absent", FindOptions{true, false});
    });
    std::printf("  Find of a missing word over %d paragraphs: %.1f ms\n", document.GetCount(), find * 1e3);

    CTextLayout landscape(&document, &metrics, 320, 1, 1);
    double first = BenchSeconds();
    landscape.LayOutAll();
    double whole = BenchSeconds() - first;
    for (int i = 0; i < 10; ++i) document.Add(Message(10000 + i));
    double catchUp = BenchSeconds();
    landscape.ApplyDirtyRange(10000, 10009);
    catchUp = BenchSeconds() - catchUp;
    std::printf("  first change of width (whole layout): %.1f ms; back after 10 new messages: %.1f us\n", whole * 1e3,
                catchUp * 1e6);
    return 0;
}
