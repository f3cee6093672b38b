// The chat log on its window: 10,000 entries added one by one through CChatLogView::AddEntry (the
// cost of one near 10, 1,000 and 10,000 held: only the new paragraph is laid out); one screen painted
// at the top, middle and end (the view finds its first paragraph by a binary search), into a memory
// bitmap and through the window's own paint; Find of a missing word over all of them; a change of
// width and back (the second layout is built once, then only catches up).
#include "Zel/shell/bench/ShellBenchmarks.h"

#include "Zel/chat/ChatLogView.h"
#include "Zel/chat/settings/MessageWindowSettings.h"

#include <cstdio>
#include <string>

namespace {

const int kWidth = 240, kScreen = 300;

struct BenchLogHost : IChatLogHost {
    MessageWindowSettings settings{nullptr};
    HFONT font = CreateFontW(-14, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, L"Tahoma");
    ~BenchLogHost() { DeleteObject(font); }
    void GetStyle(ITextViewHost::Style* out, int style) override
    {
        out->font = font;
        out->color = style == 1 || style == 2 ? RGB(200, 0, 0) : RGB(0, 0, 0);
    }
    void GetSelectionColors(COLORREF* text, COLORREF* background) override
    {
        *text = RGB(255, 255, 255);
        *background = RGB(0, 0, 128);
    }
    MessageWindowSettings* GetSettings() override { return &settings; }
    void InsertText(const wchar_t*) override {}
};

ChatLogEntry Entry(int i)
{
    ChatLogEntry entry;
    entry.direction = i % 3 == 0 ? ChatLineOutgoing : 0;
    entry.messageNumber = i;
    entry.kind = entry.direction ? 25 : 24;
    entry.name = entry.direction ? L"I" : L"Bob";
    entry.timeText = (L"(12:" + std::to_wstring(10 + i % 50) + L")").c_str();
    entry.text = (L"message number " + std::to_wstring(i) +
                  L" with a few words that wrap over a line or two on a narrow screen, and www.example.org")
                     .c_str();
    return entry;
}

}  // namespace

void RunChatLogBenchmark()
{
    HWND parent = CreateWindowExW(0, L"STATIC", L"", WS_POPUP | WS_VISIBLE, 0, 0, kWidth, kScreen, nullptr, nullptr,
                                  GetModuleHandleW(nullptr), nullptr);
    BenchLogHost host;
    RECT area = {0, 0, kWidth, kScreen};
    CChatLogView* log = CChatLogView::Create(parent, area, &host);
    if (!log) {
        std::printf("Chat log: the window could not be made\n");
        return;
    }
    std::printf("Chat log on its window (%d x %d, Tahoma 14 px)\n", kWidth, kScreen);
    const int marks[] = {10, 1000, 10000};
    const int batch = 10;  // the appends averaged before each mark
    int mark = 0;
    double batchStart = 0;
    for (int i = 1; i <= 10000; ++i) {
        ChatLogEntry entry = Entry(i);
        if (i == marks[mark] - batch + 1) batchStart = BenchSeconds();
        log->AddEntry(entry);
        if (i == marks[mark]) {
            std::printf("  an entry added at %5d paragraphs: %8.1f us\n", i, (BenchSeconds() - batchStart) / batch * 1e6);
            if (mark < 2) ++mark;
        }
    }

    HWND window = *log;
    HDC screen = GetDC(window);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, kWidth, kScreen);
    HGDIOBJ old = SelectObject(memory, bitmap);
    TextViewState* state = log->State();
    const int height = state->GetLayout()->GetHeight();
    const char* names[] = {"top", "middle", "end"};
    const int tops[] = {0, height / 2, height - kScreen};
    for (int k = 0; k < 3; ++k) {
        OffsetRect(&state->viewport, 0, tops[k] - state->viewport.top);
        SetWindowOrgEx(memory, 0, tops[k], nullptr);
        const double drawn = BestOf(20, [&] { log->Paint(memory); });
        const double whole = BestOf(20, [&] {
            InvalidateRect(window, nullptr, TRUE);
            UpdateWindow(window);
        });
        std::printf("  one screen at the %-6s: drawn in %.0f us, painted on the window in %.0f us\n", names[k],
                    drawn * 1e6, whole * 1e6);
    }
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(window, screen);

    const double find = BestOf(3, [&] {
        state = log->State();
        state->caret = TextPosition{0, 0, 0};
        log->Find(L"absent", FindOptions{true, false});
    });
    std::printf("  Find of a missing word over %d paragraphs: %.1f ms\n", log->GetParagraphCount(), find * 1e3);

    double start = BenchSeconds();
    MoveWindow(window, 0, 0, 320, kScreen, FALSE);
    const double wider = BenchSeconds() - start;
    MoveWindow(window, 0, 0, kWidth, kScreen, FALSE);
    for (int i = 1; i <= 10; ++i) log->AddEntry(Entry(10000 + i));
    start = BenchSeconds();
    MoveWindow(window, 0, 0, 320, kScreen, FALSE);
    const double again = BenchSeconds() - start;
    std::printf("  first change of width (whole layout): %.1f ms; again after 10 new entries: %.0f us\n", wider * 1e3,
                again * 1e6);
    DestroyWindow(parent);
}
