#include "Wex/dialogs/SettingsPages.h"

#include "Wex/dialogs/WexAccountPan.h"
#include "Wex/dialogs/LoginFields.h"
#include "Wex/dialogs/WexResources.h"
#include "Wex/proto/account/PictureNames.h"
#include "Wex/proto/account/PluginState.h"
#include "Wex/proto/account/WexAccount.h"

#include "Zel/core/CoreGuids.h"
#include "Zel/core/bus/ServicesManager.h"
#include "Zel/core/skin/ISkinImages.h"
#include "ZELCommon/ZELWMUI_SettingsPan.h"
#include "ZELCommon/ZELWMUI_DlgItems.h"

#include <initializer_list>

namespace WexPages {
namespace {

enum : int {
    TextAccount = 50, TextPassword, TextShowPassword, TextSavePassword, TextConnection, TextHost, TextPort,
    TextMoveServers, TextKeepAlive, TextLoadList, TextAutoPrivacy, TextAdditional, TextStandardIcon,
};
const wchar_t kPasswordMask[] = L"**************";  // a stored password shows as this, never itself
const int kPasswordLength = 14;
const int kFieldLength = 255;
enum : int { ImageLogin = WexPictures::Protocol, ImageConnection, ImageAdditional };

bool ShowPasswordFlag = false;  // the plug-in's, kept between openings, never stored


bool Checked(HWND page, int id)
{
    return IsDlgButtonChecked(page, id) == BST_CHECKED;
}

void Check(HWND page, int id, bool on)
{
    CheckDlgButton(page, id, on ? BST_CHECKED : BST_UNCHECKED);
}

bool AllZero(const Wex::Md5Digest& digest)
{
    for (unsigned char byte : digest)
        if (byte) return false;
    return true;
}

class WexSettingsPage : public WexAccountPan {
public:
    WexSettingsPage(WexAccount& account, int templateId, int title, int image)
        : WexAccountPan(account), settings(account.CurrentSettings()),
          templateId(templateId), title(title), image(image)
    {
    }
    CZELString GetTitle() override { return WexPlugin::Shared().Text(title); }
    CZELArray<int> GetIcons() override { return CZELArray<int>(1, WexPlugin::Shared().Image(image)); }
    ZELTabDlg::PanResource GetResource() override { return {WexPlugin::Module(), templateId}; }

protected:
    void Label(int id, int text) { UI::SetDlgItemString(hwnd, id, WexPlugin::Shared().Text(text)); }
    void EnableItems(std::initializer_list<int> ids, bool enabled)
    {
        for (int id : ids) EnableWindow(GetDlgItem(id), enabled);
    }
    // Runs work on the account's queue while the account exists; the registry's lock is held only
    // to post.
    template <typename Work>
    void OnAccountQueue(Work work)
    {
        WexPlugin::Accounts().WithAccountId(accountId, [&](WexAccount* account) {
            account->RunOnQueue([account, work] { work(*account); });
        });
    }

    WexAccountSettings settings;  // the account's values when the pages were made

private:
    int templateId, title, image;
};

class WexLoginPage : public WexSettingsPage {
public:
    explicit WexLoginPage(WexAccount& account) : WexSettingsPage(account, IDD_WEX_LOGIN, TextAccount, ImageLogin) {}

protected:
    int DoDataExchange(int save) override { return save ? Store() : Fill(); }

