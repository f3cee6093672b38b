#include "Zel/shell/menu/PopupMenuWnd.h"

#include "Zel/shell/app/Application.h"
#include "Zel/shell/app/GuiResources.h"
#include "Zel/shell/skin/ColorScheme.h"
#include "Handheld/ShellUi.h"
#include "ZELCommon/ZELWMUI_Gdi.h"
#include "ZELCommon/ZELWMUI_HiDpi.h"

#include <cstdlib>
#include <memory>

namespace {

const wchar_t kClassName[] = L"ZELMENUWNDCLASS";
// Key-ups and taps closer than this to the window's birth or the press belong to the key or tap
// that opened it.
const DWORD kTapMs = 500;
const int kSubMenuPicture = 19;

PopupMenuRunner g_runner;
void* g_runnerContext;
int g_wide = -1;

struct PopupMenuRun {
    CPopupMenuLevel level;
    MenuMetrics metrics;
    HWND window = nullptr;
    HWND owner = nullptr;
    bool fullScreen = false;
    bool subMenu = false;
    int selected = 0;
    int scroll = 0;
    DWORD pressTick = 0;
    int pressX = -1;
    int lastX = -1;
    PopupMenuResult chosen = NothingChosen;
    DWORD created = 0;
};

PopupMenuResult RunLevel(const CPopupMenu& menu, const RECT& bounds, const POINT& anchor, int alignment, HWND owner,
                         bool fullScreen, bool subMenu);

bool WideRows()
{
    if (g_wide >= 0) return g_wide != 0;
    return TheApplication ? TheApplication->Settings().wideMenu : true;
}

HFONT MenuFont(const MenuMetrics& metrics)
{
    LOGFONTW font = {};
    font.lfHeight = metrics.FontHeight();
    font.lfWeight = FW_BOLD;
    lstrcpyW(font.lfFaceName, L"MS Sans Serif");
    return CreateFontIndirectW(&font);
}

int TextWidth(HDC dc, const CZELString& text)
{
    SIZE size = {};
    if (text.IsEmpty()) return 0;
    GetTextExtentExPointW(dc, text.GetBuffer(), text.GetLength(), 0, nullptr, nullptr, &size);
    return size.cx;
}

void Close(PopupMenuRun& run)
{
    ReleaseCapture();
    HWND window = run.window;
    run.window = nullptr;
    if (window) DestroyWindow(window);
}

void Cancel(PopupMenuRun& run)
{
    run.chosen = NothingChosen;
    Close(run);
}

void Choose(PopupMenuRun& run, int index)
{
    const MenuLevelItem& item = run.level.items[size_t(index)];
    run.chosen = PopupMenuResult{item.callback, item.id, item.data};
    Close(run);
}

SIZE ClientSize(HWND window)
{
    RECT client = {};
    GetClientRect(window, &client);
    return SIZE{client.right, client.bottom};
}

void KeepSelectionInView(PopupMenuRun& run)
{
    run.scroll = ScrollToSelection(run.level, run.metrics, ClientSize(run.window).cx, run.selected, run.scroll);
}

void ScrollBy(PopupMenuRun& run, int dx)
{
    int width = ClientSize(run.window).cx;
    if (!run.level.Scrolls(width)) return;
    run.scroll = ClampMenuScroll(run.level, width, run.scroll + dx);
}

void OpenSubMenu(PopupMenuRun& run, int index)
{
    const MenuLevelItem& item = run.level.items[size_t(index)];
    if (!item.subMenu) return;
    KeepSelectionInView(run);
    InvalidateRect(run.window, nullptr, FALSE);
    UpdateWindow(run.window);
    RECT window = {};
    GetWindowRect(run.window, &window);
    POINT anchor = {window.left + item.x + run.scroll, window.top + item.y};
    const int w = run.level.itemSize.cx;
    bool toRight = run.level.bounds.right - (anchor.x + w) >= anchor.x - run.level.bounds.left;
    POINT point = toRight ? POINT{anchor.x + w, anchor.y} : anchor;
    ReleaseCapture();
    HWND self = run.window;
    PopupMenuResult result = RunLevel(*item.subMenu, run.level.bounds, point, toRight ? MenuAlignTopLeft
                                                                                   : MenuAlignTopRight,
                                      self, run.fullScreen, true);
    if (!IsWindow(self) || run.window != self) return;
    if (result.Chosen()) {
        run.chosen = result;
        Close(run);
        return;
    }
    SetFocus(self);
    SetCapture(self);
    InvalidateRect(self, nullptr, FALSE);
}

// A tap outside the level: nothing chosen; a sub-menu hands the tap on to the level below it.
void TapOutside(PopupMenuRun& run, POINT client)
{
    if (run.subMenu && run.owner) {
        POINT screen = client;
        ClientToScreen(run.window, &screen);
        POINT ownerPoint = screen;
        ScreenToClient(run.owner, &ownerPoint);
        PostMessageW(run.owner, WM_LBUTTONUP, 0, MAKELPARAM(ownerPoint.x, ownerPoint.y));
    }
    Cancel(run);
}

void Paint(PopupMenuRun& run, HDC target)
{
    SIZE client = ClientSize(run.window);
    UI::MemoryBitmapDC memory(target, client.cx, client.cy);
    if (!memory.IsValid()) return;
    HDC dc = memory.Get();
    const MenuMetrics& m = run.metrics;
    const CPopupMenuLevel& level = run.level;
    const int p1x = m.P1x();

    COLORREF top = GetSchemeColor(24), bottom = GetSchemeColor(25);
    TRIVERTEX vertices[2] = {
        {0, 0, COLOR16(GetRValue(top) * 255), COLOR16(GetGValue(top) * 255), COLOR16(GetBValue(top) * 255), 0},
        {client.cx, client.cy, COLOR16(GetRValue(bottom) * 255), COLOR16(GetGValue(bottom) * 255),
         COLOR16(GetBValue(bottom) * 255), 0}};
    GRADIENT_RECT gradient = {0, 1};
    GradientFill(dc, vertices, 2, &gradient, 1, GRADIENT_FILL_RECT_V);
    SetBkMode(dc, TRANSPARENT);

    UI::GdiObject<HFONT> font(MenuFont(m));
    UI::GdiSelection fontSelection(dc, font.Get());
    if (level.titled) {
        SetTextColor(dc, GetSchemeColor(27));
        RECT box = {level.title.x, level.title.y, level.title.x + level.title.width, level.title.y + m.FontHeight()};
        DrawTextW(dc, level.title.text.GetBuffer(), level.title.text.GetLength(), &box, DT_NOPREFIX | DT_NOCLIP);
    }

    const bool focused = GetFocus() == run.window;
    CSkinImageSet* images = GuiImages();
    const int wI = m.IconWidth(), hI = m.IconHeight();
    const int w = level.itemSize.cx, h = level.itemSize.cy;
    for (int i = 0; i < level.Count(); ++i) {
        const MenuLevelItem& item = level.items[size_t(i)];
        RECT box = {run.scroll + item.x, item.y, run.scroll + item.x + w, item.y + h};
        if (i == run.selected) {
            UI::GdiObject<HPEN> pen(CreatePen(PS_SOLID, p1x, GetSchemeColor(30)));
            UI::GdiObject<HBRUSH> fill(CreateSolidBrush(GetSchemeColor(30)));
            bool outline = !focused || (item.flags & MenuItemInactive);
            UI::GdiSelection penSelection(dc, pen.Get());
            UI::GdiSelection brushSelection(dc, outline ? GetStockObject(NULL_BRUSH) : fill.Get());
            RoundRect(dc, box.left, box.top, box.right, box.bottom, 3, 3);
        } else if (item.flags & MenuItemChecked) {
            UI::GdiObject<HPEN> pen(CreatePen(PS_SOLID, p1x, GetSchemeColor(31)));
            UI::GdiObject<HBRUSH> fill(CreateSolidBrush(GetSchemeColor(31)));
            UI::GdiSelection penSelection(dc, pen.Get());
            UI::GdiSelection brushSelection(dc, fill.Get());
            RoundRect(dc, box.left, box.top, box.right, box.bottom, 3, 3);
        }
        int x = box.left + p1x;
        if (!level.noIcons) {
            bool centred = w == h && item.text.IsEmpty() && !(item.flags & MenuItemHasSubMenu);
            if (centred) x = (box.left + box.right - wI) / 2;
            int y = (box.top + box.bottom - wI) / 2;
            if (images)
                for (int k = 0; k < item.icons.GetCount(); ++k)
                    images->DrawStretched(item.icons[k], dc, x, y, x + wI, y + hI, 0, 255);
            x += m.ScaleX(19);
        }
        if (!item.text.IsEmpty()) {
            COLORREF colour = GetSchemeColor(26);
            if (item.flags & MenuItemInactive) colour = GetSchemeColor(28);
            else if (i == run.selected && focused) colour = GetSchemeColor(29);
            SetTextColor(dc, colour);
            RECT textBox = {x, box.top, x + item.width, box.bottom};
            DrawTextW(dc, item.text.GetBuffer(), item.text.GetLength(), &textBox,
                      DT_NOPREFIX | DT_NOCLIP | DT_VCENTER | DT_SINGLELINE);
        }
        if ((item.flags & MenuItemHasSubMenu) && images) {
            int y = (box.top + box.bottom - hI) / 2;
            images->DrawStretched(kSubMenuPicture, dc, box.right - wI, y, box.right, y + hI, 0, 255);
        }
        if (item.flags & MenuItemLineBelow) {
            UI::GdiObject<HPEN> pen(CreatePen(PS_SOLID, p1x, GetSchemeColor(32)));
            UI::GdiSelection penSelection(dc, pen.Get());
            int y = box.bottom + (m.dpiX + 48) / 192;
            MoveToEx(dc, box.left + m.ScaleX(15), y, nullptr);
            LineTo(dc, box.right - m.ScaleX(15), y);
        }
    }

    {
        UI::GdiObject<HPEN> pen(CreatePen(PS_SOLID, p1x, GetSchemeColor(23)));
        UI::GdiSelection penSelection(dc, pen.Get());
        UI::GdiSelection brushSelection(dc, GetStockObject(NULL_BRUSH));
        Rectangle(dc, 0, 0, client.cx, client.cy);
    }
    BitBlt(target, 0, 0, client.cx, client.cy, dc, 0, 0, SRCCOPY);
}

void OnKeyDown(PopupMenuRun& run, int key)
{
    MenuKeyResult result = MenuKey(run.level, run.selected, key);
    switch (result.action) {
    case MenuKeyResult::Close: Cancel(run); return;
    case MenuKeyResult::OpenSubMenu: OpenSubMenu(run, result.selection); return;
    case MenuKeyResult::Choose: Choose(run, result.selection); return;
    case MenuKeyResult::Nothing: return;
    case MenuKeyResult::Move:
        run.selected = result.selection;
        KeepSelectionInView(run);
        InvalidateRect(run.window, nullptr, FALSE);
        return;
    }
}

void OnButtonDown(PopupMenuRun& run, POINT point)
{
    int hit = MenuHitTest(run.level, ClientSize(run.window), point, run.scroll);
    if (hit == -2) {
        TapOutside(run, point);
        return;
    }
    run.selected = hit;
    InvalidateRect(run.window, nullptr, FALSE);
    run.pressTick = GetTickCount();
    run.pressX = run.lastX = point.x;
}

void OnMouseMove(PopupMenuRun& run, POINT point)
{
    if (run.pressX == -1 && run.lastX == -1) return;
    int width = ClientSize(run.window).cx;
    if (run.level.Scrolls(width)) {
        ScrollBy(run, point.x - run.lastX);
        run.lastX = point.x;
    }
    int hit = MenuHitTest(run.level, ClientSize(run.window), point, run.scroll);
    if (hit >= 0) run.selected = hit;
    InvalidateRect(run.window, nullptr, FALSE);
}

void OnButtonUp(PopupMenuRun& run, POINT point)
{
    int hit = MenuHitTest(run.level, ClientSize(run.window), point, run.scroll);
    const bool pressed = run.pressX != -1 || run.lastX != -1;
    if (!pressed) {
        // A tap handed on by a sub-menu, or a release whose press was elsewhere: only outside counts.
        if (hit == -2) TapOutside(run, point);
        return;
    }
    bool tap = run.pressTick == 0 ||
               (GetTickCount() - run.pressTick < kTapMs && std::abs(point.x - run.pressX) < run.metrics.ScaleX(10));
    HWND self = run.window;
    if (tap && hit == -2) {
        TapOutside(run, point);
        return;
    }
    if (tap && hit >= 0) {
        run.selected = hit;
        const MenuLevelItem& item = run.level.items[size_t(hit)];
        if (item.flags & MenuItemHasSubMenu) {
            run.pressTick = 0;
            run.pressX = run.lastX = -1;
            OpenSubMenu(run, hit);
            return;
        }
        if (!(item.flags & MenuItemInactive)) {
            InvalidateRect(self, nullptr, FALSE);
            UpdateWindow(self);
            Choose(run, hit);
            return;
        }
    } else if (!tap) {
        ScrollBy(run, point.x - run.lastX);
    }
    run.pressTick = 0;
    run.pressX = run.lastX = -1;
    InvalidateRect(self, nullptr, FALSE);
}

LRESULT CALLBACK MenuWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_CREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
        auto* run = static_cast<PopupMenuRun*>(create->lpCreateParams);
        run->window = window;
        run->created = GetTickCount();
        SetWindowLongPtrW(window, GWLP_USERDATA, LONG_PTR(run));
        return 0;
    }
    auto* run = reinterpret_cast<PopupMenuRun*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (!run || run->window != window) return DefWindowProcW(window, message, wParam, lParam);
    POINT point = {short(LOWORD(lParam)), short(HIWORD(lParam))};
    switch (message) {
    case WM_ACTIVATE:
        if (run->fullScreen)
            SHFullScreen(window, LOWORD(wParam) != WA_INACTIVE ? SHFS_HIDETASKBAR | SHFS_HIDESTARTICON
                                                               : SHFS_SHOWTASKBAR | SHFS_SHOWSTARTICON);
        return 0;
    case WM_PAINT: {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(window, &paint);
        Paint(*run, dc);
        EndPaint(window, &paint);
        return 0;
    }
    case WM_ERASEBKGND: return 1;
    case WM_KEYDOWN: OnKeyDown(*run, int(wParam)); return 0;
    case WM_KEYUP:
        if ((wParam == VK_ESCAPE || wParam == VK_F1 || wParam == VK_F2) && GetTickCount() - run->created > kTapMs)
            Cancel(*run);
        return 0;
    case WM_MOUSEMOVE: OnMouseMove(*run, point); return 0;
    case WM_LBUTTONDOWN: OnButtonDown(*run, point); return 0;
    case WM_LBUTTONUP: OnButtonUp(*run, point); return 0;
    case WM_DESTROY:
        // Gone by any road (its owner destroyed, say): nothing more reaches the run.
        SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        run->window = nullptr;
        return 0;
    default: return DefWindowProcW(window, message, wParam, lParam);
    }
}

