#include "ZELCommon/ZELWMUI_Dlg.h"

namespace UI {

namespace {

// A dialog procedure returns most results through DWLP_MSGRESULT and TRUE; these few messages
// return theirs directly.
bool ReturnsResultDirectly(UINT message)
{
    switch (message) {
    case WM_INITDIALOG:
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
    case WM_COMPAREITEM:
    case WM_VKEYTOITEM:
    case WM_CHARTOITEM:
    case WM_QUERYDRAGICON:
        return true;
    default:
        return false;
    }
}

}  // namespace

const DLGTEMPLATE* LoadDialogTemplate(HINSTANCE instance, int templateId)
{
    HRSRC resource = FindResourceW(instance, MAKEINTRESOURCEW(templateId), (LPCWSTR)RT_DIALOG);
    if (!resource) return nullptr;
    if (SizeofResource(instance, resource) < sizeof(DLGTEMPLATE)) return nullptr;
    HGLOBAL loaded = LoadResource(instance, resource);
    return loaded ? (const DLGTEMPLATE*)LockResource(loaded) : nullptr;
}

CZELWMUI_Dlg::CZELWMUI_Dlg() {}

int CZELWMUI_Dlg::DoModal(int templateId, HINSTANCE instance, HWND parent)
{
    const DLGTEMPLATE* dialogTemplate = LoadDialogTemplate(instance, templateId);
    if (!dialogTemplate) return -1;
    return (int)DialogBoxIndirectParamW(instance, dialogTemplate, parent, sDlgProc,
                                        (LPARAM) static_cast<CZELWMUI_Dlg*>(this));
}

HWND CZELWMUI_Dlg::Create(int templateId, HINSTANCE instance, HWND parent)
{
    const DLGTEMPLATE* dialogTemplate = LoadDialogTemplate(instance, templateId);
    if (!dialogTemplate) return nullptr;
    return CreateDialogIndirectParamW(instance, dialogTemplate, parent, sDlgProc,
                                      (LPARAM) static_cast<CZELWMUI_Dlg*>(this));
}

HWND CZELWMUI_Dlg::GetDlgItem(int id) const
{
    return ::GetDlgItem(hwnd, id);
}

int CZELWMUI_Dlg::EndDialog(int code)
{
    if (code == IDOK && !DoDataExchange(1)) return 0;
    return ::EndDialog(hwnd, code);
}

void CZELWMUI_Dlg::OnCreate()
{
    OnInitDialog();
    DoDataExchange(0);
}

void CZELWMUI_Dlg::OnClose()
{
    ::EndDialog(hwnd, IDCANCEL);
}

void CZELWMUI_Dlg::OnInitDialog() {}

int CZELWMUI_Dlg::DoDataExchange(int)
{
    return 1;
}

INT_PTR CALLBACK CZELWMUI_Dlg::sDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG) SetWindowLongPtrW(dialog, DWLP_USER, lParam);
    CZELWMUI_Dlg* self = (CZELWMUI_Dlg*)GetWindowLongPtrW(dialog, DWLP_USER);
    if (!self) return FALSE;
    // The object may be gone once the last message has been handled: nothing reaches it afterwards.
    if (message == WM_NCDESTROY) SetWindowLongPtrW(dialog, DWLP_USER, 0);
    LRESULT result = 0;
    if (!self->Dispatch(dialog, message, wParam, lParam, &result)) return FALSE;
    if (ReturnsResultDirectly(message)) return (INT_PTR)result;
    SetWindowLongPtrW(dialog, DWLP_MSGRESULT, result);
    return TRUE;
}

}  // namespace UI
