#include "Wex/dialogs/DetailsPages.h"

#include "Wex/dialogs/WexAccountPan.h"
#include "Wex/dialogs/DetailsFields.h"
#include "Wex/dialogs/DetailsResources.h"
#include "Wex/dialogs/LookupLists.h"
#include "Wex/proto/account/BuiltInTexts.h"
#include "Wex/proto/account/PluginState.h"
#include "Wex/proto/account/WexAccount.h"

#include "Zel/core/CoreGuids.h"
#include "Zel/core/accounts/AccountCodes.h"
#include "Zel/core/accounts/IProtocolsManager.h"
#include "Zel/core/bus/ServicesManager.h"
#include "Zel/core/contactlist/ContactListData.h"
#include "Zel/core/skin/ISkinImages.h"
#include "ZELCommon/ZELPath.h"
#include "ZELCommon/ZELWMUI_DlgItems.h"
#include "ZELCommon/ZELWMUI_SettingsPan.h"

#include <commctrl.h>

#include <cwchar>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace WexPages {
namespace {

using namespace WexDetails;

// Letter case counts: correcting a name's capitals is a change to send.
bool SameText(const CZELString& a, const CZELString& b)
{
    return a.GetLength() == b.GetLength() &&
           (a.GetLength() == 0 || wmemcmp(a.GetBuffer(), b.GetBuffer(), size_t(a.GetLength())) == 0);
}

// Where a page set's values live: the account's own values, or a contact's properties.
class StoredValues {
public:
    virtual ~StoredValues() = default;
    virtual bool GetString(const wchar_t* key, CZELString& out) = 0;
    virtual bool GetShort(const wchar_t* key, short& out) = 0;
    virtual bool GetByte(const wchar_t* key, char& out) = 0;
    virtual void SetString(const wchar_t* key, const CZELString& value) = 0;
    virtual void SetShort(const wchar_t* key, short value) = 0;
    virtual void SetByte(const wchar_t* key, char value) = 0;
    // False when the service holding them is missing: the pages stay empty and store nothing.
    virtual bool Available() = 0;
};

class AccountValuesStore : public StoredValues {
public:
    AccountValuesStore(Services::CServicesManager* bus, unsigned accountId) : bus(bus), accountId(accountId) {}
    bool GetString(const wchar_t* key, CZELString& out) override
    {
        IProtocolsManager* m = Manager();
        return m && m->GetAccountString(accountId, CZELString(key), out, 0);
    }
    bool GetShort(const wchar_t* key, short& out) override
    {
        IProtocolsManager* m = Manager();
        return m && m->GetAccountShort(accountId, CZELString(key), &out);
    }
    bool GetByte(const wchar_t* key, char& out) override
    {
        IProtocolsManager* m = Manager();
        return m && m->GetAccountByte(accountId, CZELString(key), &out);
    }
    void SetString(const wchar_t* key, const CZELString& value) override
    {
        if (IProtocolsManager* m = Manager()) m->SetAccountString(accountId, CZELString(key), value, 0);
    }
    void SetShort(const wchar_t* key, short value) override
    {
        if (IProtocolsManager* m = Manager()) m->SetAccountShort(accountId, CZELString(key), &value);
    }
    void SetByte(const wchar_t* key, char value) override
    {
        if (IProtocolsManager* m = Manager()) m->SetAccountByte(accountId, CZELString(key), &value);
    }
    bool Available() override { return Manager() != nullptr; }

private:
    IProtocolsManager* Manager() const
    {
        return bus ? static_cast<IProtocolsManager*>(bus->GetService(GUID_PROTOCOLS_MANAGER)) : nullptr;
    }
    Services::CServicesManager* const bus;
    const unsigned accountId;
};

class ContactValuesStore : public StoredValues {
public:
    ContactValuesStore(Services::CServicesManager* bus, int contact) : bus(bus), contact(contact) {}
    bool GetString(const wchar_t* key, CZELString& out) override
    {
        IContactListData* list = List();
        return list && list->GetPropertyString(contact, CZELString(key), out);
    }
    bool GetShort(const wchar_t* key, short& out) override
    {
        IContactListData* list = List();
        return list && list->GetPropertyShort(contact, CZELString(key), &out);
    }
    bool GetByte(const wchar_t* key, char& out) override
    {
        IContactListData* list = List();
        return list && list->GetPropertyByte(contact, CZELString(key), &out);
    }
    void SetString(const wchar_t* key, const CZELString& value) override
    {
        if (IContactListData* list = List()) list->SetPropertyString(contact, CZELString(key), value);
    }
    void SetShort(const wchar_t* key, short value) override
    {
        if (IContactListData* list = List()) list->SetPropertyShort(contact, CZELString(key), &value);
    }
    void SetByte(const wchar_t* key, char value) override
    {
        if (IContactListData* list = List()) list->SetPropertyByte(contact, CZELString(key), &value);
    }
    bool Available() override { return List() != nullptr; }

private:
    IContactListData* List() const
    {
        return bus ? static_cast<IContactListData*>(bus->GetService(GUID_CONTACT_LIST_DATA)) : nullptr;
    }
    Services::CServicesManager* const bus;
    const int contact;
};

// What the nine pages of one dialog share: the lookup lists, held while any of them lives, and the
// note, which is kept whatever happens to the changes that go to the network.
class PageSet {
public:
    PageSet() { LookupLists::Open(CZELPath::GetProtoDir(L"WEX")); }
    ~PageSet() { LookupLists::Close(); }
    PageSet(const PageSet&) = delete;
    PageSet& operator=(const PageSet&) = delete;

