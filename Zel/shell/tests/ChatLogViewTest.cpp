// The chat log on its window: entries become paragraphs with their links, an acknowledgement marks
// only the sent line, links open through the shell, copy reaches the clipboard, the menu quotes, and
// the lines are painted in their styles' colours.
#include "Zel/chat/ChatLogView.h"
#include "Zel/chat/SmileyPack.h"
#include "Zel/chat/settings/MessageWindowSettings.h"
#include "Zel/shell/helpers/ClipboardHelpers.h"
#include "Zel/shell/menu/PopupMenuWnd.h"
#include "Zel/shell/tests/AppTestSupport.h"
#include "ZELCommon/tests/WindowScreenshot.h"
#include "Handheld/Shell.h"
#include "Handheld/tests/DisplayRequirement.h"

#include <gtest/gtest.h>

namespace {

const COLORREF kInName = RGB(200, 0, 0), kInText = RGB(0, 0, 200), kOutText = RGB(0, 150, 0),
               kOutName = RGB(150, 0, 150);

struct LogHost : IChatLogHost {
    MessageWindowSettings settings{nullptr};
    HFONT font = CreateFontW(-16, 0, 0, 0, FW_BOLD, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, L"Tahoma");
    std::wstring inserted;
    ~LogHost() { DeleteObject(font); }
    void GetStyle(ITextViewHost::Style* out, int style) override
    {
        out->font = font;
        out->color = style == 1   ? kInName
                     : style == 2 ? kOutName
                     : style == 7 ? kInText
                     : style == 8 ? kOutText
                                  : RGB(90, 90, 90);
    }
    void GetSelectionColors(COLORREF* text, COLORREF* background) override
    {
        *text = RGB(255, 255, 255);
        *background = RGB(0, 0, 128);
    }
    MessageWindowSettings* GetSettings() override { return &settings; }
    void InsertText(const wchar_t* text) override { inserted += text; }
};

ChatLogEntry Entry(int kind, int number, const wchar_t* name, const wchar_t* text)
{
    ChatLogEntry e;
    e.direction = kind;
    e.messageNumber = number;
    e.kind = kind == ChatLineOutgoing ? 25 : 24;
    e.name = name;
    e.timeText = L"(12:00)";
    e.text = text;
    return e;
}

HWND MakeParent()
{
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = DefWindowProcW;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    windowClass.lpszClassName = L"ZelChatLogTestParent";
    RegisterClassW(&windowClass);
    return CreateWindowExW(0, L"ZelChatLogTestParent", L"log", WS_POPUP | WS_VISIBLE, 0, 0, 320, 240, nullptr, nullptr,
                           GetModuleHandleW(nullptr), nullptr);
}

std::vector<std::wstring> opened;
BOOL RecordOpen(LPCWSTR address, void*)
{
    opened.push_back(address);
    return TRUE;
}

struct MenuPick {
    std::vector<int> ids;
    int pick;
};
PopupMenuResult PickFromMenu(void* context, const CPopupMenu& menu, const RECT&, const POINT&, int)
{
    MenuPick* p = static_cast<MenuPick*>(context);
    p->ids.clear();
    for (int i = 0; i < menu.GetCount(); ++i) p->ids.push_back(menu.items[i].commandId);
    return PopupMenuResult{nullptr, p->pick, 0};
}

TEST(ChatLogView, EntriesAcknowledgementsLinksCopyAndQuote)
{
    ZEL_REQUIRE_DISPLAY();
    HWND parent = MakeParent();
    LogHost host;
    RECT rect = {0, 0, 320, 240};
    CChatLogView* log = CChatLogView::Create(parent, rect, &host);
    ASSERT_NE(log, nullptr);

    log->AddEntry(Entry(ChatLineIncoming, 5, L"Bob", L"see www.x.org, ok"));
    log->AddEntry(Entry(ChatLineOutgoing, 5, L"I", L"sent one"));
    log->AddEntry(Entry(ChatLineIncoming, 7, L"Bob", L"no ack for me"));
    log->AddEntry(Entry(42, 8, L"?", L"unknown kind adds nothing"));
    ASSERT_EQ(log->GetParagraphCount(), 3);
    const TextParagraph* first = log->Document().Get(0);
    EXPECT_STREQ(first->GetText(), L"\xFFFC Bob: see www.x.org, ok");
    bool link = false;
    for (const TextRun& run : first->GetRuns())
        if (run.style == STYLE_LINK) link = std::wstring(first->GetText() + run.start, size_t(run.length)) == L"www.x.org";
    EXPECT_TRUE(link);

    // Only the sent line takes the acknowledgement; an incoming line with the number stays.
    EXPECT_TRUE(log->MarkAcked(ChatAck{5, 0, 26}));
    EXPECT_EQ(log->Icons()[0]->image, 24);
    EXPECT_EQ(log->Icons()[1]->image, 26);
    EXPECT_FALSE(log->MarkAcked(ChatAck{7, 0, 26}));
    EXPECT_EQ(log->Icons()[2]->image, 24);

    // Enter on a link opens it, with http in front of "www.".
    opened.clear();
    SetShellOpenInterceptor(RecordOpen, nullptr);
    log->State()->caret = TextPosition{0, 12, 0};
    SendMessageW(*log, WM_CHAR, L'\r', 0);
    SetShellOpenInterceptor(nullptr, nullptr);
    EXPECT_EQ(opened, (std::vector<std::wstring>{L"http://www.x.org"}));

    // Copy a selection and read it back from the clipboard.
    log->MoveCaret(CARET_DOC_START, false);
    log->MoveCaret(CARET_PARA_NEXT, false);
    log->MoveCaret(CARET_PARA_END, true);
    ASSERT_TRUE(log->CanDo(ChatLogCopy));
    log->Do(ChatLogCopy);
    wchar_t clip[64] = L"";
    ASSERT_GT(PasteTextFromClipboard(clip, 64), 0);
    EXPECT_STREQ(clip, L" I: sent one");

    // The menu offers what can be done; "Quote last" quotes the newest line.
    MenuPick pick{{}, ChatLogQuoteLast};
    SetPopupMenuRunner(PickFromMenu, &pick);
    log->OnContextMenu(POINT{10, 10});
    EXPECT_EQ(pick.ids, (std::vector<int>{ChatLogCopy, ChatLogQuote, ChatLogQuoteLast, ChatLogClear}));
    EXPECT_EQ(host.inserted, L">  Bob: no ack for me");
    pick.pick = ChatLogClear;
    log->OnContextMenu(POINT{10, 10});
    EXPECT_EQ(log->GetParagraphCount(), 0);
    EXPECT_TRUE(log->Icons().empty());
    log->OnContextMenu(POINT{10, 10});  // nothing left: no menu
    EXPECT_TRUE(pick.ids.empty() || pick.ids.size() == 4u);
    SetPopupMenuRunner(nullptr, nullptr);

    delete log;
    DestroyWindow(parent);
}

TEST(ChatLogView, LinesArePaintedInTheirColours)
{
    ZEL_REQUIRE_DISPLAY();
    HWND parent = MakeParent();
    LogHost host;
    RECT rect = {0, 0, 320, 240};
    CChatLogView* log = CChatLogView::Create(parent, rect, &host);
    ASSERT_NE(log, nullptr);
    log->AddEntry(Entry(ChatLineIncoming, 1, L"Bobby", L"incoming words here"));
    log->AddEntry(Entry(ChatLineOutgoing, 2, L"I", L"outgoing words there"));
    UpdateWindow(*log);
    AppTest::PumpFor(100);
    TestSupport::SaveScreenshot(*log, false, L"ChatLogView.png");
    TestSupport::Image image;
    ASSERT_TRUE(TestSupport::CaptureWindow(*log, false, &image));
    auto count = [&](COLORREF colour) {
        int n = 0;
        for (int y = 0; y < image.height; ++y)
            for (int x = 0; x < image.width; ++x)
                if (image.At(x, y) == TestSupport::Rgb(colour)) ++n;
        return n;
    };
    EXPECT_GT(count(kInName), 5);
    EXPECT_GT(count(kInText), 5);
    EXPECT_GT(count(kOutText), 5);
    delete log;
    DestroyWindow(parent);
}

}  // namespace

