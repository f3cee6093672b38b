// The account's menus: what the host's menus keep in the account's state and the items the account
// adds. A chosen item runs on the user interface's thread, so its action only posts itself to the
// account's queue; the item's argument carries the account's queue handle and the action's value.
// An action that asks the user first opens its dialog right there, on that thread, from copies of
// what it shows, and posts the answer after.
#include "Dax/MrimAccount.h"

#include "Dax/DaxDialogs.h"
#include "Dax/DaxShared.h"
#include "Dax/proto/BuiltinTexts.h"
#include "Zel/core/accounts/ManagerPayloads.h"
#include "Zel/core/contactlist/ContactListData.h"
#include "Zel/core/plugin/PopupMenu.h"

#include <cstdio>

namespace {

template <int Action>
void Choose(intptr_t context, intptr_t argument)
{
    const unsigned handle = unsigned(uint64_t(argument) & 0xFFFFFFFFu);
    const int value = int(uint64_t(argument) >> 32);
    DaxShared::Registry().With(handle, [&](MrimAccount* account) { account->PostMenuAction(Action, value, context); });
}

// Add contact (value: a group id, 0 for none) and Add to contact list (value: a contact id).
template <int Action>
void ChooseAddContact(intptr_t, intptr_t argument)
{
    const unsigned handle = unsigned(uint64_t(argument) & 0xFFFFFFFFu);
    const int value = int(uint64_t(argument) >> 32);
    AddContactRequest request;
    std::vector<CZELString> groups;
    bool found = DaxShared::Registry().With(handle, [&](MrimAccount* account) {
        groups = account->OfferedGroupNames();
        if (Action == MrimAccount::ActionAddContact) {
            if (value) request.groupName = account->ContactProperty(value, L"Account name");
        } else {
            request.email = account->ContactProperty(value, L"Account name");
            request.nickname = account->ContactProperty(value, L"CL Alias");
        }
        if (groups.empty())
            account->PostTask([](MrimAccount& self) { self.WarnNoGroups(); });
    });
    if (!found || groups.empty() || !RunAddContactDialog(groups, request)) return;
    DaxShared::Registry().With(handle, [&](MrimAccount* account) {
        account->PostTask([request](MrimAccount& self) {
            self.AddContactFromDialog(request.groupName, request.email, request.nickname);
        });
    });
}

void ChooseAuthRequest(intptr_t, intptr_t argument)
{
    const unsigned handle = unsigned(uint64_t(argument) & 0xFFFFFFFFu);
    const int contactId = int(uint64_t(argument) >> 32);
    CZELString reason = DaxShared::Text(Mrim::TextPleaseAuthorize);
    if (!RunAskTextDialog(reason)) return;
    DaxShared::Registry().With(handle, [&](MrimAccount* account) {
        account->PostTask([contactId, reason](MrimAccount& self) { self.SendAuthRequest(contactId, reason); });
    });
}

bool Has(const int* ids, size_t count, int id)
{
    for (size_t i = 0; i < count; ++i)
        if (ids[i] == id) return true;
    return false;
}

int Clamp(const CPopupMenu* menu, int index)
{
    return index < menu->GetCount() ? index : menu->GetCount();
}

} // namespace

namespace {

// The argument of an item of this account: its queue handle and the value.
intptr_t Argument(int ownQueue, int value)
{
    return intptr_t((uint64_t(uint32_t(value)) << 32) | uint32_t(ownQueue));
}

CMenuItem Item(int textNumber, int image, MenuCallback callback, intptr_t argument)
{
    return CMenuItem(MENU_ITEM_PLAIN, image < 0 ? -1 : DaxShared::Image(image), DaxShared::Text(textNumber), 0,
                     callback, argument, false);
}

} // namespace