    std::function<void()> storeNote;  // set by the About page while its window stands
};

// Work for the account's queue, while the account exists; false when it is gone.
template <typename Work>
bool OnAccountQueue(unsigned accountId, Work work)
{
    return WexPlugin::Accounts().WithAccountId(accountId, [&](WexAccount* account) {
        account->RunOnQueue([account, work] { work(*account); });
    });
}

bool SignedOn(unsigned accountId)
{
    bool online = false;
    WexPlugin::Accounts().WithAccountId(accountId, [&](WexAccount* account) {
        online = account->CurrentStatus() >= AccountStatus::Online;
    });
    return online;
}

class DetailsPageBase : public WexAccountPan {
public:
    DetailsPageBase(WexAccount& account, Page page, int templateId, std::shared_ptr<PageSet> set,
                    std::unique_ptr<StoredValues> values)
        : WexAccountPan(account), page(page), templateId(templateId),
          set(std::move(set)), values(std::move(values))
    {
    }
    CZELString GetTitle() override { return WexPlugin::Shared().Text(PageTitle(page)); }
    CZELArray<int> GetIcons() override { return CZELArray<int>(); }
    ZELTabDlg::PanResource GetResource() override { return {WexPlugin::Module(), templateId}; }

protected:
    void SetLabels(const std::vector<Label>& labels)
    {
        for (const Label& label : labels)
            if (label.page == page) UI::SetDlgItemString(hwnd, label.control, WexPlugin::Shared().Text(label.text));
    }
    void Limit(int control, int characters)
    {
        SendDlgItemMessageW(hwnd, control, EM_LIMITTEXT, WPARAM(characters), 0);
    }

    const Page page;
    const int templateId;
    std::shared_ptr<PageSet> set;
    std::unique_ptr<StoredValues> values;
};

// One value to keep once the page's changes may go out.
struct PendingValue {
    enum Type { String, Short, Byte } type;
    const wchar_t* key;
    CZELString text;
    int number;
};

class OwnDetailsPage : public DetailsPageBase {
public:
    OwnDetailsPage(WexAccount& account, Page page, std::shared_ptr<PageSet> set)
        : DetailsPageBase(account, page, EditorTemplate(page), std::move(set),
                          std::unique_ptr<StoredValues>(new AccountValuesStore(account.Bus(), account.AccountId()))),
          ownUin(account.CurrentSettings().Uin)
    {
    }
    ~OwnDetailsPage() override
    {
        if (page == About && set) set->storeNote = nullptr;
    }

protected:
    int DoDataExchange(int save) override { return save ? Store() : Fill(); }

private:
    int Fill()
    {
            SetLabels(EditorLabels());
        if (page == About) {
            // The note is kept even when the other pages refuse to store while offline.
            set->storeNote = [this] { StoreNote(); };
        }
        const bool first = !filled;
        filled = true;
        if (!values->Available()) return 1;
        for (const EditorField& field : EditorFields()) {
            if (field.page != page) continue;
            switch (field.rule) {
            case Shown: UI::SetDlgItemString(hwnd, field.control, ownUin); break;
            case Text:
            case Email:
            case Note: {
                if (first) Limit(field.control, field.rule == Note ? MaxNote : MaxWireText);
                CZELString text;
                if (values->GetString(field.key, text)) UI::SetDlgItemString(hwnd, field.control, text);
                break;
            }
            case Zip: {
                if (first) Limit(field.control, 9);  // nine digits always fit the item's 32 bits
                CZELString text;
                if (values->GetString(field.key, text)) UI::SetDlgItemString(hwnd, field.control, text);
                break;
            }
            case ShortCode:
            case ByteCode:
            case Interest: {
                FillLookupCombo(hwnd, field.control, LookupLists::Get(field.list));
                int code = 0;
                if (StoredCode(field, code)) SelectCode(field.control, field.list, code);
                if (field.rule == Interest) {
                    if (first) Limit(field.control2, MaxKeywords);
                    CZELString keywords;
                    if (values->GetString(field.key2, keywords)) UI::SetDlgItemString(hwnd, field.control2, keywords);
                }
                break;
            }
            case Birthday: FillBirthday(field, first); break;
            }
        }
        return 1;
    }

