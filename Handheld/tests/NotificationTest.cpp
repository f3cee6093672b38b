// The shell's notification bubble: the markup it reads, the record it keeps, the bubble window it
// shows (never active, soft keys posting to the sink) and "straight to the tray".
#include "Handheld/BubbleHtml.h"
#include "Handheld/Notification.h"

#include "DisplayRequirement.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

const CLSID kClass = {0xA319BA90, 0x7F8A, 0x4BD4, {0xB2, 0xC2, 0x48, 0x94, 0x8E, 0x0D, 0x16, 0x5B}};

// The runs as text: "T" text (b bold, c centred, colour), "|" break, "#" image.
std::wstring Describe(const std::vector<BubbleHtml::Run>& runs)
{
    std::wstring out;
    for (const BubbleHtml::Run& run : runs) {
        if (run.kind == BubbleHtml::RunBreak) out += L"|";
        else if (run.kind == BubbleHtml::RunImage) out += L"#";
        else {
            out += L"[";
            if (run.bold) out += L"b";
            if (run.center) out += L"c";
            if (run.color != 0) {
                wchar_t colour[16];
                swprintf(colour, 16, L"%06X", unsigned(run.color));
                out += colour;
            }
            out += L":" + run.text + L"]";
        }
    }
    return out;
}

}  // namespace

TEST(BubbleHtml, KnownMarkupAndEntities)
{
    struct Case {
        const char* name;
        const wchar_t* html;
        const wchar_t* expected;
    } cases[] = {
        {"plain", L"hello", L"[:hello]"},
        {"break", L"a<br>b", L"[:a]|[:b]"},
        {"bold any case", L"<B>x</B>y<b>z</b>", L"[b:x][:y][b:z]"},
        {"entities", L"&lt;b&gt; &amp; &quot;q&quot;", L"[:<b> & \"q\"]"},
        {"unknown entity stays", L"&nbsp;&", L"[:&nbsp;&]"},
        {"unknown tags dropped", L"<i>a</i><script>b</script>", L"[:ab]"},
        {"font colour", L"<font color=\"#000088\">x</font>y", L"[880000:x][:y]"},
        {"bad colour keeps", L"<font color=\"red\">x</font>", L"[:x]"},
        {"centre on own line", L"a<center>b</center>c", L"[:a]|[c:b]|[:c]"},
        {"image square", L"a<img src=\"file:\\\\x.gif\" />b", L"[:a]#[:b]"},
        {"unclosed tag ends", L"a<b", L"[:a]"},
        {"trailing breaks dropped", L"a<br><br>", L"[:a]"},
        {"line ends are blanks", L"a\nb\r\nc\td", L"[:a b  c d]"},
        {"null", nullptr, L""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Describe(BubbleHtml::Parse(c.html, 0)), c.expected);
    }
}

TEST(BubbleHtml, StatusBodyShape)
{
    std::wstring html = L"<center><B>[ Ann ]</B></center><center><font color=\"#880000\"><B>Offline</B></font>"
                        L"</center><br><center>Wex 123</center>";
    EXPECT_EQ(Describe(BubbleHtml::Parse(html.c_str(), 0)), L"[bc:[ Ann ]]|[bc000088:Offline]||[c:Wex 123]");
}