int MrimAccount::GetStatusMenu(intptr_t iconIndex, CPopupMenu* menu)
{
    if (!menu) return 0;
    if (iconIndex == 1) {
        wchar_t count[16];
        swprintf(count, 16, L"%u", unreadMail);
        menu->title = CZELString(count) + DaxShared::Text(Mrim::TextUnreadedMsgs);
        menu->AddItem(Item(Mrim::TextOpenInbox, unreadMail ? 30 : 29, &Choose<ActionOpenInbox>, Argument(OwnQueue(), 0)));
        return 0;
    }
    if (iconIndex != 0) return 0;
    menu->title = GetListenerName() + L" " + settings.accountName;
    static const int Order[] = {5, 6, 7, 8, 9, -1, 10, 11, 12, 13, 14, -1, 2, 3, -1, 0};
    for (int status : Order) {
        if (status < 0) {
            menu->AddItem(CMenuItem(MENU_ITEM_SEPARATOR));
            continue;
        }
        StatusEntry record = DaxShared::StatusRecord(status);
        menu->AddItem(CMenuItem(MENU_ITEM_PLAIN, record.images, record.name, 0, &Choose<ActionSetStatus>,
                                Argument(OwnQueue(), status), status == wantedStatus));
    }
    return 0;
}

int MrimAccount::FillAccountMenu(CPopupMenu* menu)
{
    if (!menu) return 0;
    if (status >= 2) {
        if (menu->FindItem(1004) >= 0)
            menu->AddItem(Item(Mrim::TextAddContact, 19, &ChooseAddContact<MrimAccount::ActionAddContact>, Argument(OwnQueue(), 0)));
        return 0;
    }
    for (int id : {1002, 1003}) {
        int index = menu->FindItem(id);
        if (index >= 0) menu->RemoveItem(index);
    }
    return 0;
}

int MrimAccount::FillGroupMenu(int groupId, CPopupMenu* menu)
{
    if (!menu) return 0;
    const bool online = status >= 2;
    bool kept2005 = false;
    for (int i = menu->GetCount() - 1; i >= 0; --i) {
        const int id = menu->items[i].commandId;
        bool keep = id >= 2000 && id <= 2005;
        if (id == 2002 || id == 2005) keep = online || groupId == 0;
        if (id == 2003) keep = online;
        if (id == 2004) keep = online && groupId != 0;
        if (!keep) menu->RemoveItem(i);
        else if (id == 2005) kept2005 = true;
    }
    if (kept2005 && groupId != 0) {
        menu->AddItem(CMenuItem(MENU_ITEM_SEPARATOR));
        menu->AddItem(Item(Mrim::TextAddContact, 19, &ChooseAddContact<MrimAccount::ActionAddContact>, Argument(OwnQueue(), groupId)));
    }
    return 0;
}

int MrimAccount::FillContactMenu(int contactId, CPopupMenu* menu)
{
    if (!menu) return 0;
    const bool online = status >= 2;
    IContactListData* data = Data();
    const bool inGroup = !data || data->GetContactGroup(contactId) != 0;
    static const int Always[] = {4001, 4003, 4004, 4005, 4007};
    for (int i = menu->GetCount() - 1; i >= 0; --i) {
        const int id = menu->items[i].commandId;
        bool keep = Has(Always, 5, id);
        if (id == 4008 || id == 4010) keep = online || !inGroup;
        if (id == 4009 || id == 4011) keep = online && inGroup;
        if (!keep) menu->RemoveItem(i);
    }
    int add = menu->FindItem(4010);
    if (add >= 0 && online && !inGroup)
        menu->InsertItem(add, Item(Mrim::TextAddToContactList, 19, &ChooseAddContact<MrimAccount::ActionAddListContact>,
                                   Argument(OwnQueue(), contactId)));
    if (!online) return 0;
    MrimContact* contact = contactList.FindByContactId(contactId);
    if (contact && (contact->serverFlags & Mrim::ServerNotAuthorised))
        menu->InsertItem(Clamp(menu, 1), Item(Mrim::TextAuthRequestItem, 20, &ChooseAuthRequest,
                                              Argument(OwnQueue(), contactId)));
    auto byte = [&](const wchar_t* name) {
        char value = 0;
        return data && data->GetPropertyByte(contactId, CZELString(name), &value) && value != 0;
    };
    menu->AddItem(CMenuItem(MENU_ITEM_SEPARATOR));
    const bool visible = byte(L"In visible list"), invisible = byte(L"In invisible list"), ignore = byte(L"In ignore list");
    menu->AddItem(visible ? Item(Mrim::TextRemoveVisible, 21, &Choose<ActionVisibleOff>, Argument(OwnQueue(), contactId))
                          : Item(Mrim::TextAddVisible, 21, &Choose<ActionVisibleOn>, Argument(OwnQueue(), contactId)));
    menu->AddItem(invisible
                      ? Item(Mrim::TextRemoveInvisible, 22, &Choose<ActionInvisibleOff>, Argument(OwnQueue(), contactId))
                      : Item(Mrim::TextAddInvisible, 22, &Choose<ActionInvisibleOn>, Argument(OwnQueue(), contactId)));
    menu->AddItem(ignore ? Item(Mrim::TextRemoveIgnore, 23, &Choose<ActionIgnoreOff>, Argument(OwnQueue(), contactId))
                         : Item(Mrim::TextAddIgnore, 23, &Choose<ActionIgnoreOn>, Argument(OwnQueue(), contactId)));
    return 0;
}

