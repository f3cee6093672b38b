// The panes of the two details dialogs: the own ones edit the account's own vCard values, a
// contact's show that contact's and keep a note of the user's own. The dialogs are the program's;
// the panes are made on the account's queue (the program asks for them there) and live on the
// user interface's thread. What they send goes to the account's queue.
#include "Jabber/JabberResources.h"
#include "Jabber/account/JabberAccount.h"
#include "Jabber/account/PluginAccounts.h"
#include "Jabber/account/PluginModule.h"
#include "Jabber/account/PluginShared.h"
#include "Jabber/account/VCardStores.h"
#include "Zel/core/CoreGuids.h"
#include "Zel/core/bus/ServicesManager.h"
#include "Zel/core/skin/SkinnedWindow.h"
#include "ZELCommon/ZELTime.h"
#include "ZELCommon/ZELWMUI_DlgItems.h"
#include "ZELCommon/ZELWMUI_SettingsPan.h"

#include <commctrl.h>

#include <cwctype>
#include <string>
#include <vector>

namespace {

using namespace VCardKeys;

enum : int {
    TextGeneral = 45, TextHome, TextWork, TextCompany, TextPhones, TextPersonal, TextAbout,
    TextAccountName = 52, TextDisplayName, TextFirstName, TextMiddleName, TextLastName, TextCountry, TextCity,
    TextState, TextZip, TextStreet, TextEmail, TextCompanyName, TextDepartment, TextPosition, TextHomePhone,
    TextHomeFax, TextCellular, TextWorkPhone, TextWorkFax, TextGender, TextFemale, TextMale, TextAge, TextHomePage,
    TextBirthday, TextAboutLabel, TextNote,
};

const int kFieldLength = 255;  // characters kept of a field
const int kNoteLength = 1023;
const wchar_t kNotes[] = L"Jabber: notes";
const wchar_t kFemale[] = L"Female";  // stored words, never translated
const wchar_t kMale[] = L"Male";
// The gender list's entries carry these, whatever order their translated texts sort in.
enum : int { GenderNone = 0, GenderFemale = 1, GenderMale = 2 };

struct Label {
    int id, text;
};
struct Field {
    int id;
    const wchar_t* key;
};

bool SameNoCase(const CZELString& a, const wchar_t* b)
{
    const wchar_t* p = a.GetBuffer() ? a.GetBuffer() : L"";
    for (; *p && *b; ++p, ++b)
        if (std::towlower(*p) != std::towlower(*b)) return false;
    return *p == *b;
}

// A stored birthday with all three parts present and in range.
bool ValidBirthday(int year, int month, int day)
{
    return year >= 1 && year <= 2099 && month >= 1 && month <= 12 && day >= 1 && day <= 31;
}

bool ReadBirthday(VCardValues& values, int& year, int& month, int& day)
{
    return values.GetNumber(BirthYear, 16, year) && values.GetNumber(BirthMonth, 8, month) &&
           values.GetNumber(BirthDay, 8, day);
}

const std::vector<Label> kGeneralLabels = {{IDC_JB_VC_JID_LABEL, TextAccountName},
                                                      {IDC_JB_VC_DISPLAY_NAME_LABEL, TextDisplayName},
                                                      {IDC_JB_VC_FIRST_NAME_LABEL, TextFirstName},
                                                      {IDC_JB_VC_MIDDLE_NAME_LABEL, TextMiddleName},
                                                      {IDC_JB_VC_LAST_NAME_LABEL, TextLastName}};

class DetailsPane : public SkinnedWindow<UI::CZELWMUI_SettingsPan> {
public:
    DetailsPane(Services::CServicesManager* bus, int templateId, int title, std::vector<Label> labels,
                std::vector<Field> fields)
        : bus(bus), templateId(templateId), title(title), labels(std::move(labels)), fields(std::move(fields))
    {
    }
    CZELString GetTitle() override { return PluginShared::Instance().Text(title); }
    CZELArray<int> GetIcons() override { return CZELArray<int>(); }
    ZELTabDlg::PanResource GetResource() override { return {PluginModule(), templateId}; }

protected:
    ISkinImages* Skin() override { return SkinService(bus); }
    void SetLabels()
    {
        for (const Label& label : labels) UI::SetDlgItemString(hwnd, label.id, PluginShared::Instance().Text(label.text));
    }
    // Each field whose key is stored shows its value; the others keep what they show.
    void LoadFields(VCardValues& values)
    {
        for (const Field& field : fields) {
            CZELString value;
            if (values.GetString(field.key, value)) UI::SetDlgItemString(hwnd, field.id, value);
        }
    }
    void SaveFields(VCardValues& values)
    {
        for (const Field& field : fields) values.SetString(field.key, UI::GetDlgItemString(hwnd, field.id, kFieldLength));
    }

