// The contact menu: which of the program's contact commands the account keeps, and the items of
// the server-side list it adds (add to the list, authorisation, status check, privacy lists); and
// a search result's menu, whose one item adds the result to the list. The
// items' callbacks run on the user interface's thread: they find the account by its id and hand
// the work to its queue.
#include "Wex/proto/account/WexAccount.h"

#include "Wex/proto/LocationCommands.h"
#include "Wex/proto/account/AccountDialogs.h"
#include "Wex/proto/account/BuiltInTexts.h"
#include "Wex/proto/account/PictureNames.h"
#include "Wex/proto/account/PluginState.h"

#include "Zel/core/CoreGuids.h"
#include "Zel/core/accounts/AccountCodes.h"
#include "Zel/core/bus/ServicesManager.h"
#include "Zel/core/contactlist/ContactListData.h"
#include "Zel/core/plugin/PopupMenu.h"

namespace {

// The program's contact commands.
enum {
    MenuSendMessage = 4001,
    MenuSeparatorFirst = 4003,
    MenuDetails = 4004,
    MenuHistory = 4005,
    MenuCopyName = 4007,
    MenuSeparatorSecond = 4008,
    MenuRename = 4009,
    MenuDelete = 4010,
    MenuMove = 4011,
};

enum {
    CheckStatusPicture = 67,
    VisiblePicture = 69,
    InvisiblePicture = 70,
    IgnorePicture = 71,
    CheckStatusText = 159,
    AuthRequestText = 33,
    AuthDefaultText = 35,
};

SharedTables& Shared()
{
    return WexPlugin::Shared();
}

// A menu argument naming the account and the contact at once.
intptr_t AccountAndContact(unsigned accountId, int contactId)
{
    return intptr_t((uint64_t(unsigned(contactId)) << 32) | accountId);
}

unsigned AccountOf(intptr_t argument)
{
    return unsigned(uint64_t(argument) & 0xFFFFFFFFu);
}

int ContactOf(intptr_t argument)
{
    return int(unsigned(uint64_t(argument) >> 32));
}

// Runs work with the account on its queue's thread.
template <typename Work> void OnAccountQueue(intptr_t argument, Work work)
{
    const int contact = ContactOf(argument);
    WexPlugin::Accounts().WithAccountId(AccountOf(argument), [&](WexAccount* account) {
        account->RunOnQueue([account, contact, work] { work(account, contact); });
    });
}

template <unsigned short Type, bool Add> void PrivacyChosen(intptr_t, intptr_t argument)
{
    OnAccountQueue(argument, [](WexAccount* account, int contact) {
        if (Add)
            account->AddToPrivacyList(contact, Type);
        else
            account->RemoveFromPrivacyList(contact, Type);
    });
}

void CheckStatusChosen(intptr_t, intptr_t argument)
{
    OnAccountQueue(argument, [](WexAccount* account, int contact) { account->CheckContactStatus(contact); });
}

void AddToListChosen(intptr_t, intptr_t argument)
{
    const int contact = ContactOf(argument);
    Services::CServicesManager* bus = nullptr;
    WexPlugin::Accounts().WithAccountId(AccountOf(argument), [&](WexAccount* account) { bus = account->Bus(); });
    if (!bus) return;
    WexDialogs::AddContactValues start;
    start.number = WexDialogs::ItemProperty(bus, contact, L"Account name");
    start.nick = WexDialogs::ItemProperty(bus, contact, L"CL Alias");
    WexDialogs::AddContactFromMenu(AccountOf(argument), start);
}

void AuthRequestChosen(intptr_t, intptr_t argument)
{
    WexDialogs::AuthRequestFromMenu(AccountOf(argument), ContactOf(argument), Shared().Text(AuthDefaultText));
}

CMenuItem Item(int picture, int text, MenuCallback callback, intptr_t argument)
{
    return CMenuItem(MENU_ITEM_PLAIN, Shared().Image(picture), Shared().Text(text), 0, callback, argument, false);
}

}  // namespace