    void OnCommand(WORD notifyCode, WORD id, HWND control) override
    {
        if (id == IDC_WEX_SHOW_PASSWORD && notifyCode == BN_CLICKED) {
            HWND edit = GetDlgItem(IDC_WEX_PASSWORD);
            SendMessageW(edit, EM_SETPASSWORDCHAR, Checked(hwnd, IDC_WEX_SHOW_PASSWORD) ? 0 : L'*', 0);
            // Through the field and back, so it redraws with its new mask.
            SetFocus(edit);
            SetFocus(GetDlgItem(IDC_WEX_SHOW_PASSWORD));
            InvalidateRect(edit, nullptr, TRUE);
        } else if (id == IDC_WEX_PASSWORD && notifyCode == EN_CHANGE) {
            if (UI::GetDlgItemString(hwnd, IDC_WEX_PASSWORD, kPasswordLength).IsEmpty())
                EnableWindow(GetDlgItem(IDC_WEX_SHOW_PASSWORD), TRUE);
        } else {
            WexSettingsPage::OnCommand(notifyCode, id, control);
        }
    }

private:
    int Fill()
    {
        Label(IDC_WEX_PASSWORD_LABEL, TextPassword);
        Label(IDC_WEX_SHOW_PASSWORD_LABEL, TextShowPassword);
        Label(IDC_WEX_SAVE_PASSWORD_LABEL, TextSavePassword);
        UI::SetDlgItemString(hwnd, IDC_WEX_LOGIN, settings.Uin);
        const bool stored = !AllZero(settings.PasswordDigest);
        Check(hwnd, IDC_WEX_SAVE_PASSWORD, stored);
        UI::SetDlgItemString(hwnd, IDC_WEX_PASSWORD, CZELString(stored ? kPasswordMask : L""));
        EnableWindow(GetDlgItem(IDC_WEX_SHOW_PASSWORD), !stored);
        Check(hwnd, IDC_WEX_SHOW_PASSWORD, !stored && ShowPasswordFlag);
        if (!stored && ShowPasswordFlag) SendDlgItemMessageW(hwnd, IDC_WEX_PASSWORD, EM_SETPASSWORDCHAR, 0, 0);
        return 1;
    }

    int Store()
    {
        CZELString uin;
        if (!WexLogin::NormalizeLoginId(UI::GetDlgItemString(hwnd, IDC_WEX_LOGIN, kFieldLength), uin)) return 0;
        UI::SetDlgItemString(hwnd, IDC_WEX_LOGIN, uin);
        ShowPasswordFlag = Checked(hwnd, IDC_WEX_SHOW_PASSWORD);
        Wex::Md5Digest digest{};
        if (Checked(hwnd, IDC_WEX_SAVE_PASSWORD)) {
            const CZELString password = UI::GetDlgItemString(hwnd, IDC_WEX_PASSWORD, kPasswordLength);
            // The mask compares exactly: a password of asterisks differs from it in length at least.
            digest = password.GetLength() == kPasswordLength && password == kPasswordMask
                         ? settings.PasswordDigest
                         : WexLogin::PasswordDigest(password);
        }
        settings.Uin = uin;
        settings.PasswordDigest = digest;
        OnAccountQueue([uin, digest](WexAccount& account) { account.StoreLogin(uin, digest); });
        return 1;
    }
};

class WexConnectionPage : public WexSettingsPage {
public:
    explicit WexConnectionPage(WexAccount& account)
        : WexSettingsPage(account, IDD_WEX_CONNECTION, TextConnection, ImageConnection)
    {
    }

protected:
    int DoDataExchange(int save) override { return save ? Store() : Fill(); }

    void OnCommand(WORD notifyCode, WORD id, HWND control) override
    {
        if (id == IDC_WEX_MOVE_SERVERS && notifyCode == BN_CLICKED)
            EnableItems({IDC_WEX_HOST, IDC_WEX_PORT}, !Checked(hwnd, IDC_WEX_MOVE_SERVERS));
        else
            WexSettingsPage::OnCommand(notifyCode, id, control);
    }

private:
    AccountValues Values() const { return AccountValues(bus, accountId); }

