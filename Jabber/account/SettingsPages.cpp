#include "Jabber/account/SettingsPages.h"

#include "Jabber/JabberResources.h"
#include "Jabber/account/AccountKinds.h"
#include "Jabber/account/AccountSettings.h"
#include "Jabber/account/JabberAccount.h"
#include "Jabber/account/PluginAccounts.h"
#include "Jabber/account/PluginModule.h"
#include "Jabber/account/PluginShared.h"
#include "Zel/core/accounts/AccountCodes.h"
#include "Zel/core/accounts/ManagerPayloads.h"
#include "Zel/core/skin/SkinnedWindow.h"
#include "ZELCommon/ZELWMUI_SettingsPan.h"
#include "ZELCommon/ZELWMUI_DlgItems.h"

#include <cwctype>
#include <new>

namespace {

enum : int {
    TextAccount = 15, TextPassword, TextShowPassword, TextSavePassword, TextResource, TextServer, TextPort,
    TextUseSsl, TextExpert, TextManual, TextManualServer, TextManualPort, TextCompression, TextAdvanced,
    TextEmailNotify, TextHideEmail,
};
enum : int { ConnectImage = 16, AdvancedImage = 17 };
const wchar_t kPasswordMask[] = L"**************";  // shown for a stored password, never the password
const int kFieldLength = 256;                        // with the terminator
const int kSslPort = 5223, kPlainPort = 5222;

bool ShowPasswordFlag = false;  // the plug-in's, kept between openings

CZELString ItemText(HWND page, int id)
{
    return UI::GetDlgItemString(page, id, kFieldLength - 1);
}

bool Checked(HWND page, int id)
{
    return IsDlgButtonChecked(page, id) == BST_CHECKED;
}

void Check(HWND page, int id, bool on)
{
    CheckDlgButton(page, id, on ? BST_CHECKED : BST_UNCHECKED);
}

// A port typed into a field: false when it is no number or no port at all.
bool ReadPort(HWND page, int id, int& port)
{
    BOOL converted = FALSE;
    const UINT value = GetDlgItemInt(page, id, &converted, FALSE);
    if (!converted || value < 1 || value > 65535) return false;
    port = int(value);
    return true;
}

bool SameNoCase(const CZELString& a, const CZELString& b)
{
    if (a.GetLength() != b.GetLength()) return false;
    for (int i = 0; i < a.GetLength(); ++i)
        if (std::towlower(a.GetBuffer()[i]) != std::towlower(b.GetBuffer()[i])) return false;
    return true;
}

class JabberPage : public SkinnedWindow<UI::CZELWMUI_SettingsPan> {
public:
    JabberPage(JabberAccount& account, int templateId, int title, int image)
        : handle(unsigned(account.OwnQueue())), settings(account.Settings()), offline(account.GetStatus() == 0),
          bus(account.Bus()), templateId(templateId), title(title), image(image)
    {
    }
    CZELString GetTitle() override { return PluginShared::Instance().Text(title); }
    CZELArray<int> GetIcons() override
    {
        CZELArray<int> icons;
        icons.Add(PluginShared::Instance().Image(image));
        return icons;
    }
    ZELTabDlg::PanResource GetResource() override { return {PluginModule(), templateId}; }

protected:
    ISkinImages* Skin() override { return SkinService(bus); }
    void Label(int id, int text) { UI::SetDlgItemString(hwnd, id, PluginShared::Instance().Text(text)); }
    void EnableItems(std::initializer_list<int> ids, bool enabled)
    {
        for (int id : ids) EnableWindow(GetDlgItem(id), enabled);
    }
    // Runs work on the account's queue, while the account exists.
    template <typename Work>
    void OnAccountQueue(Work work)
    {
        PluginAccounts().With(handle, [&](JabberAccount* account) { account->RunOnQueue([account, work] { work(*account); }); });
    }

