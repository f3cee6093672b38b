#include "Handheld/NotificationBubble.h"

#include "Handheld/BubbleHtml.h"
#include "Handheld/ShellDrawing.h"

#include <algorithm>

namespace {

const wchar_t kClassName[] = L"HandheldNotificationBubble";
const int kWidth = 240;  // at 96 dpi
const int kMargin = 4;
const int kIconSize = 16;
const int kKeyHeight = 22;

NotificationBubble::Content g_content;
HWND g_window = nullptr;
HFONT g_font = nullptr;
HFONT g_boldFont = nullptr;

int Scale(int value)
{
    return (value * ShellDrawing::ScreenDpi() + 48) / 96;
}

void MakeFonts()
{
    if (g_font) return;
    NONCLIENTMETRICSW metrics = {};
    metrics.cbSize = sizeof metrics;
    LOGFONTW font = {};
    if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0)) font = metrics.lfMessageFont;
    else wcscpy(font.lfFaceName, L"Tahoma");
    font.lfHeight = -Scale(12);
    font.lfWeight = FW_NORMAL;
    g_font = CreateFontIndirectW(&font);
    font.lfWeight = FW_BOLD;
    g_boldFont = CreateFontIndirectW(&font);
}

// One segment of the body where it is drawn.
struct Placed {
    RECT rect;
    bool image;
    std::wstring text;
    bool bold;
    COLORREF color;
};

int LineHeight(HDC dc)
{
    HGDIOBJ old = SelectObject(dc, g_boldFont);
    TEXTMETRICW metrics = {};
    GetTextMetricsW(dc, &metrics);
    SelectObject(dc, old);
    return metrics.tmHeight;
}

// The body's segments inside width, from top 0; the height they take.
std::vector<Placed> LayoutBody(HDC dc, const std::vector<BubbleHtml::Run>& runs, int width, int* height)
{
    std::vector<Placed> placed;
    int lineHeight = LineHeight(dc);
    int x = 0, y = 0;
    size_t lineStart = 0;
    bool lineCentred = false;
    auto endLine = [&]() {
        if (lineCentred && placed.size() > lineStart) {
            int used = placed.back().rect.right;
            int shift = std::max(0, (width - used) / 2);
            for (size_t i = lineStart; i < placed.size(); ++i) OffsetRect(&placed[i].rect, shift, 0);
        }
        lineStart = placed.size();
        x = 0;
        y += lineHeight;
        lineCentred = false;
    };
    for (const BubbleHtml::Run& run : runs) {
        if (run.kind == BubbleHtml::RunBreak) {
            endLine();
            continue;
        }
        lineCentred = lineCentred || run.center;
        if (run.kind == BubbleHtml::RunImage) {
            int side = lineHeight - 2;
            if (x > 0 && x + side > width) endLine();
            placed.push_back({{x + 1, y + 1, x + 1 + side, y + 1 + side}, true, std::wstring(), false, run.color});
            x += side + 2;
            continue;
        }
        HGDIOBJ old = SelectObject(dc, run.bold ? g_boldFont : g_font);
        size_t at = 0;
        while (at < run.text.size()) {
            // One word with the blanks after it.
            size_t end = run.text.find_first_of(L" \t", at);
            end = end == std::wstring::npos ? run.text.size() : run.text.find_first_not_of(L" \t", end);
            if (end == std::wstring::npos) end = run.text.size();
            std::wstring word = run.text.substr(at, end - at);
            SIZE size = {};
            GetTextExtentPoint32W(dc, word.c_str(), int(word.size()), &size);
            if (x > 0 && x + size.cx > width) {
                endLine();
                lineCentred = run.center;
            }
            placed.push_back({{x, y, x + size.cx, y + lineHeight}, false, word, run.bold, run.color});
            x += size.cx;
            at = end;
        }
        SelectObject(dc, old);
    }
    if (x > 0 || placed.size() > lineStart) endLine();
    *height = y;
    return placed;
}

struct Geometry {
    RECT title;
    RECT icon;
    RECT body;
    std::vector<RECT> keys;
    SIZE size;
};

Geometry Measure(HDC dc, std::vector<Placed>* body)
{
    Geometry g = {};
    int width = Scale(kWidth), margin = Scale(kMargin), icon = Scale(kIconSize);
    int header = std::max(icon, LineHeight(dc)) + 2 * margin;
    g.icon = {margin, (header - icon) / 2, margin + icon, (header - icon) / 2 + icon};
    g.title = {2 * margin + icon, 0, width - margin, header};
    int bodyHeight = 0;
    std::vector<Placed> segments =
        LayoutBody(dc, BubbleHtml::Parse(g_content.html.c_str(), GetSysColor(COLOR_INFOTEXT)), width - 2 * margin,
                   &bodyHeight);
    g.body = {margin, header + margin, width - margin, header + margin + bodyHeight};
    for (Placed& segment : segments) OffsetRect(&segment.rect, g.body.left, g.body.top);
    if (body) *body = segments;
    int keysTop = g.body.bottom + margin;
    int keyHeight = Scale(kKeyHeight);
    int count = int(g_content.keys.size());
    for (int i = 0; i < count; ++i) {
        int left = width * i / count, right = width * (i + 1) / count;
        g.keys.push_back({left, keysTop, right, keysTop + keyHeight});
    }
    g.size = {width, keysTop + (count ? keyHeight : 0)};
    return g;
}

