#include "Wex/proto/account/AccountDialogs.h"

#include "Wex/dialogs/SearchPages.h"
#include "Wex/dialogs/DetailsPages.h"
#include "Wex/dialogs/SettingsPages.h"
#include "Wex/proto/account/PluginState.h"
#include "Wex/proto/account/WexAccount.h"

#include "Zel/core/CoreGuids.h"
#include "Zel/core/bus/ServicesManager.h"
#include "Zel/core/contactlist/ContactListData.h"

namespace WexDialogs {

namespace {

IContactListData* ContactList(Services::CServicesManager* bus)
{
    return bus ? static_cast<IContactListData*>(bus->GetService(GUID_CONTACT_LIST_DATA)) : nullptr;
}

// The account's bus, or null when the account is gone.
Services::CServicesManager* BusOf(unsigned accountId)
{
    Services::CServicesManager* bus = nullptr;
    WexPlugin::Accounts().WithAccountId(accountId, [&](WexAccount* account) { bus = account->Bus(); });
    return bus;
}

// Work for the account's queue, while the account exists.
template <typename Work>
void PostToAccount(unsigned accountId, Work work)
{
    WexPlugin::Accounts().WithAccountId(accountId, [&](WexAccount* account) {
        account->RunOnQueue([account, work] { work(*account); });
    });
}

}  // namespace

CZELString ItemProperty(Services::CServicesManager* bus, int itemId, const wchar_t* name)
{
    CZELString value;
    if (IContactListData* list = ContactList(bus)) list->GetPropertyString(itemId, CZELString(name), value);
    return value;
}

void AddContactFromMenu(unsigned accountId, const AddContactValues& start)
{
    Services::CServicesManager* bus = BusOf(accountId);
    if (!bus) return;
    // The account's groups as the contact list holds them; the list copies under its own lock.
    std::vector<CZELString> groups;
    CZELArray<int> ids;
    if (IContactListData* list = ContactList(bus); list && list->GetAccountGroups(accountId, ids))
        for (int i = 0; i < ids.GetCount(); ++i) groups.push_back(ItemProperty(bus, ids[i], L"Account name"));
    AddContactValues values = start;
    if (!RunAddContactDialog(bus, groups, values)) return;
    PostToAccount(accountId, [values](WexAccount& account) {
        account.AddContactToGroupNamed(values.group, values.number, values.nick);
    });
}

void AuthRequestFromMenu(unsigned accountId, int contactId, const CZELString& reason)
{
    Services::CServicesManager* bus = BusOf(accountId);
    if (!bus) return;
    CZELString text = reason;
    if (!RunAuthRequestDialog(bus, text)) return;
    PostToAccount(accountId, [contactId, text](WexAccount& account) { account.SendAuthorizationRequest(contactId, text); });
}

void XStatusFromMenu(unsigned accountId, int index)
{
    Services::CServicesManager* bus = nullptr;
    XStatusText text;
    WexPlugin::Accounts().WithAccountId(accountId, [&](WexAccount* account) {
        bus = account->Bus();
        text = account->GetXStatusText(index - 1);
    });
    if (!bus) return;
    if (!RunXStatusDialog(bus, text.title, text.description)) return;
    WexPlugin::Accounts().WithAccountId(accountId, [&](WexAccount* account) {
        account->SetXStatusText(index - 1, text);
        account->PostRequest(WexAccount::RequestXStatus, index);
    });
}

int AddSettingsPages(WexAccount* account, void* pages)
{
    if (account) WexPages::AppendSettingsPages(*account, pages);
    return 0;
}

// The details pages show what the server holds: opening them asks for it (on the account's queue,
// where the host's request for the pages runs).
int AddOwnDetailsPages(WexAccount* account, void* pages)
{
    if (!account) return 0;
    account->RequestDetails(0);
    WexPages::AppendOwnDetailsPages(*account, pages);
    return 0;
}

int AddContactDetailsPages(WexAccount* account, int contactId, void* pages)
{
    if (!account) return 0;
    account->RequestDetails(contactId);
    WexPages::AppendContactDetailsPages(*account, contactId, pages);
    return 0;
}

int AddSearchPages(WexAccount* account, void* pages)
{
    if (account) WexPages::AppendSearchPages(*account, pages);
    return 0;
}

}  // namespace WexDialogs
