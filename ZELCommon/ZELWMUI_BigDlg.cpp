#include "ZELCommon/ZELWMUI_BigDlg.h"

#include "ZELCommon/DialogWidthFit.h"
#include "ZELCommon/ZELCommonMain.h"
#include "ZELCommon/ZELCommonResources.h"

#include <commctrl.h>

namespace UI {

DWORD FullScreenDialogFlags(int commandButton)
{
    const DWORD always = SHIDIF_SIPDOWN | SHIDIF_SIZEDLGFULLSCREEN;
    switch (commandButton) {
    case CZELWMUI_BigDlg::CommandCancel:
        return always | SHIDIF_CANCELBUTTON;
    case CZELWMUI_BigDlg::CommandDone:
        return always | SHIDIF_DONEBUTTON;
    default:
        return always;
    }
}

CZELWMUI_BigDlg::CZELWMUI_BigDlg() : menuBar(nullptr), activateInfo()
{
    activateInfo.size = sizeof(activateInfo);
}

void CZELWMUI_BigDlg::OnInitDialog()
{
    RECT designed = {};
    GetClientRect(hwnd, &designed);
    SHINITDLGINFO init = {};
    init.mask = SHIDIM_FLAGS;
    init.dialog = hwnd;
    init.flags = FullScreenDialogFlags(GetCommandButton());
    SHInitDialog(&init);
    // Before the bar exists: it spans the screen already.
    RECT screen = {};
    GetClientRect(hwnd, &screen);
    FitChildrenToWidth(hwnd, designed.right, screen.right);

    SHMENUBARINFO bar = {};
    bar.size = sizeof(bar);
    bar.parent = hwnd;
    bar.flags = SHCMBF_HMENU;
    bar.menuId = IDM_ZELCOMMON_SOFTKEYS;
    bar.resourceModule = GetZELCommonModule();
    menuBar = SHCreateMenuBar(&bar) ? bar.bar : nullptr;

    SetSoftKeys();
}

RECT CZELWMUI_BigDlg::ClientAboveBar() const
{
    return UI::ClientAboveBar(hwnd, menuBar);
}

RECT ClientAboveBar(HWND window, HWND bar)
{
    RECT client = {};
    GetClientRect(window, &client);
    if (bar && (GetWindowLongPtrW(bar, GWL_STYLE) & WS_VISIBLE)) {
        RECT barRect = {};
        GetWindowRect(bar, &barRect);
        client.bottom -= barRect.bottom - barRect.top;
        if (client.bottom < client.top) client.bottom = client.top;
    }
    return client;
}

void CZELWMUI_BigDlg::SetSoftKeys()
{
    if (!menuBar) return;
    const TSoftKey keys[] = {SoftKeyLeft, SoftKeyRight};
    for (TSoftKey key : keys) {
        int id = GetSoftKeyId(menuBar, key);
        if (id == -1) continue;
        CZELString caption;
        const wchar_t* text = L"";
        if (GetSoftKeyCap(key, caption) && caption.GetBuffer()) text = caption.GetBuffer();
        SetSoftKeyCap(menuBar, id, text);
    }
}

int CZELWMUI_BigDlg::GetSoftKeyId(HWND bar, TSoftKey key)
{
    TBBUTTON button = {};
    if (!SendMessageW(bar, TB_GETBUTTON, (WPARAM)key, (LPARAM)&button)) return -1;
    return button.idCommand;
}

void CZELWMUI_BigDlg::SetSoftKeyCap(HWND bar, int commandId, const wchar_t* text)
{
    TBBUTTONINFOW info = {};
    info.cbSize = sizeof(info);
    info.dwMask = TBIF_TEXT;
    info.pszText = const_cast<wchar_t*>(text ? text : L"");
    SendMessageW(bar, TB_SETBUTTONINFOW, (WPARAM)commandId, (LPARAM)&info);
}

LRESULT CZELWMUI_BigDlg::OnMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_ACTIVATE:
        SHHandleWMActivate(hwnd, wParam, lParam, &activateInfo, 0);
        OnActivate(LOWORD(wParam), HIWORD(wParam), (HWND)lParam);
        return 1;
    case WM_SETTINGCHANGE:
        SHHandleWMSettingChange(hwnd, wParam, lParam, &activateInfo);
        if (wParam == SPI_SETSIPINFO || wParam == SETTINGCHANGE_RESET) OnScreenSizeChanged();
        return 0;
    default:
        return CZELWMUI_Dlg::OnMessage(message, wParam, lParam);
    }
}

void CZELWMUI_BigDlg::OnCommand(WORD, WORD id, HWND)
{
    switch (id) {
    case IDOK:
        if (GetCommandButton() == CommandDone)
            OnCommandButton();
        else if (DoDataExchange(1))
            ::EndDialog(hwnd, IDOK);
        break;
    case IDCANCEL:
        if (GetCommandButton() == CommandCancel)
            OnCommandButton();
        else
            ::EndDialog(hwnd, IDCANCEL);
        break;
    case ID_ZELCOMMON_SOFTKEY_LEFT:
        OnSoftKey(SoftKeyLeft);
        break;
    case ID_ZELCOMMON_SOFTKEY_RIGHT:
        OnSoftKey(SoftKeyRight);
        break;
    default:
        break;
    }
}

void CZELWMUI_BigDlg::OnScreenSizeChanged() {}
void CZELWMUI_BigDlg::OnActivate(WORD, int, HWND) {}
int CZELWMUI_BigDlg::GetSoftKeyCap(TSoftKey, CZELString&)
{
    return 0;
}
void CZELWMUI_BigDlg::OnSoftKey(TSoftKey) {}
CZELWMUI_BigDlg::TCommandButton CZELWMUI_BigDlg::GetCommandButton()
{
    return CommandDone;
}

void CZELWMUI_BigDlg::OnCommandButton()
{
    // A cancel button must not save the user's edits nor report them as accepted.
    if (GetCommandButton() == CommandCancel)
        EndDialog(IDCANCEL);
    else
        EndDialog(IDOK);
}

}  // namespace UI
