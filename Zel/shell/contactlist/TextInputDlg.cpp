#include "Zel/shell/contactlist/TextInputDlg.h"

#include "Zel/shell/ZelResources.h"
#include "Zel/shell/app/GuiResources.h"
#include "Zel/shell/helpers/ControlHelpers.h"

int CTextInputDlg::DoModal(HWND parent)
{
    return CZELWMUI_Dlg::DoModal(IDD_TEXT_INPUT, GetModuleHandleW(nullptr), parent);
}

void CTextInputDlg::OnInitDialog()
{
    CZELWMUI_BigDlg::OnInitDialog();
    SetWindowTextW(GetDlgItem(IDC_TEXT_INPUT_LABEL), GuiText(kind == ContactName ? 50 : 49).GetBuffer());
    HWND edit = GetDlgItem(IDC_TEXT_INPUT_EDIT);
    SetWindowTextW(edit, text.GetBuffer() ? text.GetBuffer() : L"");
    SetFocus(edit);
}

int CTextInputDlg::GetSoftKeyCap(TSoftKey key, CZELString& caption)
{
    if (key == SoftKeyLeft) caption = GuiText(243);
    else if (key == SoftKeyRight) caption = GuiText(244);
    else return 0;
    return 1;
}

void CTextInputDlg::OnSoftKey(TSoftKey key)
{
    if (key == SoftKeyLeft) Confirm();
    else if (key == SoftKeyRight) ::EndDialog(hwnd, 2);
}

void CTextInputDlg::OnCommand(WORD notifyCode, WORD id, HWND control)
{
    if (id == IDOK) {
        Confirm();
        return;
    }
    if (id == IDCANCEL) {
        ::EndDialog(hwnd, 2);
        return;
    }
    CZELWMUI_BigDlg::OnCommand(notifyCode, id, control);
}

void CTextInputDlg::Confirm()
{
    CZELString entry;
    GetWindowString(GetDlgItem(IDC_TEXT_INPUT_EDIT), entry);
    if (entry.IsEmpty()) return;
    text = entry;
    ::EndDialog(hwnd, 1);
}