    bool StoredCode(const EditorField& field, int& code)
    {
        if (field.rule == ByteCode) {
            char value = 0;
            if (!values->GetByte(field.key, value)) return false;
            code = (unsigned char)value;
            return true;
        }
        short value = 0;
        if (!values->GetShort(field.key, value)) return false;
        code = (unsigned short)value;
        return true;
    }

    // The first row whose text begins with the code's text; the empty first row for a code no
    // entry carries.
    void SelectCode(int control, LookupLists::Kind list, int code)
    {
        const CZELString text = LookupLists::Get(list).Text(code);
        LRESULT row = CB_ERR;
        if (!text.IsEmpty()) row = SendDlgItemMessageW(hwnd, control, CB_SELECTSTRING, WPARAM(-1), LPARAM(text.GetBuffer()));
        if (row == CB_ERR) SendDlgItemMessageW(hwnd, control, CB_SETCURSEL, 0, 0);
    }

    int SelectedCode(int control)
    {
        const LRESULT row = SendDlgItemMessageW(hwnd, control, CB_GETCURSEL, 0, 0);
        // No selection is the empty first row.
        if (row == CB_ERR) return 0;
        return int(SendDlgItemMessageW(hwnd, control, CB_GETITEMDATA, WPARAM(row), 0));
    }

    void FillBirthday(const EditorField& field, bool first)
    {
        HWND picker = GetDlgItem(field.control);
        short year = 0;
        char month = 0, day = 0;
        const bool stored = values->GetShort(field.key, year) && values->GetByte(field.key2, month) &&
                            values->GetByte(field.key3, day);
        if (!stored) {
            // Without a stored date the picker starts at "none", so a first confirmation sends no date.
            if (first) SendMessageW(picker, DTM_SETSYSTEMTIME, GDT_NONE, 0);
            return;
        }
        const int y = (unsigned short)year, m = (unsigned char)month, d = (unsigned char)day;
        SYSTEMTIME date{};
        date.wYear = WORD(y);
        date.wMonth = WORD(m);
        date.wDay = WORD(d);
        if (DateInRange(y, m, d) && DateExists(y, m, d) && SendMessageW(picker, DTM_SETSYSTEMTIME, GDT_VALID, LPARAM(&date)))
            return;
        SendMessageW(picker, DTM_SETSYSTEMTIME, GDT_NONE, 0);
    }

    CZELString StoredString(const wchar_t* key)
    {
        CZELString text;
        values->GetString(key, text);
        return text;
    }

    int StoredShort(const wchar_t* key)
    {
        short value = 0;
        values->GetShort(key, value);
        return (unsigned short)value;
    }

    int StoredByte(const wchar_t* key)
    {
        char value = 0;
        values->GetByte(key, value);
        return (unsigned char)value;
    }

