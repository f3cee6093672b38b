#include "Handheld/SoftKeyBar.h"

#include "Handheld/ShellDrawing.h"
#include "Handheld/ShellFrame.h"
#include "Handheld/ShellUiLayout.h"

#include <commctrl.h>
#include <windowsx.h>

#include <string>

namespace SoftKeyBar {

namespace {

const wchar_t kClassName[] = L"ZelSoftKeyBar";
// Captions longer than this are cut: a key shows a word or two.
const size_t kMaxCaption = 255;
// Set when WM_NCCREATE takes the bar record; from then on the window frees it.
thread_local bool t_recordAdopted = false;

struct Key {
    int command;
    BYTE state;  // TBSTATE_*
    HMENU popup;
    std::wstring caption;
};

struct Bar {
    HWND window;
    HWND parent;
    HMENU menu;
    int count;
    Key keys[ShellLayout::kMaxSoftKeys];
    int pressed;  // key held down by the stylus, or -1
    bool pressedInside;
};

Bar* FromWindow(HWND window)
{
    return (Bar*)GetWindowLongPtrW(window, GWLP_USERDATA);
}

std::wstring BoundedText(const wchar_t* text)
{
    if (!text || text == LPSTR_TEXTCALLBACKW) return std::wstring();
    size_t length = 0;
    while (length < kMaxCaption && text[length]) ++length;
    return std::wstring(text, length);
}

// The keys are the menu's first top-level items that are not separators.
void LoadKeys(Bar& bar)
{
    int items = bar.menu ? GetMenuItemCount(bar.menu) : 0;
    for (int item = 0; item < items && bar.count < ShellLayout::kMaxSoftKeys; ++item) {
        wchar_t text[kMaxCaption + 1] = L"";
        MENUITEMINFOW info = {};
        info.cbSize = sizeof(info);
        info.fMask = MIIM_ID | MIIM_SUBMENU | MIIM_STATE | MIIM_FTYPE | MIIM_STRING;
        info.dwTypeData = text;
        info.cch = kMaxCaption + 1;
        if (!GetMenuItemInfoW(bar.menu, item, TRUE, &info)) continue;
        if (info.fType & MFT_SEPARATOR) continue;
        Key& key = bar.keys[bar.count++];
        // A plain menu template gives a pop-up item no identifier of its own (its "identifier" is
        // the sub-menu's handle); an extended template may give it one.
        key.popup = info.hSubMenu;
        key.command = (key.popup && info.wID == (UINT)(UINT_PTR)key.popup) ? 0 : (int)info.wID;
        key.state = (info.fState & MFS_DISABLED) ? 0 : TBSTATE_ENABLED;
        key.caption = BoundedText(text);
    }
}

RECT KeyRect(const Bar& bar, int index)
{
    RECT client = {};
    GetClientRect(bar.window, &client);
    return ShellLayout::SoftKeyRect(client.right, client.bottom, bar.count, index);
}

int KeyAt(const Bar& bar, LPARAM lParam)
{
    RECT client = {};
    GetClientRect(bar.window, &client);
    POINT point = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    return ShellLayout::SoftKeyAt(client.right, client.bottom, bar.count, point);
}

// Index of the key named by a toolbar message: a command identifier, or an index with TBIF_BYINDEX.
int FindKey(const Bar& bar, WPARAM id, bool byIndex)
{
    if (byIndex) return id < (WPARAM)bar.count ? (int)id : -1;
    for (int index = 0; index < bar.count; ++index)
        if (bar.keys[index].command == (int)id) return index;
    return -1;
}

void Paint(Bar& bar)
{
    PAINTSTRUCT ps;
    HDC target = BeginPaint(bar.window, &ps);
    if (!target) return;
    RECT client = {};
    GetClientRect(bar.window, &client);
    {
        ShellDrawing::BufferedPaint buffer(target, client);
        HDC dc = buffer.Get();
        ShellDrawing::Fill(dc, client, COLOR_ACTIVECAPTION);
        RECT edge = {client.left, client.top, client.right, client.top + 1};
        ShellDrawing::Fill(dc, edge, COLOR_BTNSHADOW);
        for (int index = 0; index < bar.count; ++index) {
            const Key& key = bar.keys[index];
            RECT rect = KeyRect(bar, index);
            bool down = bar.pressed == index && bar.pressedInside;
            if (down) ShellDrawing::Fill(dc, rect, COLOR_HIGHLIGHT);
            int colour = !(key.state & TBSTATE_ENABLED) ? COLOR_GRAYTEXT
                         : down                          ? COLOR_HIGHLIGHTTEXT
                                                         : COLOR_CAPTIONTEXT;
            ShellDrawing::Text(dc, rect, key.caption.c_str(), colour, DT_CENTER);
            if (index > 0) {
                int quarter = (rect.bottom - rect.top) / 4;
                RECT line = {rect.left, rect.top + quarter, rect.left + 1, rect.bottom - quarter};
                ShellDrawing::Fill(dc, line, COLOR_CAPTIONTEXT);
            }
        }
    }
    EndPaint(bar.window, &ps);
}

// A key with a sub-menu opens it above the key; any other is a command for the parent. The parent
// may destroy the bar while it handles either, so nothing of the bar is touched afterwards.
void Activate(Bar& bar, int index)
{
    const Key& key = bar.keys[index];
    HWND window = bar.window;
    HWND parent = bar.parent;
    if (key.popup) {
        RECT rect = KeyRect(bar, index);
        MapWindowPoints(window, nullptr, (POINT*)&rect, 2);
        UINT flags = TPM_BOTTOMALIGN | TPM_LEFTBUTTON | (index == 0 ? TPM_LEFTALIGN : TPM_RIGHTALIGN);
        TrackPopupMenuEx(key.popup, flags, index == 0 ? rect.left : rect.right, rect.top, parent, nullptr);
    } else {
        SendMessageW(parent, WM_COMMAND, MAKEWPARAM(key.command, BN_CLICKED), (LPARAM)window);
    }
}

LRESULT GetButton(const Bar& bar, WPARAM index, TBBUTTON* button)
{
    if (!button || index >= (WPARAM)bar.count) return FALSE;
    const Key& key = bar.keys[index];
    *button = TBBUTTON();
    button->iBitmap = I_IMAGENONE;
    button->idCommand = key.command;
    button->fsState = key.state;
    button->fsStyle = BTNS_BUTTON | BTNS_SHOWTEXT;
    button->iString = -1;
    return TRUE;
}

LRESULT GetButtonInfo(const Bar& bar, WPARAM id, TBBUTTONINFOW* info)
{
    if (!info || info->cbSize < sizeof(TBBUTTONINFOW)) return -1;
    int index = FindKey(bar, id, (info->dwMask & TBIF_BYINDEX) != 0);
    if (index < 0) return -1;
    const Key& key = bar.keys[index];
    if (info->dwMask & TBIF_COMMAND) info->idCommand = key.command;
    if (info->dwMask & TBIF_STATE) info->fsState = key.state;
    if (info->dwMask & TBIF_STYLE) info->fsStyle = BTNS_BUTTON | BTNS_SHOWTEXT;
    if (info->dwMask & TBIF_IMAGE) info->iImage = I_IMAGENONE;
    if (info->dwMask & TBIF_LPARAM) info->lParam = 0;
    if (info->dwMask & TBIF_SIZE) {
        RECT rect = KeyRect(bar, index);
        info->cx = (WORD)(rect.right - rect.left);
    }
    if ((info->dwMask & TBIF_TEXT) && info->pszText && info->cchText > 0) {
        size_t room = (size_t)info->cchText - 1;
        size_t length = key.caption.size() < room ? key.caption.size() : room;
        key.caption.copy(info->pszText, length);
        info->pszText[length] = L'\0';
    }
    return index;
}

LRESULT SetButtonInfo(Bar& bar, WPARAM id, const TBBUTTONINFOW* info)
{
    if (!info || info->cbSize < sizeof(TBBUTTONINFOW)) return FALSE;
    int index = FindKey(bar, id, (info->dwMask & TBIF_BYINDEX) != 0);
    if (index < 0) return FALSE;
    Key& key = bar.keys[index];
    if (info->dwMask & TBIF_TEXT) key.caption = BoundedText(info->pszText);
    if (info->dwMask & TBIF_STATE) key.state = info->fsState;
    InvalidateRect(bar.window, nullptr, FALSE);
    return TRUE;
}

LRESULT CALLBACK BarProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE) {
        Bar* bar = (Bar*)((CREATESTRUCTW*)lParam)->lpCreateParams;
        bar->window = window;
        SetWindowLongPtrW(window, GWLP_USERDATA, (LONG_PTR)bar);
        t_recordAdopted = true;
    }
    Bar* bar = FromWindow(window);
    if (!bar) return DefWindowProcW(window, message, wParam, lParam);