void Paint(HWND window)
{
    PAINTSTRUCT paint;
    HDC target = BeginPaint(window, &paint);
    RECT client;
    GetClientRect(window, &client);
    {
        ShellDrawing::BufferedPaint buffer(target, client);
        HDC dc = buffer.Get();
        std::vector<Placed> body;
        Geometry g = Measure(dc, &body);
        ShellDrawing::Fill(dc, client, COLOR_INFOBK);
        if (g_content.icon)
            DrawIconEx(dc, g.icon.left, g.icon.top, g_content.icon, g.icon.right - g.icon.left,
                       g.icon.bottom - g.icon.top, 0, nullptr, DI_NORMAL);
        SetBkMode(dc, TRANSPARENT);
        HGDIOBJ old = SelectObject(dc, g_boldFont);
        SetTextColor(dc, GetSysColor(COLOR_INFOTEXT));
        DrawTextW(dc, g_content.title.c_str(), int(g_content.title.size()), &g.title,
                  DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_END_ELLIPSIS | DT_NOPREFIX);
        RECT rule = {0, g.title.bottom - 1, client.right, g.title.bottom};
        ShellDrawing::Fill(dc, rule, COLOR_WINDOWFRAME);
        for (const Placed& segment : body) {
            if (segment.image) {
                HBRUSH brush = CreateSolidBrush(segment.color);
                FrameRect(dc, &segment.rect, brush);
                DeleteObject(brush);
                continue;
            }
            SelectObject(dc, segment.bold ? g_boldFont : g_font);
            SetTextColor(dc, segment.color);
            RECT rect = segment.rect;
            DrawTextW(dc, segment.text.c_str(), int(segment.text.size()), &rect, DT_LEFT | DT_TOP | DT_SINGLELINE | DT_NOPREFIX);
        }
        SelectObject(dc, g_font);
        for (size_t i = 0; i < g.keys.size(); ++i) {
            ShellDrawing::Fill(dc, g.keys[i], COLOR_BTNFACE);
            ShellDrawing::Frame(dc, g.keys[i], COLOR_WINDOWFRAME);
            ShellDrawing::Text(dc, g.keys[i], g_content.keys[i].title.c_str(), COLOR_BTNTEXT, DT_CENTER);
        }
        SelectObject(dc, old);
    }
    EndPaint(window, &paint);
}

int KeyAt(HWND window, POINT point)
{
    HDC dc = GetDC(window);
    Geometry g = Measure(dc, nullptr);
    ReleaseDC(window, dc);
    for (size_t i = 0; i < g.keys.size(); ++i)
        if (PtInRect(&g.keys[i], point)) return int(i);
    return -1;
}

LRESULT CALLBACK BubbleProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_MOUSEACTIVATE: return MA_NOACTIVATE;
    case WM_ERASEBKGND: return 1;
    case WM_PAINT: Paint(window); return 0;
    case WM_LBUTTONUP: {
        int key = KeyAt(window, POINT{short(LOWORD(lParam)), short(HIWORD(lParam))});
        if (key >= 0) NotificationBubble::PressKey(key);
        return 0;
    }
    default: return DefWindowProcW(window, message, wParam, lParam);
    }
}

bool RegisterBubbleClass()
{
    static bool registered = false;
    if (registered) return true;
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = BubbleProc;
    windowClass.hInstance = ShellDrawing::LayerModule();
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.lpszClassName = kClassName;
    registered = RegisterClassW(&windowClass) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
    return registered;
}

// Sized to the content, at the bottom right of the work area.
void Place()
{
    HDC dc = GetDC(g_window);
    Geometry g = Measure(dc, nullptr);
    ReleaseDC(g_window, dc);
    RECT frame = {0, 0, g.size.cx, g.size.cy};
    AdjustWindowRectEx(&frame, DWORD(GetWindowLongW(g_window, GWL_STYLE)), FALSE,
                       DWORD(GetWindowLongW(g_window, GWL_EXSTYLE)));
    RECT work = {0, 0, 640, 480};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    int width = frame.right - frame.left, height = frame.bottom - frame.top;
    SetWindowPos(g_window, HWND_TOPMOST, work.right - width, work.bottom - height, width, height,
                 SWP_NOACTIVATE | SWP_SHOWWINDOW);
}

}  // namespace

namespace NotificationBubble {

void Show(const Content& content)
{
    g_content = content;
    MakeFonts();
    if (!g_window || !IsWindow(g_window)) {
        if (!RegisterBubbleClass()) return;
        g_window = CreateWindowExW(WS_EX_TOPMOST | WS_EX_NOACTIVATE | WS_EX_TOOLWINDOW, kClassName, L"",
                                   WS_POPUP | WS_BORDER, 0, 0, 1, 1, nullptr, nullptr, ShellDrawing::LayerModule(),
                                   nullptr);
        if (!g_window) return;
    }
    Place();
    ShowWindow(g_window, SW_SHOWNOACTIVATE);
    InvalidateRect(g_window, nullptr, FALSE);
}

void SetIcon(HICON icon)
{
    g_content.icon = icon;
    if (g_window) InvalidateRect(g_window, nullptr, FALSE);
}

void Hide()
{
    if (g_window && IsWindow(g_window)) DestroyWindow(g_window);
    g_window = nullptr;
    g_content = Content();
}

HWND Window()
{
    return g_window && IsWindow(g_window) ? g_window : nullptr;
}

bool PressKey(int index)
{
    if (!Window() || index < 0 || index >= int(g_content.keys.size())) return false;
    if (g_content.sink) PostMessageW(g_content.sink, WM_COMMAND, WPARAM(g_content.keys[size_t(index)].command), 0);
    return true;
}

}  // namespace NotificationBubble