namespace {

TEST(ChatLogView, PicturesScaleWithTheScreenDensity)
{
    ZEL_REQUIRE_DISPLAY();
    int savedX = g_HIDPI_LogPixelsX, savedY = g_HIDPI_LogPixelsY;
    struct Case {
        int dpi;
        int icon, separator;
    } cases[] = {{96, 16, 100}, {192, 32, 200}};
    for (const Case& c : cases) {
        g_HIDPI_LogPixelsX = g_HIDPI_LogPixelsY = c.dpi;
        SIZE size;
        CMessageIconElement(24, 1, ChatLineIncoming).Measure(&size);
        EXPECT_EQ(size.cx, c.icon);
        EXPECT_EQ(size.cy, c.icon);
        CSeparatorElement().Measure(&size);
        EXPECT_EQ(size.cx, c.separator);
        HWND parent = MakeParent();
        LogHost host;
        RECT rect = {0, 0, 320, 240};
        CChatLogView* log = CChatLogView::Create(parent, rect, &host);
        ASSERT_NE(log, nullptr);
        log->AddEntry(Entry(ChatLineIncoming, 1, L"Bobby", L"incoming words here"));
        log->AddEntry(Entry(ChatLineOutgoing, 2, L"I", L"outgoing words there"));
        log->AddEntry(Entry(ChatLineIncoming, 3, L"Bobby", L"and back"));
        log->MoveCaret(CARET_DOC_START, false);
        log->MoveCaret(CARET_PARA_END, true);  // the first line selected
        UpdateWindow(*log);
        AppTest::PumpFor(50);
        TestSupport::SaveScreenshot(*log, false, c.dpi == 96 ? L"ChatLogView96.png" : L"ChatLogView192.png");
        TestSupport::Image image;
        ASSERT_TRUE(TestSupport::CaptureWindow(*log, false, &image));
        int selected = 0, outgoing = 0, outName = 0, inName = 0, inText = 0;
        for (int y = 0; y < image.height; ++y)
            for (int x = 0; x < image.width; ++x) {
                const auto pixel = image.At(x, y);
                selected += pixel == TestSupport::Rgb(RGB(0, 0, 128));
                outgoing += pixel == TestSupport::Rgb(kOutText);
                outName += pixel == TestSupport::Rgb(kOutName);
                inName += pixel == TestSupport::Rgb(kInName);
                inText += pixel == TestSupport::Rgb(kInText);
            }
        EXPECT_GT(selected, 50) << c.dpi;  // the selection's background
        EXPECT_GT(outgoing, 5) << c.dpi;
        EXPECT_GT(outName, 5) << c.dpi;
        // The last, unselected line in the incoming colours.
        EXPECT_GT(inName, 5) << c.dpi;
        EXPECT_GT(inText, 5) << c.dpi;
        delete log;
        DestroyWindow(parent);
    }
    g_HIDPI_LogPixelsX = savedX;
    g_HIDPI_LogPixelsY = savedY;
}

}  // namespace

