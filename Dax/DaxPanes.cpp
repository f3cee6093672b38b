#include "Dax/DaxPanes.h"

#include "Dax/DaxDomains.h"
#include "Dax/DaxIdTables.h"
#include "Dax/DaxResources.h"
#include "Dax/DaxShared.h"
#include "Dax/DaxWindowText.h"
#include "Dax/MrimAccount.h"
#include "Handheld/Shell.h"
#include "Zel/core/contactlist/ContactListData.h"
#include "ZELCommon/ZELWMUI_SettingsPan.h"

#include <cwchar>

namespace {

enum : int {
    TextAccount = 45, TextDomain = 46, TextPassword = 47, TextShowPassword = 48, TextAdvanced = 49,
    TextEmailNotify = 50, TextHideEmail = 51, TextGeneral = 52, TextHome = 53, TextPersonal = 54,
    TextEditInBrowser = 55, TextOpen = 56, TextAccountName = 57, TextNickname = 58, TextFirstName = 59,
    TextLastName = 60, TextGender = 61, TextCountry = 62, TextRegion = 63, TextGenderLabel = 64,
    TextBirthday = 65, TextZodiac = 66, TextByEmail = 67, TextGlobal = 68, TextSearchByEmail = 69,
    TextAge = 70, TextOnlineOnly = 71,
};
const wchar_t kPasswordMask[] = L"**************";  // shown for a stored password, never the password

using DaxWindowText::ItemText;

// Digits only, spaces around them allowed; anything else ("2x", "-5", a pasted word, a number too
// large) is not a number and makes no condition. GetDlgItemInt would read "2x" as 2.
int ItemNumber(HWND pane, int id)
{
    wchar_t text[16] = L"";
    if (GetDlgItemTextW(pane, id, text, 16) >= 15) return 0;
    const wchar_t* at = text;
    while (*at == L' ') ++at;
    int value = 0, digits = 0;
    for (; *at >= L'0' && *at <= L'9'; ++at, ++digits) {
        if (value > 99999) return 0;
        value = value * 10 + (*at - L'0');
    }
    while (*at == L' ') ++at;
    return digits > 0 && *at == 0 ? value : 0;
}

bool Checked(HWND pane, int id)
{
    return IsDlgButtonChecked(pane, id) == BST_CHECKED;
}

// Runs on the account while it exists; false when it is gone.
template <typename F>
bool WithAccount(unsigned handle, F f)
{
    return DaxShared::Registry().With(handle, [&](MrimAccount* account) { f(*account); });
}

class DaxPane : public UI::CZELWMUI_SettingsPan {
public:
    DaxPane(int templateId, int title, int icon) : templateId(templateId), title(title), icon(icon) {}
    CZELString GetTitle() override { return DaxShared::Text(title); }
    CZELArray<int> GetIcons() override
    {
        CZELArray<int> icons;
        if (icon >= 0) icons.Add(DaxShared::Image(icon));
        return icons;
    }
    ZELTabDlg::PanResource GetResource() override { return {DaxShared::Module(), templateId}; }
    // The skin's background and text colour, so the panes look like the program around them.
    HBRUSH GetBkBrush() override
    {
        HBRUSH brush = DaxShared::BackgroundBrush();
        return brush ? brush : UI::CZELWMUI_SettingsPan::GetBkBrush();
    }
    COLORREF GetTextColor() override { return DaxShared::TextColor(); }

protected:
    void Label(int id, int text) { UI::SetDlgItemString(hwnd, id, DaxShared::Text(text)); }

private:
    int templateId, title, icon;
};

class AccountPane : public DaxPane {
public:
    explicit AccountPane(unsigned handle) : DaxPane(IDD_DAX_ACCOUNT, TextAccount, 27), handle(handle) {}

protected:
    int DoDataExchange(int save) override { return save ? Store() : Load(); }

    void OnCommand(WORD notifyCode, WORD id, HWND control) override
    {
        if (id == IDC_SHOW_PASSWORD && notifyCode == BN_CLICKED) {
            ShowPassword(Checked(hwnd, IDC_SHOW_PASSWORD));
            SetFocus(GetDlgItem(IDC_ACCOUNT_PASSWORD));
        } else if (id == IDC_ACCOUNT_PASSWORD && notifyCode == EN_CHANGE) {
            if (GetWindowTextLengthW(GetDlgItem(IDC_ACCOUNT_PASSWORD)) == 0)
                EnableWindow(GetDlgItem(IDC_SHOW_PASSWORD), TRUE);
        } else {
            DaxPane::OnCommand(notifyCode, id, control);
        }
    }

private:
    void ShowPassword(bool shown)
    {
        HWND edit = GetDlgItem(IDC_ACCOUNT_PASSWORD);
        SendMessageW(edit, EM_SETPASSWORDCHAR, shown ? 0 : L'*', 0);
        InvalidateRect(edit, nullptr, TRUE);
    }