    Services::CServicesManager* const bus;

private:
    int templateId, title;
    std::vector<Label> labels;
    std::vector<Field> fields;
};

// The own details: the account's values, edited and stored pane by pane on "Update".
class OwnPane : public DetailsPane {
public:
    OwnPane(Services::CServicesManager* bus, unsigned accountId, int templateId, int title,
            std::vector<Label> labels, std::vector<Field> fields)
        : DetailsPane(bus, templateId, title, std::move(labels), std::move(fields)), accountId(accountId)
    {
    }

protected:
    int DoDataExchange(int save) override
    {
        IProtocolsManager* manager =
            bus ? static_cast<IProtocolsManager*>(bus->GetService(GUID_PROTOCOLS_MANAGER)) : nullptr;
        if (!save) SetLabels();
        if (!manager) return 1;
        AccountValues values(*manager, accountId);
        if (save) Save(*manager, values);
        else Load(*manager, values);
        return 1;
    }
    virtual void Load(IProtocolsManager&, VCardValues& values) { LoadFields(values); }
    virtual void Save(IProtocolsManager&, VCardValues& values) { SaveFields(values); }

    const unsigned accountId;
};

// The first own pane: it shows the login name, and refuses a save while the vCard asked for at
// opening has not been stored, so the server's vCard is never overwritten by fields not yet filled.
class OwnGeneralPane : public OwnPane {
public:
    OwnGeneralPane(Services::CServicesManager* bus, unsigned accountId, int kind, VCardAnswer answered)
        : OwnPane(bus, accountId, IDD_JABBER_OWN_GENERAL, TextGeneral, kGeneralLabels,
                  {{IDC_JB_VC_DISPLAY_NAME, DisplayName},
                   {IDC_JB_VC_FIRST_NAME, FirstName},
                   {IDC_JB_VC_MIDDLE_NAME, MiddleName},
                   {IDC_JB_VC_LAST_NAME, LastName}}),
          settings(bus, accountId, kind), answered(std::move(answered))
    {
    }

protected:
    int DoDataExchange(int save) override
    {
        if (save && answered && !*answered) return 0;
        return OwnPane::DoDataExchange(save);
    }
    void Load(IProtocolsManager& manager, VCardValues& values) override
    {
        UI::SetDlgItemString(hwnd, IDC_JB_VC_JID, settings.GetAccountName());
        OwnPane::Load(manager, values);
    }

private:
    const AccountSettings settings;
    const VCardAnswer answered;
};

class OwnPersonalPane : public OwnPane {
public:
    OwnPersonalPane(Services::CServicesManager* bus, unsigned accountId)
        : OwnPane(bus, accountId, IDD_JABBER_OWN_PERSONAL, TextPersonal,
                  {{IDC_JB_VC_GENDER_LABEL, TextGender},
                   {IDC_JB_VC_HOME_PAGE_LABEL, TextHomePage},
                   {IDC_JB_VC_BIRTHDAY_LABEL, TextBirthday}},
                  {{IDC_JB_VC_HOME_PAGE, HomePage}})
    {
    }

protected:
    void Load(IProtocolsManager& manager, VCardValues& values) override
    {
        HWND list = GetDlgItem(IDC_JB_VC_GENDER);
        if (SendMessageW(list, CB_GETCOUNT, 0, 0) <= 0) {
            AddGender(list, CZELString(), GenderNone);
            AddGender(list, PluginShared::Instance().Text(TextFemale), GenderFemale);
            AddGender(list, PluginShared::Instance().Text(TextMale), GenderMale);
        }
        CZELString gender;
        // A stored empty gender is the empty entry too: it is what saving that entry stores.
        if (!values.GetString(Gender, gender) || gender.IsEmpty()) SelectGender(list, GenderNone);
        else if (SameNoCase(gender, kFemale)) SelectGender(list, GenderFemale);
        else if (SameNoCase(gender, kMale)) SelectGender(list, GenderMale);
        OwnPane::Load(manager, values);

        int year = 0, month = 0, day = 0;
        SYSTEMTIME date = {};
        // A birthday missing a part shows as no date, as an invalid one does.
        const bool valid = ReadBirthday(values, year, month, day) && ValidBirthday(year, month, day);
        if (valid) {
            date.wYear = WORD(year);
            date.wMonth = WORD(month);
            date.wDay = WORD(day);
        }
        SendMessageW(GetDlgItem(IDC_JB_VC_BIRTHDAY), DTM_SETSYSTEMTIME, valid ? GDT_VALID : GDT_NONE,
                     LPARAM(&date));
    }