int MrimAccount::FillChatMenu(int contactId, CPopupMenu* menu)
{
    MrimContact* contact = contactList.FindByContactId(contactId);
    if (!menu || status < 2 || !Data() || !contact) return 0;
    menu->InsertItem(Clamp(menu, 2), Item(Mrim::TextWakeup, 26, &Choose<ActionWakeUp>, Argument(OwnQueue(), contactId)));
    if (contact->authAsked) {
        CPopupMenu answers;
        answers.AddItem(Item(Mrim::TextAccept, 24, &Choose<ActionAccept>, Argument(OwnQueue(), contactId)));
        answers.AddItem(Item(Mrim::TextDecline, 25, &Choose<ActionDecline>, Argument(OwnQueue(), contactId)));
        answers.AddItem(Item(Mrim::TextIgnore, -1, &Choose<ActionIgnore>, Argument(OwnQueue(), contactId)));
        menu->InsertItem(Clamp(menu, 2), CMenuItem(DaxShared::Image(20), DaxShared::Text(Mrim::TextAuthorization), 0, answers));
    }
    return 0;
}

int MrimAccount::FillMainMenu(CPopupMenu* menu)
{
    if (!menu || status < 2) return 0;
    menu->AddItem(CMenuItem(MENU_ITEM_PLAIN, DaxShared::Image(27), settings.accountName, 0, &ChooseAddContact<MrimAccount::ActionAddContact>,
                            Argument(OwnQueue(), 0), false));
    return 0;
}

int MrimAccount::FillSearchResultMenu(void* resultItem, CPopupMenu* menu)
{
    // The search dialog hands over the row's contact id in the pointer's place.
    const int contactId = int(reinterpret_cast<intptr_t>(resultItem));
    IContactListData* data = Data();
    if (!menu || !contactId || status < 2 || !data || data->GetContactGroup(contactId) != 0) return 0;
    menu->AddItem(Item(Mrim::TextAddToContactList, 19, &ChooseAddContact<MrimAccount::ActionAddListContact>, Argument(OwnQueue(), contactId)));
    return 0;
}

void MrimAccount::OnMenuAction(int action, int value, intptr_t)
{
    switch (action) {
    case ActionSetStatus: SetStatus(value); break;
    case ActionOpenInbox: RequestWebSession(2, CZELString()); break;
    case ActionWakeUp: SendWakeUp(value); break;
    case ActionAccept:
    case ActionDecline:
    case ActionIgnore: AnswerAuthorization(value, action); break;
    case ActionVisibleOn: SetListFlag(value, true, Mrim::ContactVisibleList); break;
    case ActionVisibleOff: SetListFlag(value, false, Mrim::ContactVisibleList); break;
    case ActionInvisibleOn: SetListFlag(value, true, Mrim::ContactInvisibleList); break;
    case ActionInvisibleOff: SetListFlag(value, false, Mrim::ContactInvisibleList); break;
    case ActionIgnoreOn: SetListFlag(value, true, Mrim::ContactIgnoreList); break;
    case ActionIgnoreOff: SetListFlag(value, false, Mrim::ContactIgnoreList); break;
    default: break;
    }
}