    int Load()
    {
        Label(IDC_ACCOUNT_LABEL, TextAccount);
        Label(IDC_DOMAIN_LABEL, TextDomain);
        Label(IDC_PASSWORD_LABEL, TextPassword);
        Label(IDC_SHOW_PASSWORD_LABEL, TextShowPassword);
        MrimAccount::WindowView view;
        if (!WithAccount(handle, [&](MrimAccount& account) { view = account.View(); })) return 1;

        HWND combo = GetDlgItem(IDC_ACCOUNT_DOMAIN);
        SendMessageW(combo, CB_RESETCONTENT, 0, 0);
        for (int i = 0; i < DaxDomains::Count; ++i)
            SendMessageW(combo, CB_ADDSTRING, 0, LPARAM(DaxDomains::Domain(i).GetBuffer()));
        CZELString user;
        int domain = -1;
        DaxDomains::Split(view.accountName, user, domain);
        UI::SetDlgItemString(hwnd, IDC_ACCOUNT_USER, user);
        SendMessageW(combo, CB_SETCURSEL, WPARAM(domain), 0);

        const bool shown = DaxShared::ShowPasswordFlag();
        // The mask is set before the check box's state, so its change does not enable the box.
        UI::SetDlgItemString(hwnd, IDC_ACCOUNT_PASSWORD, CZELString(view.passwordStored ? kPasswordMask : L""));
        CheckDlgButton(hwnd, IDC_SHOW_PASSWORD, !view.passwordStored && shown ? BST_CHECKED : BST_UNCHECKED);
        EnableWindow(GetDlgItem(IDC_SHOW_PASSWORD), !view.passwordStored);
        ShowPassword(!view.passwordStored && shown);
        return 1;
    }

    int Store()
    {
        CZELString user = ItemText(hwnd, IDC_ACCOUNT_USER);
        const int domain = int(SendMessageW(GetDlgItem(IDC_ACCOUNT_DOMAIN), CB_GETCURSEL, 0, 0));
        CZELString name;
        switch (DaxDomains::Compose(user, domain, name)) {
        case DaxDomains::Verdict::FixUser: SetFocus(GetDlgItem(IDC_ACCOUNT_USER)); return 0;
        case DaxDomains::Verdict::FixDomain: SetFocus(GetDlgItem(IDC_ACCOUNT_DOMAIN)); return 0;
        case DaxDomains::Verdict::KeepStored: name = CZELString(); break;
        case DaxDomains::Verdict::Name: break;
        }
        DaxShared::ShowPasswordFlag() = Checked(hwnd, IDC_SHOW_PASSWORD);
        const CZELString password = ItemText(hwnd, IDC_ACCOUNT_PASSWORD);
        const bool newPassword = password != kPasswordMask;
        WithAccount(handle, [&](MrimAccount& account) {
            account.PostTask([name, newPassword, password](MrimAccount& self) {
                self.ApplyAccountPane(name, newPassword, password);
            });
        });
        return 1;
    }

    unsigned handle;
};

class AdvancedPane : public DaxPane {
public:
    explicit AdvancedPane(unsigned handle) : DaxPane(IDD_DAX_ADVANCED, TextAdvanced, 28), handle(handle) {}

protected:
    int DoDataExchange(int save) override
    {
        if (!save) {
            Label(IDC_EMAIL_NOTIFY_LABEL, TextEmailNotify);
            Label(IDC_HIDE_EMAIL_LABEL, TextHideEmail);
            MrimAccount::WindowView view;
            if (!WithAccount(handle, [&](MrimAccount& account) { view = account.View(); })) return 1;
            CheckDlgButton(hwnd, IDC_EMAIL_NOTIFY, view.emailNotify ? BST_CHECKED : BST_UNCHECKED);
            CheckDlgButton(hwnd, IDC_HIDE_EMAIL, view.hideEmailBtn ? BST_CHECKED : BST_UNCHECKED);
            return 1;
        }
        const bool notify = Checked(hwnd, IDC_EMAIL_NOTIFY), hide = Checked(hwnd, IDC_HIDE_EMAIL);
        WithAccount(handle, [&](MrimAccount& account) {
            account.PostTask([notify, hide](MrimAccount& self) { self.ApplyAdvancedPane(notify, hide); });
        });
        return 1;
    }

private:
    unsigned handle;
};

class OwnDetailsPane : public DaxPane {
public:
    explicit OwnDetailsPane(unsigned handle) : DaxPane(IDD_DAX_OWN_DETAILS, TextGeneral, -1), handle(handle) {}

protected:
    int DoDataExchange(int save) override
    {
        if (save) return 1;
        Label(IDC_OWN_DETAILS_TEXT, TextEditInBrowser);
        Label(IDC_OWN_DETAILS_OPEN, TextOpen);
        CZELString link;
        EnableWindow(GetDlgItem(IDC_OWN_DETAILS_OPEN), Link(link));
        return 1;
    }