CZELString WexAccount::ContactProperty(int contactId, const wchar_t* name)
{
    CZELString value;
    if (IContactListData* list = ContactList()) list->GetPropertyString(contactId, CZELString(name), value);
    return value;
}

int WexAccount::FillContactMenu(int contactId, CPopupMenu* menu)
{
    if (!menu) return 0;
    IContactListData* list = ContactList();
    const bool online = CurrentStatus() > AccountStatus::Connecting;
    const bool grouped = list && list->GetContactGroup(contactId) != 0;
    const intptr_t argument = AccountAndContact(AccountId(), contactId);
    for (int index = menu->GetCount() - 1; index >= 0; --index) {
        switch (menu->items[index].commandId) {
        case MenuSendMessage: {
            CMenuItem request;
            if (XStatusRequestItem(contactId, request)) menu->InsertItem(index + 1, request);
            break;
        }
        case MenuSeparatorFirst:
        case MenuDetails:
        case MenuHistory:
        case MenuCopyName: break;
        case MenuSeparatorSecond:
            if (!online && grouped) menu->RemoveItem(index);
            break;
        case MenuRename:
        case MenuMove:
            if (!(online && grouped)) menu->RemoveItem(index);
            break;
        case MenuDelete:
            if (!online && grouped)
                menu->RemoveItem(index);
            else if (online && !grouped)
                menu->InsertItem(index, Item(WexPictures::AddContact, WexTexts::AddToContactList, &AddToListChosen, argument));
            break;
        default: menu->RemoveItem(index); break;
        }
    }
    if (!online) return 0;
    const Wex::ServerListItem* item = ServerList.FindItemByContact(contactId);
    const bool awaiting = item && item->Attributes.Find(Wex::TlvAwaitingAuth);
    if (awaiting) menu->InsertItem(1, Item(WexPictures::AuthRequest, AuthRequestText, &AuthRequestChosen, argument));
    if (item && item->Status == 0 && (awaiting || item->GroupId == 0))
        menu->InsertItem(1, Item(CheckStatusPicture, CheckStatusText, &CheckStatusChosen, argument));
    CZELString name;
    if (list) list->GetPropertyString(contactId, CZELString(L"Account name"), name);
    const Wex::PrivacyMembership member = ServerList.GetPrivacyMembership(name);
    menu->AddItem(CMenuItem(MENU_ITEM_SEPARATOR));
    menu->AddItem(member.visible ? Item(VisiblePicture, 23, &PrivacyChosen<Wex::ItemVisible, false>, argument)
                                 : Item(VisiblePicture, 22, &PrivacyChosen<Wex::ItemVisible, true>, argument));
    menu->AddItem(member.invisible ? Item(InvisiblePicture, 25, &PrivacyChosen<Wex::ItemInvisible, false>, argument)
                                   : Item(InvisiblePicture, 24, &PrivacyChosen<Wex::ItemInvisible, true>, argument));
    menu->AddItem(member.ignore ? Item(IgnorePicture, 27, &PrivacyChosen<Wex::ItemIgnore, false>, argument)
                                : Item(IgnorePicture, 26, &PrivacyChosen<Wex::ItemIgnore, true>, argument));
    return 0;
}

int WexAccount::FillSearchResultMenu(void* resultItem, CPopupMenu* menu)
{
    const int contactId = int(intptr_t(resultItem));
    IContactListData* list = ContactList();
    if (!menu || !list || !contactId || CurrentStatus() <= AccountStatus::Connecting) return 0;
    // A result already in one of the user's groups needs no adding.
    if (list->GetContactGroup(contactId) != 0) return 0;
    menu->AddItem(Item(WexPictures::AddContact, WexTexts::AddToContactList, &AddToListChosen,
                       AccountAndContact(AccountId(), contactId)));
    return 0;
}

void WexAccount::CheckContactStatus(int contactId)
{
    const Wex::ServerListItem* item = ServerList.FindItemByContact(contactId);
    if (item && CurrentStatus() > AccountStatus::Connecting) SendPacket(Wex::UserInfoQuery(NextFlapSequence(), item->Name));
}