    switch (message) {
    case WM_PAINT:
        Paint(*bar);
        return 0;
    case WM_ERASEBKGND:
        return 1;
    case WM_LBUTTONDOWN: {
        int index = KeyAt(*bar, lParam);
        if (index >= 0 && (bar->keys[index].state & TBSTATE_ENABLED)) {
            bar->pressed = index;
            bar->pressedInside = true;
            SetCapture(window);
            InvalidateRect(window, nullptr, FALSE);
        }
        return 0;
    }
    case WM_MOUSEMOVE:
        if (bar->pressed >= 0) {
            bool inside = KeyAt(*bar, lParam) == bar->pressed;
            if (inside != bar->pressedInside) {
                bar->pressedInside = inside;
                InvalidateRect(window, nullptr, FALSE);
            }
        }
        return 0;
    case WM_LBUTTONUP:
        if (bar->pressed >= 0) {
            int index = bar->pressed;
            bool hit = KeyAt(*bar, lParam) == index;
            bar->pressed = -1;
            ReleaseCapture();
            InvalidateRect(window, nullptr, FALSE);
            if (hit && (bar->keys[index].state & TBSTATE_ENABLED)) Activate(*bar, index);
        }
        return 0;
    case WM_CAPTURECHANGED:
        if (bar->pressed >= 0) {
            bar->pressed = -1;
            InvalidateRect(window, nullptr, FALSE);
        }
        return 0;
    case TB_BUTTONCOUNT:
        return bar->count;
    case TB_GETBUTTON:
        return GetButton(*bar, wParam, (TBBUTTON*)lParam);
    case TB_GETBUTTONINFOW:
        return GetButtonInfo(*bar, wParam, (TBBUTTONINFOW*)lParam);
    case TB_SETBUTTONINFOW:
        return SetButtonInfo(*bar, wParam, (const TBBUTTONINFOW*)lParam);
    case TB_ENABLEBUTTON: {
        int index = FindKey(*bar, wParam, false);
        if (index < 0) return FALSE;
        BYTE& state = bar->keys[index].state;
        state = LOWORD(lParam) ? (state | TBSTATE_ENABLED) : (state & ~TBSTATE_ENABLED);
        InvalidateRect(window, nullptr, FALSE);
        return TRUE;
    }
    case WM_NCDESTROY: {
        if (ShellFrame::State* frame = ShellFrame::Find(bar->parent))
            if (frame->bar == window) frame->bar = nullptr;
        SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        if (bar->menu) DestroyMenu(bar->menu);
        delete bar;
        return 0;
    }
    default:
        return DefWindowProcW(window, message, wParam, lParam);
    }
}