    void OnCommand(WORD notifyCode, WORD id, HWND control) override
    {
        CZELString link;
        if (id == IDC_OWN_DETAILS_OPEN && notifyCode == BN_CLICKED) {
            if (Link(link)) ShellOpenAddress(link.GetBuffer());
            return;
        }
        DaxPane::OnCommand(notifyCode, id, control);
    }

private:
    // The user-information page through the session's key; false while there is no key or no session.
    bool Link(CZELString& link)
    {
        bool ready = false;
        WithAccount(handle, [&](MrimAccount& account) {
            MrimAccount::WindowView view = account.View();
            ready = !view.webSessionKey.IsEmpty() && view.status > 1;
            if (ready) link = account.WebLinkFor(view, view.userInfoAddress);
        });
        return ready;
    }

    unsigned handle;
};

// Contact panes: a property missing leaves its control as the template has it.
class ContactPane : public DaxPane {
public:
    ContactPane(int templateId, int title, IContactListData* data, int contactId)
        : DaxPane(templateId, title, -1), data(data), contactId(contactId) {}

protected:
    void ShowString(int id, const wchar_t* property)
    {
        CZELString value;
        if (data && data->GetPropertyString(contactId, CZELString(property), value)) UI::SetDlgItemString(hwnd, id, value);
    }
    bool Number(const wchar_t* property, int& value)
    {
        return data && data->GetPropertyInt(contactId, CZELString(property), &value);
    }
    void ShowId(int id, const wchar_t* property, const DaxIds::IdTable& table)
    {
        int value = 0;
        if (!Number(property, value)) return;
        const int text = DaxIds::TextNumberOf(table, value);
        if (text >= 0) UI::SetDlgItemString(hwnd, id, DaxShared::Text(text));
    }

