// UI::CZELWMUI_Dlg: a dialog from a template resource, modal or modeless, on the window dispatch of
// CZELWMUI_WndBase. A data-exchange step fills the controls when the dialog starts and reads them
// back before it closes with IDOK, and may refuse, which keeps the dialog open; IDCANCEL and
// WM_CLOSE close without it.
//
// The dialog procedure answers FALSE for every message the dispatch leaves to the default
// processing, so the platform's dialog manager keeps its usual behaviour.
#pragma once

#include "ZELCommon/ZELCommonApi.h"
#include "ZELCommon/ZELWMUI_WndBase.h"

#include <windows.h>

namespace UI {

class ZELCOMMON_API CZELWMUI_Dlg : public CZELWMUI_WndBase {
public:
    CZELWMUI_Dlg();

    // Runs the dialog from template templateId of instance until it ends; returns the end code,
    // or -1 when the template is missing or the dialog could not be made.
    int DoModal(int templateId, HINSTANCE instance, HWND parent);
    // Makes the dialog modeless; returns its window, or null.
    HWND Create(int templateId, HINSTANCE instance, HWND parent);

    HWND GetDlgItem(int id) const;
    // IDOK first asks DoDataExchange(1) and returns 0, leaving the dialog open, when it refuses;
    // otherwise ends the dialog with code and returns the platform's answer.
    int EndDialog(int code);

    // OnInitDialog, then DoDataExchange(0).
    void OnCreate() override;
    // Ends with IDCANCEL, without data exchange.
    void OnClose() override;

    // Slot 24.
    virtual void OnInitDialog();

    // The dialog procedure: keeps the object in the dialog's DWLP_USER from WM_INITDIALOG on.
    static INT_PTR CALLBACK sDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

protected:
    // Slot 25. save 0: values into the controls; save 1: read and check them, non-zero to accept.
    // The base accepts.
    virtual int DoDataExchange(int save);
};

// The template resource templateId of instance, or null when it is missing or too short to be one.
ZELCOMMON_API const DLGTEMPLATE* LoadDialogTemplate(HINSTANCE instance, int templateId);

}  // namespace UI
