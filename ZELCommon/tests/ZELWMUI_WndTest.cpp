#include "ZELCommon/ZELCommonMain.h"
#include "ZELCommon/ZELWMUI_ScrollWnd.h"
#include "ZELCommon/ZELWMUI_Wnd.h"
#include "ZELCommon/ZELWMUI_WndBase.h"

#include "SlotOf.h"
#include "UiTestSupport.h"
#include "WindowScreenshot.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

using namespace UI;
using TestSupport::DpiScope;
using TestSupport::SlotOf;
using TestSupport::WindowScope;

namespace {

// ---- Pure rules --------------------------------------------------------------------------------

TEST(WndPaintMode, FullRequestIsNeverLowered)
{
    struct Case {
        const char* name;
        int current, requested, expected;
    } cases[] = {
        {"nothing pending, partial asked", PaintNone, PaintPartial, PaintPartial},
        {"nothing pending, full asked", PaintNone, PaintFull, PaintFull},
        {"partial pending, full asked", PaintPartial, PaintFull, PaintFull},
        {"full pending, partial asked", PaintFull, PaintPartial, PaintFull},
        {"full pending, full asked", PaintFull, PaintFull, PaintFull},
        {"partial pending, partial asked", PaintPartial, PaintPartial, PaintPartial},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.expected, CombinePaintMode(c.current, c.requested));
    }
}

TEST(WndHiDpi, ScalesLikeTheDeviceFormula)
{
    struct Case {
        int value, dpi, expected;
    } cases[] = {
        {10, 96, 10},  {10, 120, 13}, {10, 192, 20}, {10, 128, 13}, {3, 120, 4},   {3, 192, 6},
        {28, 120, 35}, {28, 192, 56}, {0, 192, 0},   {1, 96, 1},    {-10, 120, -13}, {-1, 96, -1},
        {-3, 192, -6}, {10, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.value) + " at " + std::to_string(c.dpi));
        EXPECT_EQ(c.expected, HIDPI_Scale(c.value, c.dpi));
    }
    // Extremes clamp instead of wrapping.
    EXPECT_EQ(INT_MAX, HIDPI_Scale(INT_MAX, 192));
    EXPECT_EQ(INT_MIN, HIDPI_Scale(INT_MIN, 192));
}

TEST(WndHiDpi, AxisHelpersFollowTheProcessWideValues)
{
    EXPECT_EQ(96, g_HIDPI_LogPixelsX);
    EXPECT_EQ(96, g_HIDPI_LogPixelsY);
    g_HIDPI_LogPixelsX = 192;
    g_HIDPI_LogPixelsY = 120;
    EXPECT_EQ(20, HIDPI_ScaleX(10));
    EXPECT_EQ(13, HIDPI_ScaleY(10));
    g_HIDPI_LogPixelsX = g_HIDPI_LogPixelsY = 96;
}

// The virtual operations keep their slots: other modules call them by position.
TEST(WndSlots, WindowBaseOperationsKeepTheirOrder)
{
    const long long slots[] = {
        SlotOf(&CZELWMUI_WndBase::OnCreate),      SlotOf(&CZELWMUI_WndBase::OnWindowPosChanged),
        SlotOf(&CZELWMUI_WndBase::OnMessage),     SlotOf(&CZELWMUI_WndBase::OnCommand),
        SlotOf(&CZELWMUI_WndBase::OnNotify),      SlotOf(&CZELWMUI_WndBase::OnDrawItem),
        SlotOf(&CZELWMUI_WndBase::OnMeasureItem), SlotOf(&CZELWMUI_WndBase::OnTimer),
        SlotOf(&CZELWMUI_WndBase::OnKeyDown),     SlotOf(&CZELWMUI_WndBase::OnKeyUp),
        SlotOf(&CZELWMUI_WndBase::OnChar),        SlotOf(&CZELWMUI_WndBase::OnLButtonDown),
        SlotOf(&CZELWMUI_WndBase::OnLButtonUp),   SlotOf(&CZELWMUI_WndBase::OnMouseMove),
        SlotOf(&CZELWMUI_WndBase::OnSetFocus),    SlotOf(&CZELWMUI_WndBase::OnKillFocus),
        SlotOf(&CZELWMUI_WndBase::OnGetDlgCode),  SlotOf(&CZELWMUI_WndBase::OnCtlColor),
        SlotOf(&CZELWMUI_WndBase::OnClose),       SlotOf(&CZELWMUI_WndBase::Paint),
        SlotOf(&CZELWMUI_WndBase::PaintX),        SlotOf(&CZELWMUI_WndBase::GetBkBrush),
        SlotOf(&CZELWMUI_WndBase::GetTextColor),
    };
    // Slot 0 is the destructor, which takes two entries under this ABI.
    for (size_t i = 0; i < sizeof(slots) / sizeof(slots[0]); ++i) {
        SCOPED_TRACE("operation " + std::to_string(i + 1));
        EXPECT_EQ((long long)i + 2, slots[i]);
    }
    EXPECT_EQ(SlotOf(&CZELWMUI_WndBase::GetTextColor) + 1, SlotOf(&CZELWMUI_ScrollWnd::OnScroll));
}