    void Save(IProtocolsManager& manager, VCardValues& values) override
    {
        HWND list = GetDlgItem(IDC_JB_VC_GENDER);
        const LRESULT selected = SendMessageW(list, CB_GETCURSEL, 0, 0);
        const LRESULT entry = selected == CB_ERR ? LRESULT(GenderNone) : SendMessageW(list, CB_GETITEMDATA, WPARAM(selected), 0);
        values.SetString(Gender, CZELString(entry == GenderFemale ? kFemale : entry == GenderMale ? kMale : L""));
        OwnPane::Save(manager, values);

        SYSTEMTIME date = {};
        const bool dated = SendMessageW(GetDlgItem(IDC_JB_VC_BIRTHDAY), DTM_GETSYSTEMTIME, 0, LPARAM(&date)) == GDT_VALID;
        values.SetNumber(BirthYear, 16, dated ? date.wYear : 0);
        values.SetNumber(BirthMonth, 8, dated ? date.wMonth : 0);
        values.SetNumber(BirthDay, 8, dated ? date.wDay : 0);
    }

private:
    static void AddGender(HWND list, const CZELString& text, int entry)
    {
        const LRESULT index = SendMessageW(list, CB_ADDSTRING, 0, LPARAM(text.GetBuffer() ? text.GetBuffer() : L""));
        if (index >= 0) SendMessageW(list, CB_SETITEMDATA, WPARAM(index), LPARAM(entry));
    }
    static void SelectGender(HWND list, int entry)
    {
        const LRESULT count = SendMessageW(list, CB_GETCOUNT, 0, 0);
        for (LRESULT i = 0; i < count; ++i)
            if (SendMessageW(list, CB_GETITEMDATA, WPARAM(i), 0) == entry) SendMessageW(list, CB_SETCURSEL, WPARAM(i), 0);
    }
};

// The last own pane: its save completes the values, which then go to the server, once per
// "Update" and never otherwise.
class OwnAboutPane : public OwnPane {
public:
    OwnAboutPane(Services::CServicesManager* bus, unsigned accountId, unsigned handle)
        : OwnPane(bus, accountId, IDD_JABBER_OWN_ABOUT, TextAbout,
                  {{IDC_JB_VC_ABOUT_LABEL, TextAboutLabel}, {IDC_JB_VC_NOTE_LABEL, TextNote}},
                  {{IDC_JB_VC_ABOUT, About}, {IDC_JB_VC_NOTE, kNotes}}),
          handle(handle)
    {
    }

protected:
    void Save(IProtocolsManager& manager, VCardValues& values) override
    {
        if (bus && bus->GetService(GUID_CONTACT_LIST_DATA))
            values.SetString(kNotes, UI::GetDlgItemString(hwnd, IDC_JB_VC_NOTE, kNoteLength));
        values.SetString(About, UI::GetDlgItemString(hwnd, IDC_JB_VC_ABOUT, kFieldLength));
        PluginAccounts().With(handle, [](JabberAccount* account) { account->QueueOwnVCardPublication(); });
    }

private:
    const unsigned handle;
};

// A contact's details: its properties, shown read-only, and the note, which is stored on "Update".
class ContactPane : public DetailsPane {
public:
    ContactPane(Services::CServicesManager* bus, int contactId, int templateId, int title,
                std::vector<Label> labels, std::vector<Field> fields)
        : DetailsPane(bus, templateId, title, std::move(labels), std::move(fields)), contactId(contactId)
    {
    }

protected:
    int DoDataExchange(int save) override
    {
        if (!save) SetLabels();
        IContactListData* list = bus ? static_cast<IContactListData*>(bus->GetService(GUID_CONTACT_LIST_DATA)) : nullptr;
        if (!list) return 1;
        if (save) Save(*list);
        else Load(*list);
        return 1;
    }
    virtual void Load(IContactListData& list)
    {
        ContactValues values(list, contactId);
        LoadFields(values);
    }
    virtual void Save(IContactListData&) {}