    int Fill()
    {
        const int labels[][2] = {{IDC_WEX_HOST_LABEL, TextHost},          {IDC_WEX_PORT_LABEL, TextPort},
                                 {IDC_WEX_MOVE_SERVERS_LABEL, TextMoveServers}, {IDC_WEX_KEEP_ALIVE_LABEL, TextKeepAlive},
                                 {IDC_WEX_LOAD_LIST_LABEL, TextLoadList}, {IDC_WEX_AUTO_PRIVACY_LABEL, TextAutoPrivacy}};
        for (const auto& label : labels) Label(label[0], label[1]);
        HWND hosts = GetDlgItem(IDC_WEX_HOST);
        SendMessageW(hosts, CB_RESETCONTENT, 0, 0);
        for (const CZELString& host : PresetLoginHosts()) SendMessageW(hosts, CB_ADDSTRING, 0, LPARAM(host.GetBuffer()));
        AccountValues values = Values();
        UI::SetDlgItemString(hwnd, IDC_WEX_HOST, values.GetServerName());
        SetDlgItemInt(hwnd, IDC_WEX_PORT, UINT(values.GetServerPort()), FALSE);
        // The stored choice is never read back: the page opens with host and port editable.
        Check(hwnd, IDC_WEX_MOVE_SERVERS, false);
        Check(hwnd, IDC_WEX_KEEP_ALIVE, values.GetKeepAlive());
        Check(hwnd, IDC_WEX_LOAD_LIST, values.GetLoadContactList());
        Check(hwnd, IDC_WEX_AUTO_PRIVACY, values.GetAutoSwitchPrivacy());
        EnableItems({IDC_WEX_HOST, IDC_WEX_PORT}, true);
        return 1;
    }

    int Store()
    {
        const CZELString host = UI::GetDlgItemString(hwnd, IDC_WEX_HOST, kFieldLength);
        if (host.IsEmpty()) return 0;
        int port = 0;
        // A port past 16 bits refuses like 0, rather than being stored cut.
        if (!WexLogin::ParsePort(UI::GetDlgItemString(hwnd, IDC_WEX_PORT, kFieldLength), port)) return 0;
        AccountValues values = Values();
        values.SetServerName(host);
        values.SetServerPort(port);
        values.SetMoveServers(Checked(hwnd, IDC_WEX_MOVE_SERVERS));
        values.SetKeepAlive(Checked(hwnd, IDC_WEX_KEEP_ALIVE));
        values.SetLoadContactList(Checked(hwnd, IDC_WEX_LOAD_LIST));
        values.SetAutoSwitchPrivacy(Checked(hwnd, IDC_WEX_AUTO_PRIVACY));
        return 1;
    }
};

class WexOptionsPage : public WexSettingsPage {
public:
    explicit WexOptionsPage(WexAccount& account)
        : WexSettingsPage(account, IDD_WEX_OPTIONS, TextAdditional, ImageAdditional)
    {
    }

protected:
    int DoDataExchange(int save) override
    {
        struct Row {
            int box, label;
            bool WexAccountSettings::*field;
        };
        static const Row rows[] = {
            {IDC_WEX_STANDARD_ICON, IDC_WEX_STANDARD_ICON_LABEL, &WexAccountSettings::ShowStandardIcon},
            {IDC_WEX_XSTATUS_BAR, IDC_WEX_XSTATUS_BAR_LABEL, &WexAccountSettings::ShowXStatusInStatusbar},
            {IDC_WEX_PRIVACY_BAR, IDC_WEX_PRIVACY_BAR_LABEL, &WexAccountSettings::ShowPrivStatusInStatusbar},
            {IDC_WEX_CLIENT_ICONS, IDC_WEX_CLIENT_ICONS_LABEL, &WexAccountSettings::ShowClientsIcons},
            {IDC_WEX_TYPING, IDC_WEX_TYPING_LABEL, &WexAccountSettings::SendTypingNotification},
            {IDC_WEX_XSTATUS_REQUEST, IDC_WEX_XSTATUS_REQUEST_LABEL, &WexAccountSettings::XStatusAutoRequest},
        };
        int text = TextStandardIcon;
        for (const Row& row : rows) {
            if (save) {
                settings.*row.field = Checked(hwnd, row.box);
            } else {
                Label(row.label, text++);
                Check(hwnd, row.box, settings.*row.field);
            }
        }
        if (save) {
            const WexAccountSettings options = settings;
            OnAccountQueue([options](WexAccount& account) { account.StoreOptions(options); });
        }
        return 1;
    }
};

void Append(void* pages, UI::CZELWMUI_SettingsPan* page)
{
    if (pages) static_cast<ZELTabDlg::PanList*>(pages)->Add(page);
    else delete page;
}

}  // namespace

void AppendSettingsPages(WexAccount& account, void* pages)
{
    Append(pages, new WexLoginPage(account));
    Append(pages, new WexConnectionPage(account));
    Append(pages, new WexOptionsPage(account));
}

}  // namespace WexPages
