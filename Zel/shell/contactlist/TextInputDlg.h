// CTextInputDlg: asks for one line of text, a group's name (kind 0) or a contact's (kind 1), in a
// full-screen dialog with the soft keys "OK" and "Cancel". An empty entry cannot be confirmed; the
// text is taken as typed, blanks included.
#pragma once

#include "ZELCommon/ZELString.h"
#include "ZELCommon/ZELWMUI_BigDlg.h"

#include <windows.h>

class CTextInputDlg : public UI::CZELWMUI_BigDlg {
public:
    enum Kind { GroupName = 0, ContactName = 1 };

    CTextInputDlg(const CZELString& text, int kind) : text(text), kind(kind) {}

    void OnCommand(WORD notifyCode, WORD id, HWND control) override;
    void OnInitDialog() override;
    int GetSoftKeyCap(TSoftKey key, CZELString& caption) override;
    void OnSoftKey(TSoftKey key) override;

    // 1 confirmed, 2 cancelled (-1 when the dialog could not be made).
    int DoModal(HWND parent);
    CZELString GetText() const { return text; }

private:
    // Ends with 1 when the edit holds text; otherwise the dialog stays.
    void Confirm();

    CZELString text;
    int kind;
};
