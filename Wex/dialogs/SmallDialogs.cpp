// "Add contact", "Authorization request" and the x-status dialog: modal, on the user interface's
// thread, touching only their own strings. The callers copy what they show and hand the result to
// the account's queue.
#include "Wex/dialogs/WexResources.h"
#include "Wex/proto/account/AccountDialogs.h"
#include "Wex/proto/account/PluginState.h"

#include "Zel/core/skin/SkinnedWindow.h"
#include "ZELCommon/ZELWMUI_BigDlg.h"
#include "ZELCommon/ZELWMUI_DlgItems.h"

#include <vector>

namespace WexDialogs {
namespace {

enum : int {
    TextStatusPicture = 28, TextName = 29, TextDescription = 30, TextAddContact = 45, TextAccountName = 46,
    TextContactName = 47, TextGroup = 48, TextOk = 160, TextCancel = 161,
};
const int kShortField = 255, kLongField = 1023;

using UI::SetDlgItemString;

void SetCaption(HWND dialog, int text)
{
    const CZELString caption = WexPlugin::Shared().Text(text);
    SetWindowTextW(dialog, caption.GetBuffer() ? caption.GetBuffer() : L"");
}

// OK and Cancel on the soft keys, the skin's background behind the controls.
class WexBigDialog : public SkinnedWindow<UI::CZELWMUI_BigDlg> {
public:
    explicit WexBigDialog(Services::CServicesManager* bus, bool skinText) : bus(bus), skinText(skinText) {}

protected:
    int GetSoftKeyCap(TSoftKey key, CZELString& caption) override
    {
        if (key == SoftKeyLeft) caption = WexPlugin::Shared().Text(TextOk);
        else if (key == SoftKeyRight) caption = WexPlugin::Shared().Text(TextCancel);
        return 1;
    }
    void OnSoftKey(TSoftKey key) override
    {
        if (key == SoftKeyLeft) EndDialog(IDOK);
        else if (key == SoftKeyRight) EndDialog(IDCANCEL);
    }
    // Without skinText the labels keep the framework's colour.
    COLORREF GetTextColor() override
    {
        return skinText ? SkinnedWindow::GetTextColor() : UI::CZELWMUI_BigDlg::GetTextColor();
    }
    ISkinImages* Skin() override { return SkinService(bus); }

private:
    Services::CServicesManager* const bus;
    const bool skinText;
};

class AddContactDialog : public WexBigDialog {
public:
    AddContactDialog(Services::CServicesManager* bus, const std::vector<CZELString>& groups, AddContactValues& values)
        : WexBigDialog(bus, false), groups(groups), values(values)
    {
    }

protected:
    void OnInitDialog() override
    {
        WexBigDialog::OnInitDialog();
        HWND combo = GetDlgItem(IDC_WEX_ADD_GROUP);
        for (const CZELString& group : groups) SendMessageW(combo, CB_ADDSTRING, 0, LPARAM(group.GetBuffer() ? group.GetBuffer() : L""));
        SetDlgItemString(hwnd, IDC_WEX_ADD_NUMBER, values.number);
        SetDlgItemString(hwnd, IDC_WEX_ADD_NICK, values.nick);
        if (!values.group.IsEmpty()) SendMessageW(combo, CB_SELECTSTRING, WPARAM(-1), LPARAM(values.group.GetBuffer()));
        if (SendMessageW(combo, CB_GETCURSEL, 0, 0) == CB_ERR) SendMessageW(combo, CB_SETCURSEL, 0, 0);
        SetCaption(hwnd, TextAddContact);
        SetDlgItemString(hwnd, IDC_WEX_ADD_NUMBER_LABEL, WexPlugin::Shared().Text(TextAccountName));
        SetDlgItemString(hwnd, IDC_WEX_ADD_NICK_LABEL, WexPlugin::Shared().Text(TextContactName));
        SetDlgItemString(hwnd, IDC_WEX_ADD_GROUP_LABEL, WexPlugin::Shared().Text(TextGroup));
        SetFocus(GetDlgItem(IDC_WEX_ADD_NUMBER));
    }
    int DoDataExchange(int save) override
    {
        if (!save) return 1;
        const CZELString number = UI::GetDlgItemString(hwnd, IDC_WEX_ADD_NUMBER, kShortField);
        const CZELString nick = UI::GetDlgItemString(hwnd, IDC_WEX_ADD_NICK, kShortField);
        const CZELString group = UI::GetDlgItemString(hwnd, IDC_WEX_ADD_GROUP, kShortField);
        if (number.IsEmpty()) {
            SetFocus(GetDlgItem(IDC_WEX_ADD_NUMBER));
            return 0;
        }
        if (group.IsEmpty()) {
            SetFocus(GetDlgItem(IDC_WEX_ADD_GROUP));
            return 0;
        }
        values.number = number;
        values.nick = nick;
        values.group = group;
        return 1;
    }

private:
    const std::vector<CZELString>& groups;
    AddContactValues& values;
};

class AuthRequestDialog : public WexBigDialog {
public:
    AuthRequestDialog(Services::CServicesManager* bus, CZELString& reason) : WexBigDialog(bus, false), reason(reason) {}

protected:
    void OnInitDialog() override
    {
        WexBigDialog::OnInitDialog();
        SetDlgItemString(hwnd, IDC_WEX_AUTH_REASON, reason);
        SetFocus(GetDlgItem(IDC_WEX_AUTH_REASON));
    }
    int DoDataExchange(int save) override
    {
        if (save) reason = UI::GetDlgItemString(hwnd, IDC_WEX_AUTH_REASON, kShortField);
        return 1;
    }

private:
    CZELString& reason;
};

class XStatusDialog : public WexBigDialog {
public:
    XStatusDialog(Services::CServicesManager* bus, CZELString& title, CZELString& description)
        : WexBigDialog(bus, true), title(title), description(description)
    {
    }

protected:
    void OnInitDialog() override
    {
        WexBigDialog::OnInitDialog();
        SetCaption(hwnd, TextStatusPicture);
        SetDlgItemString(hwnd, IDC_WEX_XSTATUS_TITLE_LABEL, WexPlugin::Shared().Text(TextName));
        SetDlgItemString(hwnd, IDC_WEX_XSTATUS_DESC_LABEL, WexPlugin::Shared().Text(TextDescription));
        SetDlgItemString(hwnd, IDC_WEX_XSTATUS_TITLE, title);
        SetDlgItemString(hwnd, IDC_WEX_XSTATUS_DESC, description);
        SetFocus(GetDlgItem(IDC_WEX_XSTATUS_TITLE));
    }
    int DoDataExchange(int save) override
    {
        if (save) {
            title = UI::GetDlgItemString(hwnd, IDC_WEX_XSTATUS_TITLE, kLongField);
            description = UI::GetDlgItemString(hwnd, IDC_WEX_XSTATUS_DESC, kLongField);
        }
        return 1;
    }

private:
    CZELString& title;
    CZELString& description;
};

}  // namespace

bool RunAddContactDialog(Services::CServicesManager* bus, const std::vector<CZELString>& groups, AddContactValues& values)
{
    AddContactValues edited = values;
    AddContactDialog dialog(bus, groups, edited);
    if (dialog.DoModal(IDD_WEX_ADD_CONTACT, WexPlugin::Module(), nullptr) != IDOK) return false;
    values = edited;
    return true;
}

bool RunAuthRequestDialog(Services::CServicesManager* bus, CZELString& text)
{
    CZELString edited = text;
    AuthRequestDialog dialog(bus, edited);
    if (dialog.DoModal(IDD_WEX_AUTH_REQUEST, WexPlugin::Module(), nullptr) != IDOK) return false;
    text = edited;
    return true;
}

bool RunXStatusDialog(Services::CServicesManager* bus, CZELString& title, CZELString& description)
{
    CZELString editedTitle = title, editedDescription = description;
    XStatusDialog dialog(bus, editedTitle, editedDescription);
    if (dialog.DoModal(IDD_WEX_XSTATUS, WexPlugin::Module(), nullptr) != IDOK) return false;
    title = editedTitle;
    description = editedDescription;
    return true;
}

}  // namespace WexDialogs
