#include "Wex/dialogs/SearchPages.h"

#include "Wex/dialogs/WexAccountPan.h"
#include "Wex/dialogs/LookupLists.h"
#include "Wex/dialogs/WexResources.h"
#include "Wex/proto/account/PluginState.h"
#include "Wex/proto/account/WexAccount.h"

#include "Zel/core/CoreGuids.h"
#include "Zel/core/bus/ServicesManager.h"
#include "Zel/core/skin/ISkinImages.h"
#include "ZELCommon/ZELWMUI_DlgItems.h"
#include "ZELCommon/ZELWMUI_SettingsPan.h"

#include <memory>

namespace WexSearch {

const AgeRange kAgeRanges[AgeRangeCount] = {
    {L"", 0, 0},         {L"13-17", 13, 17}, {L"18-22", 18, 22}, {L"23-29", 23, 29},
    {L"30-39", 30, 39},  {L"40-49", 40, 49}, {L"50-59", 50, 59}, {L"60 ...", 60, 231},
};

const AgeRange& AgeRangeOfRow(intptr_t row)
{
    return row >= 0 && row < AgeRangeCount ? kAgeRanges[row] : kAgeRanges[0];
}

unsigned ParseSearchUin(const CZELString& text)
{
    const wchar_t* digits = text.GetBuffer();
    if (!digits || text.GetLength() == 0) return 0;
    unsigned long long value = 0;
    for (int i = 0; i < text.GetLength(); ++i) {
        if (digits[i] < L'0' || digits[i] > L'9') return 0;
        value = value * 10 + unsigned(digits[i] - L'0');
        if (value > 0xFFFFFFFFull) return 0;
    }
    return unsigned(value);
}

}  // namespace WexSearch

namespace WexPages {
namespace {

enum : int {
    TextInterests = 75, TextFirstName = 79, TextLastName = 80, TextCountry = 82, TextCity = 83, TextOccupation = 89,
    TextGender = 97, TextAge = 98, TextMarital = 99, TextByUin = 105, TextByEmail, TextGlobal1, TextGlobal2,
    TextSearchByUin, TextSearchByEmail, TextGlobalSearch, TextNickname, TextLanguage, TextKeywords, TextOnlineOnly,
};
const int kFieldLength = 255;

// One opening of the search dialog: the lookup lists stay loaded until its last page goes, in
// whatever order the host deletes them, and whatever other page sets open or close meanwhile.
class PageSet {
public:
    PageSet() { LookupLists::Open(PluginFolder()); }
    ~PageSet() { LookupLists::Close(); }
    PageSet(const PageSet&) = delete;
    PageSet& operator=(const PageSet&) = delete;

private:
    // The folder of Wex.dll, where the lists lie, with its final '\'.
    static CZELString PluginFolder()
    {
        wchar_t path[MAX_PATH] = L"";
        const DWORD length = GetModuleFileNameW(WexPlugin::Module(), path, MAX_PATH);
        if (length == 0 || length >= MAX_PATH) return CZELString();
        DWORD end = length;
        while (end > 0 && path[end - 1] != L'\\' && path[end - 1] != L'/') --end;
        path[end] = 0;
        return CZELString(path);
    }
};

// The item data of a drop-down list's chosen row. A list left without a choice reads as its empty
// first row: 0, any.
unsigned SelectedCode(HWND page, int id)
{
    const LRESULT row = SendDlgItemMessageW(page, id, CB_GETCURSEL, 0, 0);
    if (row < 0) return 0;
    const LRESULT data = SendDlgItemMessageW(page, id, CB_GETITEMDATA, WPARAM(row), 0);
    return data == CB_ERR ? 0 : unsigned(data);
}

class WexSearchPage : public WexAccountPan {
public:
    WexSearchPage(WexAccount& account, std::shared_ptr<PageSet> set, int templateId, int title)
        : WexAccountPan(account), set(std::move(set)), templateId(templateId),
          title(title)
    {
    }
    CZELString GetTitle() override { return WexPlugin::Shared().Text(title); }
    CZELArray<int> GetIcons() override { return CZELArray<int>(); }
    ZELTabDlg::PanResource GetResource() override { return {WexPlugin::Module(), templateId}; }

protected:
    int DoDataExchange(int save) override
    {
        if (save)
            Store();
        else
            Fill();
        return 1;
    }
    virtual void Fill() = 0;
    virtual void Store() = 0;