bool RegisterMenuClass(HINSTANCE instance)
{
    WNDCLASSW existing = {};
    if (GetClassInfoW(instance, kClassName, &existing)) return true;
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = MenuWndProc;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = kClassName;
    return RegisterClassW(&windowClass) != 0;
}

PopupMenuResult RunLevel(const CPopupMenu& menu, const RECT& bounds, const POINT& anchor, int alignment, HWND owner,
                         bool fullScreen, bool subMenu)
{
    if (menu.GetCount() == 0) return NothingChosen;
    HINSTANCE instance = GetModuleHandleW(nullptr);
    if (!RegisterMenuClass(instance)) return NothingChosen;

    std::unique_ptr<PopupMenuRun> run(new PopupMenuRun);
    run->metrics = MenuMetrics{g_HIDPI_LogPixelsX, g_HIDPI_LogPixelsY, WideRows()};
    run->owner = owner;
    run->fullScreen = fullScreen;
    run->subMenu = subMenu;
    {
        HDC screen = GetDC(nullptr);
        UI::GdiObject<HFONT> font(MenuFont(run->metrics));
        HGDIOBJ previous = SelectObject(screen, font.Get());
        MenuTextMeasure measure = [screen](const CZELString& text, bool) { return TextWidth(screen, text); };
        BuildMenuLevel(menu, run->metrics, measure, bounds, anchor, alignment, run->level);
        SelectObject(screen, previous);
        ReleaseDC(nullptr, screen);
    }
    if (run->level.Count() == 0) return NothingChosen;

    const RECT& place = run->level.window;
    HWND window = CreateWindowExW(WS_EX_TOOLWINDOW, kClassName, L"", WS_POPUP | WS_VISIBLE, place.left, place.top,
                                  place.right - place.left, place.bottom - place.top, owner, nullptr, instance,
                                  run.get());
    if (!window) return NothingChosen;
    SetFocus(window);
    SetCapture(window);
    MSG message;
    while (run->window && IsWindow(window)) {
        BOOL got = GetMessageW(&message, nullptr, 0, 0);
        if (got != 1) {
            // The quit request is the program's: the loop below us sees it again.
            if (got == 0) PostQuitMessage(int(message.wParam));
            break;
        }
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    if (run->window) Close(*run);
    return run->chosen;
}

}  // namespace

void SetPopupMenuRunner(PopupMenuRunner runner, void* context)
{
    g_runner = runner;
    g_runnerContext = context;
}

void SetPopupMenuWide(bool wide)
{
    g_wide = wide ? 1 : 0;
}

PopupMenuResult ShowPopupMenu(const CPopupMenu& menu, const RECT& area, const POINT& anchor, int alignment,
                              HWND owner, bool fullScreen)
{
    if (g_runner) return g_runner(g_runnerContext, menu, area, anchor, alignment);
    return RunLevel(menu, area, anchor, alignment, owner, fullScreen, false);
}

PopupMenuResult ShowPopupMenuAtWindow(const CPopupMenu& menu, HWND window, bool fullScreen)
{
    RECT rect = {};
    GetWindowRect(window, &rect);
    return ShowPopupMenu(menu, rect, POINT{rect.right, rect.bottom}, MenuAlignAboveRight, window, fullScreen);
}

PopupMenuResult ShowPopupMenuBelowWindow(const CPopupMenu& menu, HWND window, bool fullScreen)
{
    RECT rect = {};
    GetWindowRect(window, &rect);
    return ShowPopupMenu(menu, rect, POINT{rect.left, rect.bottom}, MenuAlignAboveLeft, window, fullScreen);
}
