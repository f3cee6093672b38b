#include "Zel/chat/MessageBarWnd.h"

#include "Zel/chat/settings/MessageWindowSettings.h"
#include "Zel/shell/app/GuiResources.h"

#include <new>
#include <vector>

namespace {
const int kImageSmilies = 43, kImageSend = 28;

HBRUSH SkinBrush()
{
    HBRUSH brush = GuiBackgroundBrush();
    return brush ? brush : static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
}

}

int CMessageBarWnd::ButtonWidth() { return (g_HIDPI_LogPixelsX * 40 + 48) / 96; }

CMessageBarWnd::CMessageBarWnd(MessageWindowSettings* settings, IMessageBarObserver* observer)
    : settings(settings), observer(observer), picker(nullptr), smilies(nullptr), send(nullptr)
{
}

CMessageBarWnd::~CMessageBarWnd()
{
    delete picker;
    delete smilies;
    delete send;
}

void CMessageBarWnd::OnCreate()
{
    UI::CZELWMUI_Wnd::OnCreate();
    RECT rect = {0, 0, 1, 1};
    picker = CreateGridPicker(hwnd, rect, this);
    smilies = CreateImageButton(hwnd, rect, kImageSmilies);
    send = CreateImageButton(hwnd, rect, kImageSend);
    Layout();
}

void CMessageBarWnd::Layout()
{
    if (!hwnd || !picker) return;
    RECT client;
    GetClientRect(hwnd, &client);
    int w = ButtonWidth();
    bool showSmilies = settings && settings->barSmileyButton, showSend = settings && settings->barSendButton;
    int a = showSmilies ? w - 1 : 0, b = showSend ? w - 1 : 0;
    int h = client.bottom - client.top + 1;
    int pickerRight = client.right - a - b;
    UINT flags = SWP_NOZORDER | SWP_NOACTIVATE;
    SetWindowPos(*picker, nullptr, client.left, client.top, pickerRight - client.left, h, flags | SWP_SHOWWINDOW);
    int x = pickerRight - 1;
    if (smilies)
        SetWindowPos(*smilies, nullptr, x, client.top, w, h, flags | (showSmilies ? SWP_SHOWWINDOW : SWP_HIDEWINDOW));
    if (showSmilies) x += w - 1;
    if (send) SetWindowPos(*send, nullptr, x, client.top, w, h, flags | (showSend ? SWP_SHOWWINDOW : SWP_HIDEWINDOW));
}

LRESULT CMessageBarWnd::OnMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message != WM_NEXTDLGCTL) return UI::CZELWMUI_Wnd::OnMessage(message, wParam, lParam);
    std::vector<HWND> children;
    for (HWND child : {Picker(), SmiliesButton(), SendButton()})
        if (child && IsWindowVisible(child)) children.push_back(child);
    HWND focus = GetFocus();
    int at = -1;
    for (size_t i = 0; i < children.size(); ++i)
        if (children[i] == focus) at = int(i);
    if (at >= 0 && lParam) return 0;  // the focused child keeps the focus
    int next = at < 0 ? -1 : wParam == 0 ? at + 1 : at - 1;
    if (at >= 0 && next >= 0 && next < int(children.size())) {
        SetFocus(children[size_t(next)]);
        return 0;
    }
    // Past either end: the dialog's neighbouring control.
    HWND parent = Parent();
    HWND neighbour = GetNextDlgTabItem(parent, hwnd, wParam != 0 || lParam != 0);
    if (neighbour && neighbour != hwnd) SetFocus(neighbour);
    return 0;
}

void CMessageBarWnd::OnSetFocus(HWND previous)
{
    HWND before = GetNextDlgTabItem(Parent(), hwnd, TRUE);
    if (previous && previous == before) {
        if (Picker()) SetFocus(Picker());
        return;
    }
    // Entered backwards: the last shown child.
    for (HWND child : {SendButton(), SmiliesButton(), Picker()})
        if (child && IsWindowVisible(child)) {
            SetFocus(child);
            return;
        }
}

void CMessageBarWnd::OnChar(wchar_t character, LPARAM keyData)
{
    if (character == L'\t' || character == L'\r') return;
    SendMessageW(Parent(), WM_CHAR, character, keyData);
}

void CMessageBarWnd::OnCommand(WORD notifyCode, WORD, HWND control)
{
    if (notifyCode != 0 || !observer || !control) return;
    if (control == SmiliesButton()) observer->OnSmiliesButton(this);
    else if (control == SendButton()) observer->OnSendButton(this);
}

void CMessageBarWnd::OnPickerItem(int item)
{
    if (observer) observer->OnPickerItem(this, item);
}

HBRUSH CMessageBarWnd::GetBkBrush() { return SkinBrush(); }

CMessageBarWnd* CreateMessageBar(HWND parent, const RECT& rect, MessageWindowSettings* settings,
                                 IMessageBarObserver* observer)
{
    CMessageBarWnd* bar = new (std::nothrow) CMessageBarWnd(settings, observer);
    if (!bar) return nullptr;
    if (!bar->Create(GetModuleHandleW(nullptr), parent, WS_VISIBLE | WS_TABSTOP, rect)) {
        delete bar;
        return nullptr;
    }
    return bar;
}