    IContactListData* data;
    int contactId;
};

class GeneralPane : public ContactPane {
public:
    GeneralPane(IContactListData* data, int contactId) : ContactPane(IDD_DAX_GENERAL, TextGeneral, data, contactId) {}

protected:
    int DoDataExchange(int save) override
    {
        if (save) return 1;
        Label(IDC_GENERAL_ACCOUNT_LABEL, TextAccountName);
        Label(IDC_GENERAL_NICKNAME_LABEL, TextNickname);
        Label(IDC_GENERAL_FIRST_NAME_LABEL, TextFirstName);
        Label(IDC_GENERAL_LAST_NAME_LABEL, TextLastName);
        ShowString(IDC_GENERAL_ACCOUNT, L"Account name");
        ShowString(IDC_GENERAL_NICKNAME, L"DAX: nick name");
        ShowString(IDC_GENERAL_FIRST_NAME, L"DAX: first name");
        ShowString(IDC_GENERAL_LAST_NAME, L"DAX: last name");
        return 1;
    }
};

class HomePane : public ContactPane {
public:
    HomePane(IContactListData* data, int contactId) : ContactPane(IDD_DAX_HOME, TextHome, data, contactId) {}

protected:
    int DoDataExchange(int save) override
    {
        if (save) return 1;
        Label(IDC_HOME_COUNTRY_LABEL, TextCountry);
        Label(IDC_HOME_REGION_LABEL, TextRegion);
        ShowId(IDC_HOME_COUNTRY, L"DAX: country id", DaxIds::Countries());
        ShowId(IDC_HOME_REGION, L"DAX: region id", DaxIds::Regions());
        return 1;
    }
};

class PersonalPane : public ContactPane {
public:
    PersonalPane(IContactListData* data, int contactId)
        : ContactPane(IDD_DAX_PERSONAL, TextPersonal, data, contactId) {}

protected:
    int DoDataExchange(int save) override
    {
        if (save) return 1;
        Label(IDC_PERSONAL_GENDER_LABEL, TextGenderLabel);
        Label(IDC_PERSONAL_BIRTHDAY_LABEL, TextBirthday);
        Label(IDC_PERSONAL_ZODIAC_LABEL, TextZodiac);
        ShowId(IDC_PERSONAL_GENDER, L"DAX: gender id", DaxIds::Genders());
        ShowId(IDC_PERSONAL_ZODIAC, L"DAX: zodiac id", DaxIds::ZodiacSigns());
        int day = 0, month = 0, year = 0;
        const bool any = Number(L"DAX: birth day", day) | Number(L"DAX: birth month", month) |
                         Number(L"DAX: birth year", year);
        if (any) UI::SetDlgItemString(hwnd, IDC_PERSONAL_BIRTHDAY, DaxIds::BirthdayText(day, month, year));
        return 1;
    }
};

class EmailSearchPane : public DaxPane {
public:
    explicit EmailSearchPane(unsigned handle) : DaxPane(IDD_DAX_SEARCH_EMAIL, TextByEmail, -1), handle(handle) {}

protected:
    int DoDataExchange(int save) override
    {
        if (!save) {
            Label(IDC_SEARCH_EMAIL_LABEL, TextSearchByEmail);
            return 1;
        }
        CZELString email = ItemText(hwnd, IDC_SEARCH_EMAIL);
        WithAccount(handle, [&](MrimAccount& account) {
            account.PostTask([email](MrimAccount& self) { self.SetSearchEmail(email); });
        });
        return 1;
    }

private:
    unsigned handle;
};

class GlobalSearchPane : public DaxPane {
public:
    explicit GlobalSearchPane(unsigned handle) : DaxPane(IDD_DAX_SEARCH_GLOBAL, TextGlobal, -1), handle(handle) {}

protected:
    int DoDataExchange(int save) override
    {
        if (!save) {
            Label(IDC_GLOBAL_NICKNAME_LABEL, TextNickname);
            Label(IDC_GLOBAL_FIRST_NAME_LABEL, TextFirstName);
            Label(IDC_GLOBAL_LAST_NAME_LABEL, TextLastName);
            Label(IDC_GLOBAL_GENDER_LABEL, TextGender);
            Label(IDC_GLOBAL_AGE_LABEL, TextAge);
            Label(IDC_GLOBAL_COUNTRY_LABEL, TextCountry);
            Label(IDC_GLOBAL_ONLINE_LABEL, TextOnlineOnly);
            SetDlgItemInt(hwnd, IDC_GLOBAL_AGE_FROM, 0, FALSE);
            SetDlgItemInt(hwnd, IDC_GLOBAL_AGE_TO, 0, FALSE);
            DaxIds::FillIdCombo(GetDlgItem(IDC_GLOBAL_GENDER), DaxIds::Genders());
            DaxIds::FillIdCombo(GetDlgItem(IDC_GLOBAL_COUNTRY), DaxIds::Countries());
            return 1;
        }
        Mrim::SearchFields fields;
        fields.nickname = ItemText(hwnd, IDC_GLOBAL_NICKNAME);
        fields.firstName = ItemText(hwnd, IDC_GLOBAL_FIRST_NAME);
        fields.lastName = ItemText(hwnd, IDC_GLOBAL_LAST_NAME);
        fields.ageFrom = ItemNumber(hwnd, IDC_GLOBAL_AGE_FROM);
        fields.ageTo = ItemNumber(hwnd, IDC_GLOBAL_AGE_TO);
        fields.onlineOnly = Checked(hwnd, IDC_GLOBAL_ONLINE) ? 1 : 0;
        fields.gender = DaxIds::SelectedId(GetDlgItem(IDC_GLOBAL_GENDER));
        fields.countryId = DaxIds::SelectedId(GetDlgItem(IDC_GLOBAL_COUNTRY));
        WithAccount(handle, [&](MrimAccount& account) {
            account.PostTask([fields](MrimAccount& self) { self.SetSearchFields(fields); });
        });
        return 1;
    }

private:
    unsigned handle;
};

}  // namespace

ZELTabDlg::IPan* NewAccountPane(unsigned handle) { return new AccountPane(handle); }
ZELTabDlg::IPan* NewAdvancedPane(unsigned handle) { return new AdvancedPane(handle); }
ZELTabDlg::IPan* NewOwnDetailsPane(unsigned handle) { return new OwnDetailsPane(handle); }
ZELTabDlg::IPan* NewGeneralPane(IContactListData* data, int contactId) { return new GeneralPane(data, contactId); }
ZELTabDlg::IPan* NewHomePane(IContactListData* data, int contactId) { return new HomePane(data, contactId); }
ZELTabDlg::IPan* NewPersonalPane(IContactListData* data, int contactId) { return new PersonalPane(data, contactId); }
ZELTabDlg::IPan* NewEmailSearchPane(unsigned handle) { return new EmailSearchPane(handle); }
ZELTabDlg::IPan* NewGlobalSearchPane(unsigned handle) { return new GlobalSearchPane(handle); }

void AppendPane(void* pages, ZELTabDlg::IPan* pane)
{
    if (!pane) return;
    if (pages) static_cast<ZELTabDlg::PanList*>(pages)->Add(pane);
    else delete dynamic_cast<UI::CZELWMUI_SettingsPan*>(pane);
}