// ---- Windows -----------------------------------------------------------------------------------

// Records every slot call as text, so a test can compare it with what the message should give.
class RecordingWnd : public CZELWMUI_Wnd {
public:
    std::vector<std::string> calls;
    const void* lastPointer = nullptr;
    LRESULT messageAnswer = 1;
    HBRUSH controlBrush = nullptr;
    HBRUSH background = nullptr;
    COLORREF textColour = RGB(0x12, 0x34, 0x56);
    // What the paints saw.
    std::vector<DWORD> paintDCTypes, partialDCTypes;
    COLORREF paintPixelAtStart = CLR_INVALID;
    COLORREF paintTextColour = CLR_INVALID;
    int paintBkMode = 0;
    COLORREF fillColour = CLR_INVALID;  // Paint fills a square at 2,2 of this colour when set

    void Record(const std::string& text) { calls.push_back(text); }
    static std::string N(long long value) { return std::to_string(value); }

    void OnCreate() override { Record("OnCreate(" + N(hwnd != nullptr) + ")"); }
    void OnWindowPosChanged(WINDOWPOS* position) override
    {
        lastPointer = position;
        Record("OnWindowPosChanged");
    }
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        if (message >= WM_APP) Record("OnMessage(" + N(message) + "," + N(wParam) + "," + N(lParam) + ")");
        if (message == WM_SETTEXT || message == WM_CTLCOLORBTN) Record("OnMessage(" + N(message) + ")");
        return messageAnswer;
    }
    void OnCommand(WORD notifyCode, WORD id, HWND control) override
    {
        Record("OnCommand(" + N(notifyCode) + "," + N(id) + "," + N((LONG_PTR)control) + ")");
    }
    void OnNotify(HWND from, UINT_PTR id, UINT code, NMHDR* header) override
    {
        lastPointer = header;
        Record("OnNotify(" + N((LONG_PTR)from) + "," + N(id) + "," + N(code) + ")");
    }
    void OnDrawItem(UINT id, DRAWITEMSTRUCT* item) override
    {
        lastPointer = item;
        Record("OnDrawItem(" + N(id) + ")");
    }
    void OnMeasureItem(UINT id, MEASUREITEMSTRUCT* item) override
    {
        lastPointer = item;
        Record("OnMeasureItem(" + N(id) + ")");
    }
    void OnTimer(UINT_PTR id, TIMERPROC) override { Record("OnTimer(" + N(id) + ")"); }
    void OnKeyDown(int key) override { Record("OnKeyDown(" + N(key) + ")"); }
    void OnKeyUp(int key) override { Record("OnKeyUp(" + N(key) + ")"); }
    void OnChar(wchar_t character, LPARAM data) override { Record("OnChar(" + N(character) + "," + N(data) + ")"); }
    void OnLButtonDown(int flags, const POINT& p) override
    {
        Record("OnLButtonDown(" + N(flags) + "," + N(p.x) + "," + N(p.y) + ")");
    }
    void OnLButtonUp(int flags, const POINT& p) override
    {
        Record("OnLButtonUp(" + N(flags) + "," + N(p.x) + "," + N(p.y) + ")");
    }
    void OnMouseMove(int flags, const POINT& p) override
    {
        Record("OnMouseMove(" + N(flags) + "," + N(p.x) + "," + N(p.y) + ")");
    }
    void OnSetFocus(HWND previous) override { Record("OnSetFocus(" + N((LONG_PTR)previous) + ")"); }
    void OnKillFocus(HWND next) override { Record("OnKillFocus(" + N((LONG_PTR)next) + ")"); }
    int OnGetDlgCode() override
    {
        Record("OnGetDlgCode");
        return DLGC_WANTARROWS | DLGC_WANTCHARS;
    }
    HBRUSH OnCtlColor(HDC, HWND control) override
    {
        Record("OnCtlColor");
        return controlBrush;
    }
    void OnClose() override { Record("OnClose"); }
    void Paint(HDC dc) override
    {
        paintDCTypes.push_back(GetObjectType(dc));
        paintPixelAtStart = GetPixel(dc, 1, 1);
        paintTextColour = ::GetTextColor(dc);
        paintBkMode = GetBkMode(dc);
        if (fillColour != CLR_INVALID) {
            RECT square = {2, 2, 12, 12};
            HBRUSH brush = CreateSolidBrush(fillColour);
            FillRect(dc, &square, brush);
            DeleteObject(brush);
        }
    }
    void PaintX(HDC dc) override { partialDCTypes.push_back(GetObjectType(dc)); }
    HBRUSH GetBkBrush() override { return background ? background : CZELWMUI_Wnd::GetBkBrush(); }
    COLORREF GetTextColor() override { return textColour; }

    void ClearRecords()
    {
        calls.clear();
        paintDCTypes.clear();
        partialDCTypes.clear();
    }
};