    // Reads the page against what is stored: the values to keep and the items to send.
    void Compare(std::vector<PendingValue>& keep, Wex::TlvChain& chain)
    {
        auto add = [&](unsigned short type, const Wex::Bytes& body) {
            chain.Add(Wex::Tlv(type, (unsigned short)body.size(), body.data()));
        };
        const std::vector<EditorField>& fields = EditorFields();
        for (size_t i = 0; i < fields.size(); ++i) {
            const EditorField& field = fields[i];
            if (field.page != page) continue;
            switch (field.rule) {
            case Shown:
            case Note: break;
            case Text:
            case Email: {
                const CZELString text = CutForWire(UI::GetDlgItemString(hwnd, field.control, MaxWireText));
                if (SameText(text, StoredString(field.key))) break;
                keep.push_back({PendingValue::String, field.key, text, 0});
                add(field.type, field.rule == Email ? EmailBody(text) : TextBody(text));
                break;
            }
            case ShortCode: {
                const int code = SelectedCode(field.control) & 0xFFFF;
                if (code == StoredShort(field.key)) break;
                keep.push_back({PendingValue::Short, field.key, CZELString(), code});
                add(field.type, CodeBody((unsigned short)code));
                break;
            }
            case ByteCode: {
                // The languages travel together, in order: the network reads their items by position.
                if (field.control == IDC_WEX_D_LANGUAGE2 || field.control == IDC_WEX_D_LANGUAGE3) break;
                const int count = field.control == IDC_WEX_D_LANGUAGE1 ? 3 : 1;
                bool changed = false;
                int codes[3] = {0, 0, 0};
                for (int k = 0; k < count; ++k) {
                    codes[k] = SelectedCode(fields[i + size_t(k)].control) & 0xFF;
                    changed = changed || codes[k] != StoredByte(fields[i + size_t(k)].key);
                }
                if (!changed) break;
                for (int k = 0; k < count; ++k) {
                    keep.push_back({PendingValue::Byte, fields[i + size_t(k)].key, CZELString(), codes[k]});
                    add(field.type, CodeBody((unsigned short)codes[k]));
                }
                break;
            }
            case Zip: {
                const unsigned typed = ZipNumber(UI::GetDlgItemString(hwnd, field.control, 16));
                if (typed == ZipNumber(StoredString(field.key))) break;
                keep.push_back({PendingValue::String, field.key, ZipText(typed), 0});
                add(field.type, ZipBody(typed));
                break;
            }
            case Birthday: {
                SYSTEMTIME date{};
                int y = 0, m = 0, d = 0;
                if (SendDlgItemMessageW(hwnd, field.control, DTM_GETSYSTEMTIME, 0, LPARAM(&date)) == GDT_VALID) {
                    y = date.wYear;
                    m = date.wMonth;
                    d = date.wDay;
                }
                // The stored date changes with the next details reply, not here.
                if (y != StoredShort(field.key) || m != StoredByte(field.key2) || d != StoredByte(field.key3))
                    add(field.type, BirthdayBody((unsigned short)y, (unsigned short)m, (unsigned short)d));
                break;
            }
            case Interest: {
                if (field.control != IDC_WEX_D_INTEREST1) break;
                // The four rows go together, in order.
                bool changed = false;
                int codes[4];
                CZELString keywords[4];
                for (int k = 0; k < 4; ++k) {
                    const EditorField& row = fields[i + size_t(k)];
                    codes[k] = SelectedCode(row.control) & 0xFFFF;
                    keywords[k] = CutForWire(UI::GetDlgItemString(hwnd, row.control2, MaxKeywords));
                    changed = changed || codes[k] != StoredShort(row.key) || !SameText(keywords[k], StoredString(row.key2));
                }
                if (!changed) break;
                for (int k = 0; k < 4; ++k) {
                    const EditorField& row = fields[i + size_t(k)];
                    keep.push_back({PendingValue::Short, row.key, CZELString(), codes[k]});
                    keep.push_back({PendingValue::String, row.key2, keywords[k], 0});
                    add(field.type, InterestBody((unsigned short)codes[k], keywords[k]));
                }
                break;
            }
            }
        }
    }

    void StoreNote()
    {
        if (hwnd && values->Available())
            values->SetString(NotesKey, UI::GetDlgItemString(hwnd, IDC_WEX_D_NOTE, MaxNote));
    }