TEST(ShellNotification, RecordKeptUpdatedAndRemoved)
{
    HandheldResetNotificationLog();
    SHNOTIFICATIONDATA data = {};
    data.cbStruct = sizeof data;
    data.dwID = 1001;
    data.clsid = kClass;
    data.npPriority = SHNP_INFORM;
    data.csDuration = 0xFFFFFFFF;
    data.grfFlags = SHNF_SILENT | SHNF_STRAIGHTTOTRAY;
    data.pszTitle = L"Title";
    data.pszHTML = L"Body";
    data.rgskn[0] = {L"Open", 1125, NOTIF_SOFTKEY_FLAGS_STAYOPEN};
    data.rgskn[1] = {L"Hide", 1126, NOTIF_SOFTKEY_FLAGS_STAYOPEN};
    data.pszTodaySK = L"ZEL";
    ASSERT_EQ(SHNotificationAdd(&data), S_OK);

    HandheldNotificationLog log;
    HandheldGetNotificationLog(&log);
    EXPECT_EQ(log.addCalls, 1);
    EXPECT_TRUE(log.present);
    EXPECT_FALSE(log.popup);  // straight to the tray: kept, not shown
    EXPECT_EQ(std::wstring(log.title), L"Title");
    EXPECT_EQ(log.softKeyCount, 2);
    EXPECT_EQ(log.softKeyCommand[1], 1126u);
    EXPECT_EQ(std::wstring(log.todayKey), L"ZEL");

    SHNOTIFICATIONDATA read = {};
    read.cbStruct = sizeof read;
    ASSERT_EQ(SHNotificationGetData(&kClass, 1001, &read), S_OK);
    EXPECT_EQ(std::wstring(read.pszTitle), L"Title");
    read.hicon = HICON(0x1234);
    ASSERT_EQ(SHNotificationUpdate(SHNUM_ICON, &read), S_OK);
    HandheldGetNotificationLog(&log);
    EXPECT_EQ(log.icon, HICON(0x1234));
    EXPECT_EQ(std::wstring(log.html), L"Body");
    EXPECT_EQ(log.lastUpdateMask, SHNUM_ICON);

    EXPECT_NE(SHNotificationGetData(&kClass, 1002, &read), S_OK);
    EXPECT_EQ(SHNotificationRemove(&kClass, 1001), S_OK);
    HandheldGetNotificationLog(&log);
    EXPECT_FALSE(log.present);
    EXPECT_NE(SHNotificationRemove(&kClass, 1001), S_OK);
    data.cbStruct = 8;
    EXPECT_EQ(SHNotificationAdd(&data), E_INVALIDARG);
}

namespace {

std::vector<WPARAM> g_sinkCommands;

LRESULT CALLBACK SinkProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_COMMAND) g_sinkCommands.push_back(wParam);
    return DefWindowProcW(window, message, wParam, lParam);
}

void Pump()
{
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
}

}  // namespace