// A window that has finished its first paint, with its records cleared.
class WndWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        ZEL_REQUIRE_DISPLAY();
        host = TestSupport::CreateHostWindow(200, 150);
        ASSERT_NE(nullptr, host);
        RECT rect = {10, 10, 110, 90};
        ASSERT_EQ(1, wnd.Create(TestSupport::TestModule(), host, WS_VISIBLE, rect));
        UpdateWindow(wnd);
        TestSupport::PumpMessages();
        wnd.ClearRecords();
    }
    void TearDown() override
    {
        if (host) DestroyWindow(host);
    }

    HWND host = nullptr;
    RecordingWnd wnd;
};

TEST_F(WndWindow, CreateBindsTheObjectAndCallsOnCreate)
{
    RecordingWnd other;
    RECT rect = {0, 0, 20, 20};
    ASSERT_EQ(1, other.Create(TestSupport::TestModule(), host, 0, rect));
    ASSERT_FALSE(other.calls.empty());
    EXPECT_EQ("OnCreate(1)", other.calls.front());
    EXPECT_TRUE(IsWindow(other));
    EXPECT_EQ(host, other.Parent());
    LONG_PTR style = GetWindowLongPtrW(other, GWL_STYLE);
    EXPECT_TRUE(style & WS_CHILD);
    EXPECT_FALSE(other.IsVisible());
    wchar_t className[32] = L"";
    GetClassNameW(other, className, 32);
    EXPECT_STREQ(L"ZELWNDCLASS", className);
    // A second window of the class was made: the class was not registered again.
    WNDCLASSW info = {};
    EXPECT_TRUE(GetClassInfoW(GetZELCommonModule(), L"ZELWNDCLASS", &info));
    EXPECT_EQ((UINT)(CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS), info.style);
}

TEST_F(WndWindow, CreateReportsAWindowThatWasNotMade)
{
    RecordingWnd orphan;
    RECT rect = {0, 0, 20, 20};
    // A child needs a parent: no window can be made.
    EXPECT_EQ(0, orphan.Create(TestSupport::TestModule(), nullptr, 0, rect));
    EXPECT_EQ(nullptr, (HWND)orphan);
    EXPECT_EQ(0, orphan.Create(TestSupport::TestModule(), (HWND)(LONG_PTR)0x7FFF1234, 0, rect));
    EXPECT_EQ(nullptr, (HWND)orphan);
    // The class still serves later windows.
    EXPECT_EQ(1, orphan.Create(TestSupport::TestModule(), host, 0, rect));
}