// With the default pack in use, a code in a message becomes the pack's picture, drawn where the code
// stood; a code over the message's budget stays text, and without a pack the code is only text.
TEST(ChatLogView, SmileyCodesBecomeThePacksPictures)
{
    ZEL_REQUIRE_DISPLAY();
    TestSupport::DpiScope dpi{96};
    HWND parent = MakeParent();
    LogHost host;
    host.settings.smiliesPerMessage = 2;
    RECT rect = {0, 0, 320, 240};
    CChatLogView* log = CChatLogView::Create(parent, rect, &host);
    ASSERT_NE(log, nullptr);
    auto smileySizes = [&](int paragraph) {
        std::vector<SIZE> sizes;
        for (const TextRun& run : log->Document().Get(paragraph)->GetRuns()) {
            if (run.style != STYLE_ELEMENT || !dynamic_cast<CSmileyElement*>(run.element)) continue;
            SIZE size = {};
            run.element->Measure(&size);
            sizes.push_back(size);
        }
        return sizes;
    };

    log->AddEntry(Entry(ChatLineIncoming, 1, L"Bob", L"no pack :-)"));
    EXPECT_TRUE(smileySizes(0).empty());

    CSmileyPack pack(CZELString(L"ZEL PDA smilies"), nullptr);
    ASSERT_TRUE(pack.WaitLoaded(20000));
    SetSmileyPackInUse(&pack);
    log->AddEntry(Entry(ChatLineIncoming, 2, L"Bob", L"hi :-) and :-) and :-)"));
    std::vector<SIZE> sizes = smileySizes(1);
    SetSmileyPackInUse(nullptr);
    ASSERT_EQ(sizes.size(), 2u);  // the third is over the budget
    for (const SIZE& size : sizes) {
        EXPECT_GT(size.cx, 0);
        EXPECT_GT(size.cy, 0);
    }
    std::wstring text = log->Document().Get(1)->GetText();
    EXPECT_NE(text.find(L":-)"), std::wstring::npos);  // the third code, as text
    DestroyWindow(parent);
}