    int Store()
    {
        if (!values->Available()) return 1;
        if (page == About) StoreNote();
        std::vector<PendingValue> keep;
        Wex::TlvChain chain;
        Compare(keep, chain);
        if (chain.GetCount() == 0) return 1;
        // Changes kept while not signed on would never reach the network and be overwritten by the
        // next details reply: the page refuses and says why; the user's edits stay on the page.
        if (!SignedOn(accountId)) {
            if (set->storeNote) set->storeNote();
            OnAccountQueue(accountId, [](WexAccount& account) {
                account.ReportWarning(WexPlugin::Shared().Text(WexTexts::SaveNeedsConnection));
            });
            return 0;
        }
        for (const PendingValue& value : keep) {
            if (value.type == PendingValue::String)
                values->SetString(value.key, value.text);
            else if (value.type == PendingValue::Short)
                values->SetShort(value.key, short(value.number));
            else
                values->SetByte(value.key, char(value.number));
        }
        OnAccountQueue(accountId, [chain](WexAccount& account) { account.SaveOwnDetails(chain); });
        return 1;
    }

    const CZELString ownUin;
    bool filled = false;
};

class ContactDetailsPage : public DetailsPageBase {
public:
    ContactDetailsPage(WexAccount& account, int contact, Page page, std::shared_ptr<PageSet> set)
        : DetailsPageBase(account, page, ViewerTemplate(page), std::move(set),
                          std::unique_ptr<StoredValues>(new ContactValuesStore(account.Bus(), contact)))
    {
    }

protected:
    int DoDataExchange(int save) override { return save ? Store() : Fill(); }

private:
    int Fill()
    {
        SetLabels(ViewerLabels());
        if (!values->Available()) return 1;
        if (page == About) Limit(IDC_WEX_D_NOTE, MaxNote);
        for (const ViewerField& field : ViewerFields()) {
            if (field.page != page) continue;
            CZELString shown;
            if (Format(field, shown)) UI::SetDlgItemString(hwnd, field.control, shown);
        }
        return 1;
    }

    // The field's text; false when what it shows is absent, so the control stays as it was.
    bool Format(const ViewerField& field, CZELString& out)
    {
        switch (field.format) {
        case AsText:
        case AsNote: return values->GetString(field.key, out);
        case AsShortCode: {
            short code = 0;
            if (!values->GetShort(field.key, code)) return false;
            out = LookupLists::Get(field.list).Text((unsigned short)code);
            return true;
        }
        case AsByteCode: {
            char code = 0;
            if (!values->GetByte(field.key, code)) return false;
            out = LookupLists::Get(field.list).Text((unsigned char)code);
            return true;
        }
        case AsAge: {
            short age = 0;
            if (!values->GetShort(field.key, age)) return false;
            out = CZELString(std::to_wstring((unsigned short)age).c_str());
            return true;
        }
        case AsBirthday: {
            short year = 0;
            char month = 0, day = 0;
            if (!values->GetShort(BirthYearKey, year) || !values->GetByte(BirthMonthKey, month) ||
                !values->GetByte(BirthDayKey, day))
                return false;
            out = FormatBirthday((unsigned short)year, (unsigned char)month, (unsigned char)day);
            return true;
        }
        case AsLanguages: {
            CZELString texts[3];
            bool any = false;
            for (int k = 0; k < 3; ++k) {
                char code = 0;
                values->GetByte(LanguageKeys[k], code);
                any = any || code != 0;
                texts[k] = LookupLists::Get(field.list).Text((unsigned char)code);
            }
            if (!any) return false;
            out = JoinLanguages(texts);
            return true;
        }
        }
        return false;
    }

    int Store()
    {
        // The note stays on the device; the rest is the network's.
        if (page == About && values->Available())
            values->SetString(NotesKey, UI::GetDlgItemString(hwnd, IDC_WEX_D_NOTE, MaxNote));
        return 1;
    }
};

void Append(void* pages, UI::CZELWMUI_SettingsPan* page)
{
    if (pages) static_cast<ZELTabDlg::PanList*>(pages)->Add(page);
    else delete page;
}

void EnsureDatePicker()
{
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_DATE_CLASSES};
    InitCommonControlsEx(&controls);
}

}  // namespace

void AppendOwnDetailsPages(WexAccount& account, void* pages)
{
    EnsureDatePicker();
    std::shared_ptr<PageSet> set = std::make_shared<PageSet>();
    for (int page = 0; page < PageCount; ++page) Append(pages, new OwnDetailsPage(account, Page(page), set));
}

void AppendContactDetailsPages(WexAccount& account, int contactId, void* pages)
{
    std::shared_ptr<PageSet> set = std::make_shared<PageSet>();
    for (int page = 0; page < PageCount; ++page)
        Append(pages, new ContactDetailsPage(account, contactId, Page(page), set));
}

}  // namespace WexPages