TEST_F(WndWindow, EachMessageReachesItsSlot)
{
    NMHDR header = {(HWND)(LONG_PTR)0x10, 42, (UINT)NM_CLICK};
    DRAWITEMSTRUCT drawItem = {};
    MEASUREITEMSTRUCT measureItem = {};
    struct Case {
        const char* name;
        UINT message;
        WPARAM wParam;
        LPARAM lParam;
        const char* expected;
        LRESULT result;
        const void* pointer;
    } cases[] = {
        {"command", WM_COMMAND, MAKEWPARAM(7, 5), 0, "OnCommand(5,7,0)", 0, nullptr},
        {"notify", WM_NOTIFY, 42, (LPARAM)&header, "OnNotify(16,42,4294967294)", 0, &header},
        {"draw item", WM_DRAWITEM, 9, (LPARAM)&drawItem, "OnDrawItem(9)", 0, &drawItem},
        {"measure item", WM_MEASUREITEM, 3, (LPARAM)&measureItem, "OnMeasureItem(3)", 0, &measureItem},
        {"timer", WM_TIMER, 77, 0, "OnTimer(77)", 0, nullptr},
        {"key down", WM_KEYDOWN, VK_DOWN, 0, "OnKeyDown(40)", 0, nullptr},
        {"key up", WM_KEYUP, VK_RETURN, 0, "OnKeyUp(13)", 0, nullptr},
        {"char", WM_CHAR, L'x', 0x10001, "OnChar(120,65537)", 0, nullptr},
        {"button down, signed point", WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(-5, 7), "OnLButtonDown(1,-5,7)", 0, nullptr},
        {"button up", WM_LBUTTONUP, 0, MAKELPARAM(30, -2), "OnLButtonUp(0,30,-2)", 0, nullptr},
        {"mouse move", WM_MOUSEMOVE, MK_SHIFT, MAKELPARAM(4, 5), "OnMouseMove(4,4,5)", 0, nullptr},
        {"set focus", WM_SETFOCUS, 0, 0, "OnSetFocus(0)", 0, nullptr},
        {"kill focus", WM_KILLFOCUS, 0, 0, "OnKillFocus(0)", 0, nullptr},
        {"dialog code", WM_GETDLGCODE, 0, 0, "OnGetDlgCode", DLGC_WANTARROWS | DLGC_WANTCHARS, nullptr},
        {"close", WM_CLOSE, 0, 0, "OnClose", 0, nullptr},
        {"anything else", WM_APP + 3, 11, 22, "OnMessage(32771,11,22)", 0, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        wnd.calls.clear();
        wnd.lastPointer = nullptr;
        EXPECT_EQ(c.result, SendMessageW(wnd, c.message, c.wParam, c.lParam));
        ASSERT_EQ(1u, wnd.calls.size());
        EXPECT_EQ(c.expected, wnd.calls[0]);
        if (c.pointer) {
            EXPECT_EQ(c.pointer, wnd.lastPointer);
        }
    }
    // WM_CLOSE went to the slot only: the window still stands.
    EXPECT_TRUE(IsWindow(wnd));
}

TEST_F(WndWindow, OnMessageDecidesOnTheDefaultProcessing)
{
    wnd.messageAnswer = 1;
    SetWindowTextW(wnd, L"kept");
    wchar_t text[16] = L"";
    GetWindowTextW(wnd, text, 16);
    EXPECT_STREQ(L"kept", text);

    // Refused, the message never reaches the default procedure. (Read the text without a message:
    // WM_GETTEXT would be refused too.)
    wnd.messageAnswer = 0;
    SetWindowTextW(wnd, L"dropped");
    InternalGetWindowText(wnd, text, 16);
    EXPECT_STREQ(L"kept", text);
    wnd.messageAnswer = 1;
}

TEST_F(WndWindow, EraseAndPositionChangesAskForAFullPaint)
{
    wnd.Redraw(PaintPartial);
    EXPECT_EQ(PaintPartial, wnd.GetPaintMode());
    EXPECT_EQ(1, SendMessageW(wnd, WM_ERASEBKGND, 0, 0));
    EXPECT_EQ(PaintFull, wnd.GetPaintMode());
    EXPECT_TRUE(wnd.calls.empty());

    UpdateWindow(wnd);
    EXPECT_EQ(PaintNone, wnd.GetPaintMode());
    wnd.Redraw(PaintPartial);
    wnd.calls.clear();
    wnd.Resize(120, 70);
    EXPECT_EQ(PaintFull, wnd.GetPaintMode());
    ASSERT_FALSE(wnd.calls.empty());
    EXPECT_EQ("OnWindowPosChanged", wnd.calls.back());
    EXPECT_EQ(120, wnd.GetClientWidth());
    EXPECT_EQ(70, wnd.GetClientHeight());
    wnd.ClearRecords();
    UpdateWindow(wnd);
    EXPECT_EQ(1u, wnd.paintDCTypes.size());
    EXPECT_TRUE(wnd.partialDCTypes.empty());
}

TEST_F(WndWindow, PaintModesChooseBetweenFullAndPartialPaints)
{
    struct Case {
        const char* name;
        std::vector<int> requests;
        size_t fullPaints, partialPaints;
    } cases[] = {
        {"a lone partial request", {PaintPartial}, 0, 1},
        {"partial then full", {PaintPartial, PaintFull}, 1, 0},
        {"full then partial", {PaintFull, PaintPartial}, 1, 0},
        {"a lone full request", {PaintFull}, 1, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        wnd.ClearRecords();
        for (int request : c.requests) wnd.Redraw(request);
        UpdateWindow(wnd);
        EXPECT_EQ(c.fullPaints, wnd.paintDCTypes.size());
        EXPECT_EQ(c.partialPaints, wnd.partialDCTypes.size());
        EXPECT_EQ(PaintNone, wnd.GetPaintMode());
    }
    // Full paints draw into a memory DC, partial ones straight on the window.
    wnd.ClearRecords();
    wnd.RedrawNow(PaintFull);
    wnd.RedrawNow(PaintPartial);
    ASSERT_EQ(1u, wnd.paintDCTypes.size());
    ASSERT_EQ(1u, wnd.partialDCTypes.size());
    EXPECT_EQ((DWORD)OBJ_MEMDC, wnd.paintDCTypes[0]);
    EXPECT_EQ((DWORD)OBJ_DC, wnd.partialDCTypes[0]);
}

TEST_F(WndWindow, FullPaintStartsFromTheBackgroundAndReachesTheScreenAtOnce)
{
    HBRUSH green = CreateSolidBrush(RGB(0, 160, 0));
    wnd.background = green;
    wnd.fillColour = RGB(200, 0, 0);
    wnd.RedrawNow(PaintFull);
    EXPECT_EQ(RGB(0, 160, 0), wnd.paintPixelAtStart);
    EXPECT_EQ(wnd.textColour, wnd.paintTextColour);
    EXPECT_EQ(TRANSPARENT, wnd.paintBkMode);

    TestSupport::Image shot;
    ASSERT_TRUE(TestSupport::CaptureWindow(wnd, false, &shot));
    EXPECT_EQ(TestSupport::Rgb(RGB(200, 0, 0)), shot.At(5, 5));
    EXPECT_EQ(TestSupport::Rgb(RGB(0, 160, 0)), shot.At(50, 50));
    wnd.background = nullptr;
    DeleteObject(green);
}

TEST_F(WndWindow, ZeroSizedClientPaintsNothingAndSurvives)
{
    RecordingWnd empty;
    RECT rect = {0, 0, 0, 0};
    ASSERT_EQ(1, empty.Create(TestSupport::TestModule(), host, WS_VISIBLE, rect));
    empty.ClearRecords();
    empty.Redraw(PaintFull);
    // Nothing is invalid on an empty client, so ask for the paint directly.
    SendMessageW(empty, WM_PAINT, 0, 0);
    EXPECT_TRUE(empty.paintDCTypes.empty());
    EXPECT_EQ(PaintNone, empty.GetPaintMode());
}

TEST_F(WndWindow, ControlsGetTheBackgroundBrushAlignedWithTheScreen)
{
    HWND label = CreateWindowExW(0, L"STATIC", L"label", WS_CHILD | WS_VISIBLE, 7, 9, 40, 12, wnd, nullptr,
                                 TestSupport::TestModule(), nullptr);
    ASSERT_NE(nullptr, label);
    HBRUSH blue = CreateSolidBrush(RGB(0, 0, 200));
    wnd.background = blue;
    HDC dc = CreateCompatibleDC(nullptr);
    POINT screen = {0, 0};
    ClientToScreen(label, &screen);

    const UINT colourMessages[] = {WM_CTLCOLOREDIT, WM_CTLCOLORLISTBOX, WM_CTLCOLORDLG, WM_CTLCOLORSCROLLBAR,
                                   WM_CTLCOLORSTATIC};
    for (UINT message : colourMessages) {
        SCOPED_TRACE(message);
        SetBkMode(dc, OPAQUE);
        SetBrushOrgEx(dc, 0, 0, nullptr);
        EXPECT_EQ((LRESULT)blue, SendMessageW(wnd, message, (WPARAM)dc, (LPARAM)label));
        EXPECT_EQ(wnd.textColour, ::GetTextColor(dc));
        EXPECT_EQ(TRANSPARENT, GetBkMode(dc));
        POINT origin = {};
        GetBrushOrgEx(dc, &origin);
        EXPECT_EQ(-screen.x, origin.x);
        EXPECT_EQ(-screen.y, origin.y);
    }

    // A brush of the window's own choosing is returned as it is, the DC left alone.
    HBRUSH own = CreateSolidBrush(RGB(1, 1, 1));
    wnd.controlBrush = own;
    SetBkMode(dc, OPAQUE);
    EXPECT_EQ((LRESULT)own, SendMessageW(wnd, WM_CTLCOLORSTATIC, (WPARAM)dc, (LPARAM)label));
    EXPECT_EQ(OPAQUE, GetBkMode(dc));

    // Buttons are not coloured by the window.
    wnd.calls.clear();
    SendMessageW(wnd, WM_CTLCOLORBTN, (WPARAM)dc, (LPARAM)label);
    ASSERT_EQ(1u, wnd.calls.size());
    EXPECT_EQ("OnMessage(" + std::to_string(WM_CTLCOLORBTN) + ")", wnd.calls[0]);

    wnd.controlBrush = nullptr;
    wnd.background = nullptr;
    DeleteDC(dc);
    DeleteObject(own);
    DeleteObject(blue);
}

TEST_F(WndWindow, PlacementHelpers)
{
    wnd.Move(15, 25);
    RECT rect = {};
    GetWindowRect(wnd, &rect);
    MapWindowPoints(nullptr, host, (POINT*)&rect, 2);
    EXPECT_EQ(15, rect.left);
    EXPECT_EQ(25, rect.top);
    EXPECT_EQ(100, rect.right - rect.left);

    RECT target = {5, 6, 65, 46};
    wnd.MoveAndResize(target);
    GetWindowRect(wnd, &rect);
    MapWindowPoints(nullptr, host, (POINT*)&rect, 2);
    EXPECT_EQ(5, rect.left);
    EXPECT_EQ(6, rect.top);
    EXPECT_EQ(60, rect.right - rect.left);
    EXPECT_EQ(40, rect.bottom - rect.top);

    wnd.Show(0);
    EXPECT_FALSE(wnd.IsVisible());
    wnd.Show(1);
    EXPECT_TRUE(wnd.IsVisible());

    // Show and UpInZOrder bring the window over its siblings.
    RecordingWnd sibling;
    RECT siblingRect = {0, 0, 30, 30};
    ASSERT_EQ(1, sibling.Create(TestSupport::TestModule(), host, WS_VISIBLE, siblingRect));
    sibling.Show(1);
    EXPECT_EQ((HWND)sibling, GetWindow(host, GW_CHILD));
    wnd.UpInZOrder();
    EXPECT_EQ((HWND)wnd, GetWindow(host, GW_CHILD));
}

TEST_F(WndWindow, DestroyingTheWindowDetachesTheObject)
{
    HWND window = wnd;
    DestroyWindow(window);
    EXPECT_EQ(nullptr, (HWND)wnd);
    EXPECT_EQ(0, GetWindowLongPtrW(window, GWLP_USERDATA));
}

TEST_F(WndWindow, DestroyingTheObjectDestroysItsWindow)
{
    RecordingWnd* owned = new RecordingWnd();
    RECT rect = {0, 0, 20, 20};
    ASSERT_EQ(1, owned->Create(TestSupport::TestModule(), host, WS_VISIBLE, rect));
    HWND window = *owned;
    delete owned;
    EXPECT_FALSE(IsWindow(window));
}

// ---- Scroll window -----------------------------------------------------------------------------

TEST(ScrollArithmetic, RequestCodesGiveTheirPositions)
{
    SCROLLINFO bar = {};
    bar.cbSize = sizeof(bar);
    bar.nMin = 0;
    bar.nMax = 1000;
    bar.nPage = 100;
    bar.nPos = 500;
    bar.nTrackPos = 321;
    struct Case {
        const char* name;
        int code, step, expected;
    } cases[] = {
        {"line up", SB_LINEUP, 13, 487},      {"line down", SB_LINEDOWN, 13, 513},
        {"page up", SB_PAGEUP, 13, 400},      {"page down", SB_PAGEDOWN, 13, 600},
        {"thumb position", SB_THUMBPOSITION, 13, 321}, {"thumb track", SB_THUMBTRACK, 13, 321},
        {"top", SB_TOP, 13, 0},               {"bottom", SB_BOTTOM, 13, 1000},
        {"end scroll", SB_ENDSCROLL, 13, 500}, {"unknown code", 99, 13, 500},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.expected, ScrollRequestPosition(c.code, bar, c.step));
    }
    bar.nPos = INT_MAX - 1;
    EXPECT_EQ(INT_MAX, ScrollRequestPosition(SB_LINEDOWN, bar, 10));
}

TEST(ScrollArithmetic, DefaultStepIsTenPixelsAtTheScreenDensity)
{
    struct Case {
        int dpi, step;
    } cases[] = {{96, 10}, {120, 13}, {128, 13}, {192, 20}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.dpi);
        DpiScope dpi(c.dpi);
        CZELWMUI_ScrollWnd wnd;
        EXPECT_EQ(c.step, wnd.GetScrollTic());
    }
    CZELWMUI_ScrollWnd explicitStep(7);
    EXPECT_EQ(7, explicitStep.GetScrollTic());
    explicitStep.SetScrollTic(3);
    EXPECT_EQ(3, explicitStep.GetScrollTic());
}