bool RegisterBarClass()
{
    static bool registered = false;
    if (registered) return true;
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = BarProc;
    windowClass.hInstance = ShellDrawing::LayerModule();
    windowClass.hCursor = LoadCursorW(nullptr, (LPCWSTR)IDC_ARROW);
    windowClass.lpszClassName = kClassName;
    if (!RegisterClassW(&windowClass) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) return false;
    registered = true;
    return true;
}

}  // namespace

HWND Create(HWND parent, HMENU menu)
{
    if (!RegisterBarClass()) {
        DestroyMenu(menu);
        return nullptr;
    }
    Bar* bar = new Bar();
    bar->parent = parent;
    bar->menu = menu;
    bar->pressed = -1;
    LoadKeys(*bar);

    RECT client = {};
    GetClientRect(parent, &client);
    int height = ShellLayout::SoftKeyBarHeight(ShellDrawing::ScreenDpi());
    t_recordAdopted = false;
    HWND window = CreateWindowExW(0, kClassName, L"", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, 0,
                                  client.bottom - height, client.right, height, parent, nullptr,
                                  ShellDrawing::LayerModule(), bar);
    if (!window && !t_recordAdopted) {
        if (bar->menu) DestroyMenu(bar->menu);
        delete bar;
    }
    return window;
}

}  // namespace SoftKeyBar