    const unsigned handle;
    const AccountSettings settings;
    const bool offline;  // while connecting or connected, the connection's values stay as they are

private:
    Services::CServicesManager* const bus;
    int templateId, title, image;
};

class ExpertPage;

class AccountPage : public JabberPage {
public:
    AccountPage(JabberAccount& account, ExpertPage* expert)
        : JabberPage(account, IDD_JABBER_ACCOUNT, TextAccount, account.FirstStatusImage() + 2), expert(expert)
    {
    }

protected:
    int DoDataExchange(int save) override { return save ? Save() : Load(); }
    void OnCommand(WORD notifyCode, WORD id, HWND control) override;

private:
    int Load()
    {
        const int labels[][2] = {{IDC_JB_ACCOUNT_LABEL, TextAccount},        {IDC_JB_PASSWORD_LABEL, TextPassword},
                                 {IDC_JB_SHOW_PASSWORD_LABEL, TextShowPassword}, {IDC_JB_SAVE_PASSWORD_LABEL, TextSavePassword},
                                 {IDC_JB_RESOURCE_LABEL, TextResource},      {IDC_JB_SERVER_LABEL, TextServer},
                                 {IDC_JB_PORT_LABEL, TextPort},              {IDC_JB_SSL_LABEL, TextUseSsl}};
        for (const auto& label : labels) Label(label[0], label[1]);
        UI::SetDlgItemString(hwnd, IDC_JB_ACCOUNT, settings.GetAccountName());
        const bool stored = !settings.GetPassword().IsEmpty();
        Check(hwnd, IDC_JB_SAVE_PASSWORD, stored);
        UI::SetDlgItemString(hwnd, IDC_JB_PASSWORD, CZELString(stored ? kPasswordMask : L""));
        EnableWindow(GetDlgItem(IDC_JB_SHOW_PASSWORD), !stored);
        Check(hwnd, IDC_JB_SHOW_PASSWORD, !stored && ShowPasswordFlag);
        UI::SetDlgItemString(hwnd, IDC_JB_RESOURCE, settings.GetResource());
        UI::SetDlgItemString(hwnd, IDC_JB_SERVER, settings.GetServer());
        SetDlgItemInt(hwnd, IDC_JB_PORT, UINT(settings.GetPort()), FALSE);
        Check(hwnd, IDC_JB_SSL, settings.GetUseSsl());
        if (!offline)
            EnableItems({IDC_JB_ACCOUNT, IDC_JB_PASSWORD, IDC_JB_SHOW_PASSWORD, IDC_JB_SAVE_PASSWORD, IDC_JB_SHOW_PASSWORD_LABEL,
                         IDC_JB_SAVE_PASSWORD_LABEL, IDC_JB_RESOURCE, IDC_JB_SERVER, IDC_JB_PORT, IDC_JB_SSL},
                        false);
        return 1;
    }

    int Save()
    {
        const CZELString oldName = settings.GetAccountName();
        const CZELString name = ItemText(hwnd, IDC_JB_ACCOUNT);
        settings.SetAccountName(name);
        ShowPasswordFlag = Checked(hwnd, IDC_JB_SHOW_PASSWORD);
        if (!Checked(hwnd, IDC_JB_SAVE_PASSWORD)) {
            settings.SetPassword(CZELString());
        } else {
            const CZELString password = ItemText(hwnd, IDC_JB_PASSWORD);
            if (password != kPasswordMask) settings.SetPassword(password);
        }
        settings.SetResource(ItemText(hwnd, IDC_JB_RESOURCE));
        const CZELString oldServer = settings.GetServer();
        const CZELString server = ItemText(hwnd, IDC_JB_SERVER);
        settings.SetServer(server);
        int port = 0;
        if (ReadPort(hwnd, IDC_JB_PORT, port)) settings.SetPort(port);
        settings.SetUseSsl(Checked(hwnd, IDC_JB_SSL));
        // The caption is the bare JID: it is read again when name or server changed, letter case aside.
        if (!SameNoCase(oldName, name) || !SameNoCase(oldServer, server))
            OnAccountQueue([](JabberAccount& account) { account.AnnounceNameChanged(); });
        return 1;
    }

    ExpertPage* expert;
};

class ExpertPage : public JabberPage {
public:
    explicit ExpertPage(JabberAccount& account) : JabberPage(account, IDD_JABBER_EXPERT, TextExpert, ConnectImage) {}

    void SetPort(int port)
    {
        if (hwnd) SetDlgItemInt(hwnd, IDC_JB_PORT, UINT(port), FALSE);
    }

protected:
    int DoDataExchange(int save) override
    {
        if (!save) {
            Label(IDC_JB_MANUAL_LABEL, TextManual);
            Label(IDC_JB_SERVER_LABEL, TextManualServer);
            Label(IDC_JB_PORT_LABEL, TextManualPort);
            Label(IDC_JB_COMPRESSION_LABEL, TextCompression);
            const bool manual = settings.GetManualConnection();
            Check(hwnd, IDC_JB_MANUAL, manual);
            UI::SetDlgItemString(hwnd, IDC_JB_SERVER, settings.GetManualServer());
            SetDlgItemInt(hwnd, IDC_JB_PORT, UINT(settings.GetManualPort()), FALSE);
            EnableItems({IDC_JB_SERVER, IDC_JB_PORT}, manual);
            Check(hwnd, IDC_JB_COMPRESSION, settings.GetCompression());
            if (!offline) EnableItems({IDC_JB_MANUAL, IDC_JB_SERVER, IDC_JB_PORT, IDC_JB_COMPRESSION}, false);
            return 1;
        }
        const bool manual = Checked(hwnd, IDC_JB_MANUAL);
        settings.SetManualConnection(manual);
        if (manual) {
            settings.SetManualServer(ItemText(hwnd, IDC_JB_SERVER));
            int port = 0;
            if (ReadPort(hwnd, IDC_JB_PORT, port)) settings.SetManualPort(port);
        } else {
            // The account page saved first: its server and port are the ones to connect to.
            settings.SetManualServer(settings.GetServer());
            settings.SetManualPort(settings.GetPort());
        }
        settings.SetCompression(Checked(hwnd, IDC_JB_COMPRESSION));
        return 1;
    }