class CountingScrollWnd : public CZELWMUI_ScrollWnd {
public:
    CountingScrollWnd() = default;
    explicit CountingScrollWnd(int step) : CZELWMUI_ScrollWnd(step) {}
    int scrolls = 0;
    std::vector<int> positionsSeen;
    LONG_PTR styleAtCreation = 0;
    void OnCreate() override
    {
        styleAtCreation = GetWindowLongPtrW(hwnd, GWL_STYLE);
        CZELWMUI_ScrollWnd::OnCreate();
    }
    void OnScroll() override
    {
        ++scrolls;
        positionsSeen.push_back(GetScrollPos());
    }
};

class ScrollWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        ZEL_REQUIRE_DISPLAY();
        host = TestSupport::CreateHostWindow(200, 200);
        ASSERT_NE(nullptr, host);
    }
    void TearDown() override
    {
        if (host) DestroyWindow(host);
    }
    HWND host = nullptr;
};

TEST_F(ScrollWindow, CreateAddsTheBarStylesAndStartsEmpty)
{
    CountingScrollWnd wnd;
    RECT rect = {0, 0, 100, 100};
    ASSERT_EQ(1, wnd.Create(TestSupport::TestModule(), host, WS_VISIBLE, rect));
    // The empty range set at creation hides the bar again, so look at the style as it was made.
    const LONG_PTR wanted = WS_BORDER | WS_VSCROLL | WS_TABSTOP | WS_CHILD;
    EXPECT_EQ(wanted, wnd.styleAtCreation & wanted);
    int min = -1, max = -1;
    wnd.GetScrollRange(&min, &max);
    EXPECT_EQ(0, min);
    EXPECT_EQ(0, max);
    EXPECT_EQ(0, wnd.GetScrollPos());
    EXPECT_EQ(0, wnd.GetScrollPage());

    wnd.SetScrollInfo(5, 300, 50, 40);
    EXPECT_EQ(5, wnd.GetScrollMinRange());
    EXPECT_EQ(300, wnd.GetScrollMaxRange());
    EXPECT_EQ(50, wnd.GetScrollPage());
    EXPECT_EQ(40, wnd.GetScrollPos());
    wnd.SetScrollInfo(0, 400, 60);
    EXPECT_EQ(400, wnd.GetScrollMaxRange());
    EXPECT_EQ(60, wnd.GetScrollPage());
    EXPECT_EQ(40, wnd.GetScrollPos());
    // Setting the bar directly does not count as scrolling.
    EXPECT_EQ(0, wnd.scrolls);
}

