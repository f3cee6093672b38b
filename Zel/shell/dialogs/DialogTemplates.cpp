#include "Zel/shell/dialogs/DialogTemplates.h"

#include "Zel/shell/app/Application.h"
#include "ZELCommon/ZELWMUI_Dlg.h"

namespace {

// The module that holds the program's resources.
HINSTANCE ResourceModule()
{
    HINSTANCE instance = TheApplication ? TheApplication->GetInstance() : nullptr;
    return instance ? instance : GetModuleHandleW(nullptr);
}

}  // namespace

int DoModalDialog(UI::CZELWMUI_Dlg* dialog, HWND owner)
{
    return dialog ? dialog->DoModal(IDD_COMMON_DIALOG, ResourceModule(), owner) : -1;
}

HWND CreateModelessDialog(UI::CZELWMUI_Dlg* dialog, HWND owner)
{
    return dialog ? dialog->Create(IDD_COMMON_DIALOG, ResourceModule(), owner) : nullptr;
}