    void OnCommand(WORD notifyCode, WORD id, HWND control) override
    {
        if (id == IDC_JB_MANUAL && notifyCode == BN_CLICKED) {
            EnableItems({IDC_JB_SERVER, IDC_JB_PORT}, Checked(hwnd, IDC_JB_MANUAL));
            return;
        }
        JabberPage::OnCommand(notifyCode, id, control);
    }
};

void AccountPage::OnCommand(WORD notifyCode, WORD id, HWND control)
{
    if (id == IDC_JB_SHOW_PASSWORD && notifyCode == BN_CLICKED) {
        HWND edit = GetDlgItem(IDC_JB_PASSWORD);
        SendMessageW(edit, EM_SETPASSWORDCHAR, Checked(hwnd, IDC_JB_SHOW_PASSWORD) ? 0 : L'*', 0);
        // Through the field and back, so it redraws with its new mask.
        SetFocus(edit);
        SetFocus(GetDlgItem(IDC_JB_SHOW_PASSWORD));
        InvalidateRect(edit, nullptr, TRUE);
    } else if (id == IDC_JB_PASSWORD && notifyCode == EN_CHANGE) {
        if (GetWindowTextLengthW(GetDlgItem(IDC_JB_PASSWORD)) == 0) EnableWindow(GetDlgItem(IDC_JB_SHOW_PASSWORD), TRUE);
    } else if (id == IDC_JB_SSL && notifyCode == BN_CLICKED) {
        const int port = Checked(hwnd, IDC_JB_SSL) ? kSslPort : kPlainPort;
        SetDlgItemInt(hwnd, IDC_JB_PORT, UINT(port), FALSE);
        if (expert) expert->SetPort(port);
    } else {
        JabberPage::OnCommand(notifyCode, id, control);
    }
}

class AdvancedPage : public JabberPage {
public:
    explicit AdvancedPage(JabberAccount& account) : JabberPage(account, IDD_JABBER_ADVANCED, TextAdvanced, AdvancedImage) {}

protected:
    int DoDataExchange(int save) override
    {
        if (!save) {
            Label(IDC_JB_EMAIL_NOTIFY_LABEL, TextEmailNotify);
            Label(IDC_JB_HIDE_EMAIL_LABEL, TextHideEmail);
            Check(hwnd, IDC_JB_EMAIL_NOTIFY, settings.GetEmailNotify());
            Check(hwnd, IDC_JB_HIDE_EMAIL, settings.GetHideEmailButton());
            return 1;
        }
        settings.SetEmailNotify(Checked(hwnd, IDC_JB_EMAIL_NOTIFY));
        const bool hide = Checked(hwnd, IDC_JB_HIDE_EMAIL);
        OnAccountQueue([hide](JabberAccount& account) { account.SetHideEmailButton(hide); });
        return 1;
    }
};

void Append(void* pages, UI::CZELWMUI_SettingsPan* page)
{
    if (pages) static_cast<ZELTabDlg::PanList*>(pages)->Add(page);
    else delete page;
}

}  // namespace

void AppendSettingsPages(JabberAccount& account, void* pages)
{
    // The expert page is made first: the account page keeps its port in step with it.
    ExpertPage* expert = new ExpertPage(account);
    Append(pages, new AccountPage(account, pages ? expert : nullptr));
    Append(pages, expert);
    if (account.Kind() == KindOwnServer) Append(pages, new AdvancedPage(account));
}

int JabberAccount::GetSettingsPages(void* pages)
{
    AppendSettingsPages(*this, pages);
    return 0;
}

void JabberAccount::AnnounceNameChanged()
{
    Notify(ProtocolGuid(), ACC_NAME_CHANGED);
}

void JabberAccount::SetHideEmailButton(bool hide)
{
    if (settings.GetHideEmailButton() == hide) return;
    settings.SetHideEmailButton(hide);
    if (hide) {
        Notify(ProtocolGuid(), ACC_ICON_REMOVE, NewValue(1));
    } else {
        CZELArray<int> mail;
        mail.Add(PluginShared::Instance().Image(MailButtonImage));
        Notify(ProtocolGuid(), ACC_ICON_ADD, new (std::nothrow) CArrayPayload(mail));
    }
}