    void Label(int id, int text) { UI::SetDlgItemString(hwnd, id, WexPlugin::Shared().Text(text)); }
    CZELString Field(int id) const { return UI::GetDlgItemString(hwnd, id, kFieldLength); }
    // Changes the account's search request on its queue, where the search that follows reads it.
    template <typename Change>
    void Update(Change change)
    {
        WexPlugin::Accounts().WithAccountId(accountId, [&](WexAccount* account) {
            account->RunOnQueue([account, change] { change(account->GetSearchRequest()); });
        });
    }

private:
    const std::shared_ptr<PageSet> set;
    const int templateId, title;
};

typedef WexAccount::SearchRequest Request;

class UinPage : public WexSearchPage {
public:
    UinPage(WexAccount& account, std::shared_ptr<PageSet> set)
        : WexSearchPage(account, std::move(set), IDD_WEX_SEARCH_UIN, TextByUin)
    {
    }

protected:
    void Fill() override { Label(IDC_WEX_SEARCH_UIN_LABEL, TextSearchByUin); }
    void Store() override
    {
        const unsigned uin = WexSearch::ParseSearchUin(Field(IDC_WEX_SEARCH_UIN));
        Update([uin](Request& request) { request.uin = uin; });
    }
};

class EmailPage : public WexSearchPage {
public:
    EmailPage(WexAccount& account, std::shared_ptr<PageSet> set)
        : WexSearchPage(account, std::move(set), IDD_WEX_SEARCH_EMAIL, TextByEmail)
    {
    }

protected:
    void Fill() override { Label(IDC_WEX_SEARCH_EMAIL_LABEL, TextSearchByEmail); }
    // The address is this page's search alone: the global pages, which show no address, never
    // search by one the user typed on another tab.
    void Store() override
    {
        const CZELString email = Field(IDC_WEX_SEARCH_EMAIL);
        Update([email](Request& request) { request.email = email; });
    }
};

class Global1Page : public WexSearchPage {
public:
    Global1Page(WexAccount& account, std::shared_ptr<PageSet> set)
        : WexSearchPage(account, std::move(set), IDD_WEX_SEARCH_GLOBAL1, TextGlobal1)
    {
    }

protected:
    void Fill() override
    {
        const int labels[][2] = {{IDC_WEX_SEARCH_GLOBAL_LABEL, TextGlobalSearch}, {IDC_WEX_SEARCH_NICK_LABEL, TextNickname},
                                 {IDC_WEX_SEARCH_FIRST_LABEL, TextFirstName},    {IDC_WEX_SEARCH_LAST_LABEL, TextLastName},
                                 {IDC_WEX_SEARCH_GENDER_LABEL, TextGender},      {IDC_WEX_SEARCH_AGE_LABEL, TextAge},
                                 {IDC_WEX_SEARCH_MARITAL_LABEL, TextMarital}};
        for (const auto& label : labels) Label(label[0], label[1]);
        FillLookupCombo(hwnd, IDC_WEX_SEARCH_GENDER, LookupLists::Get(LookupLists::Gender));
        FillLookupCombo(hwnd, IDC_WEX_SEARCH_MARITAL, LookupLists::Get(LookupLists::MaritalStatus));
        HWND ages = GetDlgItem(IDC_WEX_SEARCH_AGE);
        if (SendMessageW(ages, CB_GETCOUNT, 0, 0) == 0)
            for (const WexSearch::AgeRange& range : WexSearch::kAgeRanges)
                SendMessageW(ages, CB_ADDSTRING, 0, LPARAM(range.text));
    }
    void Store() override
    {
        const CZELString nick = Field(IDC_WEX_SEARCH_NICK), first = Field(IDC_WEX_SEARCH_FIRST),
                         last = Field(IDC_WEX_SEARCH_LAST);
        const unsigned char gender = (unsigned char)SelectedCode(hwnd, IDC_WEX_SEARCH_GENDER);
        const unsigned char marital = (unsigned char)SelectedCode(hwnd, IDC_WEX_SEARCH_MARITAL);
        const WexSearch::AgeRange& age =
            WexSearch::AgeRangeOfRow(SendDlgItemMessageW(hwnd, IDC_WEX_SEARCH_AGE, CB_GETCURSEL, 0, 0));
        const unsigned char ageMin = age.min, ageMax = age.max;
        Update([=](Request& request) {
            request.form.nickname = nick;
            request.form.firstName = first;
            request.form.lastName = last;
            request.form.gender = gender;
            request.form.ageFrom = ageMin;
            request.form.ageTo = ageMax;
            request.form.marital = marital;
        });
    }
};

class Global2Page : public WexSearchPage {
public:
    Global2Page(WexAccount& account, std::shared_ptr<PageSet> set)
        : WexSearchPage(account, std::move(set), IDD_WEX_SEARCH_GLOBAL2, TextGlobal2)
    {
    }

protected:
    void Fill() override
    {
        const int labels[][2] = {{IDC_WEX_SEARCH_COUNTRY_LABEL, TextCountry},   {IDC_WEX_SEARCH_CITY_LABEL, TextCity},
                                 {IDC_WEX_SEARCH_LANGUAGE_LABEL, TextLanguage}, {IDC_WEX_SEARCH_OCCUPATION_LABEL, TextOccupation},
                                 {IDC_WEX_SEARCH_INTEREST_LABEL, TextInterests}, {IDC_WEX_SEARCH_KEYWORDS_LABEL, TextKeywords},
                                 {IDC_WEX_SEARCH_ONLINE_LABEL, TextOnlineOnly}};
        for (const auto& label : labels) Label(label[0], label[1]);
        FillLookupCombo(hwnd, IDC_WEX_SEARCH_COUNTRY, LookupLists::Get(LookupLists::Countries));
        FillLookupCombo(hwnd, IDC_WEX_SEARCH_LANGUAGE, LookupLists::Get(LookupLists::Languages));
        FillLookupCombo(hwnd, IDC_WEX_SEARCH_OCCUPATION, LookupLists::Get(LookupLists::Occupations));
        FillLookupCombo(hwnd, IDC_WEX_SEARCH_INTEREST, LookupLists::Get(LookupLists::Interests));
    }
    void Store() override
    {
        const unsigned short country = (unsigned short)SelectedCode(hwnd, IDC_WEX_SEARCH_COUNTRY);
        const unsigned char language = (unsigned char)SelectedCode(hwnd, IDC_WEX_SEARCH_LANGUAGE);
        const unsigned short occupation = (unsigned short)SelectedCode(hwnd, IDC_WEX_SEARCH_OCCUPATION);
        const unsigned short interest = (unsigned short)SelectedCode(hwnd, IDC_WEX_SEARCH_INTEREST);
        const CZELString city = Field(IDC_WEX_SEARCH_CITY), keywords = Field(IDC_WEX_SEARCH_KEYWORDS);
        const unsigned char online = IsDlgButtonChecked(hwnd, IDC_WEX_SEARCH_ONLINE) == BST_CHECKED ? 1 : 0;
        Update([=](Request& request) {
            request.form.country = country;
            request.form.city = city;
            request.form.language = language;
            request.form.occupation = occupation;
            // The page's one interest is the form's first category, searched with the keywords.
            request.form.categories[0] = interest;
            request.form.keywords = keywords;
            request.form.onlineOnly = online;
        });
    }
};

void Append(void* pages, UI::CZELWMUI_SettingsPan* page)
{
    if (pages)
        static_cast<ZELTabDlg::PanList*>(pages)->Add(page);
    else
        delete page;
}

}  // namespace

void AppendSearchPages(WexAccount& account, void* pages)
{
    const std::shared_ptr<PageSet> set = std::make_shared<PageSet>();
    Append(pages, new UinPage(account, set));
    Append(pages, new EmailPage(account, set));
    Append(pages, new Global1Page(account, set));
    Append(pages, new Global2Page(account, set));
}

}  // namespace WexPages