// WM_VSCROLL at three densities: the default step follows the density, the page and the ends do
// not, and every request (even one that cannot move) reports a scroll and asks for a full paint.
TEST_F(ScrollWindow, ScrollRequestsMoveTheBarAtEachDensity)
{
    struct Density {
        int dpi, step;
    } densities[] = {{96, 10}, {120, 13}, {192, 20}};
    for (const Density& density : densities) {
        SCOPED_TRACE("dpi " + std::to_string(density.dpi));
        DpiScope dpi(density.dpi);
        CountingScrollWnd wnd;
        RECT rect = {0, 0, 100, 100};
        ASSERT_EQ(1, wnd.Create(TestSupport::TestModule(), host, WS_VISIBLE, rect));
        // Content 0..400 seen through a page of 100: the last position is 400 - 100 + 1.
        const int lastPos = 301;
        struct Case {
            const char* name;
            int start;
            WPARAM request;
            int expected;
        } cases[] = {
            {"line down", 50, SB_LINEDOWN, 50 + density.step},
            {"line up", 50, SB_LINEUP, 50 - density.step},
            {"line up at the top", 0, SB_LINEUP, 0},
            {"line down at the end", lastPos, SB_LINEDOWN, lastPos},
            {"page down", 50, SB_PAGEDOWN, 150},
            {"page up", 150, SB_PAGEUP, 50},
            {"page down near the end", 250, SB_PAGEDOWN, lastPos},
            {"top", 200, SB_TOP, 0},
            {"bottom", 20, SB_BOTTOM, lastPos},
            // Outside a drag the bar's track position is its position.
            {"thumb without a drag", 123, SB_THUMBPOSITION, 123},
            {"end of scrolling", 123, SB_ENDSCROLL, 123},
        };
        for (const Case& c : cases) {
            SCOPED_TRACE(c.name);
            wnd.SetScrollInfo(0, 400, 100, c.start);
            UpdateWindow(wnd);
            wnd.scrolls = 0;
            wnd.positionsSeen.clear();
            SendMessageW(wnd, WM_VSCROLL, c.request, 0);
            EXPECT_EQ(c.expected, wnd.GetScrollPos());
            EXPECT_EQ(1, wnd.scrolls);
            ASSERT_EQ(1u, wnd.positionsSeen.size());
            EXPECT_EQ(c.expected, wnd.positionsSeen[0]);
            EXPECT_EQ(PaintFull, wnd.GetPaintMode());
        }
        DestroyWindow(wnd);
    }
}

}  // namespace