TEST(ShellNotification, BubbleShowsWithoutFocusAndKeysPostToSink)
{
    ZEL_REQUIRE_DISPLAY();
    WNDCLASSW sinkClass = {};
    sinkClass.lpfnWndProc = SinkProc;
    sinkClass.hInstance = GetModuleHandleW(nullptr);
    sinkClass.lpszClassName = L"NotificationTestSink";
    RegisterClassW(&sinkClass);
    HWND sink = CreateWindowExW(0, L"NotificationTestSink", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                                GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(sink, nullptr);
    HWND before = GetForegroundWindow();

    SHNOTIFICATIONDATA data = {};
    data.cbStruct = sizeof data;
    data.dwID = 1001;
    data.clsid = kClass;
    data.hwndSink = sink;
    data.pszTitle = L"Ann";
    data.pszHTML = L"one<br><b>two</b> &lt;b&gt;";
    data.rgskn[0] = {L"Open", 1125, NOTIF_SOFTKEY_FLAGS_STAYOPEN};
    data.rgskn[1] = {L"Hide", 1126, NOTIF_SOFTKEY_FLAGS_STAYOPEN};
    ASSERT_EQ(SHNotificationAdd(&data), S_OK);
    Pump();

    HandheldNotificationLog log;
    HandheldGetNotificationLog(&log);
    ASSERT_TRUE(log.popup);
    HWND bubble = log.bubble;
    ASSERT_TRUE(IsWindowVisible(bubble));
    EXPECT_TRUE(GetWindowLongW(bubble, GWL_EXSTYLE) & WS_EX_TOPMOST);
    EXPECT_TRUE(GetWindowLongW(bubble, GWL_EXSTYLE) & WS_EX_NOACTIVATE);
    EXPECT_EQ(GetForegroundWindow(), before);

    // A click on the right half of the bottom row is "Hide".
    RECT client;
    GetClientRect(bubble, &client);
    SendMessageW(bubble, WM_LBUTTONUP, 0, MAKELPARAM(client.right * 3 / 4, client.bottom - 3));
    EXPECT_TRUE(HandheldPressNotificationKey(0));
    EXPECT_FALSE(HandheldPressNotificationKey(2));
    Pump();
    ASSERT_EQ(g_sinkCommands.size(), 2u);
    EXPECT_EQ(g_sinkCommands[0], 1126u);
    EXPECT_EQ(g_sinkCommands[1], 1125u);

    // Going to the tray takes the bubble away; removing leaves none.
    data.grfFlags = SHNF_STRAIGHTTOTRAY;
    SHNotificationUpdate(SHNUM_FLAGS, &data);
    HandheldGetNotificationLog(&log);
    EXPECT_FALSE(log.popup);
    EXPECT_FALSE(IsWindow(bubble));
    SHNotificationRemove(&kClass, 1001);
    DestroyWindow(sink);
}

namespace {

// The bubble's client area as 0x00RRGGBB pixels, rows top to bottom.
std::vector<unsigned> Capture(HWND window, int* width, int* height)
{
    RECT client;
    GetClientRect(window, &client);
    *width = client.right;
    *height = client.bottom;
    std::vector<unsigned> pixels(size_t(*width) * size_t(*height));
    HDC source = GetDC(window);
    HDC memory = CreateCompatibleDC(source);
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = *width;
    info.bmiHeader.biHeight = -*height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, *width, *height, source, 0, 0, SRCCOPY);
    GdiFlush();
    if (bits) memcpy(pixels.data(), bits, pixels.size() * 4);
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(window, source);
    for (unsigned& pixel : pixels) pixel &= 0xFFFFFF;
    return pixels;
}

}  // namespace

TEST(ShellNotification, BodyColoursCentringAndPictures)
{
    ZEL_REQUIRE_DISPLAY();
    SHNOTIFICATIONDATA data = {};
    data.cbStruct = sizeof data;
    data.dwID = 1001;
    data.clsid = kClass;
    data.pszTitle = L"Status";
    // A red centred word, then a picture square on its own line at the left.
    data.pszHTML = L"<center><font color=\"#FF0000\"><b>WWWW</b></font></center><img src=\"x\">";
    data.rgskn[0] = {L"OK", 1127, NOTIF_SOFTKEY_FLAGS_STAYOPEN};
    ASSERT_EQ(SHNotificationAdd(&data), S_OK);
    HandheldNotificationLog log;
    HandheldGetNotificationLog(&log);
    ASSERT_TRUE(log.popup);
    UpdateWindow(log.bubble);
    int width = 0, height = 0;
    std::vector<unsigned> pixels = Capture(log.bubble, &width, &height);
    ASSERT_GT(width, 0);
    // The red word's columns, wherever they are.
    int left = width, right = -1, redRows = 0;
    for (int y = 0; y < height; ++y) {
        bool row = false;
        for (int x = 0; x < width; ++x) {
            unsigned pixel = pixels[size_t(y) * width + x];
            if ((pixel >> 16) > 0xC0 && ((pixel >> 8) & 0xFF) < 0x40 && (pixel & 0xFF) < 0x40) {
                left = std::min(left, x);
                right = std::max(right, x);
                row = true;
            }
        }
        redRows += row;
    }
    ASSERT_GT(redRows, 0) << "no red text";
    // Centred: as much room on either side, within a few pixels.
    EXPECT_LE(std::abs(left - (width - 1 - right)), 6);
    SHNotificationRemove(&kClass, 1001);
}