    const int contactId;
};

class ContactPersonalPane : public ContactPane {
public:
    ContactPersonalPane(Services::CServicesManager* bus, int contactId)
        : ContactPane(bus, contactId, IDD_JABBER_CONTACT_PERSONAL, TextPersonal,
                      {{IDC_JB_VC_GENDER_LABEL, TextGender},
                       {IDC_JB_VC_AGE_LABEL, TextAge},
                       {IDC_JB_VC_HOME_PAGE_LABEL, TextHomePage},
                       {IDC_JB_VC_BIRTHDAY_LABEL, TextBirthday}},
                      {{IDC_JB_VC_HOME_PAGE, HomePage}})
    {
    }

protected:
    void Load(IContactListData& list) override
    {
        ContactValues values(list, contactId);
        CZELString gender;
        if (values.GetString(Gender, gender)) {
            if (SameNoCase(gender, kFemale)) gender = PluginShared::Instance().Text(TextFemale);
            else if (SameNoCase(gender, kMale)) gender = PluginShared::Instance().Text(TextMale);
            UI::SetDlgItemString(hwnd, IDC_JB_VC_GENDER, gender);
        }
        ContactPane::Load(list);

        // The birthday as the user's locale writes a date and time, and the age in whole years
        // since it; both empty without a valid birthday, so a reload never leaves an old one.
        CZELString birthday, age;
        int year = 0, month = 0, day = 0;
        // The time type holds years after 1900 only.
        if (ReadBirthday(values, year, month, day) && ValidBirthday(year, month, day) && year > 1900) {
            birthday = CZELTime(unsigned(year), unsigned(month - 1), unsigned(day), 0, 0, 0).ToString(CZELString(L"%c"));
            const CZELTime now;
            int years = now.Year() - year;
            if (now.Month() < month || (now.Month() == month && now.Day() < day)) --years;
            if (years >= 0) age = CZELString(std::to_wstring(years).c_str());
        }
        UI::SetDlgItemString(hwnd, IDC_JB_VC_BIRTHDAY, birthday);
        UI::SetDlgItemString(hwnd, IDC_JB_VC_AGE, age);
    }
};

class ContactAboutPane : public ContactPane {
public:
    ContactAboutPane(Services::CServicesManager* bus, int contactId)
        : ContactPane(bus, contactId, IDD_JABBER_CONTACT_ABOUT, TextAbout,
                      {{IDC_JB_VC_ABOUT_LABEL, TextAboutLabel}, {IDC_JB_VC_NOTE_LABEL, TextNote}},
                      {{IDC_JB_VC_ABOUT, About}, {IDC_JB_VC_NOTE, kNotes}})
    {
    }

protected:
    // The note stays on this device: it is no part of any vCard.
    void Save(IContactListData& list) override
    {
        list.SetPropertyString(contactId, CZELString(kNotes), UI::GetDlgItemString(hwnd, IDC_JB_VC_NOTE, kNoteLength));
    }
};

// The panes both dialogs share but for their templates and stores, in tab order after "General".
struct SharedPane {
    int ownTemplate, contactTemplate, title;
    std::vector<Label> labels;
    std::vector<Field> fields;
};

const SharedPane kSharedPanes[] = {
    {IDD_JABBER_OWN_HOME, IDD_JABBER_CONTACT_HOME, TextHome,
     {{IDC_JB_VC_HOME_COUNTRY_LABEL, TextCountry},
      {IDC_JB_VC_HOME_CITY_LABEL, TextCity},
      {IDC_JB_VC_HOME_STATE_LABEL, TextState},
      {IDC_JB_VC_HOME_ZIP_LABEL, TextZip},
      {IDC_JB_VC_HOME_STREET_LABEL, TextStreet},
      {IDC_JB_VC_HOME_EMAIL_LABEL, TextEmail}},
     {{IDC_JB_VC_HOME_COUNTRY, HomeCountry},
      {IDC_JB_VC_HOME_STATE, HomeState},
      {IDC_JB_VC_HOME_CITY, HomeCity},
      {IDC_JB_VC_HOME_ZIP, HomeZip},
      {IDC_JB_VC_HOME_STREET, HomeAddress},
      {IDC_JB_VC_HOME_EMAIL, HomeEmail}}},
    {IDD_JABBER_OWN_WORK, IDD_JABBER_CONTACT_WORK, TextWork,
     {{IDC_JB_VC_WORK_COUNTRY_LABEL, TextCountry},
      {IDC_JB_VC_WORK_CITY_LABEL, TextCity},
      {IDC_JB_VC_WORK_STATE_LABEL, TextState},
      {IDC_JB_VC_WORK_ZIP_LABEL, TextZip},
      {IDC_JB_VC_WORK_STREET_LABEL, TextStreet},
      {IDC_JB_VC_WORK_EMAIL_LABEL, TextEmail}},
     {{IDC_JB_VC_WORK_COUNTRY, WorkCountry},
      {IDC_JB_VC_WORK_STATE, WorkState},
      {IDC_JB_VC_WORK_CITY, WorkCity},
      {IDC_JB_VC_WORK_ZIP, WorkZip},
      {IDC_JB_VC_WORK_STREET, WorkAddress},
      {IDC_JB_VC_WORK_EMAIL, WorkEmail}}},
    {IDD_JABBER_OWN_COMPANY, IDD_JABBER_CONTACT_COMPANY, TextCompany,
     {{IDC_JB_VC_COMPANY_LABEL, TextCompanyName},
      {IDC_JB_VC_DEPARTMENT_LABEL, TextDepartment},
      {IDC_JB_VC_POSITION_LABEL, TextPosition}},
     {{IDC_JB_VC_COMPANY, WorkCompany}, {IDC_JB_VC_DEPARTMENT, WorkDepartment}, {IDC_JB_VC_POSITION, WorkPosition}}},
    {IDD_JABBER_OWN_PHONES, IDD_JABBER_CONTACT_PHONES, TextPhones,
     {{IDC_JB_VC_HOME_PHONE_LABEL, TextHomePhone},
      {IDC_JB_VC_HOME_FAX_LABEL, TextHomeFax},
      {IDC_JB_VC_CELL_PHONE_LABEL, TextCellular},
      {IDC_JB_VC_WORK_PHONE_LABEL, TextWorkPhone},
      {IDC_JB_VC_WORK_FAX_LABEL, TextWorkFax}},
     {{IDC_JB_VC_HOME_PHONE, HomePhone},
      {IDC_JB_VC_HOME_FAX, HomeFax},
      {IDC_JB_VC_CELL_PHONE, CellPhone},
      {IDC_JB_VC_WORK_PHONE, WorkPhone},
      {IDC_JB_VC_WORK_FAX, WorkFax}}},
};

// The own birthday's date picker is a common control. The library is loaded when first needed, as
// the program loads it: loading it with the plug-in would slow every start.
void RegisterDatePicker()
{
    typedef BOOL(WINAPI * InitControls)(const INITCOMMONCONTROLSEX*);
    HMODULE controls = LoadLibraryW(L"comctl32.dll");
    InitControls init = controls ? reinterpret_cast<InitControls>(
                                       reinterpret_cast<void*>(GetProcAddress(controls, "InitCommonControlsEx")))
                                 : nullptr;
    INITCOMMONCONTROLSEX classes = {sizeof classes, ICC_DATE_CLASSES};
    if (init) init(&classes);
}

void Append(void* pages, UI::CZELWMUI_SettingsPan* pane)
{
    if (pages) static_cast<ZELTabDlg::PanList*>(pages)->Add(pane);
    else delete pane;
}

}  // namespace

