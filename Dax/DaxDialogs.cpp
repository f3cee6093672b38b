#include "Dax/DaxDialogs.h"

#include "Dax/DaxResources.h"
#include "Dax/DaxShared.h"
#include "Dax/DaxWindowText.h"
#include "Dax/proto/BuiltinTexts.h"
#include "ZELCommon/ZELWMUI_BigDlg.h"

namespace {

enum : int { TextAddContactTitle = 34, TextAccountName = 35, TextContactName = 36, TextSelectGroup = 37,
             TextOk = 233, TextCancel = 234 };
using DaxWindowText::ItemText;

CZELString Lower(CZELString text)
{
    text.ToLower();
    return text;
}

// Both dialogs: OK and Cancel on the soft keys, the skin's background.
class DaxBigDialog : public UI::CZELWMUI_BigDlg {
protected:
    int GetSoftKeyCap(TSoftKey key, CZELString& caption) override
    {
        caption = DaxShared::Text(key == SoftKeyLeft ? TextOk : TextCancel);
        return 1;
    }
    void OnSoftKey(TSoftKey key) override
    {
        if (key == SoftKeyLeft) EndDialog(IDOK);
        else EndDialog(IDCANCEL);
    }
    // The window paints its background and answers its controls' colour queries through these, so
    // the dialog, its labels and its check boxes follow the colour scheme.
    HBRUSH GetBkBrush() override
    {
        HBRUSH brush = DaxShared::BackgroundBrush();
        return brush ? brush : CZELWMUI_BigDlg::GetBkBrush();
    }
    COLORREF GetTextColor() override { return DaxShared::TextColor(); }
};

class AddContactDialog : public DaxBigDialog {
public:
    AddContactDialog(const std::vector<CZELString>& groups, AddContactRequest& request)
        : groups(groups), request(request) {}

protected:
    void OnInitDialog() override
    {
        DaxBigDialog::OnInitDialog();
        CZELString title = DaxShared::Text(TextAddContactTitle);
        SetWindowTextW(hwnd, title.GetBuffer() ? title.GetBuffer() : L"");
        UI::SetDlgItemString(hwnd, IDC_ADD_EMAIL_LABEL, DaxShared::Text(TextAccountName));
        UI::SetDlgItemString(hwnd, IDC_ADD_NAME_LABEL, DaxShared::Text(TextContactName));
        UI::SetDlgItemString(hwnd, IDC_ADD_GROUP_LABEL, DaxShared::Text(TextSelectGroup));
        HWND combo = GetDlgItem(IDC_ADD_GROUP);
        int selected = -1;
        for (size_t i = 0; i < groups.size(); ++i) {
            SendMessageW(combo, CB_ADDSTRING, 0, LPARAM(groups[i].GetBuffer() ? groups[i].GetBuffer() : L""));
            if (selected < 0 && !request.groupName.IsEmpty() && Lower(groups[i]) == Lower(request.groupName))
                selected = int(i);
        }
        SendMessageW(combo, CB_SETCURSEL, WPARAM(selected < 0 ? 0 : selected), 0);
        UI::SetDlgItemString(hwnd, IDC_ADD_EMAIL, request.email);
        UI::SetDlgItemString(hwnd, IDC_ADD_NAME, request.nickname);
        SetFocus(GetDlgItem(IDC_ADD_EMAIL));
    }
    int DoDataExchange(int save) override
    {
        if (!save) return 1;
        CZELString email = ItemText(hwnd, IDC_ADD_EMAIL), name = ItemText(hwnd, IDC_ADD_NAME);
        CZELString group = ItemText(hwnd, IDC_ADD_GROUP);
        if (email.IsEmpty()) {
            SetFocus(GetDlgItem(IDC_ADD_EMAIL));
            return 0;
        }
        if (group.IsEmpty()) {
            SetFocus(GetDlgItem(IDC_ADD_GROUP));
            return 0;
        }
        request.email = email;
        request.nickname = name;
        request.groupName = group;
        return 1;
    }

private:
    const std::vector<CZELString>& groups;
    AddContactRequest& request;
};

class AskTextDialog : public DaxBigDialog {
public:
    explicit AskTextDialog(CZELString& text) : text(text) {}

protected:
    void OnInitDialog() override
    {
        DaxBigDialog::OnInitDialog();
        UI::SetDlgItemString(hwnd, IDC_ASK_TEXT, text);
        SetFocus(GetDlgItem(IDC_ASK_TEXT));
    }
    int DoDataExchange(int save) override
    {
        if (save) text = ItemText(hwnd, IDC_ASK_TEXT);
        return 1;
    }

private:
    CZELString& text;
};

HWND Owner()
{
    HWND active = GetActiveWindow();
    return active ? active : GetForegroundWindow();
}

}  // namespace

bool RunAddContactDialog(const std::vector<CZELString>& groups, AddContactRequest& request)
{
    AddContactRequest edited = request;
    AddContactDialog dialog(groups, edited);
    if (dialog.DoModal(IDD_DAX_ADD_CONTACT, DaxShared::Module(), Owner()) != IDOK) return false;
    request = edited;
    return true;
}

bool RunAskTextDialog(CZELString& text)
{
    CZELString edited = text;
    AskTextDialog dialog(edited);
    if (dialog.DoModal(IDD_DAX_ASK_TEXT, DaxShared::Module(), Owner()) != IDOK) return false;
    text = edited;
    return true;
}