int JabberAccount::GetOwnDetailsPages(void* pages)
{
    RegisterDatePicker();
    auto answered = std::make_shared<std::atomic<bool>>(true);
    if (Online()) {
        *answered = false;
        RequestVCard(settings.OwnJid(), answered);
    }
    Append(pages, new OwnGeneralPane(services, accountId, kind, answered));
    for (const SharedPane& pane : kSharedPanes)
        Append(pages, new OwnPane(services, accountId, pane.ownTemplate, pane.title, pane.labels, pane.fields));
    Append(pages, new OwnPersonalPane(services, accountId));
    Append(pages, new OwnAboutPane(services, accountId, unsigned(OwnQueue())));
    return 0;
}

int JabberAccount::GetContactDetailsPages(int contactId, void* pages)
{
    IContactListData* list = ContactList();
    if (list && Online()) {
        CZELString jid;
        if (list->GetPropertyString(contactId, CZELString(L"Account name"), jid) && !jid.IsEmpty()) RequestVCard(jid);
    }
    Append(pages, new ContactPane(services, contactId, IDD_JABBER_CONTACT_GENERAL, TextGeneral, kGeneralLabels,
                                  {{IDC_JB_VC_JID, L"Account name"},
                                   {IDC_JB_VC_DISPLAY_NAME, NickName},
                                   {IDC_JB_VC_FIRST_NAME, FirstName},
                                   {IDC_JB_VC_MIDDLE_NAME, MiddleName},
                                   {IDC_JB_VC_LAST_NAME, LastName}}));
    for (const SharedPane& pane : kSharedPanes)
        Append(pages, new ContactPane(services, contactId, pane.contactTemplate, pane.title, pane.labels, pane.fields));
    Append(pages, new ContactPersonalPane(services, contactId));
    Append(pages, new ContactAboutPane(services, contactId));
    return 0;
}
